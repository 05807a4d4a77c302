#include "convert/ConversionRun.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>

#include "convert/PageRewriter.h"
#include "convert/RunTexts.h"
#include "convert/Texts.h"
#include "fs/FileSystem.h"

namespace tagshift {

namespace {

using namespace texts;
using fs::JoinPath;

// Collects a page's functions per kind; they are written to the script files
// only once the whole page has been converted in memory. Large pages flush
// early so that memory stays bounded; the marks let a failed page be taken
// back from the script files. The moved blocks and the tags left alone go
// into the page's record.
class PageFunctions : public BlockSink {
public:
    // A script file the page's functions create takes info's bits. Tags
    // left alone are recorded and told to observer, when given.
    // With preview, nothing is appended: the script files are only looked
    // at, in the source, for what an append would meet there.
    PageFunctions(const PageFile& file, const fs::FileInfo& info, fs::AppendFile (&scripts)[2],
                  ConversionObserver* observer, PageRecord& record, long long& leftAlone, bool preview)
        : file_(file), info_(info), scripts_(scripts), observer_(observer), record_(record), leftAlone_(leftAlone),
          blocksBefore_(record.blocks.size()), preview_(preview) {}

    void Add(TagKind kind, long long number, std::string_view block, const BlockPlace& place) override {
        Kind& kindState = kinds_[static_cast<int>(kind)];
        AppendFunctionTo(kindState.buffer, kind, number, block);
        // Numbers grow through the page: the record stays in number order.
        record_.blocks.push_back(MovedBlock{kind, number, place.line, place.offset, block.size(), place.fallback});
        if (kindState.buffer.size() >= kFlushSize) Flush(kind);
    }

    void LeftAlone(TagKind, std::string_view opening, long long lineNumber, LeftAloneReason why) override {
        if (!observer_) return;
        ++leftAlone_;
        record_.leftAlone.push_back(LeftAloneTag{record_.path, std::string(opening), lineNumber, LeftAloneText(why)});
        observer_->TagLeftAlone(record_.leftAlone.back());
    }

    // Writes what is still buffered. Returns the first error of the page.
    const fs::FsError& Finish() {
        for (TagKind kind : kTagKinds) Flush(kind);
        return error_;
    }

    // Takes back everything this page appended, and its blocks from its record.
    void Undo() {
        record_.blocks.resize(blocksBefore_);
        for (TagKind kind : kTagKinds) {
            const Kind& kindState = kinds_[static_cast<int>(kind)];
            if (kindState.marked) scripts_[static_cast<int>(kind)].Undo(kindState.mark);
        }
    }

private:
    static constexpr std::size_t kFlushSize = std::size_t{1} << 20;

    struct Kind {
        std::string buffer;
        fs::AppendMark mark;
        bool marked = false;  // mark holds the script file's state before this page
    };

    void Flush(TagKind kind) {
        Kind& kindState = kinds_[static_cast<int>(kind)];
        if (kindState.buffer.empty() || error_.Failed()) return;
        if (preview_) {
            const std::string script(KindTexts(kind).scriptFile);
            error_ = fs::CheckAppendable(fs::JoinPath(fs::ParentFolder(file_.sourcePath), script));
            if (error_.Failed()) error_.path = ScriptPath(file_, kind);  // named as the run would name it
            kindState.buffer.clear();
            return;
        }
        // The first append of the page marks the file's state; when it
        // could not even open the file, taking it back does nothing.
        error_ = AppendFunctionText(file_, kind, kindState.buffer, scripts_[static_cast<int>(kind)],
                                      kindState.marked ? nullptr : &kindState.mark, &info_);
        kindState.marked = true;
        kindState.buffer.clear();
    }

    const PageFile& file_;
    const fs::FileInfo& info_;
    fs::AppendFile (&scripts_)[2];
    ConversionObserver* observer_;  // null: the page's openings were reported before
    PageRecord& record_;
    long long& leftAlone_;
    std::size_t blocksBefore_;
    bool preview_;
    Kind kinds_[2];
    fs::FsError error_;
};

}  // namespace

bool PatternListUsable(const std::string& text) {
    // A list of pieces too short to select anything is no list.
    const std::vector<std::string> pieces = SplitPatterns(text);
    return std::any_of(pieces.begin(), pieces.end(), [](const std::string& p) { return p.size() >= 2; });
}

std::vector<std::string> SplitPatterns(const std::string& text) {
    std::vector<std::string> pieces;
    if (text.empty()) return pieces;
    std::size_t start = 0;
    for (;;) {
        std::size_t semicolon = text.find(';', start);
        if (semicolon == std::string::npos) {
            pieces.push_back(text.substr(start));
            return pieces;
        }
        pieces.push_back(text.substr(start, semicolon - start));
        start = semicolon + 1;
    }
}

bool PatternMatches(const std::string& pattern, const std::string& name, bool anyCase) {
    if (pattern.size() < 2) return false;
    const std::size_t compared = pattern.size() - 2;
    if (name.size() < compared) return false;
    const char* tail = name.data() + name.size() - compared;
    if (!anyCase) return std::memcmp(tail, pattern.data() + 2, compared) == 0;
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (std::size_t i = 0; i < compared; ++i)
        if (lower(tail[i]) != lower(pattern[2 + i])) return false;
    return true;
}

ConversionResult Convert(const ConversionRequest& request, ConversionObserver& observer) {
    return ConversionRun(request, observer).Run();
}

ConversionRun::ConversionRun(const ConversionRequest& request, ConversionObserver& observer)
    : observer_(observer), request_(request) {}

void ConversionRun::Yield() {
    if (!stop_ && observer_.ShouldStop()) stop_ = true;
}

ConversionResult ConversionRun::Run() {
    const auto start = std::chrono::steady_clock::now();
    try {
        result_.outcome = RunSteps();
    } catch (const std::bad_alloc&) {
        // Memory ran out somewhere in the run: it ends like any fault that
        // stops a run, naming what it was doing, and leaves nothing.
        result_.outcome = Fail(kErrorConvertFailed, (current_.empty() ? result_.sourceFolder : current_) +
                                                        " - " + kReasonNoMemory);
    }
    CloseScriptFiles();
    // A new tree that did not take its final name is not left behind.
    if (!workDir_.empty()) fs::RemoveTree(workDir_);
    workDir_.clear();
    if (result_.outcome == RunOutcome::Stopped) result_.error.clear();
    result_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result_;
}

bool ConversionRun::Status(const std::string& text) {
    observer_.Status(text);
    Yield();
    return !stop_;
}

RunOutcome ConversionRun::Refuse(const std::string& message, const char* logLine) {
    result_.error = message;
    result_.refusal = logLine;
    return RunOutcome::Refused;
}

// pathAndReason is shown as it stands: its path is Visible already.
RunOutcome ConversionRun::Fail(const char* what, const std::string& pathAndReason) {
    result_.failure = pathAndReason;
    result_.error = what + pathAndReason;
    return RunOutcome::Failed;
}

void ConversionRun::ReportProgress() { observer_.Progress(pagesDone_, pagesInAll_); }

// The new tree must never be written into the tree it copies: the copy
// would copy itself, and the source would change. The names alone cannot
// tell ("t/x/self", a link to ".", converts to "t/x/self_Converted", which
// is "t/x/self/self_Converted"): the real folders are compared. Returns
// NotRun when the destination lies outside, else the run's outcome.
RunOutcome ConversionRun::CheckDestinationOutsideSource(const std::string& source, const std::string& dest) {
    std::string realSource, realParent;
    if (fs::FsError real = fs::RealPath(source, realSource); real.Failed())
        return Fail(kErrorCopyFailed, Visible(real.path) + " - " + real.reason);
    if (fs::FsError real = fs::RealPath(fs::ParentFolder(dest), realParent); real.Failed())
        return Fail(kErrorCopyFailed, Visible(real.path) + " - " + real.reason);
    const std::string realDest = JoinPath(realParent, dest.substr(dest.find_last_of(fs::kSeparators) + 1));
    if (fs::LiesInside(realDest, realSource))
        return Refuse(kErrorDestInside + Visible(realDest) + kErrorDestInsideOf + Visible(realSource), kLogDestInside);
    return RunOutcome::NotRun;
}

RunOutcome ConversionRun::RunSteps() {
    result_.dryRun = request_.dryRun;
    if (!Status(kStatusDisabling)) return RunOutcome::Stopped;

    if (!Status(kStatusCheckingDirectory)) return RunOutcome::Stopped;
    // "site/", "." or "sub/.." name the folder itself: the new folder goes
    // beside it, never into it.
    const std::string source = fs::AbsoluteNormalPath(request_.sourceFolder);
    result_.sourceFolder = source;
    if (!fs::DirExists(source)) return Refuse(kErrorNoFolder, kLogNoFolder);
    if (fs::IsRootPath(source)) return Refuse(kErrorRootFolder, kLogRootFolder);

    if (!Status(kStatusCheckingFileNames)) return RunOutcome::Stopped;
    patterns_ = SplitPatterns(request_.patterns);
    if (!PatternListUsable(request_.patterns)) return Refuse(kErrorNoPattern, kLogNoPattern);

    if (!Status(kStatusCopying)) return RunOutcome::Stopped;
    const std::string dest = source + kDestSuffix;
    result_.convertedFolder = dest;
    if (fs::EntryExists(dest)) return Refuse(kErrorDestExists, kLogDestExists);
    if (RunOutcome inside = CheckDestinationOutsideSource(source, dest); inside != RunOutcome::NotRun)
        return inside;
    // The new tree is built under a name that says it is incomplete and
    // takes its final name only when the walk is done and its log written.
    // A preview builds nothing: its walk reads what the copy would read.
    if (!request_.dryRun)
        if (fs::FsError create = fs::CreateUniqueFolder(dest + kIncompleteSuffix, workDir_); create.Failed())
            return Fail(kErrorCopyFailed, Named(create) + " - " + create.reason);
    // Selected pages are left out of the copy: the walk writes each of them
    // once, converted or as it is. Counting them gives the pages in all.
    // Entries the source will not give are left out and logged after the
    // two folders.
    long long selected = 0;
    current_ = Visible(source);
    const auto skipPage = [this, &selected](const std::string& name) {
        const bool isSelected = IsSelected(name);
        selected += isSelected;
        return isSelected;
    };
    const auto afterFolder = [this] {
        Yield();
        return !stop_;
    };
    const auto unreadable = [this](const fs::FsError& error, bool isFolder) {
        if (isFolder) unreadFolders_.insert(error.path);
        NotCopied(error, isFolder);
    };
    const auto leftOut = [this](const std::string& path, const std::string& why) { LeftOut(path, why); };
    const fs::FsError copy = request_.dryRun ? fs::ReadTree(source, skipPage, afterFolder, unreadable, leftOut)
                                             : fs::CopyTreeInto(source, workDir_, skipPage, afterFolder, unreadable, leftOut);
    if (stop_) return RunOutcome::Stopped;
    if (copy.Failed()) return Fail(kErrorCopyFailed, Named(copy) + " - " + copy.reason);
    pagesInAll_ = selected;
    result_.pagesSelected = selected;
    ReportProgress();

    if (!Status(kStatusPreparing)) return RunOutcome::Stopped;
    ProcessFolder(source, request_.dryRun ? dest : workDir_);
    if (Ended()) return Fail(fatalWhat_, fatal_);
    if (stop_) return RunOutcome::Stopped;
    CloseScriptFiles();
    const std::string ownLog = JoinPath(source, kLogFileName);
    if (fs::EntryExists(ownLog)) Note(EntryNoteKind::Replaced, ownLog, kWhyOwnLog);
    if (request_.dryRun) return Outcome();

    // The log goes into the new tree before the tree takes its name: a tree
    // under the final name always holds its log. A log copied from the
    // source goes first, so that this run's log is a new file of its own
    // (not taking the copy's permission bits).
    fs::RemoveFile(JoinPath(workDir_, kLogFileName));
    if (fs::FsError writeError = fs::WriteFileAtomic(JoinPath(workDir_, kLogFileName), LogText(result_, true));
        writeError.Failed())
        return Fail(kErrorLogFailed, Named(writeError) + " - " + writeError.reason);
    bool existed = false;
    if (fs::FsError renameError = fs::RenameNoReplace(workDir_, dest, existed); renameError.Failed()) {
        if (existed) return Refuse(kErrorDestExists, kLogDestExists);
        return Fail(kErrorRenameFailed, Named(renameError) + " - " + renameError.reason);
    }
    workDir_.clear();
    result_.logPath = JoinPath(dest, kLogFileName);
    return Outcome();
}

RunOutcome ConversionRun::Outcome() const {
    return result_.pagesFailed > 0 || result_.entriesNotCopied > 0 ? RunOutcome::CompletedWithFailures
                                                                     : RunOutcome::Completed;
}

bool ConversionRun::IsSelected(const std::string& name) const {
    // The script files are the conversion's own output: rewriting one would
    // lose the functions appended to it. ("**" + the name is a pattern that
    // matches the name alone; with anyCase, OBJECT.JS, which is object.js on
    // Windows, too.)
    for (TagKind kind : kTagKinds)
        if (const std::string own = "**" + std::string(KindTexts(kind).scriptFile);
            name.size() == own.size() - 2 && PatternMatches(own, name, request_.anyCase))
            return false;
    for (const std::string& pattern : patterns_)
        if (PatternMatches(pattern, name, request_.anyCase)) return true;
    return false;
}

// A path in the new tree as it reads once the tree has its final name.
std::string ConversionRun::Shown(const std::string& path) const {
    if (workDir_.empty() || path.compare(0, workDir_.size(), workDir_) != 0) return path;
    if (path.size() > workDir_.size() && path[workDir_.size()] != fs::kSeparator) return path;
    return result_.convertedFolder + path.substr(workDir_.size());
}

// The path an error names, as the user reads it: shown under the final name,
// except a path that was too long, which is named as it was (the temporary
// name is longer than the final one, which might well fit).
// The new tree itself is named as the user knows it, with the name it is
// built under after it.
std::string ConversionRun::Named(const fs::FsError& error) const {
    const std::string& dest = result_.convertedFolder;
    const std::string building = dest + kIncompleteSuffix;
    if (error.path.compare(0, building.size(), building) == 0 && error.path.find_first_of(fs::kSeparators, building.size()) == std::string::npos)
        return Visible(dest) + " (being built as " + Visible(error.path.substr(error.path.find_last_of(fs::kSeparators) + 1)) + ")";
    return Visible(error.cause == fs::FsCause::TooLong ? error.path : Shown(error.path));
}

// Which failures end the run. A tree that takes the final name holds every
// entry of the source, converted or as it was, except the entries the source
// itself would not let the run read. So:
// - a file or folder of the source that cannot be read (no permission, an
//   I/O error of the source's disk, a link) is that entry's failure: it is
//   logged and the run goes on;
// - a write into the new tree that fails for lack of room, a quota or an I/O
//   error ends the run: the tree cannot be written, and every later write
//   would fail the same way;
// - running out of open files or memory ends the run wherever it happens:
//   it says nothing about the entry, which the source would give;
// - any other failure to write a page (its script file is a folder, or a
//   link out of the tree; the page cannot be replaced) is that page's: it
//   keeps its copy as it was, unless even that copy cannot be written into
//   the new tree, which ends the run (FailPage).
bool ConversionRun::EndsTheRun(const fs::FsError& error) const {
    if (error.cause == fs::FsCause::Resources) return true;
    if (error.cause != fs::FsCause::Storage) return false;
    return !fs::LiesInside(error.path, result_.sourceFolder);
}

void ConversionRun::EndRun(const char* what, const fs::FsError& error) {
    if (Ended()) return;
    fatalWhat_ = what;
    fatal_ = Named(error) + " - " + error.reason;
}

// A file or folder other than a page that the source would not give: left
// out of the new tree, and recorded under the name it would have had there.
void ConversionRun::NotCopied(const fs::FsError& error, bool isFolder) {
    ++result_.entriesNotCopied;
    Note(isFolder ? EntryNoteKind::FailedFolder : EntryNoteKind::FailedFile, error.path, error.reason);
}

// An entry neither file, folder nor link (a pipe, a socket, a device):
// never part of the new tree, recorded once, and no failure.
void ConversionRun::LeftOut(const std::string& sourcePath, const std::string& why) {
    if (!leftOut_.insert(sourcePath).second) return;
    ++result_.entriesLeftOut;
    Note(EntryNoteKind::LeftOut, sourcePath, why);
}

void ConversionRun::Note(EntryNoteKind kind, const std::string& sourcePath, const std::string& reason) {
    const std::string& source = result_.sourceFolder;
    std::string path = sourcePath;
    if (fs::LiesInside(path, source)) path = result_.convertedFolder + path.substr(source.size());
    result_.entries.push_back(EntryNote{kind, path, reason, result_.pages.size()});
}

// The walk lists each folder's twin in the source tree: the copy left the
// selected pages out, and each page's first rewrite writes it.
void ConversionRun::ProcessFolder(const std::string& source, const std::string& path) {
    fs::FolderListing listing;
    if (fs::FsError list = fs::ListFolder(source, listing); list.Failed()) {
        if (EndsTheRun(list)) return EndRun(kErrorWalkFailed, list);
        return NotCopied(list, true);
    }
    // A page that became a pipe after the copy is named here.
    for (const fs::LeftOutEntry& entry : listing.leftOut) LeftOut(JoinPath(source, entry.name), entry.why);
    Yield();
    for (const std::string& name : listing.files) {
        if (Ended() || stop_) break;
        ProcessFile(PageFile{JoinPath(path, name), name, JoinPath(source, name)});
    }
    CloseScriptFiles();
    if (Ended()) return;
    Yield();
    for (const std::string& name : listing.folders) {
        if (Ended() || stop_) return;
        const std::string sourceFolder = JoinPath(source, name);
        if (sourceFolder == workDir_) continue;  // the copy itself, should it lie inside the source
        // A folder the copy could not read is left out, and logged already.
        const std::string folder = JoinPath(path, name);
        if (request_.dryRun ? unreadFolders_.count(sourceFolder) > 0 : !fs::DirExists(folder)) continue;
        ProcessFolder(sourceFolder, folder);
    }
    Yield();
}

void ConversionRun::ProcessFile(const PageFile& file) {
    // A stopped run's new tree is removed: nothing more is written.
    if (stop_ || !Status(kStatusCheckingFile + Visible(file.name))) return;
    if (!IsSelected(file.name)) return;
    PageFile pageFile = file;
    rewrittenBefore_ = false;
    for (const std::string& pattern : patterns_) {
        if (!PatternMatches(pattern, file.name, request_.anyCase)) continue;
        ++result_.pagesConverted;
        if (request_.dryRun && rewrittenBefore_) {
            // A further rewrite of a rewritten page finds no block; a page
            // that failed fails again.
            PageRecord& record = result_.pages.back();
            record.selections.push_back(record.selections.front());
            if (record.selections.back().failed) {
                --result_.pagesConverted;
                ++result_.pagesFailed;
            }
            continue;
        }
        RewritePage(pageFile);
        rewrittenBefore_ = true;
        pageFile.sourcePath.clear();  // written now: a further rewrite reads the page itself
        if (Ended()) return;
    }
    ++pagesDone_;
    ReportProgress();
}

void ConversionRun::RewritePage(const PageFile& file) {
    const std::string shown = Shown(file.path);
    current_ = Visible(shown);
    if (result_.pages.empty() || result_.pages.back().path != shown)
        result_.pages.push_back(PageRecord{shown, file.sourcePath, {}, {}, {}});
    PageRecord& record = result_.pages.back();
    record.selections.emplace_back();
    const bool fromSource = !file.sourcePath.empty();
    std::string page;
    fs::FileInfo info;
    if (fs::FsError readError = fs::ReadWholeFile(fromSource ? file.sourcePath : file.path, page, &info);
        readError.Failed())
        return FailPage(file, readError);

    long long& functions = result_.functionsReplaced;
    const long long countBefore = functions;
    PageFunctions pageFunctions(file, info, scriptFiles_, rewrittenBefore_ ? nullptr : &observer_, record,
                                result_.tagsLeftAlone, request_.dryRun);
    fs::FsError error;
    PagePieces converted;
    if (RewriteText(page, functions, pageFunctions, RewriteOptions{request_.anyCase, request_.noscriptFallback},
                    converted) == 0) {
        // Nothing to replace: the page is a plain copy.
        if (fromSource && !request_.dryRun) error = fs::WriteFileAtomic(file.path, page, &info, true);
        if (error.Failed()) FailPage(file, error);
        return;
    }
    error = pageFunctions.Finish();
    if (!error.Failed() && !request_.dryRun) error = fs::WriteFileAtomic(
            file.path, [&converted](const fs::PieceEmitter& emit) { return converted.Emit(emit); }, &info);
    if (error.Failed()) {
        pageFunctions.Undo();
        functions = countBefore;
        return FailPage(file, error);
    }
}

void ConversionRun::FailPage(const PageFile& file, const fs::FsError& error) {
    if (EndsTheRun(error))
        return EndRun(error.cause == fs::FsCause::Resources ? kErrorConvertFailed : kErrorWriteFailed, error);
    // The page keeps its copied content and counts as not converted; a
    // page that the source will not give is missing from the new tree.
    // Neither ends the run.
    --result_.pagesConverted;
    ++result_.pagesFailed;
    PageSelection& selection = result_.pages.back().selections.back();
    selection.failed = true;
    const bool otherPath = error.path != file.path && error.path != file.sourcePath;
    if (otherPath || error.cause == fs::FsCause::TooLong) selection.failure = Named(error) + ": ";
    selection.failure += error.reason;
    if (request_.dryRun) {
        // A page the source will not give could not be copied either.
        if (error.path == file.sourcePath) selection.failure += kLogNotCopied + error.reason;
        return;
    }
    if (!file.sourcePath.empty()) {
        // The page's copy as it was; a copy the new tree cannot take ends
        // the run: the tree would lack an entry the source gave.
        if (fs::FsError copy = fs::CopyFile(file.sourcePath, file.path); copy.Failed()) {
            if (EndsTheRun(copy) || copy.path != file.sourcePath)
                return EndRun(copy.cause == fs::FsCause::Resources ? kErrorConvertFailed : kErrorWriteFailed, copy);
            selection.failure += kLogNotCopied + copy.reason;
        }
    }
}

void ConversionRun::CloseScriptFiles() {
    for (fs::AppendFile& script : scriptFiles_) script.Close();
}

}  // namespace tagshift
