// File-system services: the two existence tests and every file operation
// that the conversion uses. Paths are byte strings in the platform's native
// form (on Windows: UTF-8, turned into UTF-16 only at the system's calls);
// nothing here converts code pages or normalises paths.
//
// The shared part is FileSystem.cpp; the calls into the system are in
// FileSystemPosix.cpp and FileSystemWindows.cpp, one of which the build takes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace tagshift::fs {

// The platform's path separator as the callers append it to folder paths.
// kSeparators are all the characters that separate a path's components.
#ifdef _WIN32
inline constexpr char kSeparator = '\\';
inline constexpr std::string_view kSeparators = "\\/";
#else
inline constexpr char kSeparator = '/';
inline constexpr std::string_view kSeparators = "/";
#endif

inline bool IsSeparator(char c) { return kSeparators.find(c) != std::string_view::npos; }

// sFolder and sName joined by one separator (none added when sFolder ends in
// one).
std::string JoinPath(const std::string& sFolder, std::string_view sName);

// True when sName matches sPattern, in which "*" stands for any run of
// characters and "?" for one character; everything else compares byte for
// byte.
bool WildcardMatches(std::string_view sPattern, std::string_view sName);

// True when sDirName names an existing folder (a link to a folder counts).
// Never throws: every error gives false.
bool DirExists(const std::string& sDirName);

// True when a normal file matching sFileName exists: a regular file that is
// not hidden (POSIX: its name does not start with '.'; Windows: it has
// neither the hidden nor the system attribute). "*" and "?" in the last
// component match any run of characters / one character, byte for byte (on
// Windows too); then any matching normal file gives true. Never throws.
bool FileExists(const std::string& sFileName);

// The kinds of failure a caller must tell apart; most are Other.
enum class FsCause {
    Other,
    Storage,    // the file system could not store or give back the data: no room, a quota, an I/O error
    Resources,  // the process ran out of open files or memory
    TooLong,    // the path (or a name in it) is longer than the system takes
};

// The outcome of an operation: empty when it succeeded, else which path
// failed, why, and the kind of failure. Ask it with Failed(); it has no truth
// value of its own, so that neither "if (Copy())" nor "ASSERT_FALSE(Copy())"
// can be misread.
struct [[nodiscard]] FsError {
    std::string sPath;
    std::string sReason;
    FsCause eCause = FsCause::Other;
    bool Failed() const { return !sReason.empty(); }
};

// One folder's entries, listed once, each group in ascending byte order of
// the names. Links are listed separately and never followed; other kinds of
// entry (pipes, sockets, devices) are left out.
struct FolderListing {
    std::vector<std::string> aFiles;    // names of regular files
    std::vector<std::string> aFolders;  // names of real subfolders
};
FsError ListFolder(const std::string& sPath, FolderListing& oListing);

// A point in time as files carry it: seconds since 1970-01-01 UTC and the
// fraction of the second (Windows keeps it in steps of 100 ns).
struct FileTime {
    std::int64_t iSeconds = 0;
    std::int32_t iNanoseconds = 0;
};

// What a file's copy takes over from it: permission bits and times. On
// Windows the bits are 0444 for a read-only file and 0644 for any other.
struct FileInfo {
    unsigned iMode = 0644;
    FileTime oAccessed;
    FileTime oModified;
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
    bool bNeedsLineEnd = false;  // AppendFile: not empty, and the last byte is neither CR nor LF (or unreadable)
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
    // A file it creates takes pNewLike's permission bits exactly (mode 0
    // included, whatever the umask) when given. An existing file keeps its
    // bits: a read-only one is still appended to, and stays read-only.
    FsError Open(const std::string& sPath, AppendMark& oMark, const FileInfo* pNewLike = nullptr);
    FsError Append(std::string_view sData);
    // Puts the open file back to the state of oMark: cut back to its size,
    // or removed when it did not exist then. Best effort.
    void Undo(const AppendMark& oMark);
    void Close();

private:
    std::string m_sPath;
    std::intptr_t m_iFd = -1;  // a descriptor; on Windows the file's HANDLE
    std::uint64_t m_iSize = 0;
    bool m_bNeedsLineEnd = false;
    bool m_bReadOnlyAtClose = false;  // Windows: the read-only attribute is set when the file is closed
};

// Copies one regular file to sTo, which must not exist, with its permission
// bits (exactly, whatever the umask) and times. The error names sFrom when
// the file could not be read and sTo when the copy could not be written; a
// failed copy leaves nothing at sTo.
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

// Removes a whole tree; links are removed, never followed. Best effort. It
// holds one folder open at a time, however deep the tree: a run that failed
// for want of open files can still take its tree away.
void RemoveTree(const std::string& sPath);

// Fault injection for tests: when set, every operation above that reads or
// writes a file first asks the hook; a non-empty reason makes it fail with
// that reason for that path. CopyFile asks for its source, then for its
// copy; the tree copies ask ListFolder for every folder they list. A reason
// that is the system's text for ENOSPC, EIO, EMFILE, ENFILE, ENOMEM or
// ENAMETOOLONG gives that error's cause.
enum class FsOp { Read, WriteAtomic, Append, CopyFile, ListFolder };
using FaultHook = std::function<std::string(FsOp, const std::string& sPath)>;
void SetFaultHookForTesting(FaultHook oHook);

// Sets a fault hook for the life of the object; the hook is gone at the end
// of the scope, however the scope ends.
class ScopedFaultHook {
public:
    explicit ScopedFaultHook(FaultHook oHook) { SetFaultHookForTesting(std::move(oHook)); }
    ~ScopedFaultHook() { SetFaultHookForTesting(nullptr); }
    ScopedFaultHook(const ScopedFaultHook&) = delete;
    ScopedFaultHook& operator=(const ScopedFaultHook&) = delete;
};

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
//
// With fUnreadable, an entry below sSource that cannot be read (a file that
// cannot be opened or read, a link that cannot be read, a folder that cannot
// be listed) is left out of the copy, named to fUnreadable (bFolder: it is a
// folder, left out with everything in it) and the copy goes on. A failure
// to write the copy, a lack of open files or memory, and a source folder
// that cannot be listed itself still end the copy.
using UnreadableEntry = std::function<void(const FsError& oError, bool bFolder)>;
FsError CopyTreeInto(const std::string& sSource, const std::string& sDest,
                     const std::function<bool(const std::string& sName)>& fLeaveOut = nullptr,
                     const std::function<bool()>& fAfterFolder = nullptr,
                     const UnreadableEntry& fUnreadable = nullptr);

// Gives sFrom the name sTo in one step, only when nothing stands at sTo;
// never replaces an entry. When something does, bExisted is set, the error
// says so and nothing has changed.
FsError RenameNoReplace(const std::string& sFrom, const std::string& sTo, bool& bExisted);

// Removes the entry sPath when it is not a folder (a file or a link, which
// is not followed). Best effort.
void RemoveFile(const std::string& sPath);

// The folder that holds sPath, from the text alone ("/" for "/a", "C:\"
// for "C:\a").
std::string ParentFolder(const std::string& sPath);

// sReal receives sPath with every link (every junction on Windows) resolved:
// the path the system reaches it by. sPath must exist.
FsError RealPath(const std::string& sPath, std::string& sReal);

// True when sPath lies below sFolder (not when it is sFolder); both are
// absolute and normal, compared as texts.
bool LiesInside(const std::string& sPath, const std::string& sFolder);

}  // namespace tagshift::fs
