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

// relative with every '/' turned into the platform's separator.
std::string Native(std::string relative);

// A fresh folder, removed with everything in it at the end of the scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& relative) const { return path_ + fs::kSeparator + Native(relative); }

private:
    std::string path_;
};

// Writes a file, creating its folders.
void WriteFile(const std::string& path, const std::string& data);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);

// Names in a site's parent folder other than the site's own ("site").
std::vector<std::string> Leftovers(const std::string& parent);

// Every entry below a root: relative path -> "F:" + content, "L:" + link
// target or "D:" for folders.
std::map<std::string, std::string> Snapshot(const std::string& root);

// The tree copy into a new folder dest, which must not exist yet; a
// failure or stop removes the partial copy.
fs::FsError CopyTree(const std::string& source, const std::string& dest,
                     const std::function<bool(const std::string& name)>& skip = nullptr);

// Puts a file back to the state recorded by fs::AppendToFile: cut back to
// its size, or removed when it did not exist then.
void UndoAppend(const std::string& path, const fs::AppendMark& mark);

// Runs a program (found on the PATH when arguments[0] has no folder) with
// its arguments, no shell between, and an empty standard input. Returns its
// exit status, or -1 when it could not be started. output receives its
// standard output, and its standard error too unless errors takes that.
int RunProgram(const std::vector<std::string>& arguments, std::string* output = nullptr,
               std::string* errors = nullptr);

// The same with both outputs going to files; an empty errFile sends
// standard error to outFile. One file per platform implements this.
int RunProgramToFiles(const std::vector<std::string>& arguments, const std::string& outFile,
                      const std::string& errFile);

// True when node can be run (it checks the generated scripts).
bool NodeAvailable();

// True where the tests can make symbolic links and set POSIX mode bits; the
// tests that need them skip elsewhere (Windows) with this reason.
bool LinksAndModes();

// Makes a file hidden: on POSIX its name starting with '.' does that already;
// on Windows it gets the hidden attribute.
void MakeHidden(const std::string& path);
inline constexpr const char* kNoLinksAndModes = "needs symbolic links and POSIX mode bits";

// Records every status text, progress report and tag left alone of a run;
// answers ShouldStop() with stop (after onYield has had its say).
class RecordingObserver : public ConversionObserver {
public:
    void Status(const std::string& text) override {
        statuses.push_back(text);
        if (onStatus) onStatus(text);
    }
    void Progress(long long done, long long inAll) override { progress.push_back({done, inAll}); }
    void TagLeftAlone(const LeftAloneTag& tag) override { leftAlone.push_back(tag); }
    bool ShouldStop() override {
        ++yields;
        if (onYield) onYield();
        return stop;
    }

    std::vector<std::string> statuses;
    std::vector<std::pair<long long, long long>> progress;
    std::vector<LeftAloneTag> leftAlone;
    long long yields = 0;
    bool stop = false;
    std::function<void(const std::string&)> onStatus;
    std::function<void()> onYield;
};

}  // namespace tagshift::test
