#include "convert/ConversionRun.h"

#include <cstring>

#include "convert/PageRewriter.h"
#include "convert/Texts.h"
#include "fs/FileSystem.h"

namespace tagshift {

namespace {

using namespace texts;

std::string Join(const std::string& sFolder, const std::string& sName) { return fs::JoinPath(sFolder, sName); }

// Collects a page's functions per kind; they are written to the script files
// only once the whole page has been converted in memory. Large pages flush
// early so that memory stays bounded; the marks let a failed page be taken
// back from the script files.
class PageFunctions : public BlockSink {
public:
    PageFunctions(const PageFile& oFile, fs::AppendFile (&aScripts)[2], ConvertHost* pReport, long long& iLeftAlone)
        : m_oFile(oFile), m_aScripts(aScripts), m_pReport(pReport), m_iLeftAlone(iLeftAlone) {}

    void Add(TagKind eKind, long long iNumber, std::string_view sBlock) override {
        Kind& oKind = m_aKinds[static_cast<int>(eKind)];
        AppendFunctionTo(oKind.sBuffer, eKind, iNumber, sBlock);
        if (oKind.sBuffer.size() >= kFlushSize) Flush(eKind);
    }

    void LeftAlone(TagKind, std::string_view sOpening, long long iLine, LeftAloneReason eWhy) override {
        if (!m_pReport) return;
        ++m_iLeftAlone;
        m_pReport->ReportLeftAlone(m_oFile.Path, std::string(sOpening), iLine, LeftAloneText(eWhy));
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
                                      oKind.bMarked ? nullptr : &oKind.oMark);
        oKind.bMarked = true;
        oKind.sBuffer.clear();
    }

    const PageFile& m_oFile;
    fs::AppendFile (&m_aScripts)[2];
    ConvertHost* m_pReport;  // null: the page's openings were reported before
    long long& m_iLeftAlone;
    Kind m_aKinds[2];
    fs::FsError m_oError;
};

// Clears a flag when the scope ends, however it ends.
class RunningGuard {
public:
    explicit RunningGuard(bool& bFlag) : m_bFlag(bFlag) { m_bFlag = true; }
    ~RunningGuard() { m_bFlag = false; }

private:
    bool& m_bFlag;
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

void ConversionRun::Yield() {
    if (m_bStop) return;
    m_oHost.ProcessEvents();
    if (m_oHost.StopRequested()) m_bStop = true;
}

void ConversionRun::cmd_Convert_Click() {
    if (m_bRunning) return;
    RunningGuard oGuard(m_bRunning);
    m_bStop = false;
    m_sWalkFailure.clear();
    iFailedCount = 0;
    sFailure.clear();
    std::string sError;
    eOutcome = RunSteps(sError);
    CloseScriptFiles();
    m_oHost.SetActionsEnabled(true);
    if (!sError.empty() && eOutcome != RunOutcome::Stopped) m_oHost.ShowMessage(sError, kStyleStop, kTitleError);
}

bool ConversionRun::Status(const std::string& sText) {
    m_oHost.ShowStatus(sText);
    if (m_oHost.StopRequested()) m_bStop = true;
    return !m_bStop;
}

RunOutcome ConversionRun::Refuse(std::string& sError, const char* sMessage, const char* sLogLine) {
    sError = sMessage;
    sLog += sLogLine;
    sLog += kCrLf;
    return RunOutcome::Refused;
}

RunOutcome ConversionRun::Fail(std::string& sError, const char* sWhat, const std::string& sPathAndReason) {
    sFailure = sPathAndReason;
    sError = sWhat + sFailure;
    return RunOutcome::Failed;
}

RunOutcome ConversionRun::RunSteps(std::string& sError) {
    iFunctionCount = 0;
    iFileCount = 0;
    iLeftAloneCount = 0;
    sLog = std::string(kLogStarted) + kCrLf;
    if (!Status(kStatusDisabling)) return RunOutcome::Stopped;
    m_oHost.SetActionsEnabled(false);

    if (!Status(kStatusCheckingDirectory)) return RunOutcome::Stopped;
    if (!fs::DirExists(sSourceDir)) return Refuse(sError, kErrorNoFolder, kLogNoFolder);

    if (!Status(kStatusCheckingFileNames)) return RunOutcome::Stopped;
    aPatterns = SplitPatterns(m_oHost.PatternText());
    if (aPatterns.empty()) return Refuse(sError, kErrorNoPattern, kLogNoPattern);

    if (!Status(kStatusCopying)) return RunOutcome::Stopped;
    sDestDir = sSourceDir + kDestSuffix;
    if (fs::DirExists(sDestDir)) return Refuse(sError, kErrorDestExists, kLogDestExists);
    // Selected pages are left out of the copy: the walk writes each of them
    // once, converted or as it is.
    const fs::FsError oCopy = fs::CopyTree(
        sSourceDir, sDestDir, [this](const std::string& sName) { return IsSelected(sName); },
        [this] {
            Yield();
            return !m_bStop;
        });
    if (m_bStop) return RunOutcome::Stopped;
    if (oCopy.Failed()) return Fail(sError, kErrorCopyFailed, oCopy.sPath + " - " + oCopy.sReason);
    sLog += kLogCopying + sSourceDir + kCrLf;
    sLog += kLogDestination + sDestDir + kCrLf;

    if (!Status(kStatusPreparing)) return RunOutcome::Stopped;
    ProcessDirectory(sDestDir);
    if (!m_sWalkFailure.empty()) {
        // The copy is incomplete: take it away, as a failed copy is.
        fs::RemoveTree(sDestDir);
        return Fail(sError, kErrorWalkFailed, m_sWalkFailure);
    }
    if (m_bStop) return RunOutcome::Stopped;

    m_oHost.ShowMessage(SummaryText(), kStyleInformation, kTitleComplete);
    sLog += kLogComplete;
    if (fs::FsError oWrite = fs::WriteFileAtomic(Join(sDestDir, kLogFileName), sLog); oWrite.Failed())
        return Fail(sError, kErrorLogFailed, oWrite.sPath + " - " + oWrite.sReason);
    Status(kStatusConverted);
    return iFailedCount > 0 ? RunOutcome::CompletedWithFailures : RunOutcome::Completed;
}

std::string ConversionRun::SummaryText() const {
    std::string sText = kSummaryFiles + std::to_string(iFileCount) + kSummaryFunctions +
                        std::to_string(iFunctionCount) + kCrLf + kSummaryVisible + sDestDir;
    if (iFailedCount > 0) sText += kCrLf + (kSummaryNotConverted + std::to_string(iFailedCount)) + kSummarySeeLog;
    return sText;
}

bool ConversionRun::IsSelected(const std::string& sName) const {
    // The script files are the conversion's own output: rewriting one would
    // lose the functions appended to it.
    if (sName == KindTexts(TagKind::Object).sScriptFile || sName == KindTexts(TagKind::Embed).sScriptFile)
        return false;
    for (const std::string& sPattern : aPatterns)
        if (PatternMatches(sPattern, sName)) return true;
    return false;
}

void ConversionRun::ProcessDirectory(const std::string& sPath) {
    ProcessFolder(sSourceDir, sPath);
}

// The walk lists each folder's twin in the source tree: the copy left the
// selected pages out, and each page's first rewrite writes it.
void ConversionRun::ProcessFolder(const std::string& sSource, const std::string& sPath) {
    fs::FolderListing oListing;
    if (fs::FsError oList = fs::ListFolder(sSource, oListing); oList.Failed()) {
        m_sWalkFailure = oList.sPath + " - " + oList.sReason;
        return;
    }
    Yield();
    for (const std::string& sName : oListing.aFiles) {
        if (!m_sWalkFailure.empty()) break;
        ProcessFile(PageFile{Join(sPath, sName), sName, Join(sSource, sName)});
    }
    CloseScriptFiles();
    if (!m_sWalkFailure.empty()) return;
    Yield();
    for (const std::string& sName : oListing.aFolders) {
        if (!m_sWalkFailure.empty()) return;
        const std::string sSourceFolder = Join(sSource, sName);
        if (sSourceFolder == sDestDir) continue;  // the copy itself, inside a source ending in a separator
        ProcessFolder(sSourceFolder, Join(sPath, sName));
    }
    Yield();
}

void ConversionRun::ProcessFile(const PageFile& oFile) {
    if (m_bStop || !Status(kStatusCheckingFile + oFile.Name)) {
        // After a stop request the walk only completes the copy.
        if (IsSelected(oFile.Name)) CopyUnconverted(oFile);
        return;
    }
    if (!IsSelected(oFile.Name)) return;
    PageFile oPage = oFile;
    const long long iLast = static_cast<long long>(aPatterns.size()) - 1;
    m_bRewrittenBefore = false;
    for (iPattern = 0; iPattern <= iLast; ++iPattern) {
        if (!PatternMatches(aPatterns[static_cast<std::size_t>(iPattern)], oFile.Name)) continue;
        ++iFileCount;
        RewritePage(oPage);
        m_bRewrittenBefore = true;
        oPage.SourcePath.clear();  // written now: a further rewrite reads the page itself
        if (!m_sWalkFailure.empty()) return;
    }
}

void ConversionRun::RewritePage(const PageFile& oFile) {
    sCurrentFile = oFile.Path;
    sLog += kLogProcessing + sCurrentFile + kCrLf;
    const bool bFromSource = !oFile.SourcePath.empty();
    std::string sPage;
    fs::FileInfo oInfo;
    if (fs::FsError oRead = fs::ReadWholeFile(bFromSource ? oFile.SourcePath : sCurrentFile, sPage, &oInfo); oRead.Failed())
        return FailPage(oFile, oRead);

    const long long iCountBefore = iFunctionCount;
    PageFunctions oFunctions(oFile, m_aScriptFiles, m_bRewrittenBefore ? nullptr : &m_oHost, iLeftAloneCount);
    fs::FsError oError;
    if (RewriteText(sPage, iFunctionCount, oFunctions, bAnyCase) == 0) {
        // Nothing to replace: the page is a plain copy.
        if (bFromSource) oError = fs::WriteFileAtomic(sCurrentFile, sPage, &oInfo, true);
        if (oError.Failed()) FailPage(oFile, oError);
        return;
    }
    oError = oFunctions.Finish();
    if (!oError.Failed()) oError = fs::WriteFileAtomic(sCurrentFile, sPage, &oInfo);
    if (oError.Failed()) {
        oFunctions.Undo();
        iFunctionCount = iCountBefore;
        FailPage(oFile, oError);
    }
}

void ConversionRun::FailPage(const PageFile& oFile, const fs::FsError& oError) {
    // The page keeps its copied content and counts as not converted.
    --iFileCount;
    ++iFailedCount;
    sLog += kLogFailed + sCurrentFile + " - ";
    if (oError.sPath != sCurrentFile && oError.sPath != oFile.SourcePath) sLog += oError.sPath + ": ";
    sLog += oError.sReason + kCrLf;
    if (!oFile.SourcePath.empty()) CopyUnconverted(oFile);
}

void ConversionRun::CloseScriptFiles() {
    for (fs::AppendFile& oScript : m_aScriptFiles) oScript.Close();
}

void ConversionRun::CopyUnconverted(const PageFile& oFile) {
    if (fs::FsError oCopy = fs::CopyFile(oFile.SourcePath, oFile.Path); oCopy.Failed())
        m_sWalkFailure = oCopy.sPath + " - " + oCopy.sReason;
}

}  // namespace tagshift
