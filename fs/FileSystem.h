// File-system services: the two existence tests and every file operation
// that the conversion uses. Paths are byte strings in the platform's native
// form; nothing here converts code pages or normalises paths.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace tagshift::fs {

// The platform's path separator as the callers append it to folder paths.
#ifdef _WIN32
inline constexpr char kSeparator = '\\';
#else
inline constexpr char kSeparator = '/';
#endif

// True when sDirName names an existing folder (a link to a folder counts).
// Never throws: every error gives false.
bool DirExists(const std::string& sDirName);

// True when a normal file matching sFileName exists: a regular file that is
// not hidden (on this platform: its name does not start with '.'). "*" and
// "?" in the last component match any run of characters / one character;
// then any matching normal file gives true. Never throws.
bool FileExists(const std::string& sFileName);

// The outcome of a failed operation: which path, and why.
struct FsError {
    std::string sPath;
    std::string sReason;
    explicit operator bool() const { return !sReason.empty(); }
};

// One folder's entries, listed once, each group in ascending byte order of
// the names. Links are listed separately and never followed; other kinds of
// entry (pipes, sockets, devices) are left out.
struct FolderListing {
    std::vector<std::string> aFiles;    // names of regular files
    std::vector<std::string> aFolders;  // names of real subfolders
};
FsError ListFolder(const std::string& sPath, FolderListing& oListing);

// What a file's copy takes over from it: permission bits and times.
struct FileInfo {
    unsigned iMode = 0644;
    struct timespec oAccessed {};
    struct timespec oModified {};
};

// Reads the whole file as bytes into sData; pInfo, when given, receives the
// file's permission bits and times.
FsError ReadWholeFile(const std::string& sPath, std::string& sData, FileInfo* pInfo = nullptr);

// Replaces (or creates) sPath with exactly sData: the bytes go to a new file
// in the same folder which then takes the place of sPath in one step, so
// sPath is always either missing, or complete with its old or its new
// content. The new file gets pLike's permission bits when given (and its
// times too with bKeepTimes), else those of the file it replaces; an
// existing link at sPath is replaced by the file, never followed.
FsError WriteFileAtomic(const std::string& sPath, std::string_view sData, const FileInfo* pLike = nullptr,
                        bool bKeepTimes = false);

// State of a file before an append, so that the append can be undone.
struct AppendMark {
    bool bExisted = false;
    std::uint64_t iSize = 0;
};

// Appends sData at the end of sPath, creating the file when it does not
// exist. Refuses to write through a link. oMark receives what UndoAppend
// needs to put the file back as it was.
FsError AppendToFile(const std::string& sPath, std::string_view sData, AppendMark& oMark);

// Puts a file back to the state recorded by AppendToFile. Best effort.
void UndoAppend(const std::string& sPath, const AppendMark& oMark);

// A file that text is appended to, kept open from one append to the next.
class AppendFile {
public:
    AppendFile() = default;
    ~AppendFile() { Close(); }
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Makes sPath the open file (created when missing, never through a
    // link), closing another one first. oMark receives its current state.
    // An existing file without its owner's write bit gets that bit (its
    // other bits stay), so that a read-only copy can still be appended to.
    FsError Open(const std::string& sPath, AppendMark& oMark);
    FsError Append(std::string_view sData);
    // Puts the open file back to the state of oMark: cut back to its size,
    // or removed when it did not exist then. Best effort.
    void Undo(const AppendMark& oMark);
    void Close();

private:
    std::string m_sPath;
    int m_iFd = -1;
    std::uint64_t m_iSize = 0;
};

// Copies one regular file to sTo, which must not exist, with its permission
// bits and times.
FsError CopyFile(const std::string& sFrom, const std::string& sTo);

// Copies the folder tree sSource to sDest, which must not exist yet:
// folders (empty ones too), regular files with their contents, permission
// bits and times, and links as links. Folders of the copy are always
// writable by their owner. The copy never descends into sDest itself (a
// source whose destination lies inside it). Regular files for which
// fLeaveOut(name) is true are not copied (their folder is). fAfterFolder is
// called after each folder; when it returns false the copy stops. On failure
// or stop the partial sDest is removed; the error names the path that failed
// (kStopped is the reason of a stop).
inline constexpr const char* kStopped = "stopped";
FsError CopyTree(const std::string& sSource, const std::string& sDest,
                 const std::function<bool(const std::string& sName)>& fLeaveOut = nullptr,
                 const std::function<bool()>& fAfterFolder = nullptr);

// Removes a whole tree; links are removed, never followed. Best effort.
void RemoveTree(const std::string& sPath);

// Fault injection for tests: when set, every operation above that reads or
// writes a file first asks the hook; a non-empty reason makes it fail with
// that reason for that path.
enum class FsOp { Read, WriteAtomic, Append, CopyFile, ListFolder };
using FaultHook = std::function<std::string(FsOp, const std::string& sPath)>;
void SetFaultHookForTesting(FaultHook oHook);

// --- Paths, entries, unique folders and renames without replacing --------

// sPath made absolute (against the current folder) and lexically normal:
// "." and ".." components resolved without looking at the disk, repeated
// and trailing separators dropped; a root keeps its separator ("/", on
// Windows "C:\"). An empty text stays empty; a path that cannot be made
// absolute is returned unchanged.
std::string AbsoluteNormalPath(const std::string& sPath);

// True when sPath, absolute and normal, is a root of the file system: "/",
// on Windows a drive root ("C:\").
bool IsRootPath(const std::string& sPath);

// True when anything at all stands at sPath: a folder, a file, a link (a
// dangling one too) or any other entry. Links are not followed. Never
// throws; a path that cannot be examined gives false.
bool EntryExists(const std::string& sPath);

// Creates a new folder sPrefix + six random letters or digits that no
// entry had before, readable and writable only by its owner; sPath receives
// its path.
FsError CreateUniqueFolder(const std::string& sPrefix, std::string& sPath);

// CopyTree into sDest, an existing empty folder: the same copy, leaving out
// and stops, but a failure or stop leaves the partial copy for the caller
// to remove. At the end sDest takes sSource's permission bits (and stays
// writable by its owner).
FsError CopyTreeInto(const std::string& sSource, const std::string& sDest,
                     const std::function<bool(const std::string& sName)>& fLeaveOut = nullptr,
                     const std::function<bool()>& fAfterFolder = nullptr);

// Gives sFrom the name sTo in one step, only when nothing stands at sTo;
// never replaces an entry. When something does, bExisted is set, the error
// says so and nothing has changed.
FsError RenameNoReplace(const std::string& sFrom, const std::string& sTo, bool& bExisted);

// Removes the entry sPath when it is not a folder (a file or a link, which
// is not followed). Best effort.
void RemoveFile(const std::string& sPath);

}  // namespace tagshift::fs
