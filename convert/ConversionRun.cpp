#include "convert/ConversionRun.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
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

// The function numbers in the walk's order, handed from one page to the
// next: a page takes its first number once every page before it has counted
// its blocks, so that the pages are rewritten side by side and still
// numbered as one after the other. Nobody waits for a turn: a page whose
// turn has not come is left with the chain, and the thread that ends the
// turn before it goes on with it.
class NumberChain {
public:
    // In its turn, page index takes blocks numbers: then(true, base) runs
    // with the count before them, now or later, on this thread or on the one
    // that ends the turn before. then(false, 0) runs once the walk is
    // abandoned.
    using Then = std::function<void(bool numbered, long long base)>;
    void InTurn(std::size_t index, long long blocks, Then then) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (abandoned_) {
            lock.unlock();
            return then(false, 0);
        }
        waiting_.emplace(index, Waiting{blocks, std::move(then)});
        // Runs every page whose turn has come, this one first when it has.
        for (auto next = waiting_.find(next_); next != waiting_.end() && !abandoned_; next = waiting_.find(next_)) {
            Waiting turn = std::move(next->second);
            waiting_.erase(next);
            const long long base = count_;
            count_ += turn.blocks;
            ++next_;
            lock.unlock();
            turn.then(true, base);
            lock.lock();
        }
    }
    // A page took more or fewer numbers than it counted (it failed, or was
    // done again): the pages after it number from the right count.
    void Shift(long long delta) {
        std::lock_guard<std::mutex> lock(mutex_);
        count_ += delta;
    }
    void Abandon() {
        std::map<std::size_t, Waiting> left;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            abandoned_ = true;
            left.swap(waiting_);
        }
        for (auto& [index, turn] : left) turn.then(false, 0);
    }

private:
    struct Waiting {
        long long blocks;
        Then then;
    };
    std::mutex mutex_;
    std::map<std::size_t, Waiting> waiting_;  // pages counted whose turn has not come, by turn
    std::size_t next_ = 0;
    long long count_ = 0;
    bool abandoned_ = false;
};

}  // namespace

// A page rewritten on a worker, numbered from 1, and what the rewrite found
// there; the run takes it in the walk's order.
struct ConversionRun::PageJob {
    PageFile file;
    std::shared_ptr<NumberChain> chain;  // of the walk it is part of
    std::size_t turn = 0;     // its place in the walk's order of pages
    bool numbered = false;    // the chain gave it its first number
    long long base = 0;       // the count before its first number
    long long counted = 0;    // the blocks it told the chain
    bool numbersFinal = false;  // its numbers hold base already (rewritten again from it)
    bool outOfMemory = false;
    fs::FsError readError, writeError;
    bool written = false;  // the converted page (or its copy) stands in the new tree
    fs::FileInfo info;
    std::vector<MovedBlock> blocks;
    struct Alone {
        std::string opening;
        long long line;
        LeftAloneReason why;
    };
    std::vector<Alone> leftAlone;
    // Each kind's functions without their headers, one after the other, and
    // where each ends, with its number.
    std::string bodies[2];
    std::vector<std::pair<long long, std::size_t>> ends[2];

    void ClearFindings() {
        blocks.clear();
        leftAlone.clear();
        for (int kind = 0; kind < 2; ++kind) {
            bodies[kind].clear();
            ends[kind].clear();
        }
    }
};

struct ConversionRun::PageWork {
    // A page in the making holds its text, and a page rewritten its
    // functions until its turn: the pages ahead of the run are bounded by
    // their number and by their bytes together.
    explicit PageWork(fs::Workers* workers)
        : order(workers, 16 * static_cast<std::size_t>(workers->Count()), false,
                (std::uint64_t{4} << 20) * static_cast<std::uint64_t>(workers->Count())) {}
    ~PageWork() {
        chain->Abandon();  // the pages whose turn never came end ...
        order.Abandon();   // ... so that all of them can be waited for
    }
    // Shared with the workers: one that ran a later page's turn still
    // leaves the chain after that page is done.
    std::shared_ptr<NumberChain> chain = std::make_shared<NumberChain>();
    fs::InOrder order;
    std::size_t pages = 0;  // handed out so far
};

namespace {

// Writes a page of the new tree. The first write of a page read from the
// source makes a new file: the tree is published whole, under its final
// name, only once complete. A file that stands there after all is replaced.
fs::FsError WritePage(const PageFile& file, const fs::PieceSource& source, const fs::FileInfo& info, bool keepTimes) {
    if (file.sourcePath.empty()) return fs::WriteFileAtomic(file.path, source, &info, keepTimes);
    fs::FsError error = fs::WriteNewFile(file.path, source, info, keepTimes);
    if (error.Failed() && error.path == file.path && fs::EntryExists(file.path))
        error = fs::WriteFileAtomic(file.path, source, &info, keepTimes);
    return error;
}
fs::FsError WritePage(const PageFile& file, std::string_view page, const fs::FileInfo& info) {
    return WritePage(file, [page](const fs::PieceEmitter& emit) { return emit(page); }, info, true);
}

// Collects what a rewrite on a worker finds, for the run to take in order.
template <typename Job>
class JobSink : public BlockSink {
public:
    explicit JobSink(Job& job) : job_(job) {}
    void Add(TagKind kind, long long number, std::string_view block, const BlockPlace& place) override {
        const int k = static_cast<int>(kind);
        AppendFunctionBody(job_.bodies[k], block);
        job_.ends[k].emplace_back(number, job_.bodies[k].size());
        job_.blocks.push_back(MovedBlock{kind, number, place.line, place.offset, block.size(), place.fallback});
    }
    void LeftAlone(TagKind, std::string_view opening, long long line, LeftAloneReason why) override {
        job_.leftAlone.push_back({std::string(opening), line, why});
    }

private:
    Job& job_;
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

ConversionRun::~ConversionRun() = default;

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
    pageWork_.reset();  // waits for the workers: nothing more is written
    workers_.reset();
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
    const int jobs = request_.jobs > 0 ? request_.jobs : fs::DefaultWorkerCount();
    if (jobs > 1) {
        workers_ = std::make_unique<fs::Workers>(jobs);
        if (workers_->Count() < 2) workers_.reset();  // one worker would only wait for this thread
    }
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
    const fs::FsError copy =
        request_.dryRun ? fs::ReadTree(source, skipPage, afterFolder, unreadable, leftOut, workers_.get())
                        : fs::CopyTreeInto(source, workDir_, skipPage, afterFolder, unreadable, leftOut, workers_.get());
    if (stop_) return RunOutcome::Stopped;
    if (copy.Failed()) return Fail(kErrorCopyFailed, Named(copy) + " - " + copy.reason);
    pagesInAll_ = selected;
    result_.pagesSelected = selected;
    ReportProgress();

    if (!Status(kStatusPreparing)) return RunOutcome::Stopped;
    if (workers_) pageWork_ = std::make_unique<PageWork>(workers_.get());
    ProcessFolder(source, request_.dryRun ? dest : workDir_);
    if (pageWork_ && !stop_) pageWork_->order.FinishAll();
    pageWork_.reset();
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
        return InOrder([this, list] {
            if (EndsTheRun(list)) return EndRun(kErrorWalkFailed, list);
            NotCopied(list, true);
        });
    }
    // A page that became a pipe after the copy is named here.
    for (const fs::LeftOutEntry& entry : listing.leftOut)
        InOrder([this, entryPath = JoinPath(source, entry.name), why = entry.why] { LeftOut(entryPath, why); });
    Yield();
    for (const std::string& name : listing.files) {
        if (Ended() || stop_) break;
        ProcessFile(PageFile{JoinPath(path, name), name, JoinPath(source, name)});
    }
    InOrder([this] {
        if (WriteQueuedFunctions()) CloseScriptFiles();
    });
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

void ConversionRun::InOrder(std::function<void()> step) {
    if (!pageWork_) {
        if (!Ended()) step();
        return;
    }
    pageWork_->order.Add(nullptr, [this, step = std::move(step)] {
        if (!Ended()) step();
    });
}

void ConversionRun::ProcessFile(const PageFile& file) {
    // A stopped run's new tree is removed: nothing more is written.
    if (stop_ || !Status(kStatusCheckingFile + Visible(file.name))) return;
    if (!IsSelected(file.name)) return;
    if (!pageWork_) return ProcessSelectedPage(file);
    const std::size_t turn = pageWork_->pages++;
    const long long patternsMatched = std::count_if(patterns_.begin(), patterns_.end(), [&](const std::string& p) {
        return PatternMatches(p, file.name, request_.anyCase);
    });
    if (request_.dryRun || patternsMatched != 1) {
        // Rewritten here, in its turn: a preview, or a page rewritten once
        // for each of several patterns, the later ones reading what the
        // first wrote.
        pageWork_->order.Add(nullptr, [this, file, turn] {
            if (Ended()) return;
            const long long before = result_.functionsReplaced;
            ProcessSelectedPage(file);
            // Every page before this one is done: its turn is now.
            const std::shared_ptr<NumberChain> chain = pageWork_->chain;
            chain->InTurn(turn, result_.functionsReplaced - before, [](bool, long long) {});
        });
        return;
    }
    auto job = std::make_shared<PageJob>();
    job->file = file;
    job->chain = pageWork_->chain;
    job->turn = turn;
    pageWork_->order.AddDeferred([this, job](const fs::InOrder::Done& done) { RewriteOnWorker(job, done); },
                         [this, job] {
                             if (!Ended()) CommitPage(*job);
                         },
                         fs::SizeOf(file.sourcePath));
}

void ConversionRun::ProcessSelectedPage(const PageFile& file) {
    if (!WriteQueuedFunctions()) return;  // the page's own appends come after them
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

// On a worker: reads the page from the source and rewrites it numbered from
// 1; then, in its turn, with its first number known, writes it into the new
// tree (WritePageInTurn). Nothing here touches the run's record: CommitPage
// takes the job in order.
void ConversionRun::RewriteOnWorker(const std::shared_ptr<PageJob>& job, const fs::InOrder::Done& done) const {
    auto page = std::make_shared<std::string>();
    auto converted = std::make_shared<PagePieces>();
    long long count = 0;
    try {
        job->readError = fs::ReadWholeFile(job->file.sourcePath, *page, &job->info);
        JobSink<PageJob> sink(*job);
        if (!job->readError.Failed())
            count = RewriteText(*page, count, sink, RewriteOptions{request_.anyCase, request_.noscriptFallback},
                                *converted);
    } catch (const std::bad_alloc&) {
        // Told by the run, in the page's turn, as memory running out there.
        job->outOfMemory = true;
        job->ClearFindings();
        count = 0;
    }
    job->counted = count;
    const std::shared_ptr<NumberChain> chain = job->chain;  // which outlives the walk while this runs
    chain->InTurn(job->turn, count, [this, job, page, converted, done](bool numbered, long long base) {
        if (numbered) {
            job->numbered = true;
            job->base = base;
            try {
                WritePageInTurn(*job, *page, *converted);
            } catch (const std::bad_alloc&) {
                job->outOfMemory = true;
            }
        }
        // The page's text goes before its turn to be recorded comes.
        std::string().swap(*page);
        *converted = PagePieces();
        done();
    });
}

void ConversionRun::WritePageInTurn(PageJob& job, std::string& page, PagePieces& converted) const {
    if (job.readError.Failed() || job.outOfMemory) return;
    if (job.counted == 0) {
        // Nothing to replace: the page is a plain copy.
        job.writeError = WritePage(job.file, page, job.info);
        job.written = !job.writeError.Failed();
        return;
    }
    if (converted.NumbersInBlocks() && job.base != 0) {
        // A block holds a call numbered from 1: the page is rewritten again
        // from its own first number.
        job.ClearFindings();
        job.readError = fs::ReadWholeFile(job.file.sourcePath, page, &job.info);
        if (job.readError.Failed()) return;
        JobSink<PageJob> sink(job);
        long long from = job.base;
        RewriteText(page, from, sink, RewriteOptions{request_.anyCase, request_.noscriptFallback}, converted);
        job.numbersFinal = true;
    }
    const long long numberBase = job.numbersFinal ? 0 : job.base;
    job.writeError = WritePage(
        job.file, [&converted, numberBase](const fs::PieceEmitter& emit) { return converted.Emit(emit, numberBase); },
        job.info, false);
    job.written = !job.writeError.Failed();
}

// The functions of the pages a worker rewrote reach their script file a
// folder (or a megabyte) at a time: the page's failures are all known before
// its functions are added, so nothing queued is ever taken back. Before any
// other write to the file, and when the folder is done, the queue is written;
// a failure to write it ends the run, as a failed append does.
bool ConversionRun::WriteQueuedFunctions() {
    for (int k = 0; k < 2; ++k) {
        if (queued_[k].empty()) continue;
        const fs::FsError error = scriptFiles_[k].Append(queued_[k]);
        queued_[k].clear();
        if (error.Failed()) {
            EndRun(error.cause == fs::FsCause::Resources ? kErrorConvertFailed : kErrorWriteFailed, error);
            return false;
        }
    }
    return true;
}

fs::FsError ConversionRun::OpenScriptFile(const PageJob& job, TagKind kind, fs::AppendMark& mark) {
    const int k = static_cast<int>(kind);
    const std::string path = ScriptPath(job.file, kind);
    if (path != queuedPath_[k] && !queued_[k].empty() && !WriteQueuedFunctions())
        return fs::FsError{path, "not written"};  // the run has ended
    queuedPath_[k] = path;
    return scriptFiles_[k].Open(path, mark, &job.info);
}

void ConversionRun::QueueFunctions(const PageJob& job, TagKind kind, const fs::AppendMark& mark) {
    constexpr std::size_t kWriteSize = std::size_t{1} << 20;
    const int k = static_cast<int>(kind);
    const long long numberBase = job.numbersFinal ? 0 : job.base;
    std::string& text = queued_[k];
    // A script file from the source may end without a line end: the header
    // must not run into its last line.
    if (text.empty() && mark.needsLineEnd) text += "\r\n";
    std::size_t from = 0;
    for (const auto& [number, end] : job.ends[k]) {
        AppendFunctionHead(text, kind, number + numberBase);
        text.append(job.bodies[k], from, end - from);
        from = end;
        if (text.size() >= kWriteSize && !WriteQueuedFunctions()) return;
    }
}

// In the walk's order: records a page a worker rewrote and adds its
// functions to the script files, as RewritePage would have; a page whose
// first number turned out wrong (a page before it failed) is done again here.
void ConversionRun::CommitPage(PageJob& job) {
    const long long before = result_.functionsReplaced;
    const std::string shown = Shown(job.file.path);
    current_ = Visible(shown);
    if (job.outOfMemory) throw std::bad_alloc();
    if (!job.numbered || job.base != before) {
        if (job.written) fs::RemoveFile(job.file.path);
        ProcessSelectedPage(job.file);
    } else {
        ++result_.pagesConverted;
        result_.pages.push_back(PageRecord{shown, job.file.sourcePath, {}, {}, {}});
        PageRecord& record = result_.pages.back();
        record.selections.emplace_back();
        if (job.readError.Failed()) {
            FailPage(job.file, job.readError);
        } else {
            for (const PageJob::Alone& alone : job.leftAlone) {
                ++result_.tagsLeftAlone;
                record.leftAlone.push_back(LeftAloneTag{shown, alone.opening, alone.line, LeftAloneText(alone.why)});
                observer_.TagLeftAlone(record.leftAlone.back());
            }
            const long long numberBase = job.numbersFinal ? 0 : job.base;
            for (MovedBlock block : job.blocks) {
                block.number += numberBase;
                record.blocks.push_back(block);
            }
            result_.functionsReplaced += static_cast<long long>(job.blocks.size());
            fs::AppendMark marks[2];
            bool opened[2] = {false, false};
            fs::FsError error;
            for (TagKind kind : kTagKinds) {
                const int k = static_cast<int>(kind);
                if (job.ends[k].empty() || error.Failed()) continue;
                error = OpenScriptFile(job, kind, marks[k]);
                opened[k] = true;  // when it could not even open the file, taking it back does nothing
            }
            if (Ended()) return;
            if (!error.Failed()) error = job.writeError;
            if (!error.Failed()) {
                for (TagKind kind : kTagKinds)
                    if (opened[static_cast<int>(kind)] && !Ended()) QueueFunctions(job, kind, marks[static_cast<int>(kind)]);
            } else {
                for (int k = 0; k < 2; ++k)
                    if (opened[k]) scriptFiles_[k].Undo(marks[k]);
                record.blocks.clear();
                result_.functionsReplaced = before;
                if (job.written) fs::RemoveFile(job.file.path);
                FailPage(job.file, error);
            }
        }
        ++pagesDone_;
        ReportProgress();
    }
    if (const long long delta = result_.functionsReplaced - before - job.counted; delta != 0)
        pageWork_->chain->Shift(delta);
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
        if (fromSource && !request_.dryRun) error = WritePage(file, page, info);
        if (error.Failed()) FailPage(file, error);
        return;
    }
    error = pageFunctions.Finish();
    if (!error.Failed() && !request_.dryRun)
        error = WritePage(file, [&converted](const fs::PieceEmitter& emit) { return converted.Emit(emit); }, info, false);
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
