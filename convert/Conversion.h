// The conversion as one call: a request goes in, an observer hears the run
// as it goes, a result comes out. Nothing here knows who is watching: the
// window program, the headless converter and the tests make the same call.
#pragma once

#include <string>
#include <vector>

#include "convert/Texts.h"

namespace tagshift {

struct ConversionRequest {
    std::string sourceFolder;                        // made absolute and normal by the run
    std::string patterns = texts::kDefaultPatterns;  // ';'-separated page patterns
    bool anyCase = false;                            // <OBJECT ...></OBJECT> matches too
};

// An opening text that a rewrite left in a page as markup.
struct LeftAloneTag {
    std::string page;     // the page's path in the converted tree
    std::string opening;  // the text as it stands ("<OBJECT")
    long long line = 0;   // from 1
    std::string why;      // in the words the user reads ("inside a script")
};

// What the run tells while it goes. Every call comes from the thread that
// called Convert().
class ConversionObserver {
public:
    virtual ~ConversionObserver() = default;

    // A new status text ("Progress: Copying Directory"); the run's long steps
    // start right after one.
    virtual void Status(const std::string& /*text*/) {}

    // Pages done so far and, once the copy has found them, pages in all
    // (-1 until then).
    virtual void Progress(long long /*pagesDone*/, long long /*pagesInAll*/) {}

    virtual void TagLeftAlone(const LeftAloneTag& /*tag*/) {}

    // Asked after every status text and at the walk's yield points; a caller
    // with a user interface handles its pending events here. True ends the run after the page in
    // progress, leaving nothing.
    virtual bool ShouldStop() { return false; }
};

enum class RunOutcome {
    NotRun,                 // no run yet
    Completed,              // every selected page converted
    CompletedWithFailures,  // the run completed; some pages could not be converted, or some entries read
    Refused,                // a check failed; nothing written
    Failed,                 // the new tree could not be made, written, renamed or given its log; nothing left
    Stopped,                // the observer asked the run to stop; nothing left
};

struct ConversionResult {
    RunOutcome outcome = RunOutcome::NotRun;
    std::string sourceFolder;     // absolute and normal
    std::string convertedFolder;  // sourceFolder + "_Converted", once the run got that far
    long long pagesConverted = 0;     // page selections (a page matching two patterns counts twice)
    long long functionsReplaced = 0;  // blocks moved into script functions
    long long pagesFailed = 0;        // selections that could not be converted
    long long entriesNotCopied = 0;   // other files and folders the source would not let the run read
    long long tagsLeftAlone = 0;
    std::vector<std::string> failedEntries;  // the log's "Failed File:" and "Failed Folder:" lines, in order
    std::string summary;  // the summary box's text, for a completed run
    std::string error;    // the error box's text, for a refused or failed run
    std::string failure;  // for Failed: the path and the reason
    std::string log;      // the run log, as written to converter_log.txt when the run completed
    std::string logPath;  // where it was written; empty when it was not
};

ConversionResult Convert(const ConversionRequest& request, ConversionObserver& observer);

// Splits the pattern text at every ';', keeping empty pieces; an empty text
// gives an empty list.
std::vector<std::string> SplitPatterns(const std::string& text);

// The page-pattern rule: the last (length of p - 2) bytes of the name equal
// those of the pattern. Patterns shorter than two bytes select nothing.
bool PatternMatches(const std::string& pattern, const std::string& name);

}  // namespace tagshift
