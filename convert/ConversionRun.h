// The engine behind Convert(): validation, the copy of the tree, the walk
// over the copy, the rewrite of every selected page and the run log. One
// object runs one conversion; Convert() is the way in, and the benchmarks
// reach a single page's rewrite through RewritePage().
#pragma once

#include <string>
#include <vector>

#include "convert/Conversion.h"
#include "convert/ScriptFiles.h"
#include "fs/FileSystem.h"

namespace tagshift {

class ConversionRun {
public:
    ConversionRun(const ConversionRequest& request, ConversionObserver& observer);

    // The whole run; call once.
    ConversionResult Run();

    // Rewrites one page in place (the benchmarks time this alone).
    void RewritePage(const PageFile& oFile);
    const ConversionResult& Result() const { return m_oResult; }

private:
    RunOutcome RunSteps();
    bool Status(const std::string& sText);
    RunOutcome Refuse(const std::string& sMessage, const char* sLogLine);
    RunOutcome Fail(const char* sWhat, const std::string& sPathAndReason);
    RunOutcome CheckDestinationOutsideSource(const std::string& sSource, const std::string& sDest);
    void Yield();
    void ProcessFolder(const std::string& sSource, const std::string& sPath);
    void ProcessFile(const PageFile& oFile);
    void FailPage(const PageFile& oFile, const fs::FsError& oError);
    void NotCopied(const fs::FsError& oError, bool bFolder, std::string& sLog);
    bool EndsTheRun(const fs::FsError& oError) const;
    void EndRun(const char* sWhat, const fs::FsError& oError);
    bool Ended() const { return m_pFatalWhat != nullptr; }
    bool IsSelected(const std::string& sName) const;
    std::string Shown(const std::string& sPath) const;
    std::string Named(const fs::FsError& oError) const;
    void CloseScriptFiles();
    std::string SummaryText() const;
    void ReportProgress();

    ConversionObserver& m_oObserver;
    ConversionRequest m_oRequest;
    ConversionResult m_oResult;
    std::vector<std::string> m_aPatterns;
    std::string m_sLog;
    std::string m_sCurrentFile;
    long long m_iPagesDone = 0;
    long long m_iPagesInAll = -1;
    bool m_bStop = false;
    bool m_bRewrittenBefore = false;  // the page was rewritten for an earlier pattern: nothing to report again
    const char* m_pFatalWhat = nullptr;  // set by EndRun: what could not be done ...
    std::string m_sFatal;                // ... and the path and the reason
    std::string m_sWorkDir;  // the new tree until it is complete and takes its final name
    fs::AppendFile m_aScriptFiles[2];  // the script files of the folder being walked, by kind
};

}  // namespace tagshift
