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
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next();
    // Uniform in [0, bound); bound > 0.
    std::uint64_t Below(std::uint64_t bound) { return Next() % bound; }
    // Uniform in [0, 1).
    double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }

private:
    std::uint64_t state_;
};

enum class LineEnds { CrLf, Lf, Mixed };  // Mixed: each page picks CR LF or LF

struct SiteShape {
    std::uint64_t seed = 1;
    int files = 1000;
    int folders = 20;            // including the top folder
    int depth = 4;               // deepest folder level below the top folder
    double pageShare = 0.6;      // share of files that the default patterns select
    int maxBlocks = 5;           // blocks per page: uniform in 0..maxBlocks
    std::size_t pageBytes = 15000;   // mean page size (sizes spread 0.5x..1.5x)
    std::size_t otherBytes = 15000;  // mean size of images, scripts, style sheets
    LineEnds lineEnds = LineEnds::Mixed;
};

struct SiteStats {
    long long files = 0;
    long long pages = 0;    // files the default patterns select, each exactly once
    long long folders = 0;  // including the top folder
    long long blocks = 0;   // blocks a conversion replaces
    std::uint64_t bytes = 0;
    std::uint64_t largestPage = 0;
    std::uint64_t hash = 0;  // FNV-1a over every path and every content
};

// Writes the site into root, which must not exist yet. Throws
// std::runtime_error when a file cannot be written.
SiteStats GenerateSite(const SiteShape& shape, const std::string& root);

// One page of about bytes with a block every every bytes, object and embed
// blocks taking turns; blocks receives the number of blocks.
std::string MakeDensePage(std::size_t bytes, std::size_t every, LineEnds lineEnds, std::uint64_t seed,
                          long long& blocks);

// Writes data to path, creating or truncating it. Throws on failure.
void WriteFile(const std::string& path, const std::string& data);

}  // namespace tagshift::bench
