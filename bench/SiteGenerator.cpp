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
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
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

void Fnv(std::uint64_t& hash, const std::string& data) {
    if (hash == 0) hash = 1469598103934665603ull;
    for (unsigned char c : data) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
}

// Words up to exactly length bytes (fewer only when length is tiny).
void AppendWords(std::string& out, Random& random, std::size_t length) {
    const std::size_t end = out.size() + length;
    while (out.size() < end) {
        const char* word = kWords[random.Below(kWordCount)];
        std::size_t wordIndex = std::min(std::strlen(word), end - out.size());
        out.append(word, wordIndex);
        if (out.size() < end) out += ' ';
    }
}

void AppendTextLine(std::string& out, Random& random, const std::string& eol) {
    out += "<p>";
    AppendWords(out, random, 50 + random.Below(50));
    out += "</p>";
    out += eol;
}

// An object block over several lines with an embed inside it, or a one-line
// embed block; both carry apostrophes and now and then a backslash, which
// the script text has to escape.
std::string MakeBlock(bool object, long long number, const std::string& eol) {
    const std::string numberText = std::to_string(number);
    if (!object)
        return "<embed src='audio/track" + numberText + ".mid' autostart=\"false\" loop=\"false\"" +
               (number % 7 == 0 ? " title='c:\\sounds'" : "") + "></embed>";
    return "<object classid=\"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000\" width=\"320\" height=\"240\">" + eol +
           "  <param name='movie' value='media/clip" + numberText + ".swf'>" + eol +
           "  <embed src='media/clip" + numberText + ".swf' width=\"320\" height=\"240\"></embed>" + eol + "</object>";
}

std::string EolFor(LineEnds lineEnds, Random& random) {
    switch (lineEnds) {
        case LineEnds::CrLf: return "\r\n";
        case LineEnds::Lf: return "\n";
        case LineEnds::Mixed: break;
    }
    return random.Below(2) ? "\r\n" : "\n";
}

std::string MakePage(Random& random, std::size_t target, int blocks, const std::string& eol,
                     long long& number) {
    std::string page;
    page.reserve(target + 1024);
    page += "<!DOCTYPE html>" + eol + "<html><head><title>Page " + std::to_string(number) +
             "</title></head>" + eol + "<body>" + eol;
    std::vector<std::size_t> places(static_cast<std::size_t>(blocks));
    for (std::size_t& at : places) at = random.Below(target + 1);
    std::sort(places.begin(), places.end());
    std::size_t next = 0;
    while (page.size() < target || next < places.size()) {
        while (next < places.size() && (places[next] <= page.size() || page.size() >= target)) {
            page += MakeBlock(random.Below(2) == 0, ++number, eol) + eol;
            ++next;
        }
        if (page.size() < target) AppendTextLine(page, random, eol);
    }
    page += "</body></html>" + eol;
    return page;
}

std::string MakeOther(Random& random, std::size_t size, const std::string& ending) {
    std::string data;
    data.reserve(size + 128);
    if (ending == ".js" || ending == ".css" || ending == ".txt") {
        while (data.size() < size) {
            data += ending == ".css" ? "/* " : "// ";
            AppendWords(data, random, 40 + random.Below(40));
            data += "\n";
        }
        return data;
    }
    data.resize(size);
    for (std::size_t i = 0; i < size; i += 8) {
        std::uint64_t bits = random.Next();
        std::memcpy(&data[i], &bits, std::min<std::size_t>(8, size - i));
    }
    return data;
}

std::size_t Spread(Random& random, std::size_t mean) {
    return mean / 2 + static_cast<std::size_t>(random.Below(mean + 1));
}

void MakeFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) != 0)
        throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
}

}  // namespace

void WriteFile(const std::string& path, const std::string& data) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
    const bool written = std::fwrite(data.data(), 1, data.size(), file) == data.size();
    if (std::fclose(file) != 0 || !written) throw std::runtime_error("cannot write " + path);
}

SiteStats GenerateSite(const SiteShape& shape, const std::string& root) {
    Random random(shape.seed);
    SiteStats stats;

    // The folder tree: each new folder hangs below a random folder that is
    // not yet at the deepest level.
    struct Folder {
        std::string path;  // relative to root, "" for the top folder
        int depth;
    };
    std::vector<Folder> folders{{"", 0}};
    std::vector<std::size_t> openFolders{0};
    MakeFolder(root);
    for (int i = 1; i < std::max(1, shape.folders); ++i) {
        const Folder parent = folders[openFolders[random.Below(openFolders.size())]];
        Folder folderPlan{parent.path + "/dir" + std::to_string(i), parent.depth + 1};
        MakeFolder(root + folderPlan.path);
        Fnv(stats.hash, folderPlan.path);
        if (folderPlan.depth < shape.depth) openFolders.push_back(folders.size());
        folders.push_back(std::move(folderPlan));
    }
    stats.folders = static_cast<long long>(folders.size());

    long long number = 0;
    for (int i = 0; i < shape.files; ++i) {
        // Pages are spread evenly so that their share is exact.
        const bool isPage = static_cast<long long>((i + 1) * shape.pageShare) >
                           static_cast<long long>(i * shape.pageShare);
        const std::string& folder = folders[random.Below(folders.size())].path;
        std::string relative, data;
        if (isPage) {
            const std::string eol = EolFor(shape.lineEnds, random);
            const int blocks = static_cast<int>(random.Below(static_cast<std::uint64_t>(shape.maxBlocks) + 1));
            relative = folder + "/page" + std::to_string(i) + kPageEndings[random.Below(6)];
            data = MakePage(random, Spread(random, shape.pageBytes), blocks, eol, number);
            stats.blocks += blocks;
            stats.largestPage = std::max<std::uint64_t>(stats.largestPage, data.size());
            ++stats.pages;
        } else {
            const std::string ending = kOtherEndings[random.Below(6)];
            relative = folder + "/file" + std::to_string(i) + ending;
            data = MakeOther(random, Spread(random, shape.otherBytes), ending);
        }
        WriteFile(root + relative, data);
        Fnv(stats.hash, relative);
        Fnv(stats.hash, data);
        ++stats.files;
        stats.bytes += data.size();
    }
    return stats;
}

std::string MakeDensePage(std::size_t bytes, std::size_t every, LineEnds lineEnds, std::uint64_t seed,
                          long long& blocks) {
    Random random(seed);
    const std::string eol = EolFor(lineEnds, random);
    std::string page;
    page.reserve(bytes + every);
    blocks = 0;
    while (page.size() + every <= bytes) {
        // One unit of every bytes: filler text, the block, two line ends.
        const std::string block = MakeBlock(blocks % 2 == 0, blocks + 1, eol);
        const std::size_t fixed = block.size() + 2 * eol.size();
        if (fixed < every) AppendWords(page, random, every - fixed);
        page += eol + block + eol;
        ++blocks;
    }
    AppendWords(page, random, bytes - page.size());
    return page;
}

}  // namespace tagshift::bench
