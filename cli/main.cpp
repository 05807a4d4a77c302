// tagshift-convert: the conversion without a window.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Console.h"
#include "convert/ConversionRun.h"
#include "convert/Texts.h"
#include "fs/FileSystem.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;
constexpr int kExitPagesFailed = 3;
constexpr int kExitFailed = 4;
constexpr int kExitInterrupted = 130;

const char* const kUsage = "Usage: tagshift-convert [--patterns LIST] [--verbose] [--any-case] SOURCE\n";

const char* const kHelp =
    "Usage: tagshift-convert [--patterns LIST] [--verbose] [--any-case] SOURCE\n"
    "\n"
    "Copies the folder SOURCE to SOURCE_Converted and, in the copy, moves every\n"
    "<object>...</object> and <embed>...</embed> block of the selected pages into\n"
    "generated script files (object.js, embed.js) beside each page. SOURCE itself\n"
    "is only read. A run log is written to SOURCE_Converted/converter_log.txt.\n"
    "\n"
    "Options:\n"
    "  --patterns LIST  pages to convert, ';'-separated; a page is selected when its\n"
    "                   name ends like the pattern after the pattern's first two\n"
    "                   characters (default \"%s\")\n"
    "  --verbose        print every status text to standard error, and every\n"
    "                   <object or <embed left as it was, with its page, line and\n"
    "                   why (capital letters, no closing tag, inside a script,\n"
    "                   style, textarea, title, noscript or comment)\n"
    "  --any-case       match <object ...></object> and <embed ...></embed> in any\n"
    "                   letter case (<OBJECT ...></OBJECT>); the generated texts\n"
    "                   stay the same\n"
    "  --help           show this help and exit\n"
    "  --version        show the version and exit\n"
    "\n"
    "Exit status:\n"
    "  0    converted; the summary is printed on standard output, with a line\n"
    "       \"Tags Left Alone: K\" when some tags stayed as they were\n"
    "  1    nothing done: SOURCE is not a folder or is a root folder, the pattern\n"
    "       list has no pattern of two or more characters, or something named\n"
    "       SOURCE_Converted already exists\n"
    "  2    bad usage\n"
    "  3    converted, but some pages could not be (listed on standard error and\n"
    "       in converter_log.txt as \"Failed File:\" lines)\n"
    "  4    the run could not be completed (a folder that cannot be listed, the\n"
    "       copy, the final rename or the log failed); the path and the reason are\n"
    "       printed on standard error; apart from a log failure nothing is left\n"
    "  130  interrupted (Ctrl-C, SIGTERM): the unfinished SOURCE_Converted is\n"
    "       removed, nothing is left\n"
    "\n"
    "The new folder is built as SOURCE_Converted.incomplete-XXXXXX and renamed to\n"
    "SOURCE_Converted when every page is done; only a killed run leaves such a\n"
    "folder behind.\n";

volatile std::sig_atomic_t g_bInterrupted = 0;

// The help text with the default pattern list in its place.
std::string HelpText() {
    std::string sHelp = kHelp;
    sHelp.replace(sHelp.find("%s"), 2, tagshift::texts::kDefaultPatterns);
    return sHelp;
}

// Prints a message box's prompt, one output line per line of the prompt.
void PrintPrompt(std::ostream& oOut, const std::string& sPrompt) {
    std::size_t iStart = 0;
    for (;;) {
        std::size_t iEnd = sPrompt.find(tagshift::texts::kCrLf, iStart);
        oOut << sPrompt.substr(iStart, iEnd == std::string::npos ? std::string::npos : iEnd - iStart) << '\n';
        if (iEnd == std::string::npos) break;
        iStart = iEnd + 2;
    }
    oOut.flush();
}

class ConsoleHost : public tagshift::ConvertHost {
public:
    ConsoleHost(std::string sPatterns, bool bVerbose)
        : m_sPatterns(std::move(sPatterns)),
          m_bVerbose(bVerbose),
          m_bProgressLine(!bVerbose && tagshift::console::ErrorsGoToTerminal()) {}

    ~ConsoleHost() override { ClearProgress(); }

    void ShowStatus(const std::string& sText) override {
        if (m_bVerbose) {
            std::cerr << sText << '\n';
            return;
        }
        if (!m_bProgressLine) return;
        auto oNow = std::chrono::steady_clock::now();
        if (oNow - m_oLastDraw < std::chrono::milliseconds(100)) return;
        m_oLastDraw = oNow;
        std::string sLine = sText.substr(0, 79);
        std::cerr << '\r' << sLine << std::string(m_iDrawn > sLine.size() ? m_iDrawn - sLine.size() : 0, ' ')
                  << std::flush;
        m_iDrawn = sLine.size();
    }

    void ProcessEvents() override {}
    void SetActionsEnabled(bool) override {}
    std::string PatternText() override { return m_sPatterns; }

    void ShowMessage(const std::string& sPrompt, int iStyle, const std::string&) override {
        ClearProgress();
        PrintPrompt(iStyle == tagshift::texts::kStyleStop ? std::cerr : std::cout, sPrompt);
        // The summary: the window shows no more, the console one more line.
        if (iStyle == tagshift::texts::kStyleInformation && pLeftAlone && *pLeftAlone > 0)
            std::cout << tagshift::texts::kSummaryLeftAlone << *pLeftAlone << tagshift::texts::kSummaryUseVerbose
                      << std::endl;
    }

    void ReportLeftAlone(const std::string& sPage, const std::string& sOpening, long long iLine,
                         const std::string& sWhy) override {
        if (!m_bVerbose) return;
        std::cerr << sPage << ':' << iLine << ": " << sOpening << " left as it is (" << sWhy << ")\n";
    }

    const long long* pLeftAlone = nullptr;  // the run's count of tags left alone

    bool StopRequested() override { return g_bInterrupted != 0; }

private:
    void ClearProgress() {
        if (m_iDrawn == 0) return;
        std::cerr << '\r' << std::string(m_iDrawn, ' ') << '\r' << std::flush;
        m_iDrawn = 0;
    }

    std::string m_sPatterns;
    bool m_bVerbose;
    bool m_bProgressLine;
    std::size_t m_iDrawn = 0;
    std::chrono::steady_clock::time_point m_oLastDraw{};
};

int UsageError(const std::string& sWhat) {
    std::cerr << "tagshift-convert: " << sWhat << '\n' << kUsage << "Try 'tagshift-convert --help'.\n";
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    tagshift::console::Prepare();
    const std::vector<std::string> aArguments = tagshift::console::Arguments(argc, argv);
    std::string sPatterns = tagshift::texts::kDefaultPatterns;
    bool bVerbose = false;
    bool bAnyCase = false;
    std::vector<std::string> aSources;
    bool bOptionsEnded = false;
    for (std::size_t i = 0; i < aArguments.size(); ++i) {
        const std::string& sArg = aArguments[i];
        if (bOptionsEnded || sArg.empty() || sArg[0] != '-' || sArg == "-") {
            aSources.push_back(sArg);
        } else if (sArg == "--") {
            bOptionsEnded = true;
        } else if (sArg == "--help" || sArg == "-h") {
            std::cout << HelpText();
            return kExitOk;
        } else if (sArg == "--version") {
            std::cout << "tagshift-convert " << TAGSHIFT_VERSION << '\n';
            return kExitOk;
        } else if (sArg == "--verbose" || sArg == "-v") {
            bVerbose = true;
        } else if (sArg == "--any-case") {
            bAnyCase = true;
        } else if (sArg == "--patterns") {
            if (i + 1 >= aArguments.size()) return UsageError("--patterns needs a list");
            sPatterns = aArguments[++i];
        } else if (sArg.rfind("--patterns=", 0) == 0) {
            sPatterns = sArg.substr(11);
        } else {
            return UsageError("unknown option " + sArg);
        }
    }
    if (aSources.empty()) return UsageError("no SOURCE folder given");
    if (aSources.size() > 1) return UsageError("only one SOURCE folder can be converted at a time");

    tagshift::console::CatchInterrupts(g_bInterrupted);

    ConsoleHost oHost(sPatterns, bVerbose);
    tagshift::ConversionRun oRun(oHost);
    oHost.pLeftAlone = &oRun.iLeftAloneCount;
    oRun.bAnyCase = bAnyCase;
    // The run makes the path absolute and normal: "site/", "." or "../site"
    // convert to the folder's sibling, never into it.
    oRun.sSourceDir = aSources.front();
    oRun.cmd_Convert_Click();

    switch (oRun.eOutcome) {
        case tagshift::RunOutcome::Completed:
            return kExitOk;
        case tagshift::RunOutcome::CompletedWithFailures: {
            std::size_t iStart = 0;
            while ((iStart = oRun.sLog.find(tagshift::texts::kLogFailed, iStart)) != std::string::npos) {
                std::size_t iEnd = oRun.sLog.find(tagshift::texts::kCrLf, iStart);
                std::cerr << oRun.sLog.substr(iStart, iEnd - iStart) << '\n';
                iStart = iEnd;
            }
            return kExitPagesFailed;
        }
        case tagshift::RunOutcome::Refused:
            return kExitRefused;
        case tagshift::RunOutcome::Stopped:
            std::cerr << "tagshift-convert: interrupted; nothing was left\n";
            return kExitInterrupted;
        case tagshift::RunOutcome::Failed:
        case tagshift::RunOutcome::NotRun:
            break;
    }
    return kExitFailed;
}
