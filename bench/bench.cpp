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
#include <string>
#include <vector>

#include "bench/SiteGenerator.h"
#include "convert/ConversionRun.h"
#include "convert/PageRewriter.h"
#include "convert/Texts.h"
#include "fs/FileSystem.h"

namespace {

using namespace tagshift;
using bench::LineEnds;
using bench::SiteShape;
using bench::SiteStats;
using Clock = std::chrono::steady_clock;

constexpr double kMiB = 1024.0 * 1024.0;

struct Options {
    bool bQuick = false;
    bool bCold = false;
    int iRuns = 0;  // 0: the mode's default
    std::string sWork;
    std::string sConvert = TAGSHIFT_CONVERT;
    std::string sWindow = TAGSHIFT_WINDOW_BENCH;  // empty when the window is not built
    bool bSites = true, bPages = true, bWindow = true;
    bool bKeep = false;
    bool bCheck = false;
};

double Seconds(Clock::time_point oFrom, Clock::time_point oTo) {
    return std::chrono::duration<double>(oTo - oFrom).count();
}

double Median(std::vector<double> aValues) {
    if (aValues.empty()) return 0;
    std::sort(aValues.begin(), aValues.end());
    const std::size_t n = aValues.size();
    return n % 2 ? aValues[n / 2] : (aValues[n / 2 - 1] + aValues[n / 2]) / 2;
}

struct ProcessResult {
    double dSeconds = 0;
    double dPeakMiB = 0;  // the child's peak resident set
    int iExit = -1;
    std::string sOut;
};

// Runs a command, its standard output captured. The command is started by a
// fresh copy of this program (--spawn-child), which times it from fork to
// reaping and reads its peak resident set: a child forked straight from the
// benchmark, which holds large pages in memory, would count the benchmark's
// own memory as its peak.
ProcessResult RunProcess(const std::vector<std::string>& aArgs) {
    int aOut[2], aReport[2];
    if (::pipe2(aOut, O_CLOEXEC) != 0 || ::pipe2(aReport, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    std::vector<std::string> aSpawn{"tagshift-bench", "--spawn-child"};
    aSpawn.insert(aSpawn.end(), aArgs.begin(), aArgs.end());
    std::vector<char*> aArgv;
    for (const std::string& sArg : aSpawn) aArgv.push_back(const_cast<char*>(sArg.c_str()));
    aArgv.push_back(nullptr);
    const pid_t iPid = ::fork();
    if (iPid < 0) throw std::runtime_error("fork failed");
    if (iPid == 0) {
        ::dup2(aOut[1], 1);
        ::dup2(aReport[1], 3);
        ::execv("/proc/self/exe", aArgv.data());
        ::_exit(127);
    }
    ::close(aOut[1]);
    ::close(aReport[1]);
    auto ReadAll = [](int iFd) {
        std::string sData;
        char aBuffer[4096];
        for (ssize_t n; (n = ::read(iFd, aBuffer, sizeof aBuffer)) != 0;) {
            if (n > 0) sData.append(aBuffer, static_cast<std::size_t>(n));
            else if (errno != EINTR) break;
        }
        ::close(iFd);
        return sData;
    };
    ProcessResult oResult;
    oResult.sOut = ReadAll(aOut[0]);
    const std::string sReport = ReadAll(aReport[0]);
    int iStatus = 0;
    while (::waitpid(iPid, &iStatus, 0) < 0 && errno == EINTR) {}
    long iPeakKb = 0;
    if (std::sscanf(sReport.c_str(), "%lf %ld %d", &oResult.dSeconds, &iPeakKb, &oResult.iExit) != 3)
        throw std::runtime_error("could not run " + aArgs.front());
    oResult.dPeakMiB = static_cast<double>(iPeakKb) / 1024.0;
    return oResult;
}

// The other end of RunProcess: runs aArgs and writes "seconds peak-KiB exit"
// to descriptor 3.
int SpawnChild(char** aArgs) {
    const Clock::time_point oStart = Clock::now();
    const pid_t iPid = ::fork();
    if (iPid < 0) return 127;
    if (iPid == 0) {
        ::close(3);
        ::execvp(aArgs[0], aArgs);
        ::_exit(127);
    }
    int iStatus = 0;
    struct rusage oUsage {};
    while (::wait4(iPid, &iStatus, 0, &oUsage) < 0 && errno == EINTR) {}
    const double dSeconds = Seconds(oStart, Clock::now());
    const int iExit = WIFEXITED(iStatus) ? WEXITSTATUS(iStatus) : 128 + WTERMSIG(iStatus);
    const std::string sReport = std::to_string(dSeconds) + " " + std::to_string(oUsage.ru_maxrss) + " " +
                                std::to_string(iExit) + "\n";
    return ::write(3, sReport.data(), sReport.size()) == static_cast<ssize_t>(sReport.size()) ? 0 : 1;
}

void Settle(const Options& oOptions) {
    ::sync();
    if (!oOptions.bCold) return;
    std::FILE* pDrop = std::fopen("/proc/sys/vm/drop_caches", "w");
    if (!pDrop || std::fputs("3\n", pDrop) < 0 || std::fclose(pDrop) != 0)
        throw std::runtime_error("--cold: cannot write /proc/sys/vm/drop_caches (root needed)");
}

// Moves a run's output out of the way without deleting it. On a file system
// that avoids reusing recently freed inodes (ext4 without a journal scans
// past every inode freed in the last minutes on each file it creates),
// deleting a tree of many files would slow down the runs that follow it; so
// outputs are kept until all runs on a site are done.
void Retire(const std::string& sPath, const std::string& sAttic) {
    static long long iRetired = 0;
    ::mkdir(sAttic.c_str(), 0755);
    const std::string sTo = sAttic + "/" + std::to_string(++iRetired);
    if (::rename(sPath.c_str(), sTo.c_str()) != 0) throw std::runtime_error("cannot move " + sPath + " away");
}

// "Files Converted: F | Functions Replaced: B" from the converter's summary.
void CheckSummary(const ProcessResult& oRun, long long iPages, long long iBlocks, const std::string& sWhat) {
    const std::string sWant = std::string(texts::kSummaryFiles) + std::to_string(iPages) +
                              texts::kSummaryFunctions + std::to_string(iBlocks) + "\n";
    if (oRun.iExit != 0 || oRun.sOut.rfind(sWant, 0) != 0)
        throw std::runtime_error(sWhat + ": conversion exited " + std::to_string(oRun.iExit) + " with \"" +
                                 oRun.sOut + "\", expected \"" + sWant + "\"");
}

// For comparison, the least that a copy followed by a rewrite of every page
// with a block can cost: cp -r, then each such page of the copy read and
// written back unchanged, through a new file that takes its place, or with
// bInPlace over its own bytes (not atomic). The converter avoids this second
// write: it writes each selected page once.
void CopyAndReplacePages(const std::string& sFolder, bool bInPlace) {
    fs::FolderListing oListing;
    if (fs::ListFolder(sFolder, oListing).Failed()) throw std::runtime_error("cannot list " + sFolder);
    static const std::vector<std::string> aPatterns = SplitPatterns(texts::kDefaultPatterns);
    std::string sPage;
    for (const std::string& sName : oListing.aFiles) {
        if (std::none_of(aPatterns.begin(), aPatterns.end(),
                         [&](const std::string& sPattern) { return PatternMatches(sPattern, sName); }))
            continue;
        const std::string sPath = sFolder + "/" + sName;
        if (fs::ReadWholeFile(sPath, sPage).Failed()) throw std::runtime_error("cannot read " + sPath);
        if (sPage.find("<object") == std::string::npos && sPage.find("<embed") == std::string::npos) continue;
        if (bInPlace) bench::WriteFile(sPath, sPage);
        else if (fs::WriteFileAtomic(sPath, sPage).Failed()) throw std::runtime_error("cannot write " + sPath);
    }
    for (const std::string& sName : oListing.aFolders) CopyAndReplacePages(sFolder + "/" + sName, bInPlace);
}

// Times a plain copy and the converter on one source folder (and, with
// bFloor, the copy with the pages replaced), rotating which goes first, and
// returns the medians.
struct Pair {
    double dCopy = 0, dConvert = 0, dFloor = 0, dInPlace = 0, dPeakMiB = 0;
};

Pair TimeAgainstCopy(const Options& oOptions, const std::string& sSource, long long iPages, long long iBlocks,
                     int iRuns, const std::string& sAttic, bool bFloor = false) {
    const std::string sCopy = sSource + "_copy";
    const std::string sConverted = sSource + texts::kDestSuffix;
    Pair oPair;
    auto Copy = [&] {
        Settle(oOptions);
        ProcessResult oRun = RunProcess({"cp", "-r", sSource, sCopy});
        if (oRun.iExit != 0) throw std::runtime_error("cp -r failed");
        Retire(sCopy, sAttic);
        return oRun.dSeconds;
    };
    auto Convert = [&] {
        Settle(oOptions);
        ProcessResult oRun = RunProcess({oOptions.sConvert, sSource});
        CheckSummary(oRun, iPages, iBlocks, sSource);
        Retire(sConverted, sAttic);
        oPair.dPeakMiB = std::max(oPair.dPeakMiB, oRun.dPeakMiB);
        return oRun.dSeconds;
    };
    auto Floor = [&](bool bInPlace) {
        Settle(oOptions);
        const Clock::time_point oStart = Clock::now();
        if (RunProcess({"cp", "-r", sSource, sCopy}).iExit != 0) throw std::runtime_error("cp -r failed");
        CopyAndReplacePages(sCopy, bInPlace);
        const double dSeconds = Seconds(oStart, Clock::now());
        Retire(sCopy, sAttic);
        return dSeconds;
    };
    std::vector<std::function<double()>> aTimed{Copy, Convert};
    if (bFloor) {
        aTimed.push_back([&] { return Floor(false); });
        aTimed.push_back([&] { return Floor(true); });
    }
    std::vector<std::vector<double>> aTimes(aTimed.size());
    for (auto& oTimed : aTimed) oTimed();  // warm-up: the programs and the source in the page cache
    for (int i = 0; i < iRuns; ++i)
        for (std::size_t k = 0; k < aTimed.size(); ++k) {
            const std::size_t j = (k + static_cast<std::size_t>(i)) % aTimed.size();
            aTimes[j].push_back(aTimed[j]());
        }
    oPair.dCopy = Median(aTimes[0]);
    oPair.dConvert = Median(aTimes[1]);
    if (bFloor) {
        oPair.dFloor = Median(aTimes[2]);
        oPair.dInPlace = Median(aTimes[3]);
    }
    return oPair;
}

// A host that notes when the copy ends, for the split of a run into its
// copy and its walk.
class TimingHost : public ConversionObserver {
public:
    void Status(const std::string& sText) override {
        if (sText == texts::kStatusCopying) oCopyStart = Clock::now();
        if (sText == texts::kStatusPreparing) oCopyEnd = Clock::now();
    }
    Clock::time_point oCopyStart, oCopyEnd;
};

struct SiteCase {
    const char* sName;
    SiteShape oShape;
};

struct SiteRow {
    std::string sName;
    SiteStats oStats;
    Pair oPair;
    double dSplitCopy = 0, dSplitWalk = 0;
    double dLimitMiB = 0;
};

SiteShape Shape(std::uint64_t iSeed, int iFiles, int iFolders, std::size_t iMeanBytes) {
    SiteShape oShape;
    oShape.iSeed = iSeed;
    oShape.iFiles = iFiles;
    oShape.iFolders = iFolders;
    oShape.iPageBytes = oShape.iOtherBytes = iMeanBytes;
    return oShape;
}

std::vector<SiteRow> BenchSites(const Options& oOptions, const std::string& sWork, int iRuns) {
    std::vector<SiteCase> aCases{{"1k", Shape(1, 1000, 20, 15000)}};
    if (oOptions.bQuick) {
        aCases.push_back({"3k", Shape(3, 3000, 60, 15000)});
    } else {
        aCases.push_back({"10k", Shape(10, 10000, 200, 15000)});
        aCases.push_back({"40k", Shape(40, 40000, 800, 3000)});
    }
    std::vector<SiteRow> aRows;
    for (const SiteCase& oCase : aCases) {
        SiteRow oRow;
        oRow.sName = oCase.sName;
        const std::string sSource = sWork + "/site-" + oCase.sName;
        const Clock::time_point oStart = Clock::now();
        oRow.oStats = bench::GenerateSite(oCase.oShape, sSource);
        std::printf("site %-4s %6lld files, %4lld folders, %6.1f MB, %5lld pages, %6lld blocks "
                    "(generated in %.1f s, hash %016llx)\n",
                    oCase.sName, oRow.oStats.iFiles, oRow.oStats.iFolders,
                    static_cast<double>(oRow.oStats.iBytes) / 1e6, oRow.oStats.iPages, oRow.oStats.iBlocks,
                    Seconds(oStart, Clock::now()), static_cast<unsigned long long>(oRow.oStats.iHash));
        std::fflush(stdout);
        oRow.oPair =
            TimeAgainstCopy(oOptions, sSource, oRow.oStats.iPages, oRow.oStats.iBlocks, iRuns, sWork + "/attic", true);

        // One run in this process, split into the copy and the walk.
        TimingHost oHost;
        ConversionRequest oRequest;
        oRequest.sourceFolder = sSource;
        Settle(oOptions);
        const ConversionResult oRun = Convert(oRequest, oHost);
        const Clock::time_point oEnd = Clock::now();
        if (oRun.outcome != RunOutcome::Completed || oRun.functionsReplaced != oRow.oStats.iBlocks)
            throw std::runtime_error(sSource + ": the in-process run did not complete as expected");
        oRow.dSplitCopy = Seconds(oHost.oCopyStart, oHost.oCopyEnd);
        oRow.dSplitWalk = Seconds(oHost.oCopyEnd, oEnd);
        Retire(oRun.convertedFolder, sWork + "/attic");

        oRow.dLimitMiB = 64 + 3 * static_cast<double>(oRow.oStats.iLargestPage) / kMiB;
        std::printf("  cp -r %.3f s, convert %.3f s, ratio %.2f; cp -r + pages replaced %.3f s, ratio %.2f; "
                    "cp -r + pages overwritten %.3f s, ratio %.2f;\n  peak %.1f MiB (limit %.1f); "
                    "in-process: copy %.3f s + walk %.3f s\n",
                    oRow.oPair.dCopy, oRow.oPair.dConvert, oRow.oPair.dConvert / oRow.oPair.dCopy,
                    oRow.oPair.dFloor, oRow.oPair.dFloor / oRow.oPair.dCopy, oRow.oPair.dInPlace,
                    oRow.oPair.dInPlace / oRow.oPair.dCopy,
                    oRow.oPair.dPeakMiB, oRow.dLimitMiB, oRow.dSplitCopy, oRow.dSplitWalk);
        std::fflush(stdout);
        aRows.push_back(oRow);
        if (!oOptions.bKeep) fs::RemoveTree(sWork + "/attic");
    }
    return aRows;
}

// Builds each block's script function, as the run does before writing it.
class FunctionSink : public BlockSink {
public:
    void Add(TagKind eKind, long long iNumber, std::string_view sBlock) override {
        AppendFunctionTo(sText, eKind, iNumber, sBlock);
    }
    std::string sText;
};

class QuietHost : public TimingHost {};

struct PageRow {
    int iMiB = 0;
    long long iBlocks = 0;
    double dMemory = 0, dFile = 0;  // seconds: rewrite in memory; RewritePage with its files
    Pair oPair;                     // the whole converter on a folder with only this page
    double dLimitMiB = 0;
};

double ThreadCpuSeconds() {
    struct timespec oNow {};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &oNow);
    return static_cast<double>(oNow.tv_sec) + static_cast<double>(oNow.tv_nsec) / 1e9;
}

// The sizes take turns in every round, so that a busy spell of the machine
// does not fall on one size only. The rewrite in memory is timed in this
// thread's processor time (other programs on the machine do not count); the
// rewrite of the page file (RewritePage: read, rewrite, script files,
// replacement) in wall time.
std::vector<PageRow> BenchPages(const Options& oOptions, const std::string& sWork, int iRuns) {
    // Keep freed memory in the heap: otherwise whether a size's buffers come
    // from fresh pages of the kernel or from reused ones depends on the sizes
    // before it, and the series would show the allocator, not the rewrite.
    ::mallopt(M_MMAP_THRESHOLD, 1 << 30);
    ::mallopt(M_TRIM_THRESHOLD, 1 << 30);
    std::vector<int> aSizes{1, 2, 4, 8, 16};
    if (oOptions.bQuick) aSizes.pop_back();
    std::vector<PageRow> aRows(aSizes.size());
    std::vector<std::string> aPages(aSizes.size());
    for (std::size_t k = 0; k < aSizes.size(); ++k) {
        aRows[k].iMiB = aSizes[k];
        aPages[k] = bench::MakeDensePage(static_cast<std::size_t>(aSizes[k]) << 20, 400, LineEnds::CrLf, 7,
                                         aRows[k].iBlocks);
    }

    std::vector<std::vector<double>> aMemory(aSizes.size()), aFile(aSizes.size());
    for (int i = 0; i < std::max(3 * iRuns, 15); ++i)
        for (std::size_t k = 0; k < aSizes.size(); ++k) {
            std::string sText = aPages[k];
            FunctionSink oSink;
            long long iCount = 0;
            const double dStart = ThreadCpuSeconds();
            RewriteText(sText, iCount, oSink);
            aMemory[k].push_back(ThreadCpuSeconds() - dStart);
            if (iCount != aRows[k].iBlocks) throw std::runtime_error("rewrite in memory: wrong block count");
        }

    auto FolderOf = [&](std::size_t k) { return sWork + "/page-" + std::to_string(aSizes[k]); };
    auto Reset = [&](std::size_t k) {
        ::unlink((FolderOf(k) + "/object.js").c_str());
        ::unlink((FolderOf(k) + "/embed.js").c_str());
        bench::WriteFile(FolderOf(k) + "/page.html", aPages[k]);
    };
    for (std::size_t k = 0; k < aSizes.size(); ++k) ::mkdir(FolderOf(k).c_str(), 0755);
    for (int i = 0; i < std::max(2 * iRuns, 9); ++i)
        for (std::size_t k = 0; k < aSizes.size(); ++k) {
            Reset(k);
            Settle(oOptions);
            QuietHost oHost;
            ConversionRun oRun(ConversionRequest{}, oHost);
            const Clock::time_point oStart = Clock::now();
            oRun.RewritePage(PageFile{FolderOf(k) + "/page.html", "page.html", ""});
            aFile[k].push_back(Seconds(oStart, Clock::now()));
            if (oRun.Result().functionsReplaced != aRows[k].iBlocks || oRun.Result().pagesFailed != 0)
                throw std::runtime_error("RewritePage: wrong block count or failed page");
        }

    for (std::size_t k = 0; k < aSizes.size(); ++k) {
        PageRow& oRow = aRows[k];
        const int iMiB = oRow.iMiB;
        oRow.dMemory = Median(aMemory[k]);
        oRow.dFile = Median(aFile[k]);
        Reset(k);
        oRow.oPair = TimeAgainstCopy(oOptions, FolderOf(k), 1, oRow.iBlocks, iRuns, sWork + "/attic");
        oRow.dLimitMiB = 64 + 3.0 * static_cast<double>(aPages[k].size()) / kMiB;
        std::printf("page %2d MB, %6lld blocks: in memory %7.1f ms (%5.2f ms/MB), with its files %7.1f ms "
                    "(%5.2f ms/MB); converter %.3f s vs cp -r %.3f s, peak %.1f MiB (limit %.1f)\n",
                    iMiB, oRow.iBlocks, oRow.dMemory * 1e3, oRow.dMemory * 1e3 / iMiB, oRow.dFile * 1e3,
                    oRow.dFile * 1e3 / iMiB, oRow.oPair.dConvert, oRow.oPair.dCopy, oRow.oPair.dPeakMiB,
                    oRow.dLimitMiB);
        std::fflush(stdout);
    }
    return aRows;
}

// The window program converts the site once and prints the seconds from the
// click to the end of the run, the paints of the status label and the
// longest time without one.
struct WindowRow {
    double dWindow = 0, dNoPaint = 0, dHeadless = 0, dPeakMiB = 0, dMaxGapMs = 0;
    long long iRepaints = -1;
};

WindowRow BenchWindow(const Options& oOptions, const std::string& sWork, int iRuns) {
    const SiteShape oShape = oOptions.bQuick ? Shape(3, 3000, 60, 15000) : Shape(10, 10000, 200, 15000);
    const std::string sSource = sWork + "/site-window";
    const SiteStats oStats = bench::GenerateSite(oShape, sSource);
    const std::string sConverted = sSource + texts::kDestSuffix;
    const std::string sAttic = sWork + "/attic";
    WindowRow oRow;
    auto Window = [&](bool bPaint) {
        Settle(oOptions);
        ProcessResult oRun = bPaint ? RunProcess({oOptions.sWindow, sSource})
                                    : RunProcess({oOptions.sWindow, "--no-status-paint", sSource});
        double dSeconds = 0, dGap = 0;
        long long iRepaints = 0, iPages = 0, iBlocks = 0;
        if (oRun.iExit != 0 ||
            std::sscanf(oRun.sOut.c_str(), "seconds %lf repaints %lld pages %lld blocks %lld maxgap %lf", &dSeconds,
                        &iRepaints, &iPages, &iBlocks, &dGap) != 5 ||
            iPages != oStats.iPages || iBlocks != oStats.iBlocks)
            throw std::runtime_error("window run failed: exit " + std::to_string(oRun.iExit) + ", \"" + oRun.sOut +
                                     "\"");
        Retire(sConverted, sAttic);
        if (bPaint) {
            oRow.dMaxGapMs = std::max(oRow.dMaxGapMs, dGap);
            oRow.iRepaints = oRow.iRepaints < 0 ? iRepaints : std::min(oRow.iRepaints, iRepaints);
            oRow.dPeakMiB = std::max(oRow.dPeakMiB, oRun.dPeakMiB);
        }
        return dSeconds;
    };
    auto Headless = [&] {
        Settle(oOptions);
        ProcessResult oRun = RunProcess({oOptions.sConvert, sSource});
        CheckSummary(oRun, oStats.iPages, oStats.iBlocks, sSource);
        Retire(sConverted, sAttic);
        return oRun.dSeconds;
    };
    const std::vector<std::function<double()>> aTimed{Headless, [&] { return Window(true); },
                                                      [&] { return Window(false); }};
    for (const auto& oTimed : aTimed) oTimed();  // warm-up
    oRow = WindowRow{};
    std::vector<std::vector<double>> aTimes(aTimed.size());
    for (int i = 0; i < iRuns; ++i)
        for (std::size_t k = 0; k < aTimed.size(); ++k) {
            const std::size_t j = (k + static_cast<std::size_t>(i)) % aTimed.size();
            aTimes[j].push_back(aTimed[j]());
        }
    oRow.dHeadless = Median(aTimes[0]);
    oRow.dWindow = Median(aTimes[1]);
    oRow.dNoPaint = Median(aTimes[2]);
    std::printf("window: %lld files, %lld pages: window %.3f s vs headless %.3f s, ratio %.2f "
                "(status label not painted: %.3f s, ratio %.2f);\n  at least %lld paints of the status per run, "
                "longest without one %.0f ms; peak %.1f MiB\n",
                oStats.iFiles, oStats.iPages, oRow.dWindow, oRow.dHeadless, oRow.dWindow / oRow.dHeadless,
                oRow.dNoPaint, oRow.dNoPaint / oRow.dHeadless, oRow.iRepaints, oRow.dMaxGapMs, oRow.dPeakMiB);
    std::fflush(stdout);
    if (!oOptions.bKeep) fs::RemoveTree(sAttic);
    return oRow;
}

void PrintTables(const std::vector<SiteRow>& aSites, const std::vector<PageRow>& aPages) {
    if (!aSites.empty()) {
        std::printf("\n| site | files | folders | MB | pages | blocks | `cp -r` s | convert s | ratio | "
                    "`cp -r` + pages replaced: ratio | `cp -r` + pages overwritten: ratio | peak MiB |\n"
                    "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
        for (const SiteRow& o : aSites)
            std::printf("| %s | %lld | %lld | %.0f | %lld | %lld | %.3f | %.3f | %.2f | %.2f | %.2f | %.1f |\n",
                        o.sName.c_str(), o.oStats.iFiles, o.oStats.iFolders,
                        static_cast<double>(o.oStats.iBytes) / 1e6, o.oStats.iPages, o.oStats.iBlocks,
                        o.oPair.dCopy, o.oPair.dConvert, o.oPair.dConvert / o.oPair.dCopy,
                        o.oPair.dFloor / o.oPair.dCopy, o.oPair.dInPlace / o.oPair.dCopy, o.oPair.dPeakMiB);
    }
    if (!aPages.empty()) {
        std::printf("\n| page MB | blocks | rewrite in memory ms/MB | page with its files ms/MB | converter s | "
                    "peak MiB |\n|---:|---:|---:|---:|---:|---:|\n");
        double dMin[2] = {1e9, 1e9}, dMax[2] = {0, 0};
        for (const PageRow& o : aPages) {
            const double d[2] = {o.dMemory * 1e3 / o.iMiB, o.dFile * 1e3 / o.iMiB};
            for (int k = 0; k < 2; ++k) dMin[k] = std::min(dMin[k], d[k]), dMax[k] = std::max(dMax[k], d[k]);
            std::printf("| %d | %lld | %.2f | %.2f | %.3f | %.1f |\n", o.iMiB, o.iBlocks, d[0], d[1],
                        o.oPair.dConvert, o.oPair.dPeakMiB);
        }
        std::printf("\ntime per MB, largest / smallest: in memory %.2f, with its files %.2f\n", dMax[0] / dMin[0],
                    dMax[1] / dMin[1]);
    }
}

// --check: the generator's promises that the figures rest on. Returns the
// number of broken ones.
int CheckGenerator(const Options& oOptions, const std::string& sWork) {
    int iBroken = 0;
    auto Expect = [&](bool bHolds, const std::string& sWhat) {
        std::printf("%s: %s\n", bHolds ? "ok" : "BROKEN", sWhat.c_str());
        if (!bHolds) ++iBroken;
    };
    SiteShape oShape = Shape(5, 300, 12, 4000);
    const SiteStats oFirst = bench::GenerateSite(oShape, sWork + "/check-a");
    const SiteStats oAgain = bench::GenerateSite(oShape, sWork + "/check-b");
    oShape.iSeed = 6;
    const SiteStats oOther = bench::GenerateSite(oShape, sWork + "/check-c");
    Expect(oFirst.iHash == oAgain.iHash && oFirst.iBytes == oAgain.iBytes, "the same seed gives the same site");
    Expect(oFirst.iHash != oOther.iHash, "another seed gives another site");
    Expect(oFirst.iFiles == 300 && oFirst.iPages == 180 && oFirst.iFolders == 12,
           "300 files, 12 folders, exactly 60 % pages");
    const ProcessResult oRun = RunProcess({oOptions.sConvert, sWork + "/check-a"});
    const std::string sWant = std::string(texts::kSummaryFiles) + std::to_string(oFirst.iPages) +
                              texts::kSummaryFunctions + std::to_string(oFirst.iBlocks) + "\n";
    Expect(oRun.iExit == 0 && oRun.sOut.rfind(sWant, 0) == 0,
           "the converter selects every page once and replaces every block: " + sWant.substr(0, sWant.size() - 1));
    for (std::size_t iBytes : {std::size_t{1} << 20, std::size_t{3000}}) {
        long long iBlocks = 0;
        const std::string sPage = bench::MakeDensePage(iBytes, 400, LineEnds::Lf, 1, iBlocks);
        FunctionSink oSink;
        long long iCount = 0;
        std::string sText = sPage;
        RewriteText(sText, iCount, oSink);
        Expect(sPage.size() == iBytes && iBlocks == static_cast<long long>(iBytes / 400) && iCount == iBlocks,
               "a dense page of " + std::to_string(iBytes) + " bytes has a block every 400 bytes (" +
                   std::to_string(iCount) + " replaced)");
    }
    return iBroken;
}

const char* const kUsage =
    "Usage: tagshift-bench [--quick] [--runs N] [--cold] [--work DIR] [--keep]\n"
    "                      [--only sites|pages|window] [--convert PATH] [--window PATH]\n"
    "Times tagshift-convert against cp -r on synthetic sites (runs alternate,\n"
    "medians are printed), and the rewrite of single pages of 1 to 16 MB with a\n"
    "block every 400 bytes. --quick: smaller sites, pages up to 8 MB, 3 runs.\n"
    "--keep leaves the work folder (sites and every output) in place.\n"
    "--check only checks the site generator (a few seconds).\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::strcmp(argv[1], "--spawn-child") == 0) return SpawnChild(argv + 2);
    Options oOptions;
    for (int i = 1; i < argc; ++i) {
        const std::string sArg = argv[i];
        auto Value = [&]() -> std::string {
            if (i + 1 >= argc) throw std::runtime_error(sArg + " needs a value");
            return argv[++i];
        };
        try {
            if (sArg == "--quick") oOptions.bQuick = true;
            else if (sArg == "--cold") oOptions.bCold = true;
            else if (sArg == "--keep") oOptions.bKeep = true;
            else if (sArg == "--check") oOptions.bCheck = true;
            else if (sArg == "--runs") oOptions.iRuns = std::max(1, std::atoi(Value().c_str()));
            else if (sArg == "--work") oOptions.sWork = Value();
            else if (sArg == "--convert") oOptions.sConvert = Value();
            else if (sArg == "--window") oOptions.sWindow = Value();
            else if (sArg == "--only") {
                const std::string sWhich = Value();
                oOptions.bSites = sWhich == "sites";
                oOptions.bPages = sWhich == "pages";
                oOptions.bWindow = sWhich == "window";
            } else {
                std::cout << kUsage;
                return sArg == "--help" ? 0 : 2;
            }
        } catch (const std::exception& oError) {
            std::cerr << "tagshift-bench: " << oError.what() << '\n';
            return 2;
        }
    }
    const int iRuns = oOptions.iRuns ? oOptions.iRuns : (oOptions.bQuick ? 3 : 5);
    if (oOptions.sWork.empty()) {
        const char* sTmp = std::getenv("TMPDIR");
        oOptions.sWork = sTmp && *sTmp ? sTmp : "/tmp";
    }
    std::string sTemplate = oOptions.sWork + "/tagshift-bench-XXXXXX";
    if (!::mkdtemp(sTemplate.data())) {
        std::perror(sTemplate.c_str());
        return 1;
    }
    const std::string sWork = sTemplate;
    if (!oOptions.bCheck)
        std::printf("tagshift-bench: %s mode, %d runs each, %s page cache, work folder %s\n",
                    oOptions.bQuick ? "quick" : "full", iRuns,
                    oOptions.bCold ? "cold (dropped before each run)" : "warm", sWork.c_str());
    int iExit = 0;
    try {
        if (oOptions.bCheck) {
            iExit = CheckGenerator(oOptions, sWork) == 0 ? 0 : 1;
            if (!oOptions.bKeep) fs::RemoveTree(sWork);
            return iExit;
        }
        std::vector<SiteRow> aSites;
        std::vector<PageRow> aPages;
        if (oOptions.bSites) aSites = BenchSites(oOptions, sWork, iRuns);
        if (oOptions.bPages) aPages = BenchPages(oOptions, sWork, iRuns);
        if (oOptions.bWindow) {
            if (oOptions.sWindow.empty() || ::access(oOptions.sWindow.c_str(), X_OK) != 0)
                std::printf("window: not measured (no window benchmark program built)\n");
            else
                BenchWindow(oOptions, sWork, iRuns);
        }
        PrintTables(aSites, aPages);
    } catch (const std::exception& oError) {
        std::fprintf(stderr, "tagshift-bench: %s\n", oError.what());
        iExit = 1;
    }
    if (!oOptions.bKeep) fs::RemoveTree(sWork);
    return iExit;
}
