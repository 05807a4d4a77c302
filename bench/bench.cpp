// tagshift-bench: the whole conversion against a plain recursive copy of the
// same synthetic sites, and the rewrite of single large pages.
//
// Every timed command runs with the source tree in the page cache and with
// no dirty pages of an earlier run waiting to be written: sync() is called
// before each run starts. Outputs are moved aside, not deleted, until all
// runs on a site are done (see Retire). With --cold the page cache is also dropped
// before each timed run (needs root).
#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <stdexcept>
#include <tuple>
#include <string>
#include <vector>

#include "bench/SiteGenerator.h"
#include "convert/ConversionRun.h"
#include "convert/PageRewriter.h"
#include "convert/Texts.h"
#include "fs/FileSystem.h"
#include "fs/Workers.h"

namespace {

using namespace tagshift;
using bench::LineEnds;
using bench::SiteShape;
using bench::SiteStats;
using Clock = std::chrono::steady_clock;

constexpr double kMiB = 1024.0 * 1024.0;

struct Options {
    bool quick = false;
    bool cold = false;
    int runs = 0;  // 0: the mode's default
    std::string work;
    std::string convert = TAGSHIFT_CONVERT;
    std::string window = TAGSHIFT_WINDOW_BENCH;  // empty when the window is not built
    bool runSites = true, runPages = true, runWindow = true, runWorkers = true;
    std::string memoryWork;  // a tmpfs folder for the workers' figures; empty: /dev/shm when it can be written
    bool keep = false;
    bool check = false;
};

double Seconds(Clock::time_point from, Clock::time_point toStat) {
    return std::chrono::duration<double>(toStat - from).count();
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct ProcessResult {
    double seconds = 0;
    double peakMiB = 0;  // the child's peak resident set
    int exitStatus = -1;
    std::string out;
};

// Runs a command, its standard output captured. The command is started by a
// fresh copy of this program (--spawn-child), which times it from fork to
// reaping and reads its peak resident set: a child forked straight from the
// benchmark, which holds large pages in memory, would count the benchmark's
// own memory as its peak.
ProcessResult RunProcess(const std::vector<std::string>& args) {
    int outputs[2], reportLines[2];
    if (::pipe2(outputs, O_CLOEXEC) != 0 || ::pipe2(reportLines, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    std::vector<std::string> spawn{"tagshift-bench", "--spawn-child"};
    spawn.insert(spawn.end(), args.begin(), args.end());
    std::vector<char*> argumentPointers;
    for (const std::string& arg : spawn) argumentPointers.push_back(const_cast<char*>(arg.c_str()));
    argumentPointers.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        ::dup2(outputs[1], 1);
        ::dup2(reportLines[1], 3);
        ::execv("/proc/self/exe", argumentPointers.data());
        ::_exit(127);
    }
    ::close(outputs[1]);
    ::close(reportLines[1]);
    auto ReadAll = [](int fd) {
        std::string data;
        char buffer[4096];
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) != 0;) {
            if (n > 0) data.append(buffer, static_cast<std::size_t>(n));
            else if (errno != EINTR) break;
        }
        ::close(fd);
        return data;
    };
    ProcessResult result;
    result.out = ReadAll(outputs[0]);
    const std::string report = ReadAll(reportLines[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    long peakKb = 0;
    if (std::sscanf(report.c_str(), "%lf %ld %d", &result.seconds, &peakKb, &result.exitStatus) != 3)
        throw std::runtime_error("could not run " + args.front());
    result.peakMiB = static_cast<double>(peakKb) / 1024.0;
    return result;
}

// The other end of RunProcess: runs args and writes "seconds peak-KiB exit"
// to descriptor 3.
int SpawnChild(char** args) {
    const Clock::time_point start = Clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) return 127;
    if (pid == 0) {
        ::close(3);
        ::execvp(args[0], args);
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {}
    const double seconds = Seconds(start, Clock::now());
    const int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    const std::string report = std::to_string(seconds) + " " + std::to_string(usage.ru_maxrss) + " " +
                                std::to_string(exitStatus) + "\n";
    return ::write(3, report.data(), report.size()) == static_cast<ssize_t>(report.size()) ? 0 : 1;
}

void Settle(const Options& options) {
    ::sync();
    if (!options.cold) return;
    std::FILE* drop = std::fopen("/proc/sys/vm/drop_caches", "w");
    if (!drop || std::fputs("3\n", drop) < 0 || std::fclose(drop) != 0)
        throw std::runtime_error("--cold: cannot write /proc/sys/vm/drop_caches (root needed)");
}

// Moves a run's output out of the way without deleting it. On a file system
// that avoids reusing recently freed inodes (ext4 without a journal scans
// past every inode freed in the last minutes on each file it creates),
// deleting a tree of many files would slow down the runs that follow it; so
// outputs are kept until all runs on a site are done.
void Retire(const std::string& path, const std::string& attic) {
    static long long retired = 0;
    ::mkdir(attic.c_str(), 0755);
    const std::string to = attic + "/" + std::to_string(++retired);
    if (::rename(path.c_str(), to.c_str()) != 0) throw std::runtime_error("cannot move " + path + " away");
}

// "Files Converted: F | Functions Replaced: B" from the converter's summary.
void CheckSummary(const ProcessResult& run, long long pageCount, long long blocks, const std::string& what) {
    const std::string want = std::string(texts::kSummaryFiles) + std::to_string(pageCount) +
                              texts::kSummaryFunctions + std::to_string(blocks) + "\n";
    if (run.exitStatus != 0 || run.out.rfind(want, 0) != 0)
        throw std::runtime_error(what + ": conversion exited " + std::to_string(run.exitStatus) + " with \"" +
                                 run.out + "\", expected \"" + want + "\"");
}

// For comparison, the least that a copy followed by a rewrite of every page
// with a block can cost: cp -r, then each such page of the copy read and
// written back unchanged, through a new file that takes its place, or with
// inPlace over its own bytes (not atomic). The converter avoids this second
// write: it writes each selected page once.
void CopyAndReplacePages(const std::string& folder, bool inPlace) {
    fs::FolderListing listing;
    if (fs::ListFolder(folder, listing).Failed()) throw std::runtime_error("cannot list " + folder);
    static const std::vector<std::string> patterns = SplitPatterns(texts::kDefaultPatterns);
    std::string page;
    for (const std::string& name : listing.files) {
        if (std::none_of(patterns.begin(), patterns.end(),
                         [&](const std::string& pattern) { return PatternMatches(pattern, name); }))
            continue;
        const std::string path = folder + "/" + name;
        if (fs::ReadWholeFile(path, page).Failed()) throw std::runtime_error("cannot read " + path);
        if (page.find("<object") == std::string::npos && page.find("<embed") == std::string::npos) continue;
        if (inPlace) bench::WriteFile(path, page);
        else if (fs::WriteFileAtomic(path, page).Failed()) throw std::runtime_error("cannot write " + path);
    }
    for (const std::string& name : listing.folders) CopyAndReplacePages(folder + "/" + name, inPlace);
}

// Times a plain copy and the converter on one source folder (and, with
// floor, the copy with the pages replaced), rotating which goes first, and
// returns the medians.
struct Pair {
    double copySeconds = 0, convertSeconds = 0, floorSeconds = 0, inPlaceSeconds = 0, peakMiB = 0;
};

Pair TimeAgainstCopy(const Options& options, const std::string& source, long long pageCount, long long blocks,
                     int runs, const std::string& attic, bool floor = false) {
    const std::string copy = source + "_copy";
    const std::string converted = source + texts::kDestSuffix;
    Pair pair;
    auto Copy = [&] {
        Settle(options);
        ProcessResult run = RunProcess({"cp", "-r", source, copy});
        if (run.exitStatus != 0) throw std::runtime_error("cp -r failed");
        Retire(copy, attic);
        return run.seconds;
    };
    auto Convert = [&] {
        Settle(options);
        ProcessResult run = RunProcess({options.convert, source});
        CheckSummary(run, pageCount, blocks, source);
        Retire(converted, attic);
        pair.peakMiB = std::max(pair.peakMiB, run.peakMiB);
        return run.seconds;
    };
    auto Floor = [&](bool inPlace) {
        Settle(options);
        const Clock::time_point start = Clock::now();
        if (RunProcess({"cp", "-r", source, copy}).exitStatus != 0) throw std::runtime_error("cp -r failed");
        CopyAndReplacePages(copy, inPlace);
        const double seconds = Seconds(start, Clock::now());
        Retire(copy, attic);
        return seconds;
    };
    std::vector<std::function<double()>> timed{Copy, Convert};
    if (floor) {
        timed.push_back([&] { return Floor(false); });
        timed.push_back([&] { return Floor(true); });
    }
    std::vector<std::vector<double>> times(timed.size());
    for (auto& timedRun : timed) timedRun();  // warm-up: the programs and the source in the page cache
    for (int i = 0; i < runs; ++i)
        for (std::size_t k = 0; k < timed.size(); ++k) {
            const std::size_t j = (k + static_cast<std::size_t>(i)) % timed.size();
            times[j].push_back(timed[j]());
        }
    pair.copySeconds = Median(times[0]);
    pair.convertSeconds = Median(times[1]);
    if (floor) {
        pair.floorSeconds = Median(times[2]);
        pair.inPlaceSeconds = Median(times[3]);
    }
    return pair;
}

// A host that notes when the copy ends, for the split of a run into its
// copy and its walk.
class TimingHost : public ConversionObserver {
public:
    void Status(const std::string& text) override {
        if (text == texts::kStatusCopying) copyStart = Clock::now();
        if (text == texts::kStatusPreparing) copyEnd = Clock::now();
    }
    Clock::time_point copyStart, copyEnd;
};

struct SiteCase {
    const char* name;
    SiteShape shape;
};

struct SiteRow {
    std::string name;
    SiteStats stats;
    Pair pair;
    double splitCopySeconds = 0, splitWalkSeconds = 0;
    double limitMiB = 0;
};

SiteShape Shape(std::uint64_t seed, int fileCount, int folderCount, std::size_t meanBytes) {
    SiteShape shape;
    shape.seed = seed;
    shape.files = fileCount;
    shape.folders = folderCount;
    shape.pageBytes = shape.otherBytes = meanBytes;
    return shape;
}

std::vector<SiteRow> BenchSites(const Options& options, const std::string& work, int runs) {
    std::vector<SiteCase> cases{{"1k", Shape(1, 1000, 20, 15000)}};
    if (options.quick) {
        cases.push_back({"3k", Shape(3, 3000, 60, 15000)});
    } else {
        cases.push_back({"10k", Shape(10, 10000, 200, 15000)});
        cases.push_back({"40k", Shape(40, 40000, 800, 3000)});
    }
    std::vector<SiteRow> rows;
    for (const SiteCase& benchCase : cases) {
        SiteRow row;
        row.name = benchCase.name;
        const std::string source = work + "/site-" + benchCase.name;
        const Clock::time_point start = Clock::now();
        row.stats = bench::GenerateSite(benchCase.shape, source);
        std::printf("site %-4s %6lld files, %4lld folders, %6.1f MB, %5lld pages, %6lld blocks "
                    "(generated in %.1f s, hash %016llx)\n",
                    benchCase.name, row.stats.files, row.stats.folders,
                    static_cast<double>(row.stats.bytes) / 1e6, row.stats.pages, row.stats.blocks,
                    Seconds(start, Clock::now()), static_cast<unsigned long long>(row.stats.hash));
        std::fflush(stdout);
        row.pair =
            TimeAgainstCopy(options, source, row.stats.pages, row.stats.blocks, runs, work + "/attic", true);

        // One run in this process, split into the copy and the walk.
        TimingHost host;
        ConversionRequest request;
        request.sourceFolder = source;
        Settle(options);
        const ConversionResult run = Convert(request, host);
        const Clock::time_point end = Clock::now();
        if (run.outcome != RunOutcome::Completed || run.functionsReplaced != row.stats.blocks)
            throw std::runtime_error(source + ": the in-process run did not complete as expected");
        row.splitCopySeconds = Seconds(host.copyStart, host.copyEnd);
        row.splitWalkSeconds = Seconds(host.copyEnd, end);
        Retire(run.convertedFolder, work + "/attic");

        row.limitMiB = 64 + 3 * static_cast<double>(row.stats.largestPage) / kMiB;
        std::printf("  cp -r %.3f s, convert %.3f s, ratio %.2f; cp -r + pages replaced %.3f s, ratio %.2f; "
                    "cp -r + pages overwritten %.3f s, ratio %.2f;\n  peak %.1f MiB (limit %.1f); "
                    "in-process: copy %.3f s + walk %.3f s\n",
                    row.pair.copySeconds, row.pair.convertSeconds, row.pair.convertSeconds / row.pair.copySeconds,
                    row.pair.floorSeconds, row.pair.floorSeconds / row.pair.copySeconds, row.pair.inPlaceSeconds,
                    row.pair.inPlaceSeconds / row.pair.copySeconds,
                    row.pair.peakMiB, row.limitMiB, row.splitCopySeconds, row.splitWalkSeconds);
        std::fflush(stdout);
        rows.push_back(row);
        if (!options.keep) fs::RemoveTree(work + "/attic");
    }
    return rows;
}

// Builds each block's script function, as the run does before writing it.
class FunctionSink : public BlockSink {
public:
    void Add(TagKind kind, long long number, std::string_view block, const BlockPlace& /*place*/) override {
        AppendFunctionTo(text, kind, number, block);
    }
    std::string text;
};

class QuietHost : public TimingHost {};

struct PageRow {
    int miB = 0;
    long long blocks = 0;
    double memorySeconds = 0, fileSeconds = 0;  // seconds: rewrite in memory; RewritePage with its files
    Pair pair;                     // the whole converter on a folder with only this page
    double limitMiB = 0;
};

double ThreadCpuSeconds() {
    struct timespec now {};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The sizes take turns in every round, so that a busy spell of the machine
// does not fall on one size only. The rewrite in memory is timed in this
// thread's processor time (other programs on the machine do not count); the
// rewrite of the page file (RewritePage: read, rewrite, script files,
// replacement) in wall time.
std::vector<PageRow> BenchPages(const Options& options, const std::string& work, int runs) {
    // Keep freed memory in the heap: otherwise whether a size's buffers come
    // from fresh pages of the kernel or from reused ones depends on the sizes
    // before it, and the series would show the allocator, not the rewrite.
    ::mallopt(M_MMAP_THRESHOLD, 1 << 30);
    ::mallopt(M_TRIM_THRESHOLD, 1 << 30);
    std::vector<int> sizes{1, 2, 4, 8, 16};
    if (options.quick) sizes.pop_back();
    std::vector<PageRow> rows(sizes.size());
    std::vector<std::string> pages(sizes.size());
    for (std::size_t k = 0; k < sizes.size(); ++k) {
        rows[k].miB = sizes[k];
        pages[k] = bench::MakeDensePage(static_cast<std::size_t>(sizes[k]) << 20, 400, LineEnds::CrLf, 7,
                                         rows[k].blocks);
    }

    std::vector<std::vector<double>> memory(sizes.size()), file(sizes.size());
    for (int i = 0; i < std::max(3 * runs, 15); ++i)
        for (std::size_t k = 0; k < sizes.size(); ++k) {
            std::string text = pages[k];
            FunctionSink sink;
            long long count = 0;
            const double startSeconds = ThreadCpuSeconds();
            RewriteText(text, count, sink);
            memory[k].push_back(ThreadCpuSeconds() - startSeconds);
            if (count != rows[k].blocks) throw std::runtime_error("rewrite in memory: wrong block count");
        }

    auto FolderOf = [&](std::size_t k) { return work + "/page-" + std::to_string(sizes[k]); };
    auto Reset = [&](std::size_t k) {
        ::unlink((FolderOf(k) + "/object.js").c_str());
        ::unlink((FolderOf(k) + "/embed.js").c_str());
        bench::WriteFile(FolderOf(k) + "/page.html", pages[k]);
    };
    for (std::size_t k = 0; k < sizes.size(); ++k) ::mkdir(FolderOf(k).c_str(), 0755);
    for (int i = 0; i < std::max(2 * runs, 9); ++i)
        for (std::size_t k = 0; k < sizes.size(); ++k) {
            Reset(k);
            Settle(options);
            QuietHost host;
            ConversionRun run(ConversionRequest{}, host);
            const Clock::time_point start = Clock::now();
            run.RewritePage(PageFile{FolderOf(k) + "/page.html", "page.html", ""});
            file[k].push_back(Seconds(start, Clock::now()));
            if (run.Result().functionsReplaced != rows[k].blocks || run.Result().pagesFailed != 0)
                throw std::runtime_error("RewritePage: wrong block count or failed page");
        }

    for (std::size_t k = 0; k < sizes.size(); ++k) {
        PageRow& row = rows[k];
        const int miB = row.miB;
        row.memorySeconds = Median(memory[k]);
        row.fileSeconds = Median(file[k]);
        Reset(k);
        row.pair = TimeAgainstCopy(options, FolderOf(k), 1, row.blocks, runs, work + "/attic");
        row.limitMiB = 64 + 3.0 * static_cast<double>(pages[k].size()) / kMiB;
        std::printf("page %2d MB, %6lld blocks: in memory %7.1f ms (%5.2f ms/MB), with its files %7.1f ms "
                    "(%5.2f ms/MB); converter %.3f s vs cp -r %.3f s, peak %.1f MiB (limit %.1f)\n",
                    miB, row.blocks, row.memorySeconds * 1e3, row.memorySeconds * 1e3 / miB, row.fileSeconds * 1e3,
                    row.fileSeconds * 1e3 / miB, row.pair.convertSeconds, row.pair.copySeconds, row.pair.peakMiB,
                    row.limitMiB);
        std::fflush(stdout);
    }
    return rows;
}

// The converter with one worker and with its default, against cp -r, in
// alternating rounds (the order rotates each round; every output is removed,
// untimed, before the next command).
struct WorkerRow {
    std::string place;
    SiteStats stats;
    double copySeconds = 0, oneSeconds = 0, defaultSeconds = 0;
};

WorkerRow TimeWorkers(const Options& options, const std::string& source, const SiteStats& stats, int runs,
                      const std::string& place) {
    const std::string copy = source + "_copy";
    const std::string converted = source + texts::kDestSuffix;
    auto Copy = [&] {
        Settle(options);
        ProcessResult run = RunProcess({"cp", "-r", source, copy});
        if (run.exitStatus != 0) throw std::runtime_error("cp -r failed");
        fs::RemoveTree(copy);
        return run.seconds;
    };
    auto Convert = [&](const char* jobs) {
        Settle(options);
        ProcessResult run = jobs ? RunProcess({options.convert, "--jobs", jobs, source}) : RunProcess({options.convert, source});
        CheckSummary(run, stats.pages, stats.blocks, source);
        fs::RemoveTree(converted);
        return run.seconds;
    };
    const std::vector<std::function<double()>> timed{Copy, [&] { return Convert("1"); },
                                                      [&] { return Convert(nullptr); }};
    for (const auto& timedRun : timed) timedRun();  // warm-up
    std::vector<std::vector<double>> times(timed.size());
    for (int i = 0; i < runs; ++i)
        for (std::size_t k = 0; k < timed.size(); ++k) {
            const std::size_t j = (k + static_cast<std::size_t>(i)) % timed.size();
            times[j].push_back(timed[j]());
        }
    WorkerRow row{place, stats, Median(times[0]), Median(times[1]), Median(times[2])};
    std::printf("workers on %s: %lld files, %.1f MB: cp -r %.3f s; --jobs 1 %.3f s, ratio %.2f; default (%u) %.3f s, "
                "ratio %.2f (medians of %d rounds)\n",
                place.c_str(), stats.files, static_cast<double>(stats.bytes) / 1e6, row.copySeconds, row.oneSeconds,
                row.oneSeconds / row.copySeconds, fs::DefaultWorkerCount(),
                row.defaultSeconds, row.defaultSeconds / row.copySeconds, runs);
    std::fflush(stdout);
    return row;
}

struct ScaleRow {
    std::string place;
    SiteStats stats;
    double convertSeconds = 0, copySeconds = 0;
};

// The 10,000-file site on a tmpfs and on the disk, with one worker and with
// the default; then the converter's time per file and per MB on a tmpfs for
// 1,000 to 100,000 small files (1 to 4 KB) and on the disk for 1 GB in 1,000
// large files.
std::pair<std::vector<WorkerRow>, std::vector<ScaleRow>> BenchWorkers(const Options& options, const std::string& work,
                                                                      int runs) {
    std::string memory = options.memoryWork;
    if (memory.empty() && ::access("/dev/shm", W_OK) == 0) memory = "/dev/shm";
    std::string memoryRoot;
    if (!memory.empty()) {
        std::string nameTemplate = memory + "/tagshift-bench-XXXXXX";
        if (!::mkdtemp(nameTemplate.data())) throw std::runtime_error("cannot make a folder in " + memory);
        memoryRoot = nameTemplate;
    } else {
        std::printf("workers: no tmpfs (/dev/shm) to work in: the tmpfs figures are left out\n");
    }
    std::vector<WorkerRow> workerRows;
    std::vector<ScaleRow> scaleRows;
    const SiteShape tenThousand = options.quick ? Shape(3, 3000, 60, 15000) : Shape(10, 10000, 200, 15000);
    try {
        for (const auto& [place, root] : {std::pair<std::string, std::string>{"tmpfs", memoryRoot}, {"disk", work}}) {
            if (root.empty()) continue;
            const std::string source = root + "/site-workers";
            const SiteStats stats = bench::GenerateSite(tenThousand, source);
            workerRows.push_back(TimeWorkers(options, source, stats, std::max(runs, 7), place));
            fs::RemoveTree(source);
        }
        std::vector<std::tuple<std::string, std::string, SiteShape>> scales;
        if (!memoryRoot.empty())
            for (int files : options.quick ? std::vector<int>{1000, 10000} : std::vector<int>{1000, 10000, 100000})
                scales.emplace_back("tmpfs", memoryRoot, Shape(static_cast<std::uint64_t>(files), files, files / 50, 2500));
        if (!options.quick) scales.emplace_back("disk", work, Shape(1000000, 1000, 20, std::size_t{1} << 20));
        for (const auto& [place, root, shape] : scales) {
            const std::string source = root + "/site-scale";
            const SiteStats stats = bench::GenerateSite(shape, source);
            const WorkerRow timed = TimeWorkers(options, source, stats, runs, place);
            scaleRows.push_back(ScaleRow{place, stats, timed.defaultSeconds, timed.copySeconds});
            fs::RemoveTree(source);
        }
    } catch (...) {
        if (!memoryRoot.empty()) fs::RemoveTree(memoryRoot);
        throw;
    }
    if (!memoryRoot.empty()) fs::RemoveTree(memoryRoot);
    return {workerRows, scaleRows};
}

void PrintWorkerTables(const std::vector<WorkerRow>& workers, const std::vector<ScaleRow>& scales) {
    if (!workers.empty()) {
        std::printf("\n| 10k site on | `cp -r` s | `--jobs 1` s | ratio | default s | ratio |\n"
                    "|---|---:|---:|---:|---:|---:|\n");
        for (const WorkerRow& o : workers)
            std::printf("| %s | %.3f | %.3f | %.2f | %.3f | %.2f |\n", o.place.c_str(), o.copySeconds, o.oneSeconds,
                        o.oneSeconds / o.copySeconds, o.defaultSeconds, o.defaultSeconds / o.copySeconds);
    }
    if (!scales.empty()) {
        std::printf("\n| on | files | MB | pages | convert s | µs per file | ms per MB | `cp -r` s |\n"
                    "|---|---:|---:|---:|---:|---:|---:|---:|\n");
        for (const ScaleRow& o : scales) {
            const double mb = static_cast<double>(o.stats.bytes) / 1e6;
            std::printf("| %s | %lld | %.0f | %lld | %.3f | %.1f | %.2f | %.3f |\n", o.place.c_str(), o.stats.files, mb,
                        o.stats.pages, o.convertSeconds, o.convertSeconds * 1e6 / static_cast<double>(o.stats.files),
                        o.convertSeconds * 1e3 / mb, o.copySeconds);
        }
    }
}

// The window program converts the site once and prints the seconds from the
// click to the end of the run, the paints of the status label and the
// longest time without one.
struct WindowRow {
    double windowSeconds = 0, noPaintSeconds = 0, headlessSeconds = 0, peakMiB = 0, maxGapMs = 0;
    long long repaints = -1;
};

WindowRow BenchWindow(const Options& options, const std::string& work, int runs) {
    const SiteShape shape = options.quick ? Shape(3, 3000, 60, 15000) : Shape(10, 10000, 200, 15000);
    const std::string source = work + "/site-window";
    const SiteStats stats = bench::GenerateSite(shape, source);
    const std::string converted = source + texts::kDestSuffix;
    const std::string attic = work + "/attic";
    WindowRow row;
    auto Window = [&](bool paint) {
        Settle(options);
        ProcessResult run = paint ? RunProcess({options.window, source})
                                    : RunProcess({options.window, "--no-status-paint", source});
        double seconds = 0, gapMs = 0;
        long long repaints = 0, pageCount = 0, blocks = 0;
        if (run.exitStatus != 0 ||
            std::sscanf(run.out.c_str(), "seconds %lf repaints %lld pages %lld blocks %lld maxgap %lf", &seconds,
                        &repaints, &pageCount, &blocks, &gapMs) != 5 ||
            pageCount != stats.pages || blocks != stats.blocks)
            throw std::runtime_error("window run failed: exit " + std::to_string(run.exitStatus) + ", \"" + run.out +
                                     "\"");
        Retire(converted, attic);
        if (paint) {
            row.maxGapMs = std::max(row.maxGapMs, gapMs);
            row.repaints = row.repaints < 0 ? repaints : std::min(row.repaints, repaints);
            row.peakMiB = std::max(row.peakMiB, run.peakMiB);
        }
        return seconds;
    };
    auto Headless = [&] {
        Settle(options);
        ProcessResult run = RunProcess({options.convert, source});
        CheckSummary(run, stats.pages, stats.blocks, source);
        Retire(converted, attic);
        return run.seconds;
    };
    const std::vector<std::function<double()>> timed{Headless, [&] { return Window(true); },
                                                      [&] { return Window(false); }};
    for (const auto& timedRun : timed) timedRun();  // warm-up
    row = WindowRow{};
    std::vector<std::vector<double>> times(timed.size());
    for (int i = 0; i < runs; ++i)
        for (std::size_t k = 0; k < timed.size(); ++k) {
            const std::size_t j = (k + static_cast<std::size_t>(i)) % timed.size();
            times[j].push_back(timed[j]());
        }
    row.headlessSeconds = Median(times[0]);
    row.windowSeconds = Median(times[1]);
    row.noPaintSeconds = Median(times[2]);
    std::printf("window: %lld files, %lld pages: window %.3f s vs headless %.3f s, ratio %.2f "
                "(status label not painted: %.3f s, ratio %.2f);\n  at least %lld paints of the status per run, "
                "longest without one %.0f ms; peak %.1f MiB\n",
                stats.files, stats.pages, row.windowSeconds, row.headlessSeconds, row.windowSeconds / row.headlessSeconds,
                row.noPaintSeconds, row.noPaintSeconds / row.headlessSeconds, row.repaints, row.maxGapMs, row.peakMiB);
    std::fflush(stdout);
    if (!options.keep) fs::RemoveTree(attic);
    return row;
}

void PrintTables(const std::vector<SiteRow>& sites, const std::vector<PageRow>& pages) {
    if (!sites.empty()) {
        std::printf("\n| site | files | folders | MB | pages | blocks | `cp -r` s | convert s | ratio | "
                    "`cp -r` + pages replaced: ratio | `cp -r` + pages overwritten: ratio | peak MiB |\n"
                    "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
        for (const SiteRow& o : sites)
            std::printf("| %s | %lld | %lld | %.0f | %lld | %lld | %.3f | %.3f | %.2f | %.2f | %.2f | %.1f |\n",
                        o.name.c_str(), o.stats.files, o.stats.folders,
                        static_cast<double>(o.stats.bytes) / 1e6, o.stats.pages, o.stats.blocks,
                        o.pair.copySeconds, o.pair.convertSeconds, o.pair.convertSeconds / o.pair.copySeconds,
                        o.pair.floorSeconds / o.pair.copySeconds, o.pair.inPlaceSeconds / o.pair.copySeconds, o.pair.peakMiB);
    }
    if (!pages.empty()) {
        std::printf("\n| page MB | blocks | rewrite in memory ms/MB | page with its files ms/MB | converter s | "
                    "peak MiB |\n|---:|---:|---:|---:|---:|---:|\n");
        double minPerMiB[2] = {1e9, 1e9}, maxPerMiB[2] = {0, 0};
        for (const PageRow& o : pages) {
            const double d[2] = {o.memorySeconds * 1e3 / o.miB, o.fileSeconds * 1e3 / o.miB};
            for (int k = 0; k < 2; ++k) minPerMiB[k] = std::min(minPerMiB[k], d[k]), maxPerMiB[k] = std::max(maxPerMiB[k], d[k]);
            std::printf("| %d | %lld | %.2f | %.2f | %.3f | %.1f |\n", o.miB, o.blocks, d[0], d[1],
                        o.pair.convertSeconds, o.pair.peakMiB);
        }
        std::printf("\ntime per MB, largest / smallest: in memory %.2f, with its files %.2f\n", maxPerMiB[0] / minPerMiB[0],
                    maxPerMiB[1] / minPerMiB[1]);
    }
}

// --check: the generator's promises that the figures rest on. Returns the
// number of broken ones.
int CheckGenerator(const Options& options, const std::string& work) {
    int broken = 0;
    auto Expect = [&](bool holds, const std::string& what) {
        std::printf("%s: %s\n", holds ? "ok" : "BROKEN", what.c_str());
        if (!holds) ++broken;
    };
    SiteShape shape = Shape(5, 300, 12, 4000);
    const SiteStats first = bench::GenerateSite(shape, work + "/check-a");
    const SiteStats again = bench::GenerateSite(shape, work + "/check-b");
    shape.seed = 6;
    const SiteStats other = bench::GenerateSite(shape, work + "/check-c");
    Expect(first.hash == again.hash && first.bytes == again.bytes, "the same seed gives the same site");
    Expect(first.hash != other.hash, "another seed gives another site");
    Expect(first.files == 300 && first.pages == 180 && first.folders == 12,
           "300 files, 12 folders, exactly 60 % pages");
    const ProcessResult run = RunProcess({options.convert, work + "/check-a"});
    const std::string want = std::string(texts::kSummaryFiles) + std::to_string(first.pages) +
                              texts::kSummaryFunctions + std::to_string(first.blocks) + "\n";
    Expect(run.exitStatus == 0 && run.out.rfind(want, 0) == 0,
           "the converter selects every page once and replaces every block: " + want.substr(0, want.size() - 1));
    for (std::size_t bytes : {std::size_t{1} << 20, std::size_t{3000}}) {
        long long blocks = 0;
        const std::string page = bench::MakeDensePage(bytes, 400, LineEnds::Lf, 1, blocks);
        FunctionSink sink;
        long long count = 0;
        std::string text = page;
        RewriteText(text, count, sink);
        Expect(page.size() == bytes && blocks == static_cast<long long>(bytes / 400) && count == blocks,
               "a dense page of " + std::to_string(bytes) + " bytes has a block every 400 bytes (" +
                   std::to_string(count) + " replaced)");
    }
    return broken;
}

const char* const kUsage =
    "Usage: tagshift-bench [--quick] [--runs N] [--cold] [--work DIR] [--keep]\n"
    "                      [--only sites|pages|window|workers] [--tmpfs DIR]\n"
    "                      [--convert PATH] [--window PATH]\n"
    "Times tagshift-convert against cp -r on synthetic sites (runs alternate,\n"
    "medians are printed), and the rewrite of single pages of 1 to 16 MB with a\n"
    "block every 400 bytes. --quick: smaller sites, pages up to 8 MB, 3 runs.\n"
    "workers: the 10,000-file site on a tmpfs (--tmpfs DIR, default /dev/shm) and\n"
    "in the work folder, converted with --jobs 1 and with the default, against\n"
    "cp -r; and the time per file and per MB for 1,000 to 100,000 small files on\n"
    "the tmpfs and for 1 GB in 1,000 files in the work folder.\n"
    "--keep leaves the work folder (sites and every output) in place.\n"
    "--check only checks the site generator (a few seconds).\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::strcmp(argv[1], "--spawn-child") == 0) return SpawnChild(argv + 2);
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto Value = [&]() -> std::string {
            if (i + 1 >= argc) throw std::runtime_error(arg + " needs a value");
            return argv[++i];
        };
        try {
            if (arg == "--quick") options.quick = true;
            else if (arg == "--cold") options.cold = true;
            else if (arg == "--keep") options.keep = true;
            else if (arg == "--check") options.check = true;
            else if (arg == "--runs") options.runs = std::max(1, std::atoi(Value().c_str()));
            else if (arg == "--work") options.work = Value();
            else if (arg == "--convert") options.convert = Value();
            else if (arg == "--window") options.window = Value();
            else if (arg == "--tmpfs") options.memoryWork = Value();
            else if (arg == "--only") {
                const std::string which = Value();
                options.runSites = which == "sites";
                options.runPages = which == "pages";
                options.runWindow = which == "window";
                options.runWorkers = which == "workers";
            } else {
                std::cout << kUsage;
                return arg == "--help" ? 0 : 2;
            }
        } catch (const std::exception& error) {
            std::cerr << "tagshift-bench: " << error.what() << '\n';
            return 2;
        }
    }
    const int runs = options.runs ? options.runs : (options.quick ? 3 : 5);
    if (options.work.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        options.work = tmp && *tmp ? tmp : "/tmp";
    }
    std::string nameTemplate = options.work + "/tagshift-bench-XXXXXX";
    if (!::mkdtemp(nameTemplate.data())) {
        std::perror(nameTemplate.c_str());
        return 1;
    }
    const std::string work = nameTemplate;
    if (!options.check)
        std::printf("tagshift-bench: %s mode, %d runs each, %s page cache, work folder %s\n",
                    options.quick ? "quick" : "full", runs,
                    options.cold ? "cold (dropped before each run)" : "warm", work.c_str());
    int exitStatus = 0;
    try {
        if (options.check) {
            exitStatus = CheckGenerator(options, work) == 0 ? 0 : 1;
            if (!options.keep) fs::RemoveTree(work);
            return exitStatus;
        }
        std::vector<SiteRow> sites;
        std::vector<PageRow> pages;
        if (options.runSites) sites = BenchSites(options, work, runs);
        if (options.runPages) pages = BenchPages(options, work, runs);
        if (options.runWindow) {
            if (options.window.empty() || ::access(options.window.c_str(), X_OK) != 0)
                std::printf("window: not measured (no window benchmark program built)\n");
            else
                BenchWindow(options, work, runs);
        }
        std::pair<std::vector<WorkerRow>, std::vector<ScaleRow>> workerFigures;
        if (options.runWorkers) workerFigures = BenchWorkers(options, work, runs);
        PrintTables(sites, pages);
        PrintWorkerTables(workerFigures.first, workerFigures.second);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tagshift-bench: %s\n", error.what());
        exitStatus = 1;
    }
    if (!options.keep) fs::RemoveTree(work);
    return exitStatus;
}
