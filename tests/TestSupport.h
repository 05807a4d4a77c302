// Helpers shared by the core tests: temporary folder trees, snapshots and a
// host that records what a run shows.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "convert/Conversion.h"
#include "convert/Texts.h"
#include "fs/FileSystem.h"

namespace tagshift::test {

// sRelative with every '/' turned into the platform's separator.
std::string Native(std::string sRelative);

// A fresh folder, removed with everything in it at the end of the scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_sPath; }
    std::string operator/(const std::string& sRelative) const { return m_sPath + fs::kSeparator + Native(sRelative); }

private:
    std::string m_sPath;
};

// Writes a file, creating its folders.
void WriteFile(const std::string& sPath, const std::string& sData);
std::string ReadFile(const std::string& sPath);
bool Exists(const std::string& sPath);

// Names in a site's parent folder other than the site's own ("site").
std::vector<std::string> Leftovers(const std::string& sParent);

// Every entry below a root: relative path -> "F:" + content, "L:" + link
// target or "D:" for folders.
std::map<std::string, std::string> Snapshot(const std::string& sRoot);

// Runs a program (found on the PATH when aArguments[0] has no folder) with
// its arguments, no shell between, and an empty standard input. Returns its
// exit status, or -1 when it could not be started. pOutput receives its
// standard output, and its standard error too unless pErrors takes that.
int RunProgram(const std::vector<std::string>& aArguments, std::string* pOutput = nullptr,
               std::string* pErrors = nullptr);

// The same with both outputs going to files; an empty sErrFile sends
// standard error to sOutFile. One file per platform implements this.
int RunProgramToFiles(const std::vector<std::string>& aArguments, const std::string& sOutFile,
                      const std::string& sErrFile);

// True when node can be run (it checks the generated scripts).
bool NodeAvailable();

// True where the tests can make symbolic links and set POSIX mode bits; the
// tests that need them skip elsewhere (Windows) with this reason.
bool LinksAndModes();

// Makes a file hidden: on POSIX its name starting with '.' does that already;
// on Windows it gets the hidden attribute.
void MakeHidden(const std::string& sPath);
inline constexpr const char* kNoLinksAndModes = "needs symbolic links and POSIX mode bits";

// Records every status text, progress report and tag left alone of a run;
// answers ShouldStop() with bStop (after fOnYield has had its say).
class RecordingObserver : public ConversionObserver {
public:
    void Status(const std::string& sText) override {
        aStatuses.push_back(sText);
        if (fOnStatus) fOnStatus(sText);
    }
    void Progress(long long iDone, long long iInAll) override { aProgress.push_back({iDone, iInAll}); }
    void TagLeftAlone(const LeftAloneTag& oTag) override { aLeftAlone.push_back(oTag); }
    bool ShouldStop() override {
        ++iYields;
        if (fOnYield) fOnYield();
        return bStop;
    }

    std::vector<std::string> aStatuses;
    std::vector<std::pair<long long, long long>> aProgress;
    std::vector<LeftAloneTag> aLeftAlone;
    long long iYields = 0;
    bool bStop = false;
    std::function<void(const std::string&)> fOnStatus;
    std::function<void()> fOnYield;
};

}  // namespace tagshift::test
