#include "convert/ConversionRun.h"

#include <cstring>

#include "convert/PageRewriter.h"
#include "convert/Texts.h"
#include "fs/FileSystem.h"

namespace tagshift {

namespace {

using namespace texts;

std::string Join(const std::string& sFolder, const std::string& sName) {
    std::string sPath = sFolder;
    if (sPath.empty() || sPath.back() != fs::kSeparator) sPath += fs::kSeparator;
    sPath += sName;
    return sPath;
}

// Collects a page's functions per kind; they are written to the script files
// only once the whole page has been converted in memory. Large pages flush
// early so that memory stays bounded; the marks let a failed page be taken
// back from the script files.
class PageFunctions : public BlockSink {
public:
    explicit PageFunctions(const PageFile& oFile) : m_oFile(oFile) {}

    void Add(TagKind eKind, long long iNumber, std::string_view sBlock) override {
        Kind& oKind = m_aKinds[static_cast<int>(eKind)];
        AppendFunctionTo(oKind.sBuffer, eKind, iNumber, sBlock);
        if (oKind.sBuffer.size() >= kFlushSize) Flush(eKind);
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
            if (oKind.bWritten) fs::UndoAppend(ScriptPath(m_oFile, eKind), oKind.oMark);
        }
    }

private:
    static constexpr std::size_t kFlushSize = std::size_t{1} << 20;

    struct Kind {
        std::string sBuffer;
        fs::AppendMark oMark;
        bool bWritten = false;
    };

    void Flush(TagKind eKind) {
        Kind& oKind = m_aKinds[static_cast<int>(eKind)];
        if (oKind.sBuffer.empty() || m_oError) return;
        fs::AppendMark oMark;
        m_oError = AppendFunctionText(m_oFile, eKind, oKind.sBuffer, oMark);
        if (!oKind.bWritten) oKind.oMark = oMark;
        if (!m_oError) oKind.bWritten = true;
        oKind.sBuffer.clear();
    }

    const PageFile& m_oFile;
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
    m_oHost.SetActionsEnabled(true);
    if (!sError.empty() && eOutcome != RunOutcome::Stopped) m_oHost.ShowMessage(sError, kStyleStop, kTitleError);
}

bool ConversionRun::Status(const char* sText) {
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
    if (fs::FsError oCopy = fs::CopyTree(sSourceDir, sDestDir))
        return Fail(sError, kErrorCopyFailed, oCopy.sPath + " - " + oCopy.sReason);
    sLog += kLogCopying + sSourceDir + kCrLf;
    sLog += kLogDestination + sDestDir + kCrLf;

    if (!Status(kStatusPreparing)) return RunOutcome::Stopped;
    ProcessDirectory(sDestDir);
    if (!m_sWalkFailure.empty()) return Fail(sError, kErrorWalkFailed, m_sWalkFailure);
    if (m_bStop) return RunOutcome::Stopped;

    m_oHost.ShowMessage(SummaryText(), kStyleInformation, kTitleComplete);
    sLog += kLogComplete;
    if (fs::FsError oWrite = fs::WriteFileAtomic(Join(sDestDir, kLogFileName), sLog))
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

void ConversionRun::ProcessDirectory(const std::string& sPath) {
    ProcessFolder(sPath);
}

void ConversionRun::ProcessFolder(const std::string& sPath) {
    fs::FolderListing oListing;
    if (fs::FsError oList = fs::ListFolder(sPath, oListing)) {
        m_sWalkFailure = oList.sPath + " - " + oList.sReason;
        return;
    }
    Yield();
    for (const std::string& sName : oListing.aFiles) {
        if (m_bStop) return;
        ProcessFile(PageFile{Join(sPath, sName), sName});
    }
    if (m_bStop) return;
    Yield();
    for (const std::string& sName : oListing.aFolders) {
        if (m_bStop || !m_sWalkFailure.empty()) return;
        ProcessFolder(Join(sPath, sName));
    }
    if (m_bStop || !m_sWalkFailure.empty()) return;
    Yield();
}

void ConversionRun::ProcessFile(const PageFile& oFile) {
    m_oHost.ShowStatus(kStatusCheckingFile + oFile.Name);
    if (m_oHost.StopRequested()) {
        m_bStop = true;
        return;
    }
    const long long iLast = static_cast<long long>(aPatterns.size()) - 1;
    for (iPattern = 0; iPattern <= iLast; ++iPattern) {
        if (!PatternMatches(aPatterns[static_cast<std::size_t>(iPattern)], oFile.Name)) continue;
        ++iFileCount;
        RewritePage(oFile);
    }
}

void ConversionRun::RewritePage(const PageFile& oFile) {
    sCurrentFile = oFile.Path;
    sLog += kLogProcessing + sCurrentFile + kCrLf;
    std::string sPage;
    if (fs::FsError oRead = fs::ReadWholeFile(sCurrentFile, sPage)) return FailPage(oRead);

    const long long iCountBefore = iFunctionCount;
    PageFunctions oFunctions(oFile);
    if (RewriteText(sPage, iFunctionCount, oFunctions) == 0) return;  // nothing to replace: the copy stays
    fs::FsError oError = oFunctions.Finish();
    if (!oError) oError = fs::WriteFileAtomic(sCurrentFile, sPage);
    if (oError) {
        oFunctions.Undo();
        iFunctionCount = iCountBefore;
        FailPage(oError);
    }
}

void ConversionRun::FailPage(const fs::FsError& oError) {
    // The page keeps its copied content and counts as not converted.
    --iFileCount;
    ++iFailedCount;
    sLog += kLogFailed + sCurrentFile + " - ";
    if (oError.sPath != sCurrentFile) sLog += oError.sPath + ": ";
    sLog += oError.sReason + kCrLf;
}

}  // namespace tagshift
