// What the shared file-system code and the platform's file give each other.
// The rules of the walk (what is copied, left out and why, how failures are
// named) are in Walk.cpp, once; a platform gives only the calls they stand
// on.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "fs/FileSystem.h"

namespace tagshift::fs::detail {

// Shared (FileSystem.cpp).
// The fault hook's answer for path as an error, empty without one.
FsError Injected(FsOp op, const std::string& path);
// The kind of failure of an errno value, on every platform.
FsCause CauseOf(int errorNumber);
// An error of an errno value: its text (ErrnoText) and its kind (CauseOf).
FsError ErrnoError(const std::string& path, int errorNumber);
std::string FolderOf(const std::string& path);            // "." when path has no separator
std::string NameOf(const std::string& path);
std::filesystem::path PathOf(const std::string& path);  // a UTF-8 path for std::filesystem
// True when the file of size > 0 bytes does not end in CR or LF, or its last
// byte cannot be read (one line end more is harmless; one too few joins lines).
bool LacksFinalLineEnd(const std::string& path, std::uint64_t size);

// Writes source's pieces one after the other through write (which returns
// 0 or an error code), gathering short ones so that a page of many small
// pieces takes few writes. Returns write's first error.
int WriteGathered(const PieceSource& source, const std::function<int(const char* bytes, std::size_t length)>& write);

// What an entry of a folder is, as the entry itself says (links are never
// followed). Unknown: the listing could not tell; TypeOf asks the entry.
enum class EntryType { File, Folder, Link, Pipe, Socket, Device, Other, Unknown };
// Why an entry of a type other than File, Folder and Link is left out.
const char* WhyNotAFile(EntryType type);

struct FolderEntry {
    std::string name;
    EntryType type = EntryType::Unknown;
};

// The facts of a folder the walk needs: its identity (to pass over the
// copy itself) and the platform's own bits for its copy (SetFolderBits).
struct FolderFacts {
    bool isFolder = false;
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    unsigned bits = 0;
    std::int64_t owner = -1;
    std::int64_t group = -1;
    bool SameAs(const FolderFacts& other) const { return volume == other.volume && index == other.index; }
};

// Per platform.
// The errno value's text: the system's own on POSIX; on Windows the same
// texts for the values the file operations give.
std::string ErrnoText(int errorNumber);
// The errno value of an exceeded disk quota (-1 where there is none).
extern const int kQuotaExceeded;
// The entries of a folder but "." and "..", in no particular order.
FsError ReadFolder(const std::string& path, std::vector<FolderEntry>& entries);
FsError TypeOf(const std::string& path, EntryType& type);
FsError FolderFactsOf(const std::string& path, FolderFacts& facts);
// The copy takes source's bits and stays usable by its owner.
void SetFolderBits(const std::string& copy, const FolderFacts& source);
// One file's bytes, bits and times (CopyFile without the fault hook).
FsError CopyFileData(const std::string& from, const std::string& to);
// A link copied as a link; the error names from when it cannot be read.
FsError CopyLink(const std::string& from, const std::string& to);
FsError MakeOwnFolder(const std::string& path);  // a new folder only its owner can use; fails when path exists
// RemoveTree's steps: an entry that is not a folder (a link to a folder
// included), a folder made open to its owner to be emptied, an empty folder.
void RemoveEntry(const std::string& path);
void OpenToOwner(const std::string& path);
void RemoveEmptyFolder(const std::string& path);
bool IsNormalFile(const std::string& path);  // a file, neither folder nor hidden nor system

}  // namespace tagshift::fs::detail
