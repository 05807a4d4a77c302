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

// folder and name joined by one separator (none added when folder ends in
// one).
std::string JoinPath(const std::string& folder, std::string_view name);

// True when name matches pattern, in which "*" stands for any run of
// characters and "?" for one character; everything else compares byte for
// byte.
bool WildcardMatches(std::string_view pattern, std::string_view name);

// True when dirName names an existing folder (a link to a folder counts).
// Never throws: every error gives false.
bool DirExists(const std::string& dirName);

// True when a normal file matching fileName exists: a regular file that is
// not hidden (POSIX: its name does not start with '.'; Windows: it has
// neither the hidden nor the system attribute). "*" and "?" in the last
// component match any run of characters / one character, byte for byte (on
// Windows too); then any matching normal file gives true. Never throws.
bool FileExists(const std::string& fileName);

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
    std::string path;
    std::string reason;
    FsCause cause = FsCause::Other;
    bool Failed() const { return !reason.empty(); }
};

// An entry that the copy and the listing leave out because it is neither a
// file, a folder nor a link (a named pipe, a socket, a device), with why in
// the user's words: "a named pipe, not a file", "a socket, not a file", "a
// device, not a file" or "not a file".
struct LeftOutEntry {
    std::string name;
    std::string why;
};

// One folder's entries, listed once, each group in ascending byte order of
// the names. Links are listed nowhere and never followed; an entry whose
// kind cannot be told is left out (the tree copy, which asks the same, names
// it).
struct FolderListing {
    std::vector<std::string> files;    // names of regular files
    std::vector<std::string> folders;  // names of real subfolders
    std::vector<LeftOutEntry> leftOut;  // pipes, sockets, devices
};
FsError ListFolder(const std::string& path, FolderListing& listing);

// A point in time as files carry it: seconds since 1970-01-01 UTC and the
// fraction of the second (Windows keeps it in steps of 100 ns).
struct FileTime {
    std::int64_t seconds = 0;
    std::int32_t nanoseconds = 0;
};

// What a file's copy takes over from it: permission bits and times. On
// Windows the bits are 0444 for a read-only file and 0644 for any other.
// The owner and group only decide whether a copy may keep the
// set-user-ID and set-group-ID bits: never when its own owner or group
// differs, or when they are not known (-1, as on Windows).
struct FileInfo {
    unsigned mode = 0644;
    FileTime accessed;
    FileTime modified;
    std::int64_t owner = -1;
    std::int64_t group = -1;
};

// The size of the file at path in bytes; 0 when it cannot be told.
std::uint64_t SizeOf(const std::string& path);

// Reads the whole file as bytes into data; info, when given, receives the
// file's permission bits and times.
FsError ReadWholeFile(const std::string& path, std::string& data, FileInfo* info = nullptr);

// Replaces (or creates) path with exactly data: the bytes go to a new file
// in the same folder which then takes the place of path in one step, so
// path is always either missing, or complete with its old or its new
// content. The new file gets like's permission bits when given (and its
// times too with keepTimes), else those of the file it replaces; an
// existing link at path is replaced by the file, never followed.
FsError WriteFileAtomic(const std::string& path, std::string_view data, const FileInfo* like = nullptr,
                        bool keepTimes = false);
// The same with the bytes given piece by piece: source calls emit for each
// piece in order and returns emit's first nonzero answer (0 when there is
// none). A page rewritten in place of its blocks is written so, without
// being put together in memory first.
using PieceEmitter = std::function<int(std::string_view piece)>;
using PieceSource = std::function<int(const PieceEmitter& emit)>;
FsError WriteFileAtomic(const std::string& path, const PieceSource& source, const FileInfo* like = nullptr,
                        bool keepTimes = false);
// Creates path, which must not exist yet, with exactly the bytes source
// gives, like's permission bits (as CopyFile keeps them) and, with
// keepTimes, its times. Cheaper than WriteFileAtomic, for a file of a tree
// that is published whole once complete: a failed write leaves nothing at
// path, but a reader could meet the file half-written meanwhile.
FsError WriteNewFile(const std::string& path, const PieceSource& source, const FileInfo& like, bool keepTimes = false);
FsError WriteNewFile(const std::string& path, std::string_view data, const FileInfo& like, bool keepTimes = false);

// State of a file before an append, so that the append can be undone.
struct AppendMark {
    bool existed = false;
    std::uint64_t size = 0;
    bool needsLineEnd = false;  // AppendFile: not empty, and the last byte is neither CR nor LF (or unreadable)
};

// Appends data at the end of path, creating the file when it does not
// exist. Refuses to write through a link. mark receives the file's state
// before the append.
FsError AppendToFile(const std::string& path, std::string_view data, AppendMark& mark);

// A file that text is appended to, kept open from one append to the next.
class AppendFile {
public:
    AppendFile() = default;
    ~AppendFile() { Close(); }
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Makes path the open file (created when missing, never through a
    // link), closing another one first. mark receives its current state.
    // A file it creates takes newLike's permission bits exactly (mode 0
    // included, whatever the umask) when given, but never its set-user-ID,
    // set-group-ID or sticky bits: a script is no program. An existing file keeps its
    // bits: a read-only one is still appended to, and stays read-only.
    FsError Open(const std::string& path, AppendMark& mark, const FileInfo* newLike = nullptr);
    FsError Append(std::string_view data);
    // Puts the open file back to the state of mark: cut back to its size,
    // or removed when it did not exist then. Best effort.
    void Undo(const AppendMark& mark);
    void Close();

private:
    std::string path_;
    std::intptr_t fd_ = -1;  // a descriptor; on Windows the file's HANDLE
    std::uint64_t size_ = 0;
    bool needsLineEnd_ = false;
    bool readOnlyAtClose_ = false;  // Windows: the read-only attribute is set when the file is closed
};

// Copies one regular file to to, which must not exist, with its permission
// bits (exactly, whatever the umask, but for the set-user-ID and
// set-group-ID bits when the copy's owner or group is not the file's) and
// times; holes stay holes where the file system keeps them. The error names
// from when the file could not be read (or is no regular file) and to when
// the copy could not be written; a failed copy leaves nothing at to.
FsError CopyFile(const std::string& from, const std::string& to);

// The reason of a tree copy that afterFolder stopped.
inline constexpr const char* kStopped = "stopped";

// A write past the process's file-size limit (ulimit -f) then fails with
// EFBIG, which ends a run like a full disk, instead of killing the process
// with its tree half-built (POSIX: SIGXFSZ ignored; nothing on Windows).
// Every program that runs a conversion calls it once at its start.
void LetWritesPastTheSizeLimitFail();

// Removes a whole tree; links are removed, never followed. Best effort. It
// holds one folder open at a time, however deep the tree: a run that failed
// for want of open files can still take its tree away.
void RemoveTree(const std::string& path);

// Fault injection for tests: when set, every operation above that reads or
// writes a file first asks the hook; an answer other than 0 is an errno
// value (EACCES, ENOSPC, EIO...) with which the operation fails for that
// path, its reason and kind the same as the system's own error of that
// number would give (on Windows too, which has no such numbers of its
// own). CopyFile asks for its source, then for its copy; the tree copy asks
// ListFolder for every folder it lists.
enum class FsOp { Read, WriteAtomic, Append, CopyFile, ListFolder };
using FaultHook = std::function<int(FsOp, const std::string& path)>;
void SetFaultHookForTesting(FaultHook hook);

// Sets a fault hook for the life of the object; the hook is gone at the end
// of the scope, however the scope ends.
class ScopedFaultHook {
public:
    explicit ScopedFaultHook(FaultHook hook) { SetFaultHookForTesting(std::move(hook)); }
    ~ScopedFaultHook() { SetFaultHookForTesting(nullptr); }
    ScopedFaultHook(const ScopedFaultHook&) = delete;
    ScopedFaultHook& operator=(const ScopedFaultHook&) = delete;
};

// --- Paths, entries, unique folders and renames without replacing --------

// path made absolute (against the current folder) and lexically normal:
// "." and ".." components resolved without looking at the disk, repeated
// and trailing separators dropped; a root keeps its separator ("/", on
// Windows "C:\"). An empty text stays empty; a path that cannot be made
// absolute is returned unchanged.
std::string AbsoluteNormalPath(const std::string& path);

// True when path, absolute and normal, is a root of the file system: "/",
// on Windows a drive root ("C:\").
bool IsRootPath(const std::string& path);

// True when anything at all stands at path: a folder, a file, a link (a
// dangling one too) or any other entry. Links are not followed. Never
// throws; a path that cannot be examined gives false.
bool EntryExists(const std::string& path);

// Creates a new folder prefix + six random letters or digits that no
// entry had before, readable and writable only by its owner; path receives
// its path.
FsError CreateUniqueFolder(const std::string& prefix, std::string& path);

// Copies the folder tree source into dest, an existing empty folder:
// folders (empty ones too), regular files with their contents, permission
// bits and times, and links as links. Folders of the copy are always
// writable by their owner; at the end dest takes source's permission bits
// (and stays writable by its owner). The copy never descends into dest
// itself (a source whose destination lies inside it). Regular files for
// which skip(name) is true are not copied (their folder is). afterFolder is
// called after each folder; when it returns false the copy stops (kStopped
// is the reason). A failure or stop leaves the partial copy for the caller
// to remove; the error names the path that failed.
//
// With unreadable, an entry below source that cannot be read (a file that
// cannot be opened or read, a link that cannot be read, a folder that cannot
// be listed) is left out of the copy, named to unreadable (isFolder: it is a
// folder, left out with everything in it) and the copy goes on. A failure
// to write the copy, a lack of open files or memory, and a source folder
// that cannot be listed itself still end the copy.
//
// An entry that is neither a file, a folder nor a link (a named pipe, a
// socket, a device) is never copied nor opened; leftOut, when given, hears
// of it with its path and why (LeftOutEntry's texts).
//
// With workers, the files are copied side by side on them; every call above
// is still made on the calling thread, in the same order as without.
class Workers;
using UnreadableEntry = std::function<void(const FsError& error, bool isFolder)>;
using LeftOutCall = std::function<void(const std::string& sourcePath, const std::string& why)>;
FsError CopyTreeInto(const std::string& source, const std::string& dest,
                     const std::function<bool(const std::string& name)>& skip = nullptr,
                     const std::function<bool()>& afterFolder = nullptr,
                     const UnreadableEntry& unreadable = nullptr, const LeftOutCall& leftOut = nullptr,
                     Workers* workers = nullptr);

// The walk of CopyTreeInto without the copy: every file it would copy is
// read through, every folder listed, and the same calls are made; nothing
// is written.
FsError ReadTree(const std::string& source, const std::function<bool(const std::string& name)>& skip = nullptr,
                 const std::function<bool()>& afterFolder = nullptr, const UnreadableEntry& unreadable = nullptr,
                 const LeftOutCall& leftOut = nullptr, Workers* workers = nullptr);

// What an append to path would meet, without writing: nothing (it would be
// made), a file (fine), or a link, a folder or another entry (the error an
// append gives).
FsError CheckAppendable(const std::string& path);

// Gives from the name to in one step, only when nothing stands at to;
// never replaces an entry. When something does, existed is set, the error
// says so and nothing has changed.
FsError RenameNoReplace(const std::string& from, const std::string& to, bool& existed);

// Creates the folder path and every missing folder above it; succeeds when
// the folder exists already.
FsError CreateFolders(const std::string& path);

// Removes the entry path when it is not a folder (a file or a link, which
// is not followed). Best effort.
void RemoveFile(const std::string& path);

// The folder that holds path, from the text alone ("/" for "/a", "C:\"
// for "C:\a").
std::string ParentFolder(const std::string& path);

// real receives path with every link (every junction on Windows) resolved:
// the path the system reaches it by. path must exist.
FsError RealPath(const std::string& path, std::string& real);

// True when path lies below folder (not when it is folder); both are
// absolute and normal, compared as texts.
bool LiesInside(const std::string& path, const std::string& folder);

}  // namespace tagshift::fs
