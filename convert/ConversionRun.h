// The conversion run: validation, the copy of the tree, the walk over the
// copy, the rewrite of every selected page, the summary and the run log.
#pragma once

#include <string>
#include <vector>

#include "convert/Host.h"
#include "convert/ScriptFiles.h"
#include "fs/FileSystem.h"

namespace tagshift {

// How the last run ended.
enum class RunOutcome {
    NotRun,                 // no run yet
    Completed,              // every selected page converted
    CompletedWithFailures,  // the run completed; some pages could not be converted
    Refused,                // a check failed; nothing written
    Failed,                 // the copy, a folder, the rename or the log failed; see sFailure
    Stopped,                // the host asked the run to stop; nothing left
};

// Splits the pattern text at every ';', keeping empty pieces; an empty text
// gives an empty list.
std::vector<std::string> SplitPatterns(const std::string& sText);

// The page-pattern rule: the last (length of p - 2) bytes of the name equal
// those of the pattern. Patterns shorter than two bytes select nothing.
bool PatternMatches(const std::string& sPattern, const std::string& sName);

class ConversionRun {
public:
    explicit ConversionRun(ConvertHost& oHost) : m_oHost(oHost) {}

    // The Convert action. Does nothing while a run is in progress.
    void cmd_Convert_Click();

    bool IsRunning() const { return m_bRunning; }

    // The walk (public so that tests and benchmarks can drive parts of it).
    // sSource is the folder's twin in the source tree.
    void ProcessDirectory(const std::string& sPath);
    void ProcessFolder(const std::string& sSource, const std::string& sPath);
    void ProcessFile(const PageFile& oFile);
    void RewritePage(const PageFile& oFile);

    // A file the walk converts: a pattern matches its name, and it is not one
    // of the script files.
    bool IsSelected(const std::string& sName) const;

    // The run state. The run makes sSourceDir absolute and normal first.
    std::string sSourceDir;
    std::string sDestDir;
    std::vector<std::string> aPatterns;
    std::string sLog;
    long long iFileCount = 0;
    long long iFunctionCount = 0;
    long long iPattern = 0;
    std::string sCurrentFile;
    bool bAnyCase = false;  // opening and closing texts match in any letter case; kept from run to run

    // What the last run left behind beyond the counters.
    long long iFailedCount = 0;             // rewrites that could not be completed
    long long iLeftAloneCount = 0;          // opening texts left as markup (ConvertHost::ReportLeftAlone)
    RunOutcome eOutcome = RunOutcome::NotRun;
    std::string sFailure;                   // for Failed: the path and the reason

private:
    RunOutcome RunSteps(std::string& sError);
    bool Status(const std::string& sText);
    RunOutcome Refuse(std::string& sError, const char* sMessage, const char* sLogLine);
    RunOutcome Fail(std::string& sError, const char* sWhat, const std::string& sPathAndReason);
    void Yield();
    void FailPage(const PageFile& oFile, const fs::FsError& oError);
    fs::FsError CopyUnconverted(const PageFile& oFile);
    std::string Shown(const std::string& sPath) const;
    void CloseScriptFiles();
    std::string SummaryText() const;

    ConvertHost& m_oHost;
    bool m_bRunning = false;
    bool m_bStop = false;
    bool m_bRewrittenBefore = false;  // the page was rewritten for an earlier pattern: nothing to report again
    std::string m_sWalkFailure;
    std::string m_sWorkDir;  // the new tree until it is complete and takes sDestDir's name
    fs::AppendFile m_aScriptFiles[2];  // the script files of the folder being walked, by kind
};

}  // namespace tagshift
