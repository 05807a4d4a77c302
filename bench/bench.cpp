// tagshift-bench: the whole conversion against a plain recursive copy of the
// same synthetic sites, and the rewrite of single large pages.
//
// Every timed command runs with the source tree in the page cache and with
// no dirty pages of an earlier run waiting to be written: sync() is called
// before each run starts. Outputs are moved aside, not deleted, until the
// benchmark ends (see Retire). With --cold the page cache is also dropped
// before each timed run (needs root).
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
using bench::SiteSpec;
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

// Runs a command, its standard output captured; the time is wall time from
// fork to reaping, the peak memory the child's own maximum resident set.
ProcessResult RunProcess(const std::vector<std::string>& aArgs) {
    int aPipe[2];
    if (::pipe2(aPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    std::vector<char*> aArgv;
    for (const std::string& sArg : aArgs) aArgv.push_back(const_cast<char*>(sArg.c_str()));
    aArgv.push_back(nullptr);
    ProcessResult oResult;
    const Clock::time_point oStart = Clock::now();
    const pid_t iPid = ::fork();
    if (iPid < 0) throw std::runtime_error("fork failed");
    if (iPid == 0) {
        ::dup2(aPipe[1], 1);
        ::execvp(aArgv[0], aArgv.data());
        ::_exit(127);
    }
    ::close(aPipe[1]);
    char aBuffer[4096];
    for (ssize_t n; (n = ::read(aPipe[0], aBuffer, sizeof aBuffer)) != 0;) {
        if (n > 0) oResult.sOut.append(aBuffer, static_cast<std::size_t>(n));
        else if (errno != EINTR) break;
    }
    ::close(aPipe[0]);
    int iStatus = 0;
    struct rusage oUsage {};
    while (::wait4(iPid, &iStatus, 0, &oUsage) < 0 && errno == EINTR) {}
    oResult.dSeconds = Seconds(oStart, Clock::now());
    oResult.dPeakMiB = static_cast<double>(oUsage.ru_maxrss) / 1024.0;
    oResult.iExit = WIFEXITED(iStatus) ? WEXITSTATUS(iStatus) : 128 + WTERMSIG(iStatus);
    return oResult;
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
// outputs are kept until the whole benchmark has ended.
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

// Times a plain copy and the converter on one source folder, alternating
// which goes first, and returns the medians.
struct Pair {
    double dCopy = 0, dConvert = 0, dPeakMiB = 0;
};

Pair TimeAgainstCopy(const Options& oOptions, const std::string& sSource, long long iPages, long long iBlocks,
                     int iRuns, const std::string& sAttic) {
    const std::string sCopy = sSource + "_copy";
    const std::string sConverted = sSource + texts::kDestSuffix;
    auto Copy = [&] {
        Settle(oOptions);
        ProcessResult oRun = RunProcess({"cp", "-r", sSource, sCopy});
        if (oRun.iExit != 0) throw std::runtime_error("cp -r failed");
        Retire(sCopy, sAttic);
        return oRun;
    };
    auto Convert = [&] {
        Settle(oOptions);
        ProcessResult oRun = RunProcess({oOptions.sConvert, sSource});
        CheckSummary(oRun, iPages, iBlocks, sSource);
        Retire(sConverted, sAttic);
        return oRun;
    };
    Copy();  // warm-up: the programs and the source in the page cache
    Convert();
    std::vector<double> aCopy, aConvert;
    Pair oPair;
    for (int i = 0; i < iRuns; ++i) {
        ProcessResult oFirst = i % 2 ? Convert() : Copy();
        ProcessResult oSecond = i % 2 ? Copy() : Convert();
        const ProcessResult& oCopy = i % 2 ? oSecond : oFirst;
        const ProcessResult& oConvert = i % 2 ? oFirst : oSecond;
        aCopy.push_back(oCopy.dSeconds);
        aConvert.push_back(oConvert.dSeconds);
        oPair.dPeakMiB = std::max(oPair.dPeakMiB, oConvert.dPeakMiB);
    }
    oPair.dCopy = Median(aCopy);
    oPair.dConvert = Median(aConvert);
    return oPair;
}

// A host that notes when the copy ends, for the split of a run into its
// copy and its walk.
class TimingHost : public ConvertHost {
public:
    void ShowStatus(const std::string& sText) override {
        if (sText == texts::kStatusCopying) oCopyStart = Clock::now();
        if (sText == texts::kStatusPreparing) oCopyEnd = Clock::now();
    }
    void ProcessEvents() override {}
    void SetActionsEnabled(bool) override {}
    std::string PatternText() override { return texts::kDefaultPatterns; }
    void ShowMessage(const std::string&, int, const std::string&) override {}
    Clock::time_point oCopyStart, oCopyEnd;
};

struct SiteCase {
    const char* sName;
    SiteSpec oSpec;
};

struct SiteRow {
    std::string sName;
    SiteStats oStats;
    Pair oPair;
    double dSplitCopy = 0, dSplitWalk = 0;
    double dLimitMiB = 0;
};

SiteSpec Spec(std::uint64_t iSeed, int iFiles, int iFolders, std::size_t iMeanBytes) {
    SiteSpec oSpec;
    oSpec.iSeed = iSeed;
    oSpec.iFiles = iFiles;
    oSpec.iFolders = iFolders;
    oSpec.iPageBytes = oSpec.iOtherBytes = iMeanBytes;
    return oSpec;
}

std::vector<SiteRow> BenchSites(const Options& oOptions, const std::string& sWork, int iRuns) {
    std::vector<SiteCase> aCases{{"1k", Spec(1, 1000, 20, 15000)}};
    if (oOptions.bQuick) {
        aCases.push_back({"3k", Spec(3, 3000, 60, 15000)});
    } else {
        aCases.push_back({"10k", Spec(10, 10000, 200, 15000)});
        aCases.push_back({"40k", Spec(40, 40000, 800, 3000)});
    }
    std::vector<SiteRow> aRows;
    for (const SiteCase& oCase : aCases) {
        SiteRow oRow;
        oRow.sName = oCase.sName;
        const std::string sSource = sWork + "/site-" + oCase.sName;
        const Clock::time_point oStart = Clock::now();
        oRow.oStats = bench::GenerateSite(oCase.oSpec, sSource);
        std::printf("site %-4s %6lld files, %4lld folders, %6.1f MB, %5lld pages, %6lld blocks "
                    "(generated in %.1f s, hash %016llx)\n",
                    oCase.sName, oRow.oStats.iFiles, oRow.oStats.iFolders,
                    static_cast<double>(oRow.oStats.iBytes) / 1e6, oRow.oStats.iPages, oRow.oStats.iBlocks,
                    Seconds(oStart, Clock::now()), static_cast<unsigned long long>(oRow.oStats.iHash));
        std::fflush(stdout);
        oRow.oPair = TimeAgainstCopy(oOptions, sSource, oRow.oStats.iPages, oRow.oStats.iBlocks, iRuns, sWork + "/attic");

        // One run in this process, split into the copy and the walk.
        TimingHost oHost;
        ConversionRun oRun(oHost);
        oRun.sSourceDir = sSource;
        Settle(oOptions);
        oRun.cmd_Convert_Click();
        const Clock::time_point oEnd = Clock::now();
        if (oRun.eOutcome != RunOutcome::Completed || oRun.iFunctionCount != oRow.oStats.iBlocks)
            throw std::runtime_error(sSource + ": the in-process run did not complete as expected");
        oRow.dSplitCopy = Seconds(oHost.oCopyStart, oHost.oCopyEnd);
        oRow.dSplitWalk = Seconds(oHost.oCopyEnd, oEnd);
        Retire(oRun.sDestDir, sWork + "/attic");

        oRow.dLimitMiB = 64 + 3 * static_cast<double>(oRow.oStats.iLargestPage) / kMiB;
        std::printf("  cp -r %.3f s, convert %.3f s, ratio %.2f, peak %.1f MiB (limit %.1f); "
                    "in-process: copy %.3f s + walk %.3f s\n",
                    oRow.oPair.dCopy, oRow.oPair.dConvert, oRow.oPair.dConvert / oRow.oPair.dCopy,
                    oRow.oPair.dPeakMiB, oRow.dLimitMiB, oRow.dSplitCopy, oRow.dSplitWalk);
        std::fflush(stdout);
        aRows.push_back(oRow);
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

std::vector<PageRow> BenchPages(const Options& oOptions, const std::string& sWork, int iRuns) {
    std::vector<int> aSizes{1, 2, 4, 8, 16};
    if (oOptions.bQuick) aSizes.pop_back();
    std::vector<PageRow> aRows;
    for (int iMiB : aSizes) {
        PageRow oRow;
        oRow.iMiB = iMiB;
        const std::string sPage =
            bench::MakeDensePage(static_cast<std::size_t>(iMiB) << 20, 400, LineEnds::CrLf, 7, oRow.iBlocks);

        std::vector<double> aMemory;
        for (int i = 0; i < std::max(iRuns, 7); ++i) {
            std::string sText = sPage;
            FunctionSink oSink;
            long long iCount = 0;
            const Clock::time_point oStart = Clock::now();
            RewriteText(sText, iCount, oSink);
            aMemory.push_back(Seconds(oStart, Clock::now()));
            if (iCount != oRow.iBlocks) throw std::runtime_error("rewrite in memory: wrong block count");
        }
        oRow.dMemory = Median(aMemory);

        const std::string sFolder = sWork + "/page-" + std::to_string(iMiB);
        ::mkdir(sFolder.c_str(), 0755);
        const PageFile oFile{sFolder + "/page.html", "page.html"};
        std::vector<double> aFile;
        for (int i = 0; i < iRuns; ++i) {
            bench::WriteFile(oFile.Path, sPage);
            ::unlink((sFolder + "/object.js").c_str());
            ::unlink((sFolder + "/embed.js").c_str());
            Settle(oOptions);
            QuietHost oHost;
            ConversionRun oRun(oHost);
            const Clock::time_point oStart = Clock::now();
            oRun.RewritePage(oFile);
            aFile.push_back(Seconds(oStart, Clock::now()));
            if (oRun.iFunctionCount != oRow.iBlocks || oRun.iFailedCount != 0)
                throw std::runtime_error("RewritePage: wrong block count or failed page");
        }
        oRow.dFile = Median(aFile);
        ::unlink((sFolder + "/object.js").c_str());
        ::unlink((sFolder + "/embed.js").c_str());
        bench::WriteFile(oFile.Path, sPage);

        oRow.oPair = TimeAgainstCopy(oOptions, sFolder, 1, oRow.iBlocks, iRuns, sWork + "/attic");
        oRow.dLimitMiB = 64 + 3.0 * static_cast<double>(sPage.size()) / kMiB;
        std::printf("page %2d MB, %6lld blocks: in memory %7.1f ms (%5.2f ms/MB), with its files %7.1f ms "
                    "(%5.2f ms/MB); converter %.3f s vs cp -r %.3f s, peak %.1f MiB (limit %.1f)\n",
                    iMiB, oRow.iBlocks, oRow.dMemory * 1e3, oRow.dMemory * 1e3 / iMiB, oRow.dFile * 1e3,
                    oRow.dFile * 1e3 / iMiB, oRow.oPair.dConvert, oRow.oPair.dCopy, oRow.oPair.dPeakMiB,
                    oRow.dLimitMiB);
        std::fflush(stdout);
        aRows.push_back(oRow);
    }
    return aRows;
}

// The window program converts the site once and prints the seconds from the
// click to the end of the run and the number of repaints it saw.
struct WindowRow {
    double dWindow = 0, dHeadless = 0, dPeakMiB = 0;
    long long iRepaints = 0;
};

WindowRow BenchWindow(const Options& oOptions, const std::string& sWork, int iRuns) {
    const SiteSpec oSpec = oOptions.bQuick ? Spec(3, 3000, 60, 15000) : Spec(10, 10000, 200, 15000);
    const std::string sSource = sWork + "/site-window";
    const SiteStats oStats = bench::GenerateSite(oSpec, sSource);
    const std::string sConverted = sSource + texts::kDestSuffix;
    auto Window = [&] {
        Settle(oOptions);
        ProcessResult oRun = RunProcess({oOptions.sWindow, sSource});
        double dSeconds = 0;
        long long iRepaints = 0, iPages = 0, iBlocks = 0;
        if (oRun.iExit != 0 || std::sscanf(oRun.sOut.c_str(), "seconds %lf repaints %lld pages %lld blocks %lld",
                                           &dSeconds, &iRepaints, &iPages, &iBlocks) != 4 ||
            iPages != oStats.iPages || iBlocks != oStats.iBlocks)
            throw std::runtime_error("window run failed: exit " + std::to_string(oRun.iExit) + ", \"" + oRun.sOut +
                                     "\"");
        Retire(sConverted, sWork + "/attic");
        oRun.dSeconds = dSeconds;
        return std::make_pair(oRun, iRepaints);
    };
    auto Headless = [&] {
        Settle(oOptions);
        ProcessResult oRun = RunProcess({oOptions.sConvert, sSource});
        CheckSummary(oRun, oStats.iPages, oStats.iBlocks, sSource);
        Retire(sConverted, sWork + "/attic");
        return oRun;
    };
    Window();
    Headless();
    std::vector<double> aWindow, aHeadless;
    WindowRow oRow;
    oRow.iRepaints = -1;
    for (int i = 0; i < iRuns; ++i) {
        if (i % 2) aHeadless.push_back(Headless().dSeconds);
        auto [oWindow, iRepaints] = Window();
        aWindow.push_back(oWindow.dSeconds);
        oRow.dPeakMiB = std::max(oRow.dPeakMiB, oWindow.dPeakMiB);
        oRow.iRepaints = oRow.iRepaints < 0 ? iRepaints : std::min(oRow.iRepaints, iRepaints);
        if (i % 2 == 0) aHeadless.push_back(Headless().dSeconds);
    }
    oRow.dWindow = Median(aWindow);
    oRow.dHeadless = Median(aHeadless);
    std::printf("window: %lld files, %lld pages: window %.3f s vs headless %.3f s, ratio %.2f, "
                "at least %lld repaints during a run, peak %.1f MiB\n",
                oStats.iFiles, oStats.iPages, oRow.dWindow, oRow.dHeadless, oRow.dWindow / oRow.dHeadless,
                oRow.iRepaints, oRow.dPeakMiB);
    std::fflush(stdout);
    return oRow;
}

void PrintTables(const std::vector<SiteRow>& aSites, const std::vector<PageRow>& aPages) {
    if (!aSites.empty()) {
        std::printf("\n| site | files | folders | MB | pages | blocks | `cp -r` s | convert s | ratio | peak MiB |\n"
                    "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
        for (const SiteRow& o : aSites)
            std::printf("| %s | %lld | %lld | %.0f | %lld | %lld | %.3f | %.3f | %.2f | %.1f |\n", o.sName.c_str(),
                        o.oStats.iFiles, o.oStats.iFolders, static_cast<double>(o.oStats.iBytes) / 1e6,
                        o.oStats.iPages, o.oStats.iBlocks, o.oPair.dCopy, o.oPair.dConvert,
                        o.oPair.dConvert / o.oPair.dCopy, o.oPair.dPeakMiB);
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

const char* const kUsage =
    "Usage: tagshift-bench [--quick] [--runs N] [--cold] [--work DIR] [--keep]\n"
    "                      [--only sites|pages|window] [--convert PATH] [--window PATH]\n"
    "Times tagshift-convert against cp -r on synthetic sites (runs alternate,\n"
    "medians are printed), and the rewrite of single pages of 1 to 16 MB with a\n"
    "block every 400 bytes. --quick: smaller sites, pages up to 8 MB, 3 runs.\n"
    "--keep leaves the work folder (sites and every output) in place.\n";

}  // namespace

int main(int argc, char** argv) {
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
    std::printf("tagshift-bench: %s mode, %d runs each, %s page cache, work folder %s\n",
                oOptions.bQuick ? "quick" : "full", iRuns, oOptions.bCold ? "cold (dropped before each run)" : "warm",
                sWork.c_str());
    int iExit = 0;
    try {
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
