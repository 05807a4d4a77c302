// The file-system services that are the same on every platform: path texts,
// the fault hook and the kinds of errno values, the existence test for files
// and the one-shot append. The walk's rules are in Walk.cpp.
#include "fs/FileSystem.h"

#include "fs/FileSystemPlatform.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <mutex>
#include <random>

namespace stdfs = std::filesystem;

namespace tagshift::fs {

namespace {

FaultHook faultHook;
std::mutex faultHookMutex;  // the copy's workers ask the hook too: one question at a time

// "C:" of "C:\..." on Windows: the part before the root's separator.
bool IsDrive(std::string_view part) { return kSeparator == '\\' && part.size() == 2 && part[1] == ':'; }

}  // namespace

namespace detail {

FsError Injected(FsOp op, const std::string& path) {
    if (!faultHook) return {};
    int errorNumber;
    {
        std::lock_guard<std::mutex> lock(faultHookMutex);
        errorNumber = faultHook(op, path);
    }
    return errorNumber == 0 ? FsError{} : ErrnoError(path, errorNumber);
}

FsCause CauseOf(int errorNumber) {
    if (errorNumber == kQuotaExceeded) return FsCause::Storage;
    switch (errorNumber) {
        case ENOSPC:
        case EIO:
        case EFBIG:  // past the file-size limit: every larger file would fail the same way
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

FsError ErrnoError(const std::string& path, int errorNumber) {
    return FsError{path, ErrnoText(errorNumber), CauseOf(errorNumber)};
}

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.find_last_of(kSeparators);
    if (slash == std::string::npos) return ".";
    if (slash == 0 || IsDrive(std::string_view(path).substr(0, slash))) return path.substr(0, slash + 1);
    return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    std::size_t slash = path.find_last_of(kSeparators);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

stdfs::path PathOf(const std::string& path) { return stdfs::u8path(path); }

bool LacksFinalLineEnd(const std::string& path, std::uint64_t size) {
    if (size == 0) return false;
    std::ifstream file(PathOf(path), std::ios::binary);
    char last = 0;
    if (!file.seekg(static_cast<std::streamoff>(size - 1)) || !file.get(last)) return true;
    return last != '\r' && last != '\n';
}

int WriteGathered(const PieceSource& source, const std::function<int(const char* bytes, std::size_t length)>& write) {
    constexpr std::size_t kGather = 64 * 1024;
    std::string gathered;
    gathered.reserve(kGather);
    const int error = source([&](std::string_view piece) {
        if (gathered.size() + piece.size() > kGather && !gathered.empty()) {
            if (int failed = write(gathered.data(), gathered.size())) return failed;
            gathered.clear();
        }
        if (piece.size() >= kGather) return write(piece.data(), piece.size());
        gathered += piece;
        return 0;
    });
    if (error) return error;
    return gathered.empty() ? 0 : write(gathered.data(), gathered.size());
}

}  // namespace detail

using namespace detail;

void SetFaultHookForTesting(FaultHook hook) { faultHook = std::move(hook); }

std::string JoinPath(const std::string& folder, std::string_view name) {
    std::string path = folder;
    if (path.empty() || !IsSeparator(path.back())) path += kSeparator;
    path += name;
    return path;
}

bool WildcardMatches(std::string_view pattern, std::string_view name) {
    std::size_t p = 0, n = 0;
    std::size_t star = std::string_view::npos, starName = 0;  // the last "*" seen and where its run ends
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            starName = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;  // let the last "*" take one more character
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool FileExists(const std::string& fileName) {
    if (fileName.empty() || fileName.find('\0') != std::string::npos) return false;
    const std::string name = NameOf(fileName);
    if (name.find_first_of("*?") == std::string::npos) return IsNormalFile(fileName);
    const std::string folder = FolderOf(fileName);
    std::error_code error;
    stdfs::directory_iterator it(PathOf(folder), error);
    for (; !error && it != stdfs::directory_iterator(); it.increment(error)) {
        const std::string candidate = it->path().filename().u8string();
        if (WildcardMatches(name, candidate) && IsNormalFile(JoinPath(folder, candidate))) return true;
    }
    return false;
}

std::uint64_t SizeOf(const std::string& path) {
    std::error_code error;
    const std::uintmax_t size = stdfs::file_size(detail::PathOf(path), error);
    return error ? 0 : static_cast<std::uint64_t>(size);
}

FsError WriteNewFile(const std::string& path, std::string_view data, const FileInfo& like, bool keepTimes) {
    return WriteNewFile(path, [data](const PieceEmitter& emit) { return emit(data); }, like, keepTimes);
}

FsError WriteFileAtomic(const std::string& path, std::string_view data, const FileInfo* like, bool keepTimes) {
    return WriteFileAtomic(path, [data](const PieceEmitter& emit) { return emit(data); }, like, keepTimes);
}

FsError AppendToFile(const std::string& path, std::string_view data, AppendMark& mark) {
    AppendFile file;
    if (FsError openError = file.Open(path, mark); openError.Failed()) return openError;
    if (FsError append = file.Append(data); append.Failed()) {
        file.Undo(mark);
        return append;
    }
    return {};
}

// --- Paths, entries, unique folders and renames without replacing --------

std::string AbsoluteNormalPath(const std::string& path) {
    if (path.empty()) return path;
    std::error_code error;
    stdfs::path fsPath = stdfs::absolute(detail::PathOf(path), error);
    if (error) return path;
    fsPath = fsPath.lexically_normal();
    // A trailing separator leaves an empty last component behind.
    while (!fsPath.has_filename() && fsPath.has_relative_path()) fsPath = fsPath.parent_path();
    return fsPath.u8string();
}

bool IsRootPath(const std::string& path) {
    const stdfs::path fsPath = detail::PathOf(path);
    return !fsPath.empty() && fsPath.has_root_directory() && !fsPath.has_relative_path();
}

bool EntryExists(const std::string& path) {
    EntryType type = EntryType::Unknown;
    return !path.empty() && !detail::TypeOf(path, type).Failed();
}

FsError CreateUniqueFolder(const std::string& prefix, std::string& path) {
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::mt19937 randomEngine{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = prefix;
        for (int i = 0; i < 6; ++i) candidate += kLetters[pick(randomEngine)];
        if (EntryExists(candidate)) continue;
        if (FsError made = detail::MakeOwnFolder(candidate); !made.Failed()) {
            path = candidate;
            return {};
        } else if (EntryExists(candidate)) {
            continue;  // taken meanwhile
        } else {
            return made;
        }
    }
    return FsError{prefix + "XXXXXX", "no free name"};
}

void RemoveFile(const std::string& path) {
    EntryType type = EntryType::Unknown;
    if (!detail::TypeOf(path, type).Failed() && type != EntryType::Folder) detail::RemoveEntry(path);
}

FsError CreateFolders(const std::string& path) {
    std::error_code error;
    stdfs::create_directories(detail::PathOf(path), error);
    if (error) return FsError{path, error.message(), FsCause::Other};
    return {};
}

std::string ParentFolder(const std::string& path) { return detail::FolderOf(path); }

bool LiesInside(const std::string& path, const std::string& folder) {
    if (path.size() <= folder.size() || path.compare(0, folder.size(), folder) != 0) return false;
    // A root keeps its separator: "/" holds "/a" as "C:\" holds "C:\a".
    return IsSeparator(folder.back()) || IsSeparator(path[folder.size()]);
}

}  // namespace tagshift::fs
