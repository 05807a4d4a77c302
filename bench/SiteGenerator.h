// Synthetic web sites for the benchmarks. Everything is derived from a seed
// with our own generator, so a given shape gives the same bytes on every
// machine and every standard library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tagshift::bench {

// splitmix64: small, fast, and its output is fixed by the algorithm alone.
class Random {
public:
    explicit Random(std::uint64_t iSeed) : m_iState(iSeed) {}
    std::uint64_t Next();
    // Uniform in [0, iBound); iBound > 0.
    std::uint64_t Below(std::uint64_t iBound) { return Next() % iBound; }
    // Uniform in [0, 1).
    double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }

private:
    std::uint64_t m_iState;
};

enum class LineEnds { CrLf, Lf, Mixed };  // Mixed: each page picks CR LF or LF

struct SiteShape {
    std::uint64_t iSeed = 1;
    int iFiles = 1000;
    int iFolders = 20;            // including the top folder
    int iDepth = 4;               // deepest folder level below the top folder
    double dPageShare = 0.6;      // share of files that the default patterns select
    int iMaxBlocks = 5;           // blocks per page: uniform in 0..iMaxBlocks
    std::size_t iPageBytes = 15000;   // mean page size (sizes spread 0.5x..1.5x)
    std::size_t iOtherBytes = 15000;  // mean size of images, scripts, style sheets
    LineEnds eLineEnds = LineEnds::Mixed;
};

struct SiteStats {
    long long iFiles = 0;
    long long iPages = 0;    // files the default patterns select, each exactly once
    long long iFolders = 0;  // including the top folder
    long long iBlocks = 0;   // blocks a conversion replaces
    std::uint64_t iBytes = 0;
    std::uint64_t iLargestPage = 0;
    std::uint64_t iHash = 0;  // FNV-1a over every path and every content
};

// Writes the site into sRoot, which must not exist yet. Throws
// std::runtime_error when a file cannot be written.
SiteStats GenerateSite(const SiteShape& oShape, const std::string& sRoot);

// One page of about iBytes with a block every iEvery bytes, object and embed
// blocks taking turns; iBlocks receives the number of blocks.
std::string MakeDensePage(std::size_t iBytes, std::size_t iEvery, LineEnds eLineEnds, std::uint64_t iSeed,
                          long long& iBlocks);

// Writes sData to sPath, creating or truncating it. Throws on failure.
void WriteFile(const std::string& sPath, const std::string& sData);

}  // namespace tagshift::bench
