// Helpers shared by the core tests: temporary folder trees, snapshots and a
// host that records what a run shows.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "convert/ConversionRun.h"

namespace tagshift::test {

// A fresh folder, removed with everything in it at the end of the scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_sPath; }
    std::string operator/(const std::string& sRelative) const { return m_sPath + "/" + sRelative; }

private:
    std::string m_sPath;
};

// Writes a file, creating its folders.
void WriteFile(const std::string& sPath, const std::string& sData);
std::string ReadFile(const std::string& sPath);
bool Exists(const std::string& sPath);

// Every entry below a root: relative path -> "F:" + content, "L:" + link
// target or "D:" for folders.
std::map<std::string, std::string> Snapshot(const std::string& sRoot);

// Runs a command line through the shell; returns its exit status and
// collects standard output (and standard error when bMergeErrors).
int RunCommand(const std::string& sCommand, std::string* pOutput = nullptr, bool bMergeErrors = true);

std::string ShellQuote(const std::string& sText);

// Records every status, message and enable change of a run.
class RecordingHost : public ConvertHost {
public:
    struct Message {
        std::string sPrompt;
        int iStyle;
        std::string sTitle;
        bool bActionsEnabled;  // state of the two controls when it was shown
    };

    void ShowStatus(const std::string& sText) override;
    void ProcessEvents() override { ++iYields; if (fOnYield) fOnYield(); }
    void SetActionsEnabled(bool bEnabled) override;
    std::string PatternText() override { return sPatterns; }
    void ShowMessage(const std::string& sPrompt, int iStyle, const std::string& sTitle) override;
    bool StopRequested() override { return bStop; }

    std::string sPatterns = "*.htm;*.html;*.php;*.php3;*.asp;*.aspx";
    std::vector<std::string> aStatuses;
    std::vector<Message> aMessages;
    std::vector<bool> aEnableChanges;
    bool bActionsEnabled = true;
    long long iYields = 0;
    bool bStop = false;
    std::function<void(const std::string&)> fOnStatus;
    std::function<void()> fOnYield;
};

}  // namespace tagshift::test
