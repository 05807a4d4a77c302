// The engine behind Convert(): validation, the copy of the tree, the walk
// over the copy, the rewrite of every selected page and the run log. One
// object runs one conversion; Convert() is the way in, and the benchmarks
// reach a single page's rewrite through RewritePage().
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "convert/Conversion.h"
#include "convert/PageRewriter.h"
#include "convert/ScriptFiles.h"
#include "fs/FileSystem.h"
#include "fs/Workers.h"

namespace tagshift {

class ConversionRun {
public:
    ConversionRun(const ConversionRequest& request, ConversionObserver& observer);
    ~ConversionRun();

    // The whole run; call once.
    ConversionResult Run();

    // Rewrites one page in place (the benchmarks time this alone).
    void RewritePage(const PageFile& file);
    const ConversionResult& Result() const { return result_; }

private:
    RunOutcome RunSteps();
    RunOutcome Outcome() const;  // of a run that completed
    bool Status(const std::string& text);
    RunOutcome Refuse(const std::string& message, const char* logLine);
    RunOutcome Fail(const char* what, const std::string& pathAndReason);
    RunOutcome CheckDestinationOutsideSource(const std::string& source, const std::string& dest);
    void Yield();
    void ProcessFolder(const std::string& source, const std::string& path);
    void ProcessFile(const PageFile& file);
    void ProcessSelectedPage(const PageFile& file);
    struct PageJob;
    struct PageWork;
    void RewriteOnWorker(const std::shared_ptr<PageJob>& job, const fs::InOrder::Done& done) const;
    void WritePageInTurn(PageJob& job, std::string& page, PagePieces& converted) const;
    void CommitPage(PageJob& job);
    fs::FsError OpenScriptFile(const PageJob& job, TagKind kind, fs::AppendMark& mark);
    void QueueFunctions(const PageJob& job, TagKind kind, const fs::AppendMark& mark);
    bool WriteQueuedFunctions();
    // Runs step in the walk's order: at once without workers, else once
    // every page handed out before it is done. Nothing runs once the run
    // has ended.
    void InOrder(std::function<void()> step);
    void FailPage(const PageFile& file, const fs::FsError& error);
    void NotCopied(const fs::FsError& error, bool folder);
    void LeftOut(const std::string& sourcePath, const std::string& why);
    void Note(EntryNoteKind kind, const std::string& sourcePath, const std::string& reason);
    bool EndsTheRun(const fs::FsError& error) const;
    void EndRun(const char* what, const fs::FsError& error);
    bool Ended() const { return fatalWhat_ != nullptr; }
    bool IsSelected(const std::string& name) const;
    std::string Shown(const std::string& path) const;
    std::string Named(const fs::FsError& error) const;
    void CloseScriptFiles();
    void ReportProgress();

    ConversionObserver& observer_;
    ConversionRequest request_;
    ConversionResult result_;
    std::vector<std::string> patterns_;
    std::string current_;  // what the run is doing, as shown: the page being rewritten, or the source
    long long pagesDone_ = 0;
    long long pagesInAll_ = -1;
    bool stop_ = false;
    bool rewrittenBefore_ = false;  // the page was rewritten for an earlier pattern: nothing to report again
    const char* fatalWhat_ = nullptr;  // set by EndRun: what could not be done ...
    std::string fatal_;                // ... and the path and the reason
    std::string workDir_;  // the new tree until it is complete and takes its final name
    fs::AppendFile scriptFiles_[2];  // the script files of the folder being walked, by kind
    std::string queued_[2];          // functions on their way to them (WriteQueuedFunctions) ...
    std::string queuedPath_[2];      // ... and the file they go to
    std::set<std::string> unreadFolders_;  // source folders the copy could not read
    std::set<std::string> leftOut_;  // the source paths of the entries recorded as left out
    std::unique_ptr<fs::Workers> workers_;  // none: every step on this thread
    std::unique_ptr<PageWork> pageWork_;    // the pages handed out to the workers, during the walk
};

}  // namespace tagshift
