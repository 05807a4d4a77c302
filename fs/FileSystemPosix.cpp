// The file-system services on POSIX systems, with Linux's fast paths where
// the kernel has them.
#include <dirent.h>
#include <signal.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <vector>

#include "fs/FileSystem.h"
#include "fs/FileSystemPlatform.h"

namespace stdfs = std::filesystem;

namespace tagshift::fs {

using namespace detail;

std::string detail::ErrnoText(int errorNumber) { return std::strerror(errorNumber); }

const int detail::kQuotaExceeded = EDQUOT;

namespace {

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

// The type of an entry from its mode.
EntryType TypeOfMode(mode_t mode) {
    if (S_ISREG(mode)) return EntryType::File;
    if (S_ISDIR(mode)) return EntryType::Folder;
    if (S_ISLNK(mode)) return EntryType::Link;
    if (S_ISFIFO(mode)) return EntryType::Pipe;
    if (S_ISSOCK(mode)) return EntryType::Socket;
    if (S_ISCHR(mode) || S_ISBLK(mode)) return EntryType::Device;
    return EntryType::Other;
}

// Opens a file of the tree to read it: never through a link, and never
// waiting (a named pipe put in a page's place would wait for a writer); an
// entry that turns out to be no regular file is refused with why.
FsError OpenToRead(const std::string& path, Fd& file, struct stat& status) {
    file.Reset(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (file.Get() < 0) {
        const int errorCode = errno;
        // A socket cannot be opened at all: say what it is.
        if (errorCode == ENXIO && ::lstat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode))
            return FsError{path, WhyNotAFile(TypeOfMode(status.st_mode))};
        return ErrnoError(path, errorCode);
    }
    if (::fstat(file.Get(), &status) != 0) return ErrnoError(path, errno);
    if (!S_ISREG(status.st_mode)) return FsError{path, WhyNotAFile(TypeOfMode(status.st_mode))};
    return {};
}

// The bits a copy keeps of mode: all of them, but for the set-user-ID and
// set-group-ID bits when the copy (copyFd, or the entry at copyPath) has
// another owner or group than its source (or the source's are not known),
// as cp does when it cannot keep the owner: a file put into a site by one
// user must not become another user's program.
mode_t KeptBits(mode_t mode, std::int64_t owner, std::int64_t group, int copyFd, const char* copyPath = nullptr) {
    if ((mode & (S_ISUID | S_ISGID)) == 0) return mode;
    struct stat copy {};
    const int result = copyPath ? ::lstat(copyPath, &copy) : ::fstat(copyFd, &copy);
    if (result == 0 && owner == static_cast<std::int64_t>(copy.st_uid) &&
        group == static_cast<std::int64_t>(copy.st_gid))
        return mode;
    return mode & ~static_cast<mode_t>(S_ISUID | S_ISGID);
}

bool WriteFailure(int errorCode) { return errorCode == ENOSPC || errorCode == EDQUOT || errorCode == EFBIG; }

// Copies length bytes from offset at of one file to the same offset of the
// other: the kernel's in-place copy where it can, plain reads and writes
// where it cannot. Returns 0 or the errno, and whether it was reading (the
// source) that failed.
int CopyRange(int fromFd, int toFd, off_t at, off_t length, bool& reading) {
    reading = false;
    off_t end = at + length;
#if defined(__linux__)
    loff_t in = at, out = at;
    while (in < end) {
        ssize_t done = ::copy_file_range(fromFd, &in, toFd, &out, static_cast<std::size_t>(end - in), 0);
        if (done > 0) continue;
        if (done == 0) return 0;  // the file got shorter meanwhile
        if (errno == EINTR) continue;
        if (WriteFailure(errno)) return errno;
        // Any other error, or none of this kind of copy: the reads and
        // writes below go on from where it stopped and tell which side
        // fails.
        break;
    }
    at = in;
#endif
    static thread_local std::vector<char> buffer(std::size_t{1} << 18);
    while (at < end) {
        const std::size_t wanted = static_cast<std::size_t>(std::min<off_t>(end - at, static_cast<off_t>(buffer.size())));
        ssize_t bytesRead = ::pread(fromFd, buffer.data(), wanted, at);
        if (bytesRead < 0) {
            if (errno == EINTR) continue;
            reading = true;
            return errno;
        }
        if (bytesRead == 0) return 0;
        for (ssize_t written = 0; written < bytesRead;) {
            ssize_t done = ::pwrite(toFd, buffer.data() + written, static_cast<std::size_t>(bytesRead - written),
                                    at + written);
            if (done < 0) {
                if (errno == EINTR) continue;
                return errno;
            }
            written += done;
        }
        at += bytesRead;
    }
    return 0;
}

// Copies a whole file. A file with holes (fewer blocks than its size needs)
// has only its data copied, range by range, and its holes stay holes: a site
// that is small on disk must not fill the disk of its copy.
int CopyData(int fromFd, int toFd, const struct stat& status, bool& reading) {
    reading = false;
    const off_t size = status.st_size;
    if (static_cast<off_t>(status.st_blocks) * 512 >= size)
        return CopyRange(fromFd, toFd, 0, std::numeric_limits<off_t>::max(), reading);  // to its end, however it grows
    for (off_t at = 0; at < size;) {
        const off_t data = ::lseek(fromFd, at, SEEK_DATA);
        if (data < 0 && errno == ENXIO) break;  // a hole to the end
        if (data < 0 && at == 0) return CopyRange(fromFd, toFd, 0, std::numeric_limits<off_t>::max(), reading);
        if (data < 0) {
            reading = true;
            return errno;
        }
        off_t hole = ::lseek(fromFd, data, SEEK_HOLE);
        if (hole < 0) hole = size;
        if (int errorCode = CopyRange(fromFd, toFd, data, hole - data, reading)) return errorCode;
        at = hole;
    }
    return ::ftruncate(toFd, size) == 0 ? 0 : errno;
}

}  // namespace

FsError detail::CopyFileData(const std::string& from, const std::string& to) {
    Fd fromFile;
    struct stat status {};
    if (FsError fail = OpenToRead(from, fromFile, status); fail.Failed()) return fail;
    mode_t mode = status.st_mode & 07777;
    Fd toFile(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode & 0777));
    if (toFile.Get() < 0) return ErrnoError(to, errno);
    mode = KeptBits(mode, status.st_uid, status.st_gid, toFile.Get());
    FsError fail;
    bool reading = false;
    // The umask took its bits off the new file; the copy keeps them all.
    if (mode != (mode & 0777 & ~CreationMask()) && ::fchmod(toFile.Get(), mode) != 0) {
        fail = ErrnoError(to, errno);
    } else if (int errorCode = CopyData(fromFile.Get(), toFile.Get(), status, reading)) {
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

FsError detail::CopyLink(const std::string& from, const std::string& to) {
    std::error_code error;
    const stdfs::path target = stdfs::read_symlink(from, error);
    if (error) return CodeError(from, error);
    stdfs::create_symlink(target, to, error);
    if (error) return CodeError(to, error);
    return {};
}

// The folder is read with opendir/readdir and closed before the caller goes
// on: nothing is held open while the walk goes down. The type of an entry
// that the file system does not give is asked of the entry by its name in
// the open folder, which works however long the folder's own path is.
FsError detail::ReadFolder(const std::string& path, std::vector<FolderEntry>& entries) {
    std::unique_ptr<DIR, int (*)(DIR*)> folderStream(::opendir(path.c_str()), ::closedir);
    if (!folderStream) return ErrnoError(path, errno);
    for (;;) {
        errno = 0;
        const struct dirent* direntry = ::readdir(folderStream.get());
        if (!direntry) {
            if (errno != 0) return ErrnoError(path, errno);
            return {};
        }
        const std::string_view name = direntry->d_name;
        if (name == "." || name == "..") continue;
        EntryType type = EntryType::Unknown;
        switch (direntry->d_type) {
            case DT_REG: type = EntryType::File; break;
            case DT_DIR: type = EntryType::Folder; break;
            case DT_LNK: type = EntryType::Link; break;
            case DT_FIFO: type = EntryType::Pipe; break;
            case DT_SOCK: type = EntryType::Socket; break;
            case DT_CHR:
            case DT_BLK: type = EntryType::Device; break;
            default: {
                struct stat status {};
                if (::fstatat(::dirfd(folderStream.get()), direntry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0)
                    type = TypeOfMode(status.st_mode);
            }
        }
        entries.push_back(FolderEntry{std::string(name), type});
    }
}

FsError detail::TypeOf(const std::string& path, EntryType& type) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) return ErrnoError(path, errno);
    type = TypeOfMode(status.st_mode);
    return {};
}

FsError detail::FolderFactsOf(const std::string& path, FolderFacts& facts) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return ErrnoError(path, errno);
    facts = FolderFacts{S_ISDIR(status.st_mode), static_cast<std::uint64_t>(status.st_dev),
                        static_cast<std::uint64_t>(status.st_ino), static_cast<unsigned>(status.st_mode & 07777),
                        status.st_uid, status.st_gid};
    return {};
}

void detail::SetFolderBits(const std::string& copy, const FolderFacts& source) {
    const mode_t mode = KeptBits(source.bits, source.owner, source.group, -1, copy.c_str());
    ::chmod(copy.c_str(), mode | 0700);
}

void detail::RemoveEntry(const std::string& path) { ::unlink(path.c_str()); }

// A folder its owner cannot list or empty gets those rights first.
void detail::OpenToOwner(const std::string& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) == 0 && (status.st_mode & 0700) != 0700)
        ::chmod(path.c_str(), (status.st_mode & 07777) | 0700);
}

void detail::RemoveEmptyFolder(const std::string& path) { ::rmdir(path.c_str()); }

namespace {

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

FsError ReadWholeFile(const std::string& path, std::string& data, FileInfo* info) {
    data.clear();
    if (FsError fault = Injected(FsOp::Read, path); fault.Failed()) return fault;
    Fd file;
    struct stat status {};
    if (FsError fail = OpenToRead(path, file, status); fail.Failed()) return fail;
    if (info)
        *info = FileInfo{static_cast<unsigned>(status.st_mode & 07777), TimeOf(status.st_atim), TimeOf(status.st_mtim),
                         status.st_uid, status.st_gid};
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
    mode_t mode = like ? like->mode & 07777 : 0;
    std::int64_t owner = like ? like->owner : -1, group = like ? like->group : -1;
    if (!like) {
        struct stat oldStat {};
        if (::lstat(path.c_str(), &oldStat) == 0 && S_ISREG(oldStat.st_mode)) {
            haveMode = true;
            mode = oldStat.st_mode & 07777;
            owner = oldStat.st_uid;
            group = oldStat.st_gid;
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
    if (haveMode) mode = KeptBits(mode, owner, group, file.Get());
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

FsError WriteNewFile(const std::string& path, const PieceSource& source, const FileInfo& like, bool keepTimes) {
    if (FsError fault = Injected(FsOp::WriteAtomic, path); fault.Failed()) return fault;
    Fd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (file.Get() < 0) return ErrnoError(path, errno);
    const mode_t mode = KeptBits(like.mode & 07777, like.owner, like.group, file.Get());
    int errorCode = WriteGathered(
        source, [&](const char* bytes, std::size_t length) { return WriteAll(file.Get(), bytes, length); });
    if (!errorCode && mode != (0666 & ~CreationMask()) && ::fchmod(file.Get(), mode) != 0) errorCode = errno;
    if (!errorCode && keepTimes) {
        struct timespec times[2] = {TimespecOf(like.accessed), TimespecOf(like.modified)};
        ::futimens(file.Get(), times);
    }
    if (file.Close() != 0 && !errorCode) errorCode = errno;
    if (errorCode) {
        ::unlink(path.c_str());  // a file cut short is no file
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
        const mode_t newMode = newLike ? newLike->mode & 0777 : 0666 & ~CreationMask();
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

FsError RealPath(const std::string& path, std::string& real) {
    char* realText = ::realpath(path.c_str(), nullptr);
    if (!realText) return ErrnoError(path, errno);
    real = realText;
    std::free(realText);
    return {};
}

void LetWritesPastTheSizeLimitFail() { ::signal(SIGXFSZ, SIG_IGN); }

}  // namespace tagshift::fs
