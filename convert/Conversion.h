// The conversion as one call: a request goes in, an observer hears the run
// as it goes, a result comes out. Nothing here knows who is watching: the
// window program, the headless converter and the tests make the same call.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "convert/ScriptFiles.h"
#include "convert/Texts.h"

namespace tagshift {

struct ConversionRequest {
    std::string sourceFolder;                        // made absolute and normal by the run
    std::string patterns = texts::kDefaultPatterns;  // ';'-separated page patterns
    bool anyCase = false;  // page names (INDEX.HTM by *.htm) and tags (<OBJECT ...></OBJECT>) match in any letter case
    bool noscriptFallback = false;  // each block after the page's first <body also stays, in a <noscript> after its call
    // A preview: the checks and the walk of a run, every page read and
    // rewritten in memory, nothing written (no new folder, no log).
    bool dryRun = false;
    // How many workers copy the files and rewrite the pages side by side
    // (0: one per hardware thread, at most 8; 1: none, all on the calling
    // thread). Whatever the number, the run writes, records and tells the
    // same, in the same order.
    int jobs = 0;
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

// A block the run moved into a script function.
struct MovedBlock {
    TagKind kind = TagKind::Object;
    long long number = 0;  // the function's number (InsertObjectN, InsertEmbedN)
    long long line = 0;    // the block's first line in the page as read, from 1
    std::size_t offset = 0;  // the block's place in the page as read (sourcePath, else path) ...
    std::size_t length = 0;  // ... and its length in bytes
    bool fallback = false;   // a copy of it follows its call, in a <noscript> element
};

// One selection of a page: the page matched one pattern and was rewritten
// (or failed) once for it.
struct PageSelection {
    bool failed = false;
    std::string failure;  // why, as the log says it after the page's path and " - "
};

// A selected page, in the order the walk met it.
struct PageRecord {
    std::string path;        // in the converted tree, under its final name
    std::string sourcePath;  // its twin in the source tree
    std::vector<PageSelection> selections;  // one per pattern it matched, in pattern order
    std::vector<MovedBlock> blocks;         // in number order
    std::vector<LeftAloneTag> leftAlone;    // the tags the first rewrite left as they were
    bool Changed() const { return !blocks.empty(); }
};

// An entry other than a selected page that the run could not copy, or left
// out, or whose copy it replaced.
enum class EntryNoteKind {
    FailedFile,    // the source would not give the file
    FailedFolder,  // the source would not give the folder (nor what it holds)
    LeftOut,       // not a file, a folder or a link (a pipe, a socket, a device)
    Replaced,      // the source's own run log, which the run's log replaces
};
struct EntryNote {
    EntryNoteKind kind = EntryNoteKind::FailedFile;
    std::string path;    // in the converted tree, under its final name
    std::string reason;  // the system's reason, or why it was left out
    std::size_t beforePage = 0;  // how many pages of the record the walk had met before it
};

// The run's record: what it did, from which every text about it is made
// (convert/RunTexts.h renders the log, the summary and the lines of a
// terminal).
struct ConversionResult {
    RunOutcome outcome = RunOutcome::NotRun;
    bool dryRun = false;          // a preview: nothing was written
    std::string sourceFolder;     // absolute and normal
    std::string convertedFolder;  // sourceFolder + "_Converted", once the run got that far
    long long pagesConverted = 0;     // page selections (a page matching two patterns counts twice)
    long long functionsReplaced = 0;  // blocks moved into script functions
    long long pagesFailed = 0;        // selections that could not be converted
    long long entriesNotCopied = 0;   // other files and folders the source would not let the run read
    long long entriesLeftOut = 0;     // entries neither file, folder nor link
    long long tagsLeftAlone = 0;
    long long pagesSelected = -1;     // pages to rewrite, once the copy has counted them
    std::vector<PageRecord> pages;  // every selected page the walk reached, in walk order
    std::vector<EntryNote> entries;  // in the order the run met them
    const char* refusal = nullptr;  // for Refused: the log's line (texts::kLog...)
    std::string error;    // the error box's text, for a refused or failed run
    std::string failure;  // for Failed: the path and the reason
    std::string logPath;  // where the log was written; empty when it was not
    double seconds = 0;   // how long the run took
};

ConversionResult Convert(const ConversionRequest& request, ConversionObserver& observer);

// Splits the pattern text at every ';', keeping empty pieces; an empty text
// gives an empty list.
std::vector<std::string> SplitPatterns(const std::string& text);

// Whether a pattern list selects anything at all: a run refuses one that
// does not (texts::kErrorNoPattern).
bool PatternListUsable(const std::string& text);

// The page-pattern rule: the last (length of p - 2) bytes of the name equal
// those of the pattern (with anyCase, in any letter case of A-Z). Patterns
// shorter than two bytes select nothing.
bool PatternMatches(const std::string& pattern, const std::string& name, bool anyCase = false);

}  // namespace tagshift
