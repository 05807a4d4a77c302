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
    RunOutcome Refuse(const char* sMessage, const char* sLogLine);
    RunOutcome Fail(const char* sWhat, const std::string& sPathAndReason);
    void Yield();
    void ProcessFolder(const std::string& sSource, const std::string& sPath);
    void ProcessFile(const PageFile& oFile);
    void FailPage(const PageFile& oFile, const fs::FsError& oError);
    fs::FsError CopyUnconverted(const PageFile& oFile);
    bool IsSelected(const std::string& sName) const;
    std::string Shown(const std::string& sPath) const;
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
    std::string m_sWalkFailure;
    std::string m_sWorkDir;  // the new tree until it is complete and takes its final name
    fs::AppendFile m_aScriptFiles[2];  // the script files of the folder being walked, by kind
};

}  // namespace tagshift
