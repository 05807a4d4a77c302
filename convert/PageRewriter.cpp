#include "convert/PageRewriter.h"

#include <charconv>
#include <cstring>

namespace tagshift {

namespace {

constexpr std::size_t npos = std::string_view::npos;

std::size_t Find(std::string_view sText, std::string_view sNeedle, std::size_t iFrom) {
    return sText.find(sNeedle, iFrom);
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// sWord (lower case) stands at iAt of sText, in any letter case.
bool StandsAnyCase(std::string_view sText, std::size_t iAt, std::string_view sWord) {
    if (iAt > sText.size() || sText.size() - iAt < sWord.size()) return false;
    for (std::size_t i = 0; i < sWord.size(); ++i)
        if (Lower(sText[iAt + i]) != sWord[i]) return false;
    return true;
}

// The first sNeedle (lower case, starting with '<') from iFrom, in any letter case.
std::size_t FindAnyCase(std::string_view sText, std::string_view sNeedle, std::size_t iFrom) {
    while (iFrom < sText.size()) {
        const void* pLt = std::memchr(sText.data() + iFrom, '<', sText.size() - iFrom);
        if (!pLt) return npos;
        const std::size_t iAt = static_cast<std::size_t>(static_cast<const char*>(pLt) - sText.data());
        if (StandsAnyCase(sText, iAt, sNeedle)) return iAt;
        iFrom = iAt + 1;
    }
    return npos;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

long long CountLineEnds(std::string_view sText, std::size_t iFrom, std::size_t iTo) {
    long long iCount = 0;
    for (std::size_t i = iFrom; i < iTo; ++i) {
        if (sText[i] == '\n' || (sText[i] == '\r' && (i + 1 >= sText.size() || sText[i + 1] != '\n'))) ++iCount;
    }
    return iCount;
}

// Elements whose content is not markup, with the start of their end tag.
struct RawElement {
    std::string_view sName;     // lower case, after the '<'
    std::string_view sEndTag;   // "</script"
    LeftAloneReason eWhy;
};
const RawElement kRawElements[] = {
    {"script", "</script", LeftAloneReason::InsideScript},
    {"style", "</style", LeftAloneReason::InsideStyle},
    {"textarea", "</textarea", LeftAloneReason::InsideTextarea},
    {"title", "</title", LeftAloneReason::InsideTitle},
    {"noscript", "</noscript", LeftAloneReason::InsideNoscript},
};

// Line numbers of offsets asked for in increasing order, counted forward
// from the last one asked for.
class LineCounter {
public:
    LineCounter(std::string_view sText, const std::vector<TakenLines>* pTaken) : m_sText(sText), m_pTaken(pTaken) {}

    long long LineOf(std::size_t iOffset) {
        m_iLine += CountLineEnds(m_sText, m_iAt, iOffset);
        m_iAt = iOffset;
        if (m_pTaken) {
            while (m_iTaken < m_pTaken->size() && (*m_pTaken)[m_iTaken].iOffset <= iOffset)
                m_iLine += (*m_pTaken)[m_iTaken++].iLineEnds;
        }
        return m_iLine;
    }

private:
    std::string_view m_sText;
    const std::vector<TakenLines>* m_pTaken;
    std::size_t m_iTaken = 0;
    std::size_t m_iAt = 0;
    long long m_iLine = 1;
};

// The end of a void tag: the first '>' outside quoted values. A walk that
// finds none marks the states it went through, and a later walk that meets
// one of them stops there, so all walks of a page together stay linear.
class VoidTagEnd {
public:
    explicit VoidTagEnd(std::string_view sText) : m_sText(sText) {}

    std::size_t Find(std::size_t iFrom) {
        const std::size_t iEnd = Walk(iFrom, false);
        if (iEnd == npos) Walk(iFrom, true);
        return iEnd;
    }

private:
    enum State : unsigned char { kPlain, kAfterEquals, kInDouble, kInSingle };

    std::size_t Walk(std::size_t iFrom, bool bMark) {
        if (bMark && m_aDead.empty()) m_aDead.assign(m_sText.size(), 0);
        State eState = kPlain;
        for (std::size_t i = iFrom; i < m_sText.size(); ++i) {
            const unsigned char iBit = static_cast<unsigned char>(1u << eState);
            if (!m_aDead.empty()) {
                if (m_aDead[i] & iBit) return npos;
                if (bMark) m_aDead[i] |= iBit;
            }
            const char c = m_sText[i];
            switch (eState) {
                case kPlain:
                    if (c == '>') return i;
                    if (c == '=') eState = kAfterEquals;
                    break;
                case kAfterEquals:
                    if (c == '>') return i;
                    if (c == '"') eState = kInDouble;
                    else if (c == '\'') eState = kInSingle;
                    else if (c != '=' && !IsSpace(c)) eState = kPlain;
                    break;
                case kInDouble:
                    if (c == '"') eState = kPlain;
                    break;
                case kInSingle:
                    if (c == '\'') eState = kPlain;
                    break;
            }
        }
        return npos;
    }

    std::string_view m_sText;
    std::vector<unsigned char> m_aDead;  // per byte, one bit per State of walks that found nothing
};

}  // namespace

const char* LeftAloneText(LeftAloneReason eWhy) {
    switch (eWhy) {
        case LeftAloneReason::CapitalLetters: return "capital letters";
        case LeftAloneReason::NoClosingTag: return "no closing tag";
        case LeftAloneReason::InsideScript: return "inside a script";
        case LeftAloneReason::InsideStyle: return "inside a style";
        case LeftAloneReason::InsideTextarea: return "inside a textarea";
        case LeftAloneReason::InsideTitle: return "inside a title";
        case LeftAloneReason::InsideNoscript: return "inside a noscript";
        case LeftAloneReason::InsideComment: return "inside a comment";
    }
    return "";
}

long long ReplaceBlocks(std::string_view sPage, TagKind eKind, long long& iFunctionCount, std::string& sOut,
                        BlockSink& oSink, const PassOptions& oOptions) {
    const TagKindTexts& oTexts = KindTexts(eKind);
    // Both texts are lower case already.
    const std::string_view sOpening = oTexts.sOpening;
    const std::string_view sClosing = oTexts.sClosing;
    LineCounter oLines(sPage, oOptions.pLinesTakenBefore);
    VoidTagEnd oVoidEnd(sPage);
    if (oOptions.pLinesTaken) oOptions.pLinesTaken->clear();

    auto LeaveAlone = [&](std::size_t iAt, LeftAloneReason eWhy) {
        oSink.LeftAlone(eKind, sPage.substr(iAt, sOpening.size()), oLines.LineOf(iAt), eWhy);
    };
    // Every opening text (in any letter case) in [iFrom, iTo) stays.
    auto LeaveAllAlone = [&](std::size_t iFrom, std::size_t iTo, LeftAloneReason eWhy) {
        const std::string_view sRegion = sPage.substr(0, iTo);
        for (std::size_t iAt = FindAnyCase(sRegion, sOpening, iFrom); iAt != npos;
             iAt = FindAnyCase(sRegion, sOpening, iAt + 1))
            LeaveAlone(iAt, eWhy);
    };

    sOut.clear();
    long long iBlocks = 0;
    bool bNoClosing = false;  // no closing text is left in the rest of the page
    std::size_t iCopied = 0;  // everything before this offset is in sOut
    std::size_t iAt = 0;      // where the search goes on
    while (iAt < sPage.size()) {
        const void* pLt = std::memchr(sPage.data() + iAt, '<', sPage.size() - iAt);
        if (!pLt) break;
        const std::size_t iLt = static_cast<std::size_t>(static_cast<const char*>(pLt) - sPage.data());
        iAt = iLt + 1;

        if (StandsAnyCase(sPage, iLt, "<!--")) {
            // IE reads what stands in a conditional comment, so it is markup.
            if (StandsAnyCase(sPage, iLt, "<!--[if")) continue;
            // The end may share the comment's own dashes: <!--> and <!---> are whole comments.
            const std::size_t iDashes = Find(sPage, "-->", iLt + 2);
            const std::size_t iEnd = iDashes == npos ? sPage.size() : iDashes + 3;
            LeaveAllAlone(iLt + 4, iEnd, LeftAloneReason::InsideComment);
            iAt = iEnd;
            continue;
        }
        const RawElement* pRaw = nullptr;
        for (const RawElement& oRaw : kRawElements) {
            const std::size_t iAfter = iLt + 1 + oRaw.sName.size();
            if (StandsAnyCase(sPage, iLt + 1, oRaw.sName) && iAfter < sPage.size() &&
                (IsSpace(sPage[iAfter]) || sPage[iAfter] == '/' || sPage[iAfter] == '>')) {
                pRaw = &oRaw;
                break;
            }
        }
        if (pRaw) {
            const std::size_t iContent = iLt + 1 + pRaw->sName.size();
            const std::size_t iEndTag = FindAnyCase(sPage, pRaw->sEndTag, iContent);
            const std::size_t iEnd = iEndTag == npos ? sPage.size() : iEndTag;
            LeaveAllAlone(iContent, iEnd, pRaw->eWhy);
            iAt = iEnd;
            continue;
        }
        if (!StandsAnyCase(sPage, iLt, sOpening)) continue;
        if (!oOptions.bAnyCase && sPage.compare(iLt, sOpening.size(), sOpening) != 0) {
            LeaveAlone(iLt, LeftAloneReason::CapitalLetters);
            continue;
        }

        std::size_t iEnd = npos;
        if (!bNoClosing) {
            const std::size_t iFrom = iLt + sOpening.size();
            const std::size_t iClose =
                oOptions.bAnyCase ? FindAnyCase(sPage, sClosing, iFrom) : Find(sPage, sClosing, iFrom);
            if (iClose == npos) bNoClosing = true;
            else iEnd = iClose + sClosing.size();
        }
        if (iEnd == npos && eKind == TagKind::Embed) {
            const std::size_t iGt = oVoidEnd.Find(iLt + sOpening.size());
            if (iGt != npos) iEnd = iGt + 1;
        }
        if (iEnd == npos) {
            LeaveAlone(iLt, LeftAloneReason::NoClosingTag);
            continue;
        }

        if (iBlocks == 0) sOut.reserve(sPage.size() + 128);
        ++iBlocks;
        ++iFunctionCount;
        sOut.append(sPage.data() + iCopied, iLt - iCopied);
        sOut += oTexts.sIncludeTag;
        sOut += oTexts.sCallStart;
        char aDigits[24];
        auto oDigits = std::to_chars(aDigits, aDigits + sizeof aDigits, iFunctionCount);
        sOut.append(aDigits, oDigits.ptr);
        sOut += kCallEnd;
        if (oOptions.pLinesTaken)
            oOptions.pLinesTaken->push_back(TakenLines{sOut.size(), CountLineEnds(sPage, iLt, iEnd)});
        oSink.Add(eKind, iFunctionCount, sPage.substr(iLt, iEnd - iLt));
        iCopied = iAt = iEnd;
    }
    if (iBlocks > 0) sOut.append(sPage.data() + iCopied, sPage.size() - iCopied);
    return iBlocks;
}

long long RewriteText(std::string& sPage, long long& iFunctionCount, BlockSink& oSink, bool bAnyCase) {
    long long iTotal = 0;
    std::string sNext;
    std::vector<TakenLines> aTaken;
    PassOptions oOptions;
    oOptions.bAnyCase = bAnyCase;
    oOptions.pLinesTaken = &aTaken;
    for (TagKind eKind : kTagKinds) {
        const long long iBlocks = ReplaceBlocks(sPage, eKind, iFunctionCount, sNext, oSink, oOptions);
        if (iBlocks > 0) {
            sPage.swap(sNext);
            std::string().swap(sNext);  // give the old text's memory back before the next pass
            iTotal += iBlocks;
        }
        // The object pass's blocks shift the embed pass's line numbers.
        oOptions.pLinesTakenBefore = iBlocks > 0 ? &aTaken : nullptr;
        oOptions.pLinesTaken = nullptr;
    }
    return iTotal;
}

}  // namespace tagshift
