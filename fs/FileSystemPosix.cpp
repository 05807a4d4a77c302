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

FsCause detail::CauseOf(int errorNumber) {
    switch (errorNumber) {
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

FsError ErrnoError(const std::string& path, int errorNumber) {
    return FsError{path, std::strerror(errorNumber), CauseOf(errorNumber)};
}

FsError CodeError(const std::string& path, const std::error_code& error) {
    return ErrnoError(path, error.value());
}

// Closes a descriptor when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { if (fd_ >= 0) ::close(fd_); }
    void Reset(int fd) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    int Get() const { return fd_; }
    // Closes now and reports the close's own error (data not written).
    int Close() {
        int result = fd_ >= 0 ? ::close(fd_) : 0;
        fd_ = -1;
        return result;
    }

private:
    int fd_;
};

int WriteAll(int fd, const char* bytes, std::size_t length) {
    while (length > 0) {
        ssize_t written = ::write(fd, bytes, length);
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        bytes += written;
        length -= static_cast<std::size_t>(written);
    }
    return 0;
}

FileTime TimeOf(const struct timespec& time) {
    return FileTime{static_cast<std::int64_t>(time.tv_sec), static_cast<std::int32_t>(time.tv_nsec)};
}

struct timespec TimespecOf(const FileTime& time) {
    struct timespec timeResult {};
    timeResult.tv_sec = static_cast<time_t>(time.seconds);
    timeResult.tv_nsec = time.nanoseconds;
    return timeResult;
}

// The permission bits the process's umask takes off new files.
mode_t CreationMask() {
    static const mode_t mask = [] {
        mode_t old = ::umask(022);
        ::umask(old);
        return old;
    }();
    return mask;
}

// Copies the bytes of one open file into another: the kernel's in-place
// copy where it can, plain reads and writes where it cannot. Returns 0 or
// the errno, and whether it was reading (the source) that failed.
int CopyData(int fromFd, int toFd, bool& reading) {
    reading = false;
#if defined(__linux__)
    for (;;) {
        ssize_t done = ::copy_file_range(fromFd, nullptr, toFd, nullptr, std::size_t{1} << 30, 0);
        if (done > 0) continue;
        if (done == 0) return 0;
        if (errno == EINTR) continue;
        if (errno == ENOSPC || errno == EDQUOT) return errno;
        // Any other error, or none of this kind of copy: the reads and
        // writes below go on from where it stopped (both offsets moved
        // with it) and tell which side fails.
        break;
    }
#endif
    static thread_local std::vector<char> buffer(std::size_t{1} << 18);
    for (;;) {
        ssize_t bytesRead = ::read(fromFd, buffer.data(), buffer.size());
        if (bytesRead < 0) {
            if (errno == EINTR) continue;
            reading = true;
            return errno;
        }
        if (bytesRead == 0) return 0;
        if (int errorCode = WriteAll(toFd, buffer.data(), static_cast<std::size_t>(bytesRead))) return errorCode;
    }
}

}  // namespace

FsError CopyFile(const std::string& from, const std::string& to) {
    if (FsError fault = Injected(FsOp::CopyFile, from); fault.Failed()) return fault;
    if (FsError fault = Injected(FsOp::CopyFile, to); fault.Failed()) return fault;
    Fd fromFile(::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (fromFile.Get() < 0) return ErrnoError(from, errno);
    struct stat status {};
    if (::fstat(fromFile.Get(), &status) != 0) return ErrnoError(from, errno);
    const mode_t mode = status.st_mode & 07777;
    Fd toFile(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (toFile.Get() < 0) return ErrnoError(to, errno);
    FsError fail;
    bool reading = false;
    // The umask took its bits off the new file; the copy keeps them all.
    if ((mode & CreationMask()) != 0 && ::fchmod(toFile.Get(), mode) != 0) {
        fail = ErrnoError(to, errno);
    } else if (int errorCode = CopyData(fromFile.Get(), toFile.Get(), reading)) {
        fail = ErrnoError(reading ? from : to, errorCode);
    } else {
        // Keep the modification time, as a copy in a file manager does.
        struct timespec times[2] = {status.st_atim, status.st_mtim};
        ::futimens(toFile.Get(), times);
    }
    if (toFile.Close() != 0 && !fail.Failed()) fail = ErrnoError(to, errno);
    if (fail.Failed()) ::unlink(to.c_str());  // a copy cut short is no copy
    return fail;
}

namespace {

struct FolderId {
    dev_t device;
    ino_t inode;
};

struct CopyRules {
    FolderId skip;
    const std::function<bool(const std::string&)>& leaveOut;
    const std::function<bool()>& afterFolder;
    const UnreadableEntry& unreadable;
};

// True when the copy names fail to unreadable and goes on: the entry
// childFrom of the source could not be read, for a reason of its own.
bool LeftOut(const FsError& fail, const std::string& childFrom, bool isFolder, const CopyRules& rules) {
    if (!rules.unreadable || fail.path != childFrom || fail.cause == FsCause::Resources) return false;
    rules.unreadable(fail, isFolder);
    return true;
}

// The kind of a folder's entry as the listing gives it, asked of the entry
// itself (never followed) where the file system does not say.
enum class EntryKind { Link, Folder, File, Other };

FsError KindOf(const std::string& path, const struct dirent& entry, EntryKind& kind) {
    unsigned char type = entry.d_type;
    if (type == DT_UNKNOWN) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0) return ErrnoError(path, errno);
        type = S_ISLNK(status.st_mode) ? DT_LNK : S_ISDIR(status.st_mode) ? DT_DIR : S_ISREG(status.st_mode) ? DT_REG : 0;
    }
    kind = type == DT_LNK ? EntryKind::Link
            : type == DT_DIR ? EntryKind::Folder
            : type == DT_REG ? EntryKind::File
                              : EntryKind::Other;
    return {};
}

// The folder is read with opendir/readdir: one descriptor per level of the
// tree, and nothing else held while the copy goes down.
FsError CopyFolderContents(const std::string& from, const std::string& to, const CopyRules& rules) {
    if (FsError fault = Injected(FsOp::ListFolder, from); fault.Failed()) return fault;
    std::unique_ptr<DIR, int (*)(DIR*)> folderStream(::opendir(from.c_str()), ::closedir);
    if (!folderStream) return ErrnoError(from, errno);
    for (;;) {
        errno = 0;
        const struct dirent* direntry = ::readdir(folderStream.get());
        if (!direntry) {
            if (errno != 0) return ErrnoError(from, errno);
            break;
        }
        const std::string_view name = direntry->d_name;
        if (name == "." || name == "..") continue;
        const std::string childFrom = JoinPath(from, name);
        const std::string childTo = JoinPath(to, name);
        EntryKind kind = EntryKind::Other;
        if (FsError fail = KindOf(childFrom, *direntry, kind); fail.Failed()) {
            if (LeftOut(fail, childFrom, false, rules)) continue;
            return fail;
        }
        switch (kind) {
            case EntryKind::Link: {
                std::error_code error;
                stdfs::path target = stdfs::read_symlink(childFrom, error);
                if (error) {
                    if (LeftOut(CodeError(childFrom, error), childFrom, false, rules)) break;
                    return CodeError(childFrom, error);
                }
                stdfs::create_symlink(target, childTo, error);
                if (error) return CodeError(childTo, error);
                break;
            }
            case EntryKind::Folder: {
                struct stat status {};
                if (::lstat(childFrom.c_str(), &status) != 0) {
                    const FsError fail = ErrnoError(childFrom, errno);
                    if (LeftOut(fail, childFrom, true, rules)) break;
                    return fail;
                }
                if (status.st_dev == rules.skip.device && status.st_ino == rules.skip.inode) break;  // the copy
                if (::mkdir(childTo.c_str(), 0700) != 0) return ErrnoError(childTo, errno);
                if (FsError fail = CopyFolderContents(childFrom, childTo, rules); fail.Failed()) {
                    // A folder that cannot be listed is left out whole.
                    if (fail.reason == kStopped || !LeftOut(fail, childFrom, true, rules)) return fail;
                    RemoveTree(childTo);
                    break;
                }
                ::chmod(childTo.c_str(), (status.st_mode & 07777) | 0700);
                break;
            }
            case EntryKind::File:
                if (rules.leaveOut && rules.leaveOut(std::string(name))) break;
                if (FsError fail = CopyFile(childFrom, childTo); fail.Failed()) {
                    if (LeftOut(fail, childFrom, false, rules)) break;
                    return fail;
                }
                break;
            case EntryKind::Other:
                break;  // pipes, sockets and devices are not part of a site
        }
    }
    if (rules.afterFolder && !rules.afterFolder()) return FsError{to, kStopped};
    return {};
}

std::atomic<unsigned> tempCounter{0};

pid_t ProcessId() {
    static const pid_t id = ::getpid();
    return id;
}

// Puts the complete file temp in the place of path in one step. When path
// exists the two are exchanged and the old file, now under the temporary
// name, is removed: on ext4 a plain rename over an existing file forces the
// new file's data out to the disk at once, which costs more than the whole
// rest of a page's conversion.
int ReplaceWith(const std::string& temp, const std::string& path) {
#if defined(__linux__) && defined(RENAME_EXCHANGE)
    if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_EXCHANGE) == 0) {
        // The old file now has the temporary name; a folder stays where it was.
        struct stat oldStat {};
        if (::lstat(temp.c_str(), &oldStat) == 0 && S_ISDIR(oldStat.st_mode)) {
            ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_EXCHANGE);
            return EISDIR;
        }
        ::unlink(temp.c_str());
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP && errno != ENOENT) return errno;
#endif
    return ::rename(temp.c_str(), path.c_str()) == 0 ? 0 : errno;
}

}  // namespace

bool detail::IsNormalFile(const std::string& path) {
    const std::string name = NameOf(path);
    if (name.empty() || name[0] == '.') return false;  // hidden
    std::error_code error;
    return stdfs::is_regular_file(path, error);
}

bool DirExists(const std::string& dirName) {
    if (dirName.empty()) return false;
    std::error_code error;
    return stdfs::is_directory(dirName, error);
}

FsError detail::ListEntries(const std::string& path, FolderListing& listing) {
    std::error_code error;
    stdfs::directory_iterator it(path, error);
    if (error) return CodeError(path, error);
    for (; it != stdfs::directory_iterator(); it.increment(error)) {
        stdfs::file_type fileType = it->symlink_status(error).type();
        if (error) return CodeError(it->path().string(), error);
        if (fileType == stdfs::file_type::regular)
            listing.files.push_back(it->path().filename().string());
        else if (fileType == stdfs::file_type::directory)
            listing.folders.push_back(it->path().filename().string());
    }
    if (error) return CodeError(path, error);
    return {};
}

FsError ReadWholeFile(const std::string& path, std::string& data, FileInfo* info) {
    data.clear();
    if (FsError fault = Injected(FsOp::Read, path); fault.Failed()) return fault;
    Fd file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (file.Get() < 0) return ErrnoError(path, errno);
    struct stat status {};
    if (::fstat(file.Get(), &status) != 0) return ErrnoError(path, errno);
    if (info)
        *info = FileInfo{static_cast<unsigned>(status.st_mode & 07777), TimeOf(status.st_atim), TimeOf(status.st_mtim)};
    std::size_t capacity = static_cast<std::size_t>(status.st_size) + 1;
    data.resize(capacity);
    std::size_t filled = 0;
    for (;;) {
        if (filled == data.size()) data.resize(data.size() * 2);
        ssize_t bytesRead = ::read(file.Get(), &data[filled], data.size() - filled);
        if (bytesRead < 0) {
            if (errno == EINTR) continue;
            int errorCode = errno;
            data.clear();
            return ErrnoError(path, errorCode);
        }
        if (bytesRead == 0) break;
        filled += static_cast<std::size_t>(bytesRead);
        if (filled < data.size()) break;  // a short read of a regular file: its end
    }
    data.resize(filled);
    return {};
}

FsError WriteFileAtomic(const std::string& path, const PieceSource& source, const FileInfo* like, bool keepTimes) {
    if (FsError fault = Injected(FsOp::WriteAtomic, path); fault.Failed()) return fault;
    // Without like the file takes the permission bits of the one it replaces;
    // a new file without either takes those the umask leaves. Mode 0 is a
    // mode like any other.
    bool haveMode = like != nullptr;
    unsigned mode = like ? like->mode & 07777 : 0;
    if (!like) {
        struct stat oldStat {};
        if (::lstat(path.c_str(), &oldStat) == 0 && S_ISREG(oldStat.st_mode)) {
            haveMode = true;
            mode = oldStat.st_mode & 07777;
        }
    }
    const std::string folder = FolderOf(path);

    // The bytes go to a new unnamed file (where the platform has them) or to
    // a temporary file beside path; only the complete file takes path.
    std::string temp;
    Fd file;
#if defined(__linux__) && defined(O_TMPFILE)
    // The unnamed file is linked in through /proc, which must be there.
    static const bool canLinkUnnamed = ::access("/proc/self/fd", X_OK) == 0;
    if (canLinkUnnamed) file.Reset(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
#endif
    const bool unnamed = file.Get() >= 0;
    auto newTempName = [&] {
        return folder + kSeparator + "." + NameOf(path) + ".tagshift-" + std::to_string(ProcessId()) + "-" +
               std::to_string(tempCounter++);
    };
    for (int attempt = 0; attempt < 100 && file.Get() < 0; ++attempt) {
        temp = newTempName();
        file.Reset(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (file.Get() < 0 && errno != EEXIST) return ErrnoError(path, errno);
    }
    if (file.Get() < 0) return ErrnoError(path, EEXIST);
    int errorCode = WriteGathered(
        source, [&](const char* bytes, std::size_t length) { return WriteAll(file.Get(), bytes, length); });
    if (!errorCode && haveMode && mode != (0666 & ~CreationMask()) && ::fchmod(file.Get(), mode) != 0)
        errorCode = errno;
    if (!errorCode && like && keepTimes) {
        struct timespec times[2] = {TimespecOf(like->accessed), TimespecOf(like->modified)};
        ::futimens(file.Get(), times);
    }
    if (!errorCode && unnamed) {
        // Link the complete file in under its name when that is free, else
        // under a temporary name, to exchange it with what stands there.
        const std::string self = "/proc/self/fd/" + std::to_string(file.Get());
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            return file.Close() == 0 ? FsError{} : ErrnoError(path, errno);
        }
        errorCode = errno;
        for (int attempt = 0; attempt < 100 && errorCode == EEXIST; ++attempt) {
            temp = newTempName();
            errorCode = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
        }
        if (errorCode) temp.clear();
    }
    if (file.Close() != 0 && !errorCode) errorCode = errno;
    if (!errorCode) errorCode = ReplaceWith(temp, path);
    if (errorCode) {
        if (!temp.empty()) ::unlink(temp.c_str());
        return ErrnoError(path, errorCode);
    }
    return {};
}

FsError AppendFile::Open(const std::string& path, AppendMark& mark, const FileInfo* newLike) {
    if (fd_ >= 0 && path == path_) {
        mark = AppendMark{true, size_, needsLineEnd_};
        return {};
    }
    Close();
    mark = AppendMark{};
    if (FsError fault = Injected(FsOp::Append, path); fault.Failed()) return fault;
    struct stat status {};
    if (::lstat(path.c_str(), &status) == 0) {
        if (S_ISLNK(status.st_mode)) return FsError{path, "is a symbolic link; it is not written through"};
        if (S_ISDIR(status.st_mode)) return ErrnoError(path, EISDIR);
        if (!S_ISREG(status.st_mode)) return FsError{path, "is not a regular file"};
        // A file its owner may not write is opened with the owner's write
        // bit for a moment; the open descriptor keeps writing once the
        // file's own bits are back.
        const mode_t mode = status.st_mode & 07777;
        const bool lend = (mode & S_IWUSR) == 0 && ::chmod(path.c_str(), mode | S_IWUSR) == 0;
        fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
        const int openError = errno;
        if (lend) ::chmod(path.c_str(), mode);
        errno = openError;
        mark = AppendMark{true, static_cast<std::uint64_t>(status.st_size)};
        if (fd_ >= 0) mark.needsLineEnd = detail::LacksFinalLineEnd(path, mark.size);
    } else {
        fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        const mode_t newMode = newLike ? newLike->mode & 07777 : 0666 & ~CreationMask();
        if (fd_ >= 0 && newMode != (0666 & ~CreationMask()) && ::fchmod(static_cast<int>(fd_), newMode) != 0) {
            const int errorCode = errno;
            Close();
            ::unlink(path.c_str());
            return ErrnoError(path, errorCode);
        }
    }
    if (fd_ < 0) return ErrnoError(path, errno);
    path_ = path;
    size_ = mark.size;
    needsLineEnd_ = mark.needsLineEnd;
    return {};
}

FsError AppendFile::Append(std::string_view data) {
    if (fd_ < 0) return ErrnoError(path_, EBADF);
    if (int errorCode = WriteAll(fd_, data.data(), data.size())) return ErrnoError(path_, errorCode);
    size_ += data.size();
    if (!data.empty()) needsLineEnd_ = data.back() != '\r' && data.back() != '\n';
    return {};
}

void AppendFile::Undo(const AppendMark& mark) {
    if (fd_ < 0) return;
    if (!mark.existed) {
        Close();
        ::unlink(path_.c_str());
        return;
    }
    if (::ftruncate(fd_, static_cast<off_t>(mark.size)) == 0) {
        size_ = mark.size;
        needsLineEnd_ = mark.needsLineEnd;
    }
}

void AppendFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

FsError detail::MakeOwnFolder(const std::string& path) {
    return ::mkdir(path.c_str(), 0700) == 0 ? FsError{} : ErrnoError(path, errno);
}

FsError CopyTreeInto(const std::string& source, const std::string& dest,
                     const std::function<bool(const std::string& name)>& leaveOut,
                     const std::function<bool()>& afterFolder, const UnreadableEntry& unreadable) {
    struct stat sourceStat {};
    if (::stat(source.c_str(), &sourceStat) != 0) return ErrnoError(source, errno);
    if (!S_ISDIR(sourceStat.st_mode)) return ErrnoError(source, ENOTDIR);
    struct stat destStat {};
    if (::lstat(dest.c_str(), &destStat) != 0) return ErrnoError(dest, errno);
    if (!S_ISDIR(destStat.st_mode)) return ErrnoError(dest, ENOTDIR);
    const CopyRules rules{{destStat.st_dev, destStat.st_ino}, leaveOut, afterFolder, unreadable};
    if (FsError fail = CopyFolderContents(source, dest, rules); fail.Failed()) return fail;
    ::chmod(dest.c_str(), (sourceStat.st_mode & 07777) | 0700);
    return {};
}

FsError RenameNoReplace(const std::string& from, const std::string& to, bool& existed) {
    existed = false;
#if defined(__linux__) && defined(RENAME_NOREPLACE)
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return {};
    if (errno == EEXIST) existed = true;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return ErrnoError(to, errno);
#endif
    // Where the file system has no such rename: a file is linked in under
    // the new name, which fails when the name is taken; a folder's new name
    // is first taken by an empty folder of our own, which a rename may
    // replace.
    struct stat fromFile {};
    if (::lstat(from.c_str(), &fromFile) != 0) return ErrnoError(from, errno);
    if (!S_ISDIR(fromFile.st_mode)) {
        if (::link(from.c_str(), to.c_str()) != 0) {
            existed = errno == EEXIST;
            return ErrnoError(to, errno);
        }
        ::unlink(from.c_str());
        return {};
    }
    if (::mkdir(to.c_str(), 0700) != 0) {
        existed = errno == EEXIST;
        return ErrnoError(to, errno);
    }
    if (::rename(from.c_str(), to.c_str()) == 0) return {};
    const int errorCode = errno;
    ::rmdir(to.c_str());  // fails, leaving them, when others put entries into it
    return ErrnoError(to, errorCode);
}

void RemoveTree(const std::string& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) return;
    if (!S_ISDIR(status.st_mode)) {
        ::unlink(path.c_str());
        return;
    }
    // The names are read and the folder closed before any subfolder is
    // opened: one folder open at a time, at any depth.
    // A folder its owner cannot list or empty gets those rights first.
    if ((status.st_mode & 0700) != 0700) ::chmod(path.c_str(), (status.st_mode & 07777) | 0700);
    std::vector<std::string> names;
    if (DIR* openFolder = ::opendir(path.c_str())) {
        while (const struct dirent* direntry = ::readdir(openFolder)) {
            const std::string_view name = direntry->d_name;
            if (name != "." && name != "..") names.emplace_back(name);
        }
        ::closedir(openFolder);
    }
    for (const std::string& name : names) RemoveTree(JoinPath(path, name));
    ::rmdir(path.c_str());
}

FsError RealPath(const std::string& path, std::string& real) {
    char* realText = ::realpath(path.c_str(), nullptr);
    if (!realText) return ErrnoError(path, errno);
    real = realText;
    std::free(realText);
    return {};
}

}  // namespace tagshift::fs
