#include "bench/SiteGenerator.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace tagshift::bench {

std::uint64_t Random::Next() {
    std::uint64_t z = (m_iState += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

namespace {

const char* const kWords[] = {"site",  "page",   "music", "video", "news",  "about", "contact", "home",
                              "links", "gallery", "photo", "clip",  "event", "today", "archive", "the",
                              "and",   "of",      "with",  "for",   "new",   "old",   "band",    "tour"};
constexpr std::size_t kWordCount = sizeof kWords / sizeof kWords[0];

const char* const kPageEndings[] = {".html", ".htm", ".php", ".asp", ".aspx", ".php3"};
const char* const kOtherEndings[] = {".gif", ".jpg", ".png", ".js", ".css", ".txt"};

void Fnv(std::uint64_t& iHash, const std::string& sData) {
    if (iHash == 0) iHash = 1469598103934665603ull;
    for (unsigned char c : sData) {
        iHash ^= c;
        iHash *= 1099511628211ull;
    }
}

// Words up to exactly iLength bytes (fewer only when iLength is tiny).
void AppendWords(std::string& sOut, Random& oRandom, std::size_t iLength) {
    const std::size_t iEnd = sOut.size() + iLength;
    while (sOut.size() < iEnd) {
        const char* sWord = kWords[oRandom.Below(kWordCount)];
        std::size_t iWord = std::min(std::strlen(sWord), iEnd - sOut.size());
        sOut.append(sWord, iWord);
        if (sOut.size() < iEnd) sOut += ' ';
    }
}

void AppendTextLine(std::string& sOut, Random& oRandom, const std::string& sEol) {
    sOut += "<p>";
    AppendWords(sOut, oRandom, 50 + oRandom.Below(50));
    sOut += "</p>";
    sOut += sEol;
}

// An object block over several lines with an embed inside it, or a one-line
// embed block; both carry apostrophes and now and then a backslash, which
// the script text has to escape.
std::string MakeBlock(bool bObject, long long iNumber, const std::string& sEol) {
    const std::string sNumber = std::to_string(iNumber);
    if (!bObject)
        return "<embed src='audio/track" + sNumber + ".mid' autostart=\"false\" loop=\"false\"" +
               (iNumber % 7 == 0 ? " title='c:\\sounds'" : "") + "></embed>";
    return "<object classid=\"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000\" width=\"320\" height=\"240\">" + sEol +
           "  <param name='movie' value='media/clip" + sNumber + ".swf'>" + sEol +
           "  <embed src='media/clip" + sNumber + ".swf' width=\"320\" height=\"240\"></embed>" + sEol + "</object>";
}

std::string EolFor(LineEnds eLineEnds, Random& oRandom) {
    switch (eLineEnds) {
        case LineEnds::CrLf: return "\r\n";
        case LineEnds::Lf: return "\n";
        case LineEnds::Mixed: break;
    }
    return oRandom.Below(2) ? "\r\n" : "\n";
}

std::string MakePage(Random& oRandom, std::size_t iTarget, int iBlocks, const std::string& sEol,
                     long long& iNumber) {
    std::string sPage;
    sPage.reserve(iTarget + 1024);
    sPage += "<!DOCTYPE html>" + sEol + "<html><head><title>Page " + std::to_string(iNumber) +
             "</title></head>" + sEol + "<body>" + sEol;
    std::vector<std::size_t> aAt(static_cast<std::size_t>(iBlocks));
    for (std::size_t& iAt : aAt) iAt = oRandom.Below(iTarget + 1);
    std::sort(aAt.begin(), aAt.end());
    std::size_t iNext = 0;
    while (sPage.size() < iTarget || iNext < aAt.size()) {
        while (iNext < aAt.size() && (aAt[iNext] <= sPage.size() || sPage.size() >= iTarget)) {
            sPage += MakeBlock(oRandom.Below(2) == 0, ++iNumber, sEol) + sEol;
            ++iNext;
        }
        if (sPage.size() < iTarget) AppendTextLine(sPage, oRandom, sEol);
    }
    sPage += "</body></html>" + sEol;
    return sPage;
}

std::string MakeOther(Random& oRandom, std::size_t iSize, const std::string& sEnding) {
    std::string sData;
    sData.reserve(iSize + 128);
    if (sEnding == ".js" || sEnding == ".css" || sEnding == ".txt") {
        while (sData.size() < iSize) {
            sData += sEnding == ".css" ? "/* " : "// ";
            AppendWords(sData, oRandom, 40 + oRandom.Below(40));
            sData += "\n";
        }
        return sData;
    }
    sData.resize(iSize);
    for (std::size_t i = 0; i < iSize; i += 8) {
        std::uint64_t iBits = oRandom.Next();
        std::memcpy(&sData[i], &iBits, std::min<std::size_t>(8, iSize - i));
    }
    return sData;
}

std::size_t Spread(Random& oRandom, std::size_t iMean) {
    return iMean / 2 + static_cast<std::size_t>(oRandom.Below(iMean + 1));
}

void MakeFolder(const std::string& sPath) {
    if (::mkdir(sPath.c_str(), 0755) != 0)
        throw std::runtime_error("cannot create " + sPath + ": " + std::strerror(errno));
}

}  // namespace

void WriteFile(const std::string& sPath, const std::string& sData) {
    std::FILE* pFile = std::fopen(sPath.c_str(), "wb");
    if (!pFile) throw std::runtime_error("cannot create " + sPath + ": " + std::strerror(errno));
    const bool bWritten = std::fwrite(sData.data(), 1, sData.size(), pFile) == sData.size();
    if (std::fclose(pFile) != 0 || !bWritten) throw std::runtime_error("cannot write " + sPath);
}

SiteStats GenerateSite(const SiteShape& oShape, const std::string& sRoot) {
    Random oRandom(oShape.iSeed);
    SiteStats oStats;

    // The folder tree: each new folder hangs below a random folder that is
    // not yet at the deepest level.
    struct Folder {
        std::string sPath;  // relative to sRoot, "" for the top folder
        int iDepth;
    };
    std::vector<Folder> aFolders{{"", 0}};
    std::vector<std::size_t> aOpen{0};
    MakeFolder(sRoot);
    for (int i = 1; i < std::max(1, oShape.iFolders); ++i) {
        const Folder oParent = aFolders[aOpen[oRandom.Below(aOpen.size())]];
        Folder oFolder{oParent.sPath + "/dir" + std::to_string(i), oParent.iDepth + 1};
        MakeFolder(sRoot + oFolder.sPath);
        Fnv(oStats.iHash, oFolder.sPath);
        if (oFolder.iDepth < oShape.iDepth) aOpen.push_back(aFolders.size());
        aFolders.push_back(std::move(oFolder));
    }
    oStats.iFolders = static_cast<long long>(aFolders.size());

    long long iNumber = 0;
    for (int i = 0; i < oShape.iFiles; ++i) {
        // Pages are spread evenly so that their share is exact.
        const bool bPage = static_cast<long long>((i + 1) * oShape.dPageShare) >
                           static_cast<long long>(i * oShape.dPageShare);
        const std::string& sFolder = aFolders[oRandom.Below(aFolders.size())].sPath;
        std::string sRelative, sData;
        if (bPage) {
            const std::string sEol = EolFor(oShape.eLineEnds, oRandom);
            const int iBlocks = static_cast<int>(oRandom.Below(static_cast<std::uint64_t>(oShape.iMaxBlocks) + 1));
            sRelative = sFolder + "/page" + std::to_string(i) + kPageEndings[oRandom.Below(6)];
            sData = MakePage(oRandom, Spread(oRandom, oShape.iPageBytes), iBlocks, sEol, iNumber);
            oStats.iBlocks += iBlocks;
            oStats.iLargestPage = std::max<std::uint64_t>(oStats.iLargestPage, sData.size());
            ++oStats.iPages;
        } else {
            const std::string sEnding = kOtherEndings[oRandom.Below(6)];
            sRelative = sFolder + "/file" + std::to_string(i) + sEnding;
            sData = MakeOther(oRandom, Spread(oRandom, oShape.iOtherBytes), sEnding);
        }
        WriteFile(sRoot + sRelative, sData);
        Fnv(oStats.iHash, sRelative);
        Fnv(oStats.iHash, sData);
        ++oStats.iFiles;
        oStats.iBytes += sData.size();
    }
    return oStats;
}

std::string MakeDensePage(std::size_t iBytes, std::size_t iEvery, LineEnds eLineEnds, std::uint64_t iSeed,
                          long long& iBlocks) {
    Random oRandom(iSeed);
    const std::string sEol = EolFor(eLineEnds, oRandom);
    std::string sPage;
    sPage.reserve(iBytes + iEvery);
    iBlocks = 0;
    while (sPage.size() + iEvery <= iBytes) {
        // One unit of iEvery bytes: filler text, the block, two line ends.
        const std::string sBlock = MakeBlock(iBlocks % 2 == 0, iBlocks + 1, sEol);
        const std::size_t iFixed = sBlock.size() + 2 * sEol.size();
        if (iFixed < iEvery) AppendWords(sPage, oRandom, iEvery - iFixed);
        sPage += sEol + sBlock + sEol;
        ++iBlocks;
    }
    AppendWords(sPage, oRandom, iBytes - sPage.size());
    return sPage;
}

}  // namespace tagshift::bench
