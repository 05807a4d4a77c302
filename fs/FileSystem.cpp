// The file-system services that are the same on every platform: path texts,
// the fault hook, the existence test for files and the one-shot append.
#include "fs/FileSystem.h"

#include "fs/FileSystemPlatform.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <random>

namespace stdfs = std::filesystem;

namespace tagshift::fs {

namespace {

FaultHook g_oFaultHook;

// "C:" of "C:\..." on Windows: the part before the root's separator.
bool IsDrive(std::string_view sPart) { return kSeparator == '\\' && sPart.size() == 2 && sPart[1] == ':'; }

}  // namespace

namespace detail {

FsError Injected(FsOp eOp, const std::string& sPath) {
    FsError oFault{sPath, g_oFaultHook ? g_oFaultHook(eOp, sPath) : std::string()};
    for (int iErrno : {ENOSPC, EIO, EMFILE, ENFILE, ENOMEM, ENAMETOOLONG})
        if (oFault.sReason == std::strerror(iErrno)) oFault.eCause = CauseOf(iErrno);
    return oFault;
}

std::string FolderOf(const std::string& sPath) {
    std::size_t iSlash = sPath.find_last_of(kSeparators);
    if (iSlash == std::string::npos) return ".";
    if (iSlash == 0 || IsDrive(std::string_view(sPath).substr(0, iSlash))) return sPath.substr(0, iSlash + 1);
    return sPath.substr(0, iSlash);
}

std::string NameOf(const std::string& sPath) {
    std::size_t iSlash = sPath.find_last_of(kSeparators);
    return iSlash == std::string::npos ? sPath : sPath.substr(iSlash + 1);
}

stdfs::path PathOf(const std::string& sPath) { return stdfs::u8path(sPath); }

bool LacksFinalLineEnd(const std::string& sPath, std::uint64_t iSize) {
    if (iSize == 0) return false;
    std::ifstream oFile(PathOf(sPath), std::ios::binary);
    char cLast = 0;
    if (!oFile.seekg(static_cast<std::streamoff>(iSize - 1)) || !oFile.get(cLast)) return true;
    return cLast != '\r' && cLast != '\n';
}

}  // namespace detail

using namespace detail;

void SetFaultHookForTesting(FaultHook oHook) { g_oFaultHook = std::move(oHook); }

std::string JoinPath(const std::string& sFolder, std::string_view sName) {
    std::string sPath = sFolder;
    if (sPath.empty() || !IsSeparator(sPath.back())) sPath += kSeparator;
    sPath += sName;
    return sPath;
}

bool WildcardMatches(std::string_view sPattern, std::string_view sName) {
    std::size_t p = 0, n = 0;
    std::size_t iStar = std::string_view::npos, iStarName = 0;  // the last "*" seen and where its run ends
    while (n < sName.size()) {
        if (p < sPattern.size() && (sPattern[p] == '?' || sPattern[p] == sName[n])) {
            ++p;
            ++n;
        } else if (p < sPattern.size() && sPattern[p] == '*') {
            iStar = p++;
            iStarName = n;
        } else if (iStar != std::string_view::npos) {
            p = iStar + 1;  // let the last "*" take one more character
            n = ++iStarName;
        } else {
            return false;
        }
    }
    while (p < sPattern.size() && sPattern[p] == '*') ++p;
    return p == sPattern.size();
}

bool FileExists(const std::string& sFileName) {
    if (sFileName.empty() || sFileName.find('\0') != std::string::npos) return false;
    const std::string sName = NameOf(sFileName);
    if (sName.find_first_of("*?") == std::string::npos) return IsNormalFile(sFileName);
    const std::string sFolder = FolderOf(sFileName);
    std::error_code oError;
    stdfs::directory_iterator oIt(PathOf(sFolder), oError);
    for (; !oError && oIt != stdfs::directory_iterator(); oIt.increment(oError)) {
        const std::string sCandidate = oIt->path().filename().u8string();
        if (WildcardMatches(sName, sCandidate) && IsNormalFile(JoinPath(sFolder, sCandidate))) return true;
    }
    return false;
}

FsError AppendToFile(const std::string& sPath, std::string_view sData, AppendMark& oMark) {
    AppendFile oFile;
    if (FsError oOpen = oFile.Open(sPath, oMark); oOpen.Failed()) return oOpen;
    if (FsError oAppend = oFile.Append(sData); oAppend.Failed()) {
        oFile.Undo(oMark);
        return oAppend;
    }
    return {};
}

void UndoAppend(const std::string& sPath, const AppendMark& oMark) {
    std::error_code oError;  // best effort
    if (oMark.bExisted)
        stdfs::resize_file(PathOf(sPath), oMark.iSize, oError);
    else
        stdfs::remove(PathOf(sPath), oError);
}

// --- Paths, entries, unique folders and renames without replacing --------

std::string AbsoluteNormalPath(const std::string& sPath) {
    if (sPath.empty()) return sPath;
    std::error_code oError;
    stdfs::path oPath = stdfs::absolute(detail::PathOf(sPath), oError);
    if (oError) return sPath;
    oPath = oPath.lexically_normal();
    // A trailing separator leaves an empty last component behind.
    while (!oPath.has_filename() && oPath.has_relative_path()) oPath = oPath.parent_path();
    return oPath.u8string();
}

bool IsRootPath(const std::string& sPath) {
    const stdfs::path oPath = detail::PathOf(sPath);
    return !oPath.empty() && oPath.has_root_directory() && !oPath.has_relative_path();
}

bool EntryExists(const std::string& sPath) {
    if (sPath.empty()) return false;
    std::error_code oError;
    const stdfs::file_status oStatus = stdfs::symlink_status(detail::PathOf(sPath), oError);
    return !oError && oStatus.type() != stdfs::file_type::not_found;
}

FsError CreateUniqueFolder(const std::string& sPrefix, std::string& sPath) {
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::mt19937 oRandom{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> oPick(0, sizeof kLetters - 2);
    for (int iTry = 0; iTry < 100; ++iTry) {
        std::string sCandidate = sPrefix;
        for (int i = 0; i < 6; ++i) sCandidate += kLetters[oPick(oRandom)];
        if (EntryExists(sCandidate)) continue;
        if (FsError oMade = detail::MakeOwnFolder(sCandidate); !oMade.Failed()) {
            sPath = sCandidate;
            return {};
        } else if (EntryExists(sCandidate)) {
            continue;  // taken meanwhile
        } else {
            return oMade;
        }
    }
    return FsError{sPrefix + "XXXXXX", "no free name"};
}

FsError ListFolder(const std::string& sPath, FolderListing& oListing) {
    oListing.aFiles.clear();
    oListing.aFolders.clear();
    if (FsError oFault = detail::Injected(FsOp::ListFolder, sPath); oFault.Failed()) return oFault;
    if (FsError oFail = detail::ListEntries(sPath, oListing); oFail.Failed()) return oFail;
    std::sort(oListing.aFiles.begin(), oListing.aFiles.end());
    std::sort(oListing.aFolders.begin(), oListing.aFolders.end());
    return {};
}

FsError CopyTree(const std::string& sSource, const std::string& sDest,
                 const std::function<bool(const std::string& sName)>& fLeaveOut,
                 const std::function<bool()>& fAfterFolder) {
    if (FsError oMade = detail::MakeOwnFolder(sDest); oMade.Failed()) return oMade;
    FsError oFail = CopyTreeInto(sSource, sDest, fLeaveOut, fAfterFolder);
    if (oFail.Failed()) RemoveTree(sDest);
    return oFail;
}

void RemoveFile(const std::string& sPath) {
    std::error_code oError;  // best effort
    const stdfs::path oPath = detail::PathOf(sPath);
    const stdfs::file_status oStatus = stdfs::symlink_status(oPath, oError);
    if (!oError && oStatus.type() != stdfs::file_type::not_found && oStatus.type() != stdfs::file_type::directory)
        stdfs::remove(oPath, oError);
}

std::string ParentFolder(const std::string& sPath) { return detail::FolderOf(sPath); }

bool LiesInside(const std::string& sPath, const std::string& sFolder) {
    if (sPath.size() <= sFolder.size() || sPath.compare(0, sFolder.size(), sFolder) != 0) return false;
    // A root keeps its separator: "/" holds "/a" as "C:\" holds "C:\a".
    return IsSeparator(sFolder.back()) || IsSeparator(sPath[sFolder.size()]);
}

}  // namespace tagshift::fs
