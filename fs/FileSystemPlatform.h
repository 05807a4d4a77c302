// What the shared file-system code and the platform's file give each other.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "fs/FileSystem.h"

namespace tagshift::fs::detail {

// Shared (FileSystem.cpp).
// The fault hook's answer for path as an error (its cause read from the
// reason's text), empty without one.
FsError Injected(FsOp op, const std::string& path);
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

// Per platform.
FsCause CauseOf(int errorNumber);  // the cause of an errno value
FsError ListEntries(const std::string& path, FolderListing& listing);  // ListFolder's entries, unsorted
FsError MakeOwnFolder(const std::string& path);  // a new folder only its owner can use; fails when path exists
bool IsNormalFile(const std::string& path);  // a file, neither folder nor hidden nor system

}  // namespace tagshift::fs::detail
