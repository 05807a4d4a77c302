#include "convert/PageRewriter.h"

#include <charconv>

namespace tagshift {

long long ReplaceBlocks(std::string_view sPage, TagKind eKind, long long& iFunctionCount, std::string& sOut,
                        BlockSink& oSink) {
    const TagKindTexts& oTexts = KindTexts(eKind);
    sOut.clear();
    long long iBlocks = 0;
    std::size_t iCopied = 0;  // everything before this offset is in sOut
    for (;;) {
        const std::size_t iStart = sPage.find(oTexts.sOpening, iCopied);
        if (iStart == std::string_view::npos) break;
        const std::size_t iClose = sPage.find(oTexts.sClosing, iStart);
        if (iClose == std::string_view::npos) break;
        const std::size_t iEnd = iClose + oTexts.sClosing.size();
        if (iBlocks == 0) sOut.reserve(sPage.size() + 128);
        ++iBlocks;
        ++iFunctionCount;
        sOut.append(sPage.data() + iCopied, iStart - iCopied);
        sOut += oTexts.sIncludeTag;
        sOut += oTexts.sCallStart;
        char aDigits[24];
        auto oDigits = std::to_chars(aDigits, aDigits + sizeof aDigits, iFunctionCount);
        sOut.append(aDigits, oDigits.ptr);
        sOut += kCallEnd;
        oSink.Add(eKind, iFunctionCount, sPage.substr(iStart, iEnd - iStart));
        iCopied = iEnd;
    }
    if (iBlocks > 0) sOut.append(sPage.data() + iCopied, sPage.size() - iCopied);
    return iBlocks;
}

long long RewriteText(std::string& sPage, long long& iFunctionCount, BlockSink& oSink) {
    long long iTotal = 0;
    std::string sNext;
    for (TagKind eKind : kTagKinds) {
        const long long iBlocks = ReplaceBlocks(sPage, eKind, iFunctionCount, sNext, oSink);
        if (iBlocks > 0) {
            sPage.swap(sNext);
            std::string().swap(sNext);  // give the old text's memory back before the next pass
            iTotal += iBlocks;
        }
    }
    return iTotal;
}

}  // namespace tagshift
