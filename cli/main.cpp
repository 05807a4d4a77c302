// tagshift-convert: the conversion without a window.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Console.h"
#include "convert/Conversion.h"
#include "convert/Report.h"
#include "convert/RunTexts.h"
#include "convert/Texts.h"
#include "fs/FileSystem.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;
constexpr int kExitPagesFailed = 3;
constexpr int kExitFailed = 4;
constexpr int kExitInterrupted = 130;

const char* const kUsage = "Usage: tagshift-convert [--patterns LIST] [--verbose] [--any-case] [--noscript] [--dry-run] [--report FILE] [--jobs N] [--] SOURCE\n";

const char* const kHelp =
    "Usage: tagshift-convert [--patterns LIST] [--verbose] [--any-case] [--noscript] [--dry-run] [--report FILE] [--jobs N] [--] SOURCE\n"
    "\n"
    "Copies the folder SOURCE to SOURCE_Converted and, in the copy, moves every\n"
    "<object>...</object> and <embed>...</embed> block of the selected pages into\n"
    "generated script files (object.js, embed.js) beside each page. SOURCE itself\n"
    "is only read. A run log is written to SOURCE_Converted/converter_log.txt.\n"
    "\n"
    "Options:\n"
    "  --patterns LIST  pages to convert, ';'-separated; a page is selected when its\n"
    "                   name ends like the pattern after the pattern's first two\n"
    "                   characters (default \"%s\"); a pattern\n"
    "                   that does not start with \"*.\" is warned about\n"
    "  --verbose        print every status text to standard error, and every\n"
    "                   <object or <embed left as it was, with its page, line and\n"
    "                   why (capital letters, no closing tag, inside a script,\n"
    "                   style, textarea, title, noscript or comment)\n"
    "  --any-case       match page names and tags in any letter case: INDEX.HTM\n"
    "                   by *.htm, <OBJECT ...></OBJECT> and <EMBED> as <object>\n"
    "                   and <embed>; the generated texts stay the same\n"
    "  --noscript       after each replaced block that follows the page's first\n"
    "                   <body tag, keep the block itself in a <noscript> element,\n"
    "                   for visitors, browsers and crawlers without script\n"
    "  --dry-run        a preview: read everything, write nothing (no new folder,\n"
    "                   no log) and print the summary a run would print, ending\n"
    "                   with where the site would be written; the exit status is\n"
    "                   the run's (0, 1 or 3). It finds what reading shows (entries\n"
    "                   that cannot be read, script files that are folders or\n"
    "                   links, pipes and devices), not what only writing shows (a\n"
    "                   full disk, a quota)\n"
    "  --report FILE    after the run, write its report to FILE: one HTML page\n"
    "                   with the summary, every block moved (before and after),\n"
    "                   the tags left alone and the entries that failed; FILE is\n"
    "                   replaced when it exists; with --dry-run it is marked as a\n"
    "                   preview and its links open the source pages\n"
    "  --jobs N         copy the files and rewrite the pages on N workers side by\n"
    "                   side (default: one per hardware thread, at most 8; 1: one\n"
    "                   after the other); the new folder, its log and every byte\n"
    "                   in them are the same whatever N is\n"
    "  --help           show this help and exit\n"
    "  --version        show the version and exit\n"
    "  --               end of the options: what follows is SOURCE, even when it\n"
    "                   starts with '-' (tagshift-convert -- -rf)\n"
    "\n"
    "Exit status:\n"
    "  0    converted; the summary is printed on standard output, with a line\n"
    "       \"Tags Left Alone: K\" when some tags stayed as they were\n"
    "  1    nothing done: SOURCE is not a folder or is a root folder, the pattern\n"
    "       list has no pattern of two or more characters, something named\n"
    "       SOURCE_Converted already exists, or SOURCE_Converted would lie inside\n"
    "       SOURCE once links are resolved\n"
    "  2    bad usage\n"
    "  3    converted, but some pages could not be, or some files or folders\n"
    "       could not be read (listed on standard error and in converter_log.txt\n"
    "       as \"Failed File:\" and \"Failed Folder:\" lines); everything else is\n"
    "       in SOURCE_Converted\n"
    "  4    the run could not be completed (the new folder could not be created\n"
    "       or written: no room, a quota, an I/O error; open files or memory ran\n"
    "       out; the final rename or the log failed); the path and the reason are\n"
    "       printed on standard error, with the \"Failed File:\" lines so far;\n"
    "       nothing is left; or the report could not be written (the converted\n"
    "       folder is complete)\n"
    "  130  interrupted (Ctrl-C, SIGTERM): the unfinished SOURCE_Converted is\n"
    "       removed, nothing is left\n"
    "\n"
    "The new folder is built as SOURCE_Converted.incomplete-XXXXXX and renamed to\n"
    "SOURCE_Converted when every page is done and its log written; only a killed\n"
    "run leaves such a folder behind. Every file keeps its permission bits.\n";

volatile std::sig_atomic_t interrupted = 0;

// What a tag left for its capital letters points to.
const char* const kUseAnyCase = "; use --any-case";

// The help text with the default pattern list in its place.
std::string HelpText() {
    std::string help = kHelp;
    help.replace(help.find("%s"), 2, tagshift::texts::kDefaultPatterns);
    return help;
}

// Prints a message box's prompt, one output line per line of the prompt.
void PrintPrompt(std::ostream& out, const std::string& prompt) {
    std::size_t start = 0;
    for (;;) {
        std::size_t end = prompt.find(tagshift::texts::kCrLf, start);
        out << prompt.substr(start, end == std::string::npos ? std::string::npos : end - start) << '\n';
        if (end == std::string::npos) break;
        start = end + 2;
    }
    out.flush();
}

class ConsoleObserver : public tagshift::ConversionObserver {
public:
    explicit ConsoleObserver(bool verbose)
        : verbose_(verbose), progressLine_(!verbose && tagshift::console::ErrorsGoToTerminal()) {}

    ~ConsoleObserver() override { ClearProgress(); }

    void Status(const std::string& text) override {
        if (verbose_) {
            std::cerr << text << '\n';
            return;
        }
        status_ = text;
        // A stage's text is drawn at once: a long step (the copy) follows it.
        DrawProgress(text.rfind(tagshift::texts::kStatusCheckingFile, 0) != 0);
    }

    void Progress(long long pagesDone, long long pagesInAll) override {
        pagesDone_ = pagesDone;
        pagesInAll_ = pagesInAll;
        DrawProgress(false);
    }

    void TagLeftAlone(const tagshift::LeftAloneTag& tag) override {
        if (!verbose_) return;
        std::string line = tagshift::LeftAloneLine(tag);
        if (tag.why == tagshift::texts::kWhyCapitalLetters) line.insert(line.size() - 1, kUseAnyCase);
        std::cerr << line << '\n';
    }

    bool ShouldStop() override { return interrupted != 0; }

    // The progress line stays as it is; what follows starts on a line of its own.
    void EndProgressLine() {
        if (drawn_ == 0) return;
        std::cerr << '\n' << std::flush;
        drawn_ = 0;
    }

    void ClearProgress() {
        if (drawn_ == 0) return;
        std::cerr << '\r' << std::string(drawn_, ' ') << '\r' << std::flush;
        drawn_ = 0;
    }

private:
    // The progress line on a terminal: the newest status text and, once the
    // pages are counted, how many of them are done; redrawn at most ten
    // times a second.
    void DrawProgress(bool force) {
        if (!progressLine_) return;
        const auto now = std::chrono::steady_clock::now();
        if (!force && now - lastDraw_ < std::chrono::milliseconds(100)) return;
        lastDraw_ = now;
        std::string line = status_;
        if (pagesInAll_ >= 0)
            line = "[" + std::to_string(pagesDone_) + "/" + std::to_string(pagesInAll_) + " pages] " + line;
        line = line.substr(0, 79);
        std::cerr << '\r' << line << std::string(drawn_ > line.size() ? drawn_ - line.size() : 0, ' ')
                  << std::flush;
        drawn_ = line.size();
    }

    bool verbose_;
    bool progressLine_;
    std::string status_;
    long long pagesDone_ = 0;
    long long pagesInAll_ = -1;
    std::size_t drawn_ = 0;
    std::chrono::steady_clock::time_point lastDraw_{};
};

int UsageError(const std::string& what) {
    std::cerr << "tagshift-convert: " << what << '\n' << kUsage << "Try 'tagshift-convert --help'.\n";
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    tagshift::console::Prepare();
    tagshift::fs::LetWritesPastTheSizeLimitFail();
    std::vector<std::string> arguments = tagshift::console::Arguments(argc, argv);
    std::string patterns = tagshift::texts::kDefaultPatterns;
    bool verboseOutput = false, anyCase = false, noscript = false, dryRun = false, help = false, version = false;
    std::vector<std::string> sources;
    std::string reportFile;
    int jobs = 0;

    // The help text is ours (with the exit statuses); CLI11 only parses.
    CLI::App app("tagshift-convert");
    app.set_help_flag();
    app.add_flag("-h,--help", help);
    app.add_flag("--version", version);
    app.add_flag("-v,--verbose", verboseOutput);
    app.add_flag("--any-case", anyCase);
    app.add_flag("--noscript", noscript);
    app.add_flag("--dry-run", dryRun);
    app.add_option("--patterns", patterns)->expected(1);
    app.add_option("--report", reportFile)->expected(1);
    app.add_option("--jobs", jobs)->expected(1)->check(CLI::Range(1, 64));
    app.add_option("SOURCE", sources);
    app.allow_extras(false);
    // "--patterns=" gives the empty list, as "--patterns ''" does (CLI11
    // would take the next argument for its value).
    for (std::size_t i = 0; i < arguments.size() && arguments[i] != "--"; ++i)
        if (arguments[i].size() > 3 && arguments[i].rfind("--", 0) == 0 && arguments[i].back() == '=') {
            arguments[i].pop_back();
            arguments.insert(arguments.begin() + static_cast<std::ptrdiff_t>(i) + 1, std::string());
            ++i;
        }
    std::reverse(arguments.begin(), arguments.end());  // CLI11 takes them from the back
    try {
        app.parse(arguments);
    } catch (const CLI::ParseError& error) {
        return UsageError(error.what());
    }
    if (help) {
        std::cout << HelpText();
        return kExitOk;
    }
    if (version) {
        std::cout << "tagshift-convert " << TAGSHIFT_VERSION << '\n';
        return kExitOk;
    }
    if (sources.empty()) return UsageError("no SOURCE folder given");
    if (sources.size() > 1) return UsageError("only one SOURCE folder can be converted at a time");
    if (!reportFile.empty()) reportFile = tagshift::fs::AbsoluteNormalPath(reportFile);
    for (const std::string& warning : tagshift::PatternWarnings(patterns))
        std::cerr << "tagshift-convert: warning: " << warning << '\n';

    tagshift::console::CatchInterrupts(interrupted);

    ConsoleObserver observer(verboseOutput);
    tagshift::ConversionRequest request;
    // The run makes the path absolute and normal: "site/", "." or "../site"
    // convert to the folder's sibling, never into it.
    request.sourceFolder = sources.front();
    request.patterns = patterns;
    request.anyCase = anyCase;
    request.noscriptFallback = noscript;
    request.dryRun = dryRun;
    request.jobs = jobs;
    const tagshift::ConversionResult result = tagshift::Convert(request, observer);
    observer.ClearProgress();

    switch (result.outcome) {
        case tagshift::RunOutcome::Completed:
        case tagshift::RunOutcome::CompletedWithFailures:
            observer.Status(tagshift::texts::kStatusConverted);
            observer.EndProgressLine();
            PrintPrompt(std::cout, tagshift::SummaryText(result));
            if (result.tagsLeftAlone > 0) {
                std::string line = tagshift::texts::kSummaryLeftAlone + std::to_string(result.tagsLeftAlone) +
                                   tagshift::texts::kSummaryUseVerbose;
                if (tagshift::LeftAloneForCapitals(result)) line.insert(line.size() - 1, kUseAnyCase);
                std::cout << line << std::endl;
            }
            break;
        case tagshift::RunOutcome::Refused:
        case tagshift::RunOutcome::Failed:
            PrintPrompt(std::cerr, result.error);
            break;
        case tagshift::RunOutcome::Stopped:
        case tagshift::RunOutcome::NotRun:
            break;
    }
    for (const std::string& line : tagshift::FailureLines(result)) std::cerr << line << '\n';

    const bool completed = result.outcome == tagshift::RunOutcome::Completed ||
                           result.outcome == tagshift::RunOutcome::CompletedWithFailures;
    if (completed && !reportFile.empty()) {
        if (const tagshift::fs::FsError written = tagshift::WriteReport(result, reportFile, tagshift::ReportOptions{result.dryRun});
            written.Failed()) {
            std::cerr << "tagshift-convert: the report could not be written: " << tagshift::Visible(written.path)
                      << " - " << written.reason << '\n';
            return kExitFailed;
        }
    }

    switch (result.outcome) {
        case tagshift::RunOutcome::Completed:
            return kExitOk;
        case tagshift::RunOutcome::CompletedWithFailures:
            return kExitPagesFailed;
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
