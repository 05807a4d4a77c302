#include "convert/ConversionRun.h"

#include <algorithm>
#include <cstring>

#include "convert/PageRewriter.h"
#include "convert/Texts.h"
#include "fs/FileSystem.h"

namespace tagshift {

namespace {

using namespace texts;
using fs::JoinPath;

// Collects a page's functions per kind; they are written to the script files
// only once the whole page has been converted in memory. Large pages flush
// early so that memory stays bounded; the marks let a failed page be taken
// back from the script files.
class PageFunctions : public BlockSink {
public:
    // A script file the page's functions create takes oInfo's bits. Tags
    // left alone are reported to pReport (when given) and logged in sLog.
    PageFunctions(const PageFile& oFile, const fs::FileInfo& oInfo, fs::AppendFile (&aScripts)[2],
                  ConversionObserver* pReport, const std::string& sShownPath, long long& iLeftAlone,
                  std::string& sLog)
        : m_oFile(oFile), m_oInfo(oInfo), m_aScripts(aScripts), m_pReport(pReport), m_sShownPath(sShownPath),
          m_iLeftAlone(iLeftAlone), m_sLog(sLog) {}

    void Add(TagKind eKind, long long iNumber, std::string_view sBlock) override {
        Kind& oKind = m_aKinds[static_cast<int>(eKind)];
        AppendFunctionTo(oKind.sBuffer, eKind, iNumber, sBlock);
        if (oKind.sBuffer.size() >= kFlushSize) Flush(eKind);
    }

    void LeftAlone(TagKind, std::string_view sOpening, long long iLine, LeftAloneReason eWhy) override {
        if (!m_pReport) return;
        ++m_iLeftAlone;
        const LeftAloneTag oTag{m_sShownPath, std::string(sOpening), iLine, LeftAloneText(eWhy)};
        m_sLog += kLogLeftAlone + oTag.page + ':' + std::to_string(oTag.line) + ": " + oTag.opening +
                  kLogLeftAloneWhy + oTag.why + ')' + kCrLf;
        m_pReport->TagLeftAlone(oTag);
    }

    // Writes what is still buffered. Returns the first error of the page.
    const fs::FsError& Finish() {
        for (TagKind eKind : kTagKinds) Flush(eKind);
        return m_oError;
    }

    // Takes back everything this page appended.
    void Undo() {
        for (TagKind eKind : kTagKinds) {
            const Kind& oKind = m_aKinds[static_cast<int>(eKind)];
            if (oKind.bMarked) m_aScripts[static_cast<int>(eKind)].Undo(oKind.oMark);
        }
    }

private:
    static constexpr std::size_t kFlushSize = std::size_t{1} << 20;

    struct Kind {
        std::string sBuffer;
        fs::AppendMark oMark;
        bool bMarked = false;  // oMark holds the script file's state before this page
    };

    void Flush(TagKind eKind) {
        Kind& oKind = m_aKinds[static_cast<int>(eKind)];
        if (oKind.sBuffer.empty() || m_oError.Failed()) return;
        // The first append of the page marks the file's state; when it
        // could not even open the file, taking it back does nothing.
        m_oError = AppendFunctionText(m_oFile, eKind, oKind.sBuffer, m_aScripts[static_cast<int>(eKind)],
                                      oKind.bMarked ? nullptr : &oKind.oMark, &m_oInfo);
        oKind.bMarked = true;
        oKind.sBuffer.clear();
    }

    const PageFile& m_oFile;
    const fs::FileInfo& m_oInfo;
    fs::AppendFile (&m_aScripts)[2];
    ConversionObserver* m_pReport;  // null: the page's openings were reported before
    const std::string& m_sShownPath;
    long long& m_iLeftAlone;
    std::string& m_sLog;
    Kind m_aKinds[2];
    fs::FsError m_oError;
};

}  // namespace

std::vector<std::string> SplitPatterns(const std::string& sText) {
    std::vector<std::string> aPieces;
    if (sText.empty()) return aPieces;
    std::size_t iStart = 0;
    for (;;) {
        std::size_t iSemicolon = sText.find(';', iStart);
        if (iSemicolon == std::string::npos) {
            aPieces.push_back(sText.substr(iStart));
            return aPieces;
        }
        aPieces.push_back(sText.substr(iStart, iSemicolon - iStart));
        iStart = iSemicolon + 1;
    }
}

bool PatternMatches(const std::string& sPattern, const std::string& sName) {
    if (sPattern.size() < 2) return false;
    const std::size_t iCompared = sPattern.size() - 2;
    if (sName.size() < iCompared) return false;
    return std::memcmp(sName.data() + sName.size() - iCompared, sPattern.data() + 2, iCompared) == 0;
}

ConversionResult Convert(const ConversionRequest& request, ConversionObserver& observer) {
    return ConversionRun(request, observer).Run();
}

ConversionRun::ConversionRun(const ConversionRequest& request, ConversionObserver& observer)
    : m_oObserver(observer), m_oRequest(request) {}

void ConversionRun::Yield() {
    if (!m_bStop && m_oObserver.ShouldStop()) m_bStop = true;
}

ConversionResult ConversionRun::Run() {
    m_oResult.outcome = RunSteps();
    CloseScriptFiles();
    // A new tree that did not take its final name is not left behind.
    if (!m_sWorkDir.empty()) fs::RemoveTree(m_sWorkDir);
    m_sWorkDir.clear();
    if (m_oResult.outcome == RunOutcome::Stopped) m_oResult.error.clear();
    m_oResult.log = m_sLog;
    for (std::size_t iAt = 0; iAt < m_sLog.size();) {
        std::size_t iEnd = m_sLog.find(kCrLf, iAt);
        if (iEnd == std::string::npos) iEnd = m_sLog.size();
        const std::string_view sLine(m_sLog.data() + iAt, iEnd - iAt);
        if (sLine.rfind(kLogFailed, 0) == 0 || sLine.rfind(kLogFailedFolder, 0) == 0)
            m_oResult.failedEntries.emplace_back(sLine);
        iAt = iEnd + 2;
    }
    return m_oResult;
}

bool ConversionRun::Status(const std::string& sText) {
    m_oObserver.Status(sText);
    Yield();
    return !m_bStop;
}

RunOutcome ConversionRun::Refuse(const std::string& sMessage, const char* sLogLine) {
    m_oResult.error = sMessage;
    m_sLog += sLogLine;
    m_sLog += kCrLf;
    return RunOutcome::Refused;
}

RunOutcome ConversionRun::Fail(const char* sWhat, const std::string& sPathAndReason) {
    m_oResult.failure = sPathAndReason;
    m_oResult.error = sWhat + sPathAndReason;
    return RunOutcome::Failed;
}

void ConversionRun::ReportProgress() { m_oObserver.Progress(m_iPagesDone, m_iPagesInAll); }

// The new tree must never be written into the tree it copies: the copy
// would copy itself, and the source would change. The names alone cannot
// tell ("t/x/self", a link to ".", converts to "t/x/self_Converted", which
// is "t/x/self/self_Converted"): the real folders are compared. Returns
// NotRun when the destination lies outside, else the run's outcome.
RunOutcome ConversionRun::CheckDestinationOutsideSource(const std::string& sSource, const std::string& sDest) {
    std::string sRealSource, sRealParent;
    if (fs::FsError oReal = fs::RealPath(sSource, sRealSource); oReal.Failed())
        return Fail(kErrorCopyFailed, oReal.sPath + " - " + oReal.sReason);
    if (fs::FsError oReal = fs::RealPath(fs::ParentFolder(sDest), sRealParent); oReal.Failed())
        return Fail(kErrorCopyFailed, oReal.sPath + " - " + oReal.sReason);
    const std::string sRealDest = JoinPath(sRealParent, sDest.substr(sDest.find_last_of(fs::kSeparators) + 1));
    if (fs::LiesInside(sRealDest, sRealSource))
        return Refuse(kErrorDestInside + sRealDest + kErrorDestInsideOf + sRealSource, kLogDestInside);
    return RunOutcome::NotRun;
}

RunOutcome ConversionRun::RunSteps() {
    m_sLog = std::string(kLogStarted) + kCrLf;
    if (!Status(kStatusDisabling)) return RunOutcome::Stopped;

    if (!Status(kStatusCheckingDirectory)) return RunOutcome::Stopped;
    // "site/", "." or "sub/.." name the folder itself: the new folder goes
    // beside it, never into it.
    const std::string sSource = fs::AbsoluteNormalPath(m_oRequest.sourceFolder);
    m_oResult.sourceFolder = sSource;
    if (!fs::DirExists(sSource)) return Refuse(kErrorNoFolder, kLogNoFolder);
    if (fs::IsRootPath(sSource)) return Refuse(kErrorRootFolder, kLogRootFolder);

    if (!Status(kStatusCheckingFileNames)) return RunOutcome::Stopped;
    m_aPatterns = SplitPatterns(m_oRequest.patterns);
    // A list of pieces too short to select anything is no list.
    if (std::none_of(m_aPatterns.begin(), m_aPatterns.end(), [](const std::string& p) { return p.size() >= 2; }))
        return Refuse(kErrorNoPattern, kLogNoPattern);

    if (!Status(kStatusCopying)) return RunOutcome::Stopped;
    const std::string sDest = sSource + kDestSuffix;
    m_oResult.convertedFolder = sDest;
    if (fs::EntryExists(sDest)) return Refuse(kErrorDestExists, kLogDestExists);
    if (RunOutcome eInside = CheckDestinationOutsideSource(sSource, sDest); eInside != RunOutcome::NotRun)
        return eInside;
    // The new tree is built under a name that says it is incomplete and
    // takes its final name only when the walk is done and its log written.
    if (fs::FsError oCreate = fs::CreateUniqueFolder(sDest + kIncompleteSuffix, m_sWorkDir); oCreate.Failed())
        return Fail(kErrorCopyFailed, oCreate.sPath + " - " + oCreate.sReason);
    // Selected pages are left out of the copy: the walk writes each of them
    // once, converted or as it is. Counting them gives the pages in all.
    // Entries the source will not give are left out and logged after the
    // two folders.
    long long iSelected = 0;
    std::string sNotCopied;
    const fs::FsError oCopy = fs::CopyTreeInto(
        sSource, m_sWorkDir,
        [this, &iSelected](const std::string& sName) {
            const bool bSelected = IsSelected(sName);
            iSelected += bSelected;
            return bSelected;
        },
        [this] {
            Yield();
            return !m_bStop;
        },
        [this, &sNotCopied](const fs::FsError& oError, bool bFolder) { NotCopied(oError, bFolder, sNotCopied); });
    if (m_bStop) return RunOutcome::Stopped;
    if (oCopy.Failed()) return Fail(kErrorCopyFailed, Named(oCopy) + " - " + oCopy.sReason);
    m_iPagesInAll = iSelected;
    ReportProgress();
    m_sLog += kLogCopying + sSource + kCrLf;
    m_sLog += kLogDestination + sDest + kCrLf;
    m_sLog += sNotCopied;

    if (!Status(kStatusPreparing)) return RunOutcome::Stopped;
    ProcessFolder(sSource, m_sWorkDir);
    if (Ended()) return Fail(m_pFatalWhat, m_sFatal);
    if (m_bStop) return RunOutcome::Stopped;
    CloseScriptFiles();

    // The log goes into the new tree before the tree takes its name: a tree
    // under the final name always holds its log. A log copied from the
    // source goes first, so that this run's log is a new file of its own
    // (not taking the copy's permission bits).
    fs::RemoveFile(JoinPath(m_sWorkDir, kLogFileName));
    const std::string sLog = m_sLog + kLogComplete;
    if (fs::FsError oWrite = fs::WriteFileAtomic(JoinPath(m_sWorkDir, kLogFileName), sLog); oWrite.Failed())
        return Fail(kErrorLogFailed, Named(oWrite) + " - " + oWrite.sReason);
    m_sLog = sLog;
    bool bExisted = false;
    if (fs::FsError oRename = fs::RenameNoReplace(m_sWorkDir, sDest, bExisted); oRename.Failed()) {
        if (bExisted) return Refuse(kErrorDestExists, kLogDestExists);
        return Fail(kErrorRenameFailed, oRename.sPath + " - " + oRename.sReason);
    }
    m_sWorkDir.clear();
    m_oResult.logPath = JoinPath(sDest, kLogFileName);
    m_oResult.summary = SummaryText();
    return m_oResult.pagesFailed > 0 || m_oResult.entriesNotCopied > 0 ? RunOutcome::CompletedWithFailures
                                                                       : RunOutcome::Completed;
}

std::string ConversionRun::SummaryText() const {
    std::string sText = kSummaryFiles + std::to_string(m_oResult.pagesConverted) + kSummaryFunctions +
                        std::to_string(m_oResult.functionsReplaced) + kCrLf + kSummaryVisible +
                        m_oResult.convertedFolder;
    if (m_oResult.pagesFailed > 0)
        sText += kCrLf + (kSummaryNotConverted + std::to_string(m_oResult.pagesFailed)) + kSummarySeeLog;
    if (m_oResult.entriesNotCopied > 0)
        sText += kCrLf + (kSummaryNotCopied + std::to_string(m_oResult.entriesNotCopied)) + kSummarySeeLog;
    return sText;
}

bool ConversionRun::IsSelected(const std::string& sName) const {
    // The script files are the conversion's own output: rewriting one would
    // lose the functions appended to it.
    if (sName == KindTexts(TagKind::Object).sScriptFile || sName == KindTexts(TagKind::Embed).sScriptFile)
        return false;
    for (const std::string& sPattern : m_aPatterns)
        if (PatternMatches(sPattern, sName)) return true;
    return false;
}

// A path in the new tree as it reads once the tree has its final name.
std::string ConversionRun::Shown(const std::string& sPath) const {
    if (m_sWorkDir.empty() || sPath.compare(0, m_sWorkDir.size(), m_sWorkDir) != 0) return sPath;
    if (sPath.size() > m_sWorkDir.size() && sPath[m_sWorkDir.size()] != fs::kSeparator) return sPath;
    return m_oResult.convertedFolder + sPath.substr(m_sWorkDir.size());
}

// The path an error names, as the user reads it: shown under the final name,
// except a path that was too long, which is named as it was (the temporary
// name is longer than the final one, which might well fit).
std::string ConversionRun::Named(const fs::FsError& oError) const {
    return oError.eCause == fs::FsCause::TooLong ? oError.sPath : Shown(oError.sPath);
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
bool ConversionRun::EndsTheRun(const fs::FsError& oError) const {
    if (oError.eCause == fs::FsCause::Resources) return true;
    if (oError.eCause != fs::FsCause::Storage) return false;
    return !fs::LiesInside(oError.sPath, m_oResult.sourceFolder);
}

void ConversionRun::EndRun(const char* sWhat, const fs::FsError& oError) {
    if (Ended()) return;
    m_pFatalWhat = sWhat;
    m_sFatal = Named(oError) + " - " + oError.sReason;
}

// A file or folder other than a page that the source would not give: left
// out of the new tree, and logged (to sLog) under the name it would have had
// there.
void ConversionRun::NotCopied(const fs::FsError& oError, bool bFolder, std::string& sLog) {
    ++m_oResult.entriesNotCopied;
    const std::string sSource = m_oResult.sourceFolder;
    std::string sPath = oError.sPath;
    if (fs::LiesInside(sPath, sSource)) sPath = m_oResult.convertedFolder + sPath.substr(sSource.size());
    sLog += (bFolder ? kLogFailedFolder : kLogFailed) + sPath + kLogUnreadable + oError.sReason + kCrLf;
}

// The walk lists each folder's twin in the source tree: the copy left the
// selected pages out, and each page's first rewrite writes it.
void ConversionRun::ProcessFolder(const std::string& sSource, const std::string& sPath) {
    fs::FolderListing oListing;
    if (fs::FsError oList = fs::ListFolder(sSource, oListing); oList.Failed()) {
        if (EndsTheRun(oList)) return EndRun(kErrorWalkFailed, oList);
        return NotCopied(oList, true, m_sLog);
    }
    Yield();
    for (const std::string& sName : oListing.aFiles) {
        if (Ended() || m_bStop) break;
        ProcessFile(PageFile{JoinPath(sPath, sName), sName, JoinPath(sSource, sName)});
    }
    CloseScriptFiles();
    if (Ended()) return;
    Yield();
    for (const std::string& sName : oListing.aFolders) {
        if (Ended() || m_bStop) return;
        const std::string sSourceFolder = JoinPath(sSource, sName);
        if (sSourceFolder == m_sWorkDir) continue;  // the copy itself, should it lie inside the source
        // A folder the copy could not read is left out, and logged already.
        const std::string sFolder = JoinPath(sPath, sName);
        if (!fs::DirExists(sFolder)) continue;
        ProcessFolder(sSourceFolder, sFolder);
    }
    Yield();
}

void ConversionRun::ProcessFile(const PageFile& oFile) {
    // A stopped run's new tree is removed: nothing more is written.
    if (m_bStop || !Status(kStatusCheckingFile + oFile.Name)) return;
    if (!IsSelected(oFile.Name)) return;
    PageFile oPage = oFile;
    m_bRewrittenBefore = false;
    for (const std::string& sPattern : m_aPatterns) {
        if (!PatternMatches(sPattern, oFile.Name)) continue;
        ++m_oResult.pagesConverted;
        RewritePage(oPage);
        m_bRewrittenBefore = true;
        oPage.SourcePath.clear();  // written now: a further rewrite reads the page itself
        if (Ended()) return;
    }
    ++m_iPagesDone;
    ReportProgress();
}

void ConversionRun::RewritePage(const PageFile& oFile) {
    m_sCurrentFile = Shown(oFile.Path);
    m_sLog += kLogProcessing + m_sCurrentFile + kCrLf;
    const bool bFromSource = !oFile.SourcePath.empty();
    std::string sPage;
    fs::FileInfo oInfo;
    if (fs::FsError oRead = fs::ReadWholeFile(bFromSource ? oFile.SourcePath : oFile.Path, sPage, &oInfo);
        oRead.Failed())
        return FailPage(oFile, oRead);

    long long& iFunctions = m_oResult.functionsReplaced;
    const long long iCountBefore = iFunctions;
    PageFunctions oFunctions(oFile, oInfo, m_aScriptFiles, m_bRewrittenBefore ? nullptr : &m_oObserver,
                             m_sCurrentFile, m_oResult.tagsLeftAlone, m_sLog);
    fs::FsError oError;
    if (RewriteText(sPage, iFunctions, oFunctions, m_oRequest.anyCase) == 0) {
        // Nothing to replace: the page is a plain copy.
        if (bFromSource) oError = fs::WriteFileAtomic(oFile.Path, sPage, &oInfo, true);
        if (oError.Failed()) FailPage(oFile, oError);
        return;
    }
    oError = oFunctions.Finish();
    if (!oError.Failed()) oError = fs::WriteFileAtomic(oFile.Path, sPage, &oInfo);
    if (oError.Failed()) {
        oFunctions.Undo();
        iFunctions = iCountBefore;
        FailPage(oFile, oError);
    }
}

void ConversionRun::FailPage(const PageFile& oFile, const fs::FsError& oError) {
    if (EndsTheRun(oError))
        return EndRun(oError.eCause == fs::FsCause::Resources ? kErrorConvertFailed : kErrorWriteFailed, oError);
    // The page keeps its copied content and counts as not converted; a
    // page that the source will not give is missing from the new tree.
    // Neither ends the run.
    --m_oResult.pagesConverted;
    ++m_oResult.pagesFailed;
    m_sLog += kLogFailed + m_sCurrentFile + " - ";
    const bool bOtherPath = oError.sPath != oFile.Path && oError.sPath != oFile.SourcePath;
    if (bOtherPath || oError.eCause == fs::FsCause::TooLong) m_sLog += Named(oError) + ": ";
    m_sLog += oError.sReason;
    if (!oFile.SourcePath.empty()) {
        // The page's copy as it was; a copy the new tree cannot take ends
        // the run: the tree would lack an entry the source gave.
        if (fs::FsError oCopy = fs::CopyFile(oFile.SourcePath, oFile.Path); oCopy.Failed()) {
            if (EndsTheRun(oCopy) || oCopy.sPath != oFile.SourcePath) {
                m_sLog += kCrLf;
                return EndRun(oCopy.eCause == fs::FsCause::Resources ? kErrorConvertFailed : kErrorWriteFailed, oCopy);
            }
            m_sLog += kLogNotCopied + oCopy.sReason;
        }
    }
    m_sLog += kCrLf;
}

void ConversionRun::CloseScriptFiles() {
    for (fs::AppendFile& oScript : m_aScriptFiles) oScript.Close();
}

}  // namespace tagshift
