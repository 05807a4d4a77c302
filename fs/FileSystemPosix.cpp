// The file-system services on POSIX systems, with Linux's fast paths where
// the kernel has them.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "fs/FileSystem.h"
#include "fs/FileSystemPlatform.h"

namespace stdfs = std::filesystem;

namespace tagshift::fs {

using namespace detail;

FsCause detail::CauseOf(int iErrno) {
    switch (iErrno) {
        case ENOSPC:
        case EDQUOT:
        case EIO:
            return FsCause::Storage;
        case EMFILE:
        case ENFILE:
        case ENOMEM:
            return FsCause::Resources;
        case ENAMETOOLONG:
            return FsCause::TooLong;
        default:
            return FsCause::Other;
    }
}

namespace {

FsError ErrnoError(const std::string& sPath, int iErrno) {
    return FsError{sPath, std::strerror(iErrno), CauseOf(iErrno)};
}

FsError CodeError(const std::string& sPath, const std::error_code& oError) {
    return ErrnoError(sPath, oError.value());
}

// Closes a descriptor when it goes out of scope.
class Fd {
public:
    explicit Fd(int iFd = -1) : m_iFd(iFd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { if (m_iFd >= 0) ::close(m_iFd); }
    void Reset(int iFd) {
        if (m_iFd >= 0) ::close(m_iFd);
        m_iFd = iFd;
    }
    int get() const { return m_iFd; }
    // Closes now and reports the close's own error (data not written).
    int Close() {
        int iResult = m_iFd >= 0 ? ::close(m_iFd) : 0;
        m_iFd = -1;
        return iResult;
    }

private:
    int m_iFd;
};

int WriteAll(int iFd, const char* pData, std::size_t iLength) {
    while (iLength > 0) {
        ssize_t iWritten = ::write(iFd, pData, iLength);
        if (iWritten < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        pData += iWritten;
        iLength -= static_cast<std::size_t>(iWritten);
    }
    return 0;
}

FileTime TimeOf(const struct timespec& oTime) {
    return FileTime{static_cast<std::int64_t>(oTime.tv_sec), static_cast<std::int32_t>(oTime.tv_nsec)};
}

struct timespec TimespecOf(const FileTime& oTime) {
    struct timespec oResult {};
    oResult.tv_sec = static_cast<time_t>(oTime.iSeconds);
    oResult.tv_nsec = oTime.iNanoseconds;
    return oResult;
}

// The permission bits the process's umask takes off new files.
mode_t CreationMask() {
    static const mode_t iMask = [] {
        mode_t iOld = ::umask(022);
        ::umask(iOld);
        return iOld;
    }();
    return iMask;
}

// Copies the bytes of one open file into another: the kernel's in-place
// copy where it can, plain reads and writes where it cannot. Returns 0 or
// the errno, and whether it was reading (the source) that failed.
int CopyData(int iFrom, int iTo, bool& bReading) {
    bReading = false;
#if defined(__linux__)
    for (;;) {
        ssize_t iDone = ::copy_file_range(iFrom, nullptr, iTo, nullptr, std::size_t{1} << 30, 0);
        if (iDone > 0) continue;
        if (iDone == 0) return 0;
        if (errno == EINTR) continue;
        if (errno == ENOSPC || errno == EDQUOT) return errno;
        // Any other error, or none of this kind of copy: the reads and
        // writes below go on from where it stopped (both offsets moved
        // with it) and tell which side fails.
        break;
    }
#endif
    static thread_local std::vector<char> aBuffer(std::size_t{1} << 18);
    for (;;) {
        ssize_t iRead = ::read(iFrom, aBuffer.data(), aBuffer.size());
        if (iRead < 0) {
            if (errno == EINTR) continue;
            bReading = true;
            return errno;
        }
        if (iRead == 0) return 0;
        if (int iError = WriteAll(iTo, aBuffer.data(), static_cast<std::size_t>(iRead))) return iError;
    }
}

}  // namespace

FsError CopyFile(const std::string& sFrom, const std::string& sTo) {
    if (FsError oFault = Injected(FsOp::CopyFile, sFrom); oFault.Failed()) return oFault;
    if (FsError oFault = Injected(FsOp::CopyFile, sTo); oFault.Failed()) return oFault;
    Fd oFrom(::open(sFrom.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (oFrom.get() < 0) return ErrnoError(sFrom, errno);
    struct stat oStat {};
    if (::fstat(oFrom.get(), &oStat) != 0) return ErrnoError(sFrom, errno);
    const mode_t iMode = oStat.st_mode & 07777;
    Fd oTo(::open(sTo.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, iMode));
    if (oTo.get() < 0) return ErrnoError(sTo, errno);
    FsError oFail;
    bool bReading = false;
    // The umask took its bits off the new file; the copy keeps them all.
    if ((iMode & CreationMask()) != 0 && ::fchmod(oTo.get(), iMode) != 0) {
        oFail = ErrnoError(sTo, errno);
    } else if (int iError = CopyData(oFrom.get(), oTo.get(), bReading)) {
        oFail = ErrnoError(bReading ? sFrom : sTo, iError);
    } else {
        // Keep the modification time, as a copy in a file manager does.
        struct timespec aTimes[2] = {oStat.st_atim, oStat.st_mtim};
        ::futimens(oTo.get(), aTimes);
    }
    if (oTo.Close() != 0 && !oFail.Failed()) oFail = ErrnoError(sTo, errno);
    if (oFail.Failed()) ::unlink(sTo.c_str());  // a copy cut short is no copy
    return oFail;
}

namespace {

struct FolderId {
    dev_t iDevice;
    ino_t iInode;
};

struct CopyRules {
    FolderId oSkip;
    const std::function<bool(const std::string&)>& fLeaveOut;
    const std::function<bool()>& fAfterFolder;
    const UnreadableEntry& fUnreadable;
};

// True when the copy names oFail to fUnreadable and goes on: the entry
// sChildFrom of the source could not be read, for a reason of its own.
bool LeftOut(const FsError& oFail, const std::string& sChildFrom, bool bFolder, const CopyRules& oRules) {
    if (!oRules.fUnreadable || oFail.sPath != sChildFrom || oFail.eCause == FsCause::Resources) return false;
    oRules.fUnreadable(oFail, bFolder);
    return true;
}

// The kind of a folder's entry as the listing gives it, asked of the entry
// itself (never followed) where the file system does not say.
enum class EntryKind { Link, Folder, File, Other };

FsError KindOf(const std::string& sPath, const struct dirent& oEntry, EntryKind& eKind) {
    unsigned char iType = oEntry.d_type;
    if (iType == DT_UNKNOWN) {
        struct stat oStat {};
        if (::lstat(sPath.c_str(), &oStat) != 0) return ErrnoError(sPath, errno);
        iType = S_ISLNK(oStat.st_mode) ? DT_LNK : S_ISDIR(oStat.st_mode) ? DT_DIR : S_ISREG(oStat.st_mode) ? DT_REG : 0;
    }
    eKind = iType == DT_LNK ? EntryKind::Link
            : iType == DT_DIR ? EntryKind::Folder
            : iType == DT_REG ? EntryKind::File
                              : EntryKind::Other;
    return {};
}

// The folder is read with opendir/readdir: one descriptor per level of the
// tree, and nothing else held while the copy goes down.
FsError CopyFolderContents(const std::string& sFrom, const std::string& sTo, const CopyRules& oRules) {
    if (FsError oFault = Injected(FsOp::ListFolder, sFrom); oFault.Failed()) return oFault;
    std::unique_ptr<DIR, int (*)(DIR*)> oFolder(::opendir(sFrom.c_str()), ::closedir);
    if (!oFolder) return ErrnoError(sFrom, errno);
    for (;;) {
        errno = 0;
        const struct dirent* pEntry = ::readdir(oFolder.get());
        if (!pEntry) {
            if (errno != 0) return ErrnoError(sFrom, errno);
            break;
        }
        const std::string_view sName = pEntry->d_name;
        if (sName == "." || sName == "..") continue;
        const std::string sChildFrom = JoinPath(sFrom, sName);
        const std::string sChildTo = JoinPath(sTo, sName);
        EntryKind eKind = EntryKind::Other;
        if (FsError oFail = KindOf(sChildFrom, *pEntry, eKind); oFail.Failed()) {
            if (LeftOut(oFail, sChildFrom, false, oRules)) continue;
            return oFail;
        }
        switch (eKind) {
            case EntryKind::Link: {
                std::error_code oError;
                stdfs::path oTarget = stdfs::read_symlink(sChildFrom, oError);
                if (oError) {
                    if (LeftOut(CodeError(sChildFrom, oError), sChildFrom, false, oRules)) break;
                    return CodeError(sChildFrom, oError);
                }
                stdfs::create_symlink(oTarget, sChildTo, oError);
                if (oError) return CodeError(sChildTo, oError);
                break;
            }
            case EntryKind::Folder: {
                struct stat oStat {};
                if (::lstat(sChildFrom.c_str(), &oStat) != 0) {
                    const FsError oFail = ErrnoError(sChildFrom, errno);
                    if (LeftOut(oFail, sChildFrom, true, oRules)) break;
                    return oFail;
                }
                if (oStat.st_dev == oRules.oSkip.iDevice && oStat.st_ino == oRules.oSkip.iInode) break;  // the copy
                if (::mkdir(sChildTo.c_str(), 0700) != 0) return ErrnoError(sChildTo, errno);
                if (FsError oFail = CopyFolderContents(sChildFrom, sChildTo, oRules); oFail.Failed()) {
                    // A folder that cannot be listed is left out whole.
                    if (oFail.sReason == kStopped || !LeftOut(oFail, sChildFrom, true, oRules)) return oFail;
                    RemoveTree(sChildTo);
                    break;
                }
                ::chmod(sChildTo.c_str(), (oStat.st_mode & 07777) | 0700);
                break;
            }
            case EntryKind::File:
                if (oRules.fLeaveOut && oRules.fLeaveOut(std::string(sName))) break;
                if (FsError oFail = CopyFile(sChildFrom, sChildTo); oFail.Failed()) {
                    if (LeftOut(oFail, sChildFrom, false, oRules)) break;
                    return oFail;
                }
                break;
            case EntryKind::Other:
                break;  // pipes, sockets and devices are not part of a site
        }
    }
    if (oRules.fAfterFolder && !oRules.fAfterFolder()) return FsError{sTo, kStopped};
    return {};
}

std::atomic<unsigned> g_iTempCounter{0};

pid_t ProcessId() {
    static const pid_t iId = ::getpid();
    return iId;
}

// Puts the complete file sTemp in the place of sPath in one step. When sPath
// exists the two are exchanged and the old file, now under the temporary
// name, is removed: on ext4 a plain rename over an existing file forces the
// new file's data out to the disk at once, which costs more than the whole
// rest of a page's conversion.
int ReplaceWith(const std::string& sTemp, const std::string& sPath) {
#if defined(__linux__) && defined(RENAME_EXCHANGE)
    if (::renameat2(AT_FDCWD, sTemp.c_str(), AT_FDCWD, sPath.c_str(), RENAME_EXCHANGE) == 0) {
        // The old file now has the temporary name; a folder stays where it was.
        struct stat oOld {};
        if (::lstat(sTemp.c_str(), &oOld) == 0 && S_ISDIR(oOld.st_mode)) {
            ::renameat2(AT_FDCWD, sTemp.c_str(), AT_FDCWD, sPath.c_str(), RENAME_EXCHANGE);
            return EISDIR;
        }
        ::unlink(sTemp.c_str());
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP && errno != ENOENT) return errno;
#endif
    return ::rename(sTemp.c_str(), sPath.c_str()) == 0 ? 0 : errno;
}

}  // namespace

bool detail::IsNormalFile(const std::string& sPath) {
    const std::string sName = NameOf(sPath);
    if (sName.empty() || sName[0] == '.') return false;  // hidden
    std::error_code oError;
    return stdfs::is_regular_file(sPath, oError);
}

bool DirExists(const std::string& sDirName) {
    if (sDirName.empty()) return false;
    std::error_code oError;
    return stdfs::is_directory(sDirName, oError);
}

FsError detail::ListEntries(const std::string& sPath, FolderListing& oListing) {
    std::error_code oError;
    stdfs::directory_iterator oIt(sPath, oError);
    if (oError) return CodeError(sPath, oError);
    for (; oIt != stdfs::directory_iterator(); oIt.increment(oError)) {
        stdfs::file_type eType = oIt->symlink_status(oError).type();
        if (oError) return CodeError(oIt->path().string(), oError);
        if (eType == stdfs::file_type::regular)
            oListing.aFiles.push_back(oIt->path().filename().string());
        else if (eType == stdfs::file_type::directory)
            oListing.aFolders.push_back(oIt->path().filename().string());
    }
    if (oError) return CodeError(sPath, oError);
    return {};
}

FsError ReadWholeFile(const std::string& sPath, std::string& sData, FileInfo* pInfo) {
    sData.clear();
    if (FsError oFault = Injected(FsOp::Read, sPath); oFault.Failed()) return oFault;
    Fd oFile(::open(sPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (oFile.get() < 0) return ErrnoError(sPath, errno);
    struct stat oStat {};
    if (::fstat(oFile.get(), &oStat) != 0) return ErrnoError(sPath, errno);
    if (pInfo)
        *pInfo = FileInfo{static_cast<unsigned>(oStat.st_mode & 07777), TimeOf(oStat.st_atim), TimeOf(oStat.st_mtim)};
    std::size_t iCapacity = static_cast<std::size_t>(oStat.st_size) + 1;
    sData.resize(iCapacity);
    std::size_t iFilled = 0;
    for (;;) {
        if (iFilled == sData.size()) sData.resize(sData.size() * 2);
        ssize_t iRead = ::read(oFile.get(), &sData[iFilled], sData.size() - iFilled);
        if (iRead < 0) {
            if (errno == EINTR) continue;
            int iError = errno;
            sData.clear();
            return ErrnoError(sPath, iError);
        }
        if (iRead == 0) break;
        iFilled += static_cast<std::size_t>(iRead);
        if (iFilled < sData.size()) break;  // a short read of a regular file: its end
    }
    sData.resize(iFilled);
    return {};
}

FsError WriteFileAtomic(const std::string& sPath, std::string_view sData, const FileInfo* pLike, bool bKeepTimes) {
    if (FsError oFault = Injected(FsOp::WriteAtomic, sPath); oFault.Failed()) return oFault;
    // Without pLike the file takes the permission bits of the one it replaces;
    // a new file without either takes those the umask leaves. Mode 0 is a
    // mode like any other.
    bool bHaveMode = pLike != nullptr;
    unsigned iMode = pLike ? pLike->iMode & 07777 : 0;
    if (!pLike) {
        struct stat oOld {};
        if (::lstat(sPath.c_str(), &oOld) == 0 && S_ISREG(oOld.st_mode)) {
            bHaveMode = true;
            iMode = oOld.st_mode & 07777;
        }
    }
    const std::string sFolder = FolderOf(sPath);

    // The bytes go to a new unnamed file (where the platform has them) or to
    // a temporary file beside sPath; only the complete file takes sPath.
    std::string sTemp;
    Fd oFile;
#if defined(__linux__) && defined(O_TMPFILE)
    // The unnamed file is linked in through /proc, which must be there.
    static const bool bCanLinkUnnamed = ::access("/proc/self/fd", X_OK) == 0;
    if (bCanLinkUnnamed) oFile.Reset(::open(sFolder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
#endif
    const bool bUnnamed = oFile.get() >= 0;
    auto NewTempName = [&] {
        return sFolder + kSeparator + "." + NameOf(sPath) + ".tagshift-" + std::to_string(ProcessId()) + "-" +
               std::to_string(g_iTempCounter++);
    };
    for (int iTry = 0; iTry < 100 && oFile.get() < 0; ++iTry) {
        sTemp = NewTempName();
        oFile.Reset(::open(sTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (oFile.get() < 0 && errno != EEXIST) return ErrnoError(sPath, errno);
    }
    if (oFile.get() < 0) return ErrnoError(sPath, EEXIST);
    int iError = WriteAll(oFile.get(), sData.data(), sData.size());
    if (!iError && bHaveMode && iMode != (0666 & ~CreationMask()) && ::fchmod(oFile.get(), iMode) != 0)
        iError = errno;
    if (!iError && pLike && bKeepTimes) {
        struct timespec aTimes[2] = {TimespecOf(pLike->oAccessed), TimespecOf(pLike->oModified)};
        ::futimens(oFile.get(), aTimes);
    }
    if (!iError && bUnnamed) {
        // Link the complete file in under its name when that is free, else
        // under a temporary name, to exchange it with what stands there.
        const std::string sSelf = "/proc/self/fd/" + std::to_string(oFile.get());
        if (::linkat(AT_FDCWD, sSelf.c_str(), AT_FDCWD, sPath.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            return oFile.Close() == 0 ? FsError{} : ErrnoError(sPath, errno);
        }
        iError = errno;
        for (int iTry = 0; iTry < 100 && iError == EEXIST; ++iTry) {
            sTemp = NewTempName();
            iError = ::linkat(AT_FDCWD, sSelf.c_str(), AT_FDCWD, sTemp.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
        }
        if (iError) sTemp.clear();
    }
    if (oFile.Close() != 0 && !iError) iError = errno;
    if (!iError) iError = ReplaceWith(sTemp, sPath);
    if (iError) {
        if (!sTemp.empty()) ::unlink(sTemp.c_str());
        return ErrnoError(sPath, iError);
    }
    return {};
}

FsError AppendFile::Open(const std::string& sPath, AppendMark& oMark, const FileInfo* pNewLike) {
    if (m_iFd >= 0 && sPath == m_sPath) {
        oMark = AppendMark{true, m_iSize, m_bNeedsLineEnd};
        return {};
    }
    Close();
    oMark = AppendMark{};
    if (FsError oFault = Injected(FsOp::Append, sPath); oFault.Failed()) return oFault;
    struct stat oStat {};
    if (::lstat(sPath.c_str(), &oStat) == 0) {
        if (S_ISLNK(oStat.st_mode)) return FsError{sPath, "is a symbolic link; it is not written through"};
        if (S_ISDIR(oStat.st_mode)) return ErrnoError(sPath, EISDIR);
        if (!S_ISREG(oStat.st_mode)) return FsError{sPath, "is not a regular file"};
        // A file its owner may not write is opened with the owner's write
        // bit for a moment; the open descriptor keeps writing once the
        // file's own bits are back.
        const mode_t iMode = oStat.st_mode & 07777;
        const bool bLend = (iMode & S_IWUSR) == 0 && ::chmod(sPath.c_str(), iMode | S_IWUSR) == 0;
        m_iFd = ::open(sPath.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
        const int iOpenError = errno;
        if (bLend) ::chmod(sPath.c_str(), iMode);
        errno = iOpenError;
        oMark = AppendMark{true, static_cast<std::uint64_t>(oStat.st_size)};
        if (m_iFd >= 0) oMark.bNeedsLineEnd = detail::LacksFinalLineEnd(sPath, oMark.iSize);
    } else {
        m_iFd = ::open(sPath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        const mode_t iNewMode = pNewLike ? pNewLike->iMode & 07777 : 0666 & ~CreationMask();
        if (m_iFd >= 0 && iNewMode != (0666 & ~CreationMask()) && ::fchmod(static_cast<int>(m_iFd), iNewMode) != 0) {
            const int iError = errno;
            Close();
            ::unlink(sPath.c_str());
            return ErrnoError(sPath, iError);
        }
    }
    if (m_iFd < 0) return ErrnoError(sPath, errno);
    m_sPath = sPath;
    m_iSize = oMark.iSize;
    m_bNeedsLineEnd = oMark.bNeedsLineEnd;
    return {};
}

FsError AppendFile::Append(std::string_view sData) {
    if (m_iFd < 0) return ErrnoError(m_sPath, EBADF);
    if (int iError = WriteAll(m_iFd, sData.data(), sData.size())) return ErrnoError(m_sPath, iError);
    m_iSize += sData.size();
    if (!sData.empty()) m_bNeedsLineEnd = sData.back() != '\r' && sData.back() != '\n';
    return {};
}

void AppendFile::Undo(const AppendMark& oMark) {
    if (m_iFd < 0) return;
    if (!oMark.bExisted) {
        Close();
        ::unlink(m_sPath.c_str());
        return;
    }
    if (::ftruncate(m_iFd, static_cast<off_t>(oMark.iSize)) == 0) {
        m_iSize = oMark.iSize;
        m_bNeedsLineEnd = oMark.bNeedsLineEnd;
    }
}

void AppendFile::Close() {
    if (m_iFd >= 0) ::close(m_iFd);
    m_iFd = -1;
}

FsError detail::MakeOwnFolder(const std::string& sPath) {
    return ::mkdir(sPath.c_str(), 0700) == 0 ? FsError{} : ErrnoError(sPath, errno);
}

FsError CopyTreeInto(const std::string& sSource, const std::string& sDest,
                     const std::function<bool(const std::string& sName)>& fLeaveOut,
                     const std::function<bool()>& fAfterFolder, const UnreadableEntry& fUnreadable) {
    struct stat oSource {};
    if (::stat(sSource.c_str(), &oSource) != 0) return ErrnoError(sSource, errno);
    if (!S_ISDIR(oSource.st_mode)) return ErrnoError(sSource, ENOTDIR);
    struct stat oDest {};
    if (::lstat(sDest.c_str(), &oDest) != 0) return ErrnoError(sDest, errno);
    if (!S_ISDIR(oDest.st_mode)) return ErrnoError(sDest, ENOTDIR);
    const CopyRules oRules{{oDest.st_dev, oDest.st_ino}, fLeaveOut, fAfterFolder, fUnreadable};
    if (FsError oFail = CopyFolderContents(sSource, sDest, oRules); oFail.Failed()) return oFail;
    ::chmod(sDest.c_str(), (oSource.st_mode & 07777) | 0700);
    return {};
}

FsError RenameNoReplace(const std::string& sFrom, const std::string& sTo, bool& bExisted) {
    bExisted = false;
#if defined(__linux__) && defined(RENAME_NOREPLACE)
    if (::renameat2(AT_FDCWD, sFrom.c_str(), AT_FDCWD, sTo.c_str(), RENAME_NOREPLACE) == 0) return {};
    if (errno == EEXIST) bExisted = true;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return ErrnoError(sTo, errno);
#endif
    // Where the file system has no such rename: a file is linked in under
    // the new name, which fails when the name is taken; a folder's new name
    // is first taken by an empty folder of our own, which a rename may
    // replace.
    struct stat oFrom {};
    if (::lstat(sFrom.c_str(), &oFrom) != 0) return ErrnoError(sFrom, errno);
    if (!S_ISDIR(oFrom.st_mode)) {
        if (::link(sFrom.c_str(), sTo.c_str()) != 0) {
            bExisted = errno == EEXIST;
            return ErrnoError(sTo, errno);
        }
        ::unlink(sFrom.c_str());
        return {};
    }
    if (::mkdir(sTo.c_str(), 0700) != 0) {
        bExisted = errno == EEXIST;
        return ErrnoError(sTo, errno);
    }
    if (::rename(sFrom.c_str(), sTo.c_str()) == 0) return {};
    const int iError = errno;
    ::rmdir(sTo.c_str());  // fails, leaving them, when others put entries into it
    return ErrnoError(sTo, iError);
}

void RemoveTree(const std::string& sPath) {
    struct stat oStat {};
    if (::lstat(sPath.c_str(), &oStat) != 0) return;
    if (!S_ISDIR(oStat.st_mode)) {
        ::unlink(sPath.c_str());
        return;
    }
    // The names are read and the folder closed before any subfolder is
    // opened: one folder open at a time, at any depth.
    // A folder its owner cannot list or empty gets those rights first.
    if ((oStat.st_mode & 0700) != 0700) ::chmod(sPath.c_str(), (oStat.st_mode & 07777) | 0700);
    std::vector<std::string> aNames;
    if (DIR* pFolder = ::opendir(sPath.c_str())) {
        while (const struct dirent* pEntry = ::readdir(pFolder)) {
            const std::string_view sName = pEntry->d_name;
            if (sName != "." && sName != "..") aNames.emplace_back(sName);
        }
        ::closedir(pFolder);
    }
    for (const std::string& sName : aNames) RemoveTree(JoinPath(sPath, sName));
    ::rmdir(sPath.c_str());
}

FsError RealPath(const std::string& sPath, std::string& sReal) {
    char* pReal = ::realpath(sPath.c_str(), nullptr);
    if (!pReal) return ErrnoError(sPath, errno);
    sReal = pReal;
    std::free(pReal);
    return {};
}

}  // namespace tagshift::fs
