// The file-system services on Windows, on the wide Win32 calls. Paths come in
// as UTF-8 and become UTF-16 only at the calls (ToUtf16). Reparse points that
// stand for another name (symbolic links, junctions) count as links: they are
// left out of the walk, copied and removed as links, and never followed or
// written through. Other reparse points (files kept in the cloud, for one)
// are the files and folders they look like.
#include <windows.h>
#undef CopyFile  // windows.h's name for CopyFileW; fs::CopyFile is ours

#include <algorithm>
#include <atomic>
#include <vector>
#include <cerrno>
#include <cstring>

#include "fs/FileSystem.h"
#include "fs/FileSystemPlatform.h"
#include "fs/Utf16.h"

namespace tagshift::fs {

using namespace detail;

// The texts of the POSIX side for the errno values that both sides give
// (the C library's own say "Filename too long", "Not enough space"), so
// that a reason reads the same on both.
std::string detail::ErrnoText(int errorNumber) {
    switch (errorNumber) {
        case ENOENT: return "No such file or directory";
        case EEXIST: return "File exists";
        case EACCES: return "Permission denied";
        case EPERM: return "Operation not permitted";
        case EISDIR: return "Is a directory";
        case ENOTDIR: return "Not a directory";
        case EBADF: return "Bad file descriptor";
        case EIO: return "Input/output error";
        case ENOSPC: return "No space left on device";
        case EFBIG: return "File too large";
        case EROFS: return "Read-only file system";
        case EMFILE: return "Too many open files";
        case ENFILE: return "Too many open files in system";
        case ENOMEM: return "Cannot allocate memory";
        case ENAMETOOLONG: return "File name too long";
        default: return std::strerror(errorNumber);
    }
}

const int detail::kQuotaExceeded = -1;

std::wstring ToUtf16(std::string_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
    return wide;
}

std::string ToUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
    return narrow;
}

namespace {

// A path for the wide calls: UTF-16 in the "\\?\" form, which has no limit
// of 260 characters and takes every name as it is. The form takes no '/'
// and no "." or ".." components: they are resolved here from the text, as
// the classic calls resolve them. Messages keep the caller's own form.
std::wstring WidePath(const std::string& path) {
    std::wstring wide = ToUtf16(path);
    auto isSlash = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    if (wide.size() >= 4 && wide.compare(0, 4, L"\\\\?\\") == 0) return wide;
    bool drive = wide.size() > 2 && wide[1] == L':' && isSlash(wide[2]);
    bool share = wide.size() > 2 && isSlash(wide[0]) && isSlash(wide[1]) && wide[2] != L'?' && wide[2] != L'.';
    if (!drive && !share) {
        // A relative path: short ones go as they are, long ones are made
        // absolute against the current folder first.
        if (wide.size() < MAX_PATH - 12) return wide;  // CreateDirectoryW's limit is 12 below the others
        const DWORD length = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
        std::wstring full(length, L'\0');
        if (length == 0 || ::GetFullPathNameW(wide.c_str(), length, full.data(), nullptr) >= length) return wide;
        full.resize(length - 1);
        wide = full;
        drive = wide.size() > 2 && wide[1] == L':' && isSlash(wide[2]);
        share = wide.size() > 2 && isSlash(wide[0]) && isSlash(wide[1]);
        if (!drive && !share) return wide;
    }
    // The root ("C:" or "server\share") and the components below it.
    std::vector<std::wstring> parts;
    std::wstring part;
    for (std::size_t i = drive ? 0 : 2; i <= wide.size(); ++i) {
        if (i < wide.size() && !isSlash(wide[i])) {
            part += wide[i];
            continue;
        }
        const std::size_t rootParts = drive ? 1 : 2;
        if (part == L".." && parts.size() > rootParts)
            parts.pop_back();
        else if (!part.empty() && part != L"." && part != L"..")
            parts.push_back(part);
        part.clear();
    }
    std::wstring result = drive ? L"\\\\?\\" : L"\\\\?\\UNC\\";
    for (std::size_t i = 0; i < parts.size(); ++i) result += (i ? L"\\" : L"") + parts[i];
    if (drive && parts.size() == 1) result += L'\\';  // "\\?\C:\", the root itself
    return result;
}

std::string SystemMessage(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text = length ? ToUtf8(std::wstring_view(buffer, length)) : "error " + std::to_string(error);
    if (buffer) ::LocalFree(buffer);
    while (!text.empty() &&
           (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    return text;
}

// ERROR_DISK_QUOTA_EXCEEDED, which MinGW's headers lack.
constexpr DWORD kDiskQuotaExceeded = 1295;

FsCause CauseOfCode(DWORD error) {
    switch (error) {
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
        case kDiskQuotaExceeded:
        case ERROR_IO_DEVICE:
        case ERROR_CRC:
        case ERROR_FILE_TOO_LARGE:
            return FsCause::Storage;
        case ERROR_TOO_MANY_OPEN_FILES:
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return FsCause::Resources;
        case ERROR_FILENAME_EXCED_RANGE:
            return FsCause::TooLong;
        default:
            return FsCause::Other;
    }
}

FsError LastError(const std::string& path, DWORD error = ::GetLastError()) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return ErrnoError(path, ENOENT);
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return ErrnoError(path, EEXIST);
        case ERROR_ACCESS_DENIED:
            return ErrnoError(path, EACCES);
        default:
            return FsError{path, SystemMessage(error), CauseOfCode(error)};
    }
}

const char* const kIsLink = "is a symbolic link; it is not written through";
const char* const kIsLinkRead = "is a symbolic link; it is not followed";

// Closes a handle when it goes out of scope.
class Handle {
public:
    explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { Close(); }
    HANDLE Get() const { return handle_; }
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    void Reset(HANDLE handle) {
        Close();
        handle_ = handle;
    }
    // Closes now; false when the close failed.
    bool Close() {
        const bool ok = !Valid() || ::CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE handle_;
};

DWORD Attributes(const std::wstring& widePath) { return ::GetFileAttributesW(widePath.c_str()); }
DWORD Attributes(const std::string& path) { return Attributes(WidePath(path)); }

bool IsLink(DWORD attributes, DWORD tag) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           IsReparseTagNameSurrogate(tag);
}

bool IsFolder(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

HANDLE OpenFile(const std::wstring& widePath, DWORD access, DWORD disposition, DWORD flags = FILE_ATTRIBUTE_NORMAL) {
    return ::CreateFileW(widePath.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         disposition, flags, nullptr);
}
HANDLE OpenFile(const std::string& path, DWORD access, DWORD disposition, DWORD flags = FILE_ATTRIBUTE_NORMAL) {
    return OpenFile(WidePath(path), access, disposition, flags);
}

// What path names itself (never what a link leads to): its attributes
// (INVALID_FILE_ATTRIBUTES when there is nothing) and whether it is a link.
// A reparse point whose kind cannot be read counts as a link.
struct Entry {
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    bool isLink = false;
};

Entry EntryOf(const std::wstring& widePath) {
    Entry entry{Attributes(widePath), false};
    if (entry.attributes != INVALID_FILE_ATTRIBUTES && (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        Handle file(OpenFile(widePath, FILE_READ_ATTRIBUTES, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS));
        FILE_ATTRIBUTE_TAG_INFO tagInfo{};
        entry.isLink = !file.Valid() ||
                       !::GetFileInformationByHandleEx(file.Get(), FileAttributeTagInfo, &tagInfo, sizeof tagInfo) ||
                       IsLink(entry.attributes, tagInfo.ReparseTag);
    }
    return entry;
}
Entry EntryOf(const std::string& path) { return EntryOf(WidePath(path)); }

// FILETIME counts 100 ns steps since 1601-01-01 UTC.
constexpr std::int64_t kTicksPerSecond = 10000000;
constexpr std::int64_t kTicksTo1970 = 116444736000000000;

FileTime TimeOf(const FILETIME& time) {
    const std::int64_t ticks =
        static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime) -
        kTicksTo1970;
    std::int64_t seconds = ticks / kTicksPerSecond, rest = ticks % kTicksPerSecond;
    if (rest < 0) {
        --seconds;
        rest += kTicksPerSecond;
    }
    return FileTime{seconds, static_cast<std::int32_t>(rest * 100)};
}

FILETIME FiletimeOf(const FileTime& time) {
    const std::uint64_t ticks =
        static_cast<std::uint64_t>(time.seconds * kTicksPerSecond + time.nanoseconds / 100 + kTicksTo1970);
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

int WriteAll(HANDLE fileHandle, const char* bytes, std::size_t length, DWORD& error) {
    while (length > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(length, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(fileHandle, bytes, chunk, &written, nullptr)) {
            error = ::GetLastError();
            return 1;
        }
        bytes += written;
        length -= written;
    }
    return 0;
}

// Calls onEntry(name, find data) for every entry of a folder but "." and "..".
template <typename F>
FsError ForEachEntry(const std::string& folder, F onEntry) {
    WIN32_FIND_DATAW findData;
    HANDLE find = ::FindFirstFileExW(WidePath(JoinPath(folder, "*")).c_str(), FindExInfoBasic, &findData,
                                      FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? FsError{} : LastError(folder, error);
    }
    FsError fail;
    do {
        const std::wstring_view name(findData.cFileName);
        if (name == L"." || name == L"..") continue;
        fail = onEntry(ToUtf8(name), findData);
    } while (!fail.Failed() && ::FindNextFileW(find, &findData));
    const DWORD error = fail.Failed() ? ERROR_NO_MORE_FILES : ::GetLastError();
    ::FindClose(find);
    if (!fail.Failed() && error != ERROR_NO_MORE_FILES) return LastError(folder, error);
    return fail;
}

// A file's identity: its volume and its index on the volume.
struct FileId {
    DWORD volume = 0;
    DWORD high = 0;
    DWORD low = 0;
    bool operator==(const FileId& o) const { return volume == o.volume && high == o.high && low == o.low; }
};

bool IdOf(const std::string& path, FileId& id) {
    Handle file(OpenFile(path, 0, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS));
    BY_HANDLE_FILE_INFORMATION info;
    if (!file.Valid() || !::GetFileInformationByHandle(file.Get(), &info)) return false;
    id = FileId{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    return true;
}

}  // namespace

bool detail::IsNormalFile(const std::string& path) {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES &&
           !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
}

bool DirExists(const std::string& dirName) {
    if (dirName.empty() || dirName.find('\0') != std::string::npos) return false;
    return IsFolder(Attributes(dirName));
}

FsError detail::ReadFolder(const std::string& path, std::vector<FolderEntry>& entries) {
    if (!IsFolder(Attributes(path))) return LastError(path, ERROR_PATH_NOT_FOUND);
    return ForEachEntry(path, [&](std::string name, const WIN32_FIND_DATAW& findData) {
        const DWORD attributes = findData.dwFileAttributes;
        const EntryType type = IsLink(attributes, findData.dwReserved0)   ? EntryType::Link
                               : (attributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryType::Folder
                                                                          : EntryType::File;
        entries.push_back(FolderEntry{std::move(name), type});
        return FsError{};
    });
}

FsError detail::TypeOf(const std::string& path, EntryType& type) {
    const Entry entry = EntryOf(path);
    if (entry.attributes == INVALID_FILE_ATTRIBUTES) return LastError(path);
    type = entry.isLink ? EntryType::Link : IsFolder(entry.attributes) ? EntryType::Folder : EntryType::File;
    return {};
}

FsError detail::FolderFactsOf(const std::string& path, FolderFacts& facts) {
    const DWORD attributes = Attributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return LastError(path);
    FileId id;
    if (!IdOf(path, id)) return LastError(path);
    facts = FolderFacts{IsFolder(attributes), id.volume, (std::uint64_t{id.high} << 32) | id.low,
                        static_cast<unsigned>(attributes)};
    return {};
}

// Of a folder's attributes only hidden and system are the folder's own
// choice; read-only on a folder means nothing to Windows Explorer.
void detail::SetFolderBits(const std::string& copy, const FolderFacts& source) {
    ::SetFileAttributesW(WidePath(copy).c_str(), source.bits & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
}

FsError ReadWholeFile(const std::string& path, std::string& data, FileInfo* infoOut) {
    data.clear();
    if (FsError fault = Injected(FsOp::Read, path); fault.Failed()) return fault;
    if (EntryOf(path).isLink) return FsError{path, kIsLinkRead};
    Handle file(OpenFile(path, GENERIC_READ, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN));
    if (!file.Valid()) return LastError(path);
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(file.Get(), &info)) return LastError(path);
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return ErrnoError(path, EISDIR);
    if (infoOut) {
        *infoOut = FileInfo{info.dwFileAttributes & FILE_ATTRIBUTE_READONLY ? 0444u : 0644u,
                          TimeOf(info.ftLastAccessTime), TimeOf(info.ftLastWriteTime)};
    }
    const std::uint64_t size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    data.resize(static_cast<std::size_t>(size) + 1);
    std::size_t filled = 0;
    for (;;) {
        if (filled == data.size()) data.resize(data.size() * 2);
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(data.size() - filled, 1u << 30));
        DWORD bytesRead = 0;
        if (!::ReadFile(file.Get(), &data[filled], wanted, &bytesRead, nullptr)) {
            const DWORD error = ::GetLastError();
            data.clear();
            return LastError(path, error);
        }
        if (bytesRead == 0) break;
        filled += bytesRead;
    }
    data.resize(filled);
    return {};
}

namespace {

std::atomic<unsigned> tempCounter{0};

// Moves from to to, replacing a file (or link) at to, never a folder; a
// read-only file in the way is replaced too, as a rename does on POSIX.
bool MoveOver(const std::string& from, const std::string& to, DWORD& error) {
    const std::wstring wideFrom = WidePath(from), wideTo = WidePath(to);
    const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    if (::MoveFileExW(wideFrom.c_str(), wideTo.c_str(), flags)) return true;
    error = ::GetLastError();
    const DWORD oldAttributes = ::GetFileAttributesW(wideTo.c_str());
    if (error != ERROR_ACCESS_DENIED || oldAttributes == INVALID_FILE_ATTRIBUTES || (oldAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        !(oldAttributes & FILE_ATTRIBUTE_READONLY))
        return false;
    ::SetFileAttributesW(wideTo.c_str(), oldAttributes & ~FILE_ATTRIBUTE_READONLY);
    if (::MoveFileExW(wideFrom.c_str(), wideTo.c_str(), flags)) return true;
    error = ::GetLastError();
    ::SetFileAttributesW(wideTo.c_str(), oldAttributes);
    return false;
}

}  // namespace

FsError WriteFileAtomic(const std::string& path, const PieceSource& source, const FileInfo* like, bool keepTimes) {
    if (FsError fault = Injected(FsOp::WriteAtomic, path); fault.Failed()) return fault;
    // Without like the file takes the read-only state of the one it replaces.
    const Entry old = EntryOf(path);
    if (IsFolder(old.attributes) && !old.isLink) return ErrnoError(path, EISDIR);
    const bool readOnly = like ? !(like->mode & 0200)
                                 : old.attributes != INVALID_FILE_ATTRIBUTES && !old.isLink &&
                                       (old.attributes & FILE_ATTRIBUTE_READONLY);

    // The bytes go to a temporary file beside path; only the complete file
    // takes path.
    const std::string folder = FolderOf(path);
    std::string temp;
    Handle file;
    for (int attempt = 0; attempt < 100 && !file.Valid(); ++attempt) {
        temp = JoinPath(folder, "." + NameOf(path) + ".tagshift-" + std::to_string(::GetCurrentProcessId()) + "-" +
                                      std::to_string(tempCounter++));
        file.Reset(OpenFile(temp, GENERIC_WRITE, CREATE_NEW));
        if (!file.Valid() && ::GetLastError() != ERROR_FILE_EXISTS) return LastError(path);
    }
    if (!file.Valid()) return LastError(path, ERROR_FILE_EXISTS);
    DWORD error = 0;
    WriteGathered(source, [&](const char* bytes, std::size_t length) { return WriteAll(file.Get(), bytes, length, error); });
    if (!error && like && keepTimes) {
        const FILETIME accessed = FiletimeOf(like->accessed), modified = FiletimeOf(like->modified);
        ::SetFileTime(file.Get(), nullptr, &accessed, &modified);
    }
    if (!file.Close() && !error) error = ::GetLastError();
    if (!error && readOnly) ::SetFileAttributesW(WidePath(temp).c_str(), FILE_ATTRIBUTE_READONLY);
    if (!error) MoveOver(temp, path, error);
    if (error) {
        ::SetFileAttributesW(WidePath(temp).c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(WidePath(temp).c_str());
        return LastError(path, error);
    }
    return {};
}

FsError WriteNewFile(const std::string& path, const PieceSource& source, const FileInfo& like, bool keepTimes) {
    if (FsError fault = Injected(FsOp::WriteAtomic, path); fault.Failed()) return fault;
    Handle file(OpenFile(path, GENERIC_WRITE, CREATE_NEW));
    if (!file.Valid()) return LastError(path);
    DWORD error = 0;
    WriteGathered(source, [&](const char* bytes, std::size_t length) { return WriteAll(file.Get(), bytes, length, error); });
    if (!error && keepTimes) {
        const FILETIME accessed = FiletimeOf(like.accessed), modified = FiletimeOf(like.modified);
        ::SetFileTime(file.Get(), nullptr, &accessed, &modified);
    }
    if (!file.Close() && !error) error = ::GetLastError();
    if (!error && !(like.mode & 0200)) ::SetFileAttributesW(WidePath(path).c_str(), FILE_ATTRIBUTE_READONLY);
    if (error) {
        ::DeleteFileW(WidePath(path).c_str());  // a file cut short is no file
        return LastError(path, error);
    }
    return {};
}

FsError AppendFile::Open(const std::string& path, AppendMark& mark, const FileInfo* newLike) {
    if (fd_ != -1 && path == path_) {
        mark = AppendMark{true, size_, needsLineEnd_};
        return {};
    }
    Close();
    mark = AppendMark{};
    if (FsError fault = Injected(FsOp::Append, path); fault.Failed()) return fault;
    const Entry entry = EntryOf(path);
    HANDLE fileHandle = INVALID_HANDLE_VALUE;
    if (entry.attributes != INVALID_FILE_ATTRIBUTES) {
        if (entry.isLink) return FsError{path, kIsLink};
        if (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) return ErrnoError(path, EISDIR);
        // A read-only file of the copy takes functions: it is writable while
        // it is open and read-only again once closed.
        if (entry.attributes & FILE_ATTRIBUTE_READONLY) {
            ::SetFileAttributesW(WidePath(path).c_str(), entry.attributes & ~FILE_ATTRIBUTE_READONLY);
            readOnlyAtClose_ = true;
        }
        fileHandle = OpenFile(path, GENERIC_WRITE, OPEN_EXISTING);
        LARGE_INTEGER sizeValue{};
        DWORD error = fileHandle == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
        if (fileHandle != INVALID_HANDLE_VALUE && !::GetFileSizeEx(fileHandle, &sizeValue)) {
            error = ::GetLastError();
            ::CloseHandle(fileHandle);
        }
        if (error) {
            if (readOnlyAtClose_) ::SetFileAttributesW(WidePath(path).c_str(), entry.attributes);
            readOnlyAtClose_ = false;
            return LastError(path, error);
        }
        mark = AppendMark{true, static_cast<std::uint64_t>(sizeValue.QuadPart)};
        mark.needsLineEnd = detail::LacksFinalLineEnd(path, mark.size);
    } else {
        fileHandle = OpenFile(path, GENERIC_WRITE, CREATE_NEW);
        readOnlyAtClose_ = newLike && !(newLike->mode & 0200);
    }
    if (fileHandle == INVALID_HANDLE_VALUE) {
        readOnlyAtClose_ = false;
        return LastError(path);
    }
    fd_ = reinterpret_cast<std::intptr_t>(fileHandle);
    path_ = path;
    size_ = mark.size;
    needsLineEnd_ = mark.needsLineEnd;
    return {};
}

FsError AppendFile::Append(std::string_view data) {
    if (fd_ == -1) return ErrnoError(path_, EBADF);
    const HANDLE fileHandle = reinterpret_cast<HANDLE>(fd_);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size_);
    if (!::SetFilePointerEx(fileHandle, end, nullptr, FILE_BEGIN)) return LastError(path_);
    DWORD error = 0;
    if (WriteAll(fileHandle, data.data(), data.size(), error)) return LastError(path_, error);
    size_ += data.size();
    if (!data.empty()) needsLineEnd_ = data.back() != '\r' && data.back() != '\n';
    return {};
}

void AppendFile::Undo(const AppendMark& mark) {
    if (fd_ == -1) return;
    if (!mark.existed) {
        readOnlyAtClose_ = false;
        Close();
        ::DeleteFileW(WidePath(path_).c_str());
        return;
    }
    const HANDLE fileHandle = reinterpret_cast<HANDLE>(fd_);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(mark.size);
    if (::SetFilePointerEx(fileHandle, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(fileHandle)) {
        size_ = mark.size;
        needsLineEnd_ = mark.needsLineEnd;
    }
}

void AppendFile::Close() {
    if (fd_ != -1) {
        ::CloseHandle(reinterpret_cast<HANDLE>(fd_));
        if (readOnlyAtClose_) {
            const std::wstring wide = WidePath(path_);
            const DWORD attributes = ::GetFileAttributesW(wide.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES)
                ::SetFileAttributesW(wide.c_str(), attributes | FILE_ATTRIBUTE_READONLY);
        }
    }
    fd_ = -1;
    readOnlyAtClose_ = false;
}

FsError detail::CopyFileData(const std::string& from, const std::string& to) {
    const Entry entry = EntryOf(from);
    if (entry.attributes == INVALID_FILE_ATTRIBUTES) return LastError(from);
    if (entry.isLink) return FsError{from, kIsLinkRead};
    if (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) return ErrnoError(from, EISDIR);
    // Whether the source can be read is asked first: CopyFileW's error does
    // not say which side failed, and a failure after this is the copy's.
    if (Handle readHandle(OpenFile(from, GENERIC_READ, OPEN_EXISTING)); !readHandle.Valid()) return LastError(from);
    // The copy keeps the attributes and the modification time.
    if (!::CopyFileW(WidePath(from).c_str(), WidePath(to).c_str(), TRUE)) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            // A copy cut short is no copy.
            ::SetFileAttributesW(WidePath(to).c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW(WidePath(to).c_str());
        }
        return LastError(to, error);
    }
    return {};
}

// A link is copied as a link: a folder made with the link as its template,
// or the link file itself.
FsError detail::CopyLink(const std::string& from, const std::string& to) {
    const DWORD attributes = Attributes(from);
    if (attributes == INVALID_FILE_ATTRIBUTES) return LastError(from);
    const BOOL done = attributes & FILE_ATTRIBUTE_DIRECTORY
                          ? ::CreateDirectoryExW(WidePath(from).c_str(), WidePath(to).c_str(), nullptr)
                          : ::CopyFileExW(WidePath(from).c_str(), WidePath(to).c_str(), nullptr, nullptr, nullptr,
                                          COPY_FILE_FAIL_IF_EXISTS | COPY_FILE_COPY_SYMLINK);
    return done ? FsError{} : LastError(to);
}

FsError detail::MakeOwnFolder(const std::string& path) {
    return ::CreateDirectoryW(WidePath(path).c_str(), nullptr) ? FsError{} : LastError(path);
}

// Without MOVEFILE_REPLACE_EXISTING a move never takes the place of an entry.
FsError RenameNoReplace(const std::string& from, const std::string& to, bool& existed) {
    existed = false;
    if (::MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(), MOVEFILE_WRITE_THROUGH)) return {};
    const DWORD error = ::GetLastError();
    existed = error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
    return LastError(to, error);
}

// A read-only entry is made writable first: Windows removes none.
void detail::RemoveEntry(const std::string& path) {
    const std::wstring wide = WidePath(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (attributes & FILE_ATTRIBUTE_READONLY) ::SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        ::RemoveDirectoryW(wide.c_str());  // a link to a folder goes as a link
    else
        ::DeleteFileW(wide.c_str());
}

void detail::OpenToOwner(const std::string& path) {
    const std::wstring wide = WidePath(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        ::SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

void detail::RemoveEmptyFolder(const std::string& path) { ::RemoveDirectoryW(WidePath(path).c_str()); }

namespace {

// The path the system reaches an open file by ("\\?\C:\..."); false with
// the system's error when it will not say.
bool FinalPath(HANDLE file, std::wstring& wide) {
    wide.assign(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFinalPathNameByHandleW(file, wide.data(), static_cast<DWORD>(wide.size()),
                                                          FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) return false;
        if (length < wide.size()) {
            wide.resize(length);
            return true;
        }
        wide.resize(length + 1);
    }
}

// The real path of widePath found component by component, for when the
// system will not give a long path whole (wine answers ERROR_MORE_DATA
// however large the buffer): each component that is a link or junction is
// replaced by the real path of its target, which is asked of the system
// alone; the others are taken as they are.
bool ResolvedByParts(const std::wstring& widePath, std::wstring& real) {
    const bool unc = widePath.compare(0, 8, L"\\\\?\\UNC\\") == 0;
    std::size_t at = widePath.find(L'\\', unc ? 8 : 4);  // after "C:" or "server"
    if (unc && at != std::wstring::npos) at = widePath.find(L'\\', at + 1);  // after "share"
    real = widePath.substr(0, at);
    while (at != std::wstring::npos && at + 1 < widePath.size()) {
        const std::size_t next = widePath.find(L'\\', at + 1);
        real += widePath.substr(at, next == std::wstring::npos ? std::wstring::npos : next - at);
        at = next;
        if (!EntryOf(real).isLink) continue;
        Handle target(OpenFile(real, 0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
        if (!target.Valid() || !FinalPath(target.Get(), real)) return false;
    }
    return true;
}

}  // namespace

FsError RealPath(const std::string& path, std::string& real) {
    const std::wstring widePath = WidePath(path);
    Handle file(OpenFile(widePath, 0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
    if (!file.Valid()) return LastError(path);
    std::wstring wide;
    if (!FinalPath(file.Get(), wide)) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_MORE_DATA || !ResolvedByParts(widePath, wide)) return LastError(path, error);
    }
    // "\\?\C:\..." and "\\?\UNC\server\..." back to the usual forms.
    if (wide.rfind(L"\\\\?\\UNC\\", 0) == 0)
        wide = L"\\\\" + wide.substr(8);
    else if (wide.rfind(L"\\\\?\\", 0) == 0)
        wide = wide.substr(4);
    real = ToUtf8(wide);
    return {};
}

void LetWritesPastTheSizeLimitFail() {}  // Windows has no such signal: the write fails

}  // namespace tagshift::fs
