// What the shared file-system code and the platform's file give each other.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "fs/FileSystem.h"

namespace tagshift::fs::detail {

// Shared (FileSystem.cpp).
// The fault hook's answer for sPath as an error (its cause read from the
// reason's text), empty without one.
FsError Injected(FsOp eOp, const std::string& sPath);
std::string FolderOf(const std::string& sPath);            // "." when sPath has no separator
std::string NameOf(const std::string& sPath);
std::filesystem::path PathOf(const std::string& sPath);  // a UTF-8 path for std::filesystem
// True when the file of iSize > 0 bytes does not end in CR or LF, or its last
// byte cannot be read (one line end more is harmless; one too few joins lines).
bool LacksFinalLineEnd(const std::string& sPath, std::uint64_t iSize);

// Per platform.
FsCause CauseOf(int iErrno);  // the cause of an errno value
FsError ListEntries(const std::string& sPath, FolderListing& oListing);  // ListFolder's entries, unsorted
FsError MakeOwnFolder(const std::string& sPath);  // a new folder only its owner can use; fails when sPath exists
bool IsNormalFile(const std::string& sPath);  // a file, neither folder nor hidden nor system

}  // namespace tagshift::fs::detail
