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
#include <cerrno>
#include <cstring>

#include "fs/FileSystem.h"
#include "fs/FileSystemPlatform.h"
#include "fs/Utf16.h"

namespace tagshift::fs {

using namespace detail;

FsCause detail::CauseOf(int iErrno) {
    switch (iErrno) {
        case ENOSPC:
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

std::wstring ToUtf16(std::string_view sText) {
    if (sText.empty()) return {};
    const int iSize = static_cast<int>(sText.size());
    const int iLength = ::MultiByteToWideChar(CP_UTF8, 0, sText.data(), iSize, nullptr, 0);
    std::wstring sWide(static_cast<std::size_t>(iLength), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, sText.data(), iSize, sWide.data(), iLength);
    return sWide;
}

std::string ToUtf8(std::wstring_view sText) {
    if (sText.empty()) return {};
    const int iSize = static_cast<int>(sText.size());
    const int iLength = ::WideCharToMultiByte(CP_UTF8, 0, sText.data(), iSize, nullptr, 0, nullptr, nullptr);
    std::string sNarrow(static_cast<std::size_t>(iLength), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, sText.data(), iSize, sNarrow.data(), iLength, nullptr, nullptr);
    return sNarrow;
}

namespace {

// A path for the wide calls: UTF-16, and, past the length where the classic
// calls stop (MAX_PATH), an absolute path in the "\\?\" form that has no such
// limit (that form takes no '/' and no "." or ".." components).
std::wstring WidePath(const std::string& sPath) {
    std::wstring sWide = ToUtf16(sPath);
    if (sWide.size() < MAX_PATH - 12) return sWide;  // CreateDirectoryW's limit is 12 below the others
    auto IsSlash = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    const bool bDrive = sWide.size() > 2 && sWide[1] == L':' && IsSlash(sWide[2]);
    const bool bShare = IsSlash(sWide[0]) && IsSlash(sWide[1]) && sWide[2] != L'?' && sWide[2] != L'.';
    if (!bDrive && !bShare) return sWide;
    std::replace(sWide.begin(), sWide.end(), L'/', L'\\');
    return bDrive ? L"\\\\?\\" + sWide : L"\\\\?\\UNC\\" + sWide.substr(2);
}

std::string SystemMessage(DWORD iError) {
    wchar_t* pText = nullptr;
    const DWORD iLength =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, iError, 0, reinterpret_cast<wchar_t*>(&pText), 0, nullptr);
    std::string sText = iLength ? ToUtf8(std::wstring_view(pText, iLength)) : "error " + std::to_string(iError);
    if (pText) ::LocalFree(pText);
    while (!sText.empty() &&
           (sText.back() == '\n' || sText.back() == '\r' || sText.back() == ' ' || sText.back() == '.'))
        sText.pop_back();
    return sText;
}

// The reasons the POSIX side gives for the cases both sides check themselves.
FsError ErrnoError(const std::string& sPath, int iErrno) {
    return FsError{sPath, std::strerror(iErrno), CauseOf(iErrno)};
}

// ERROR_DISK_QUOTA_EXCEEDED, which MinGW's headers lack.
constexpr DWORD kDiskQuotaExceeded = 1295;

FsCause CauseOfCode(DWORD iError) {
    switch (iError) {
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
        case kDiskQuotaExceeded:
        case ERROR_IO_DEVICE:
        case ERROR_CRC:
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

FsError LastError(const std::string& sPath, DWORD iError = ::GetLastError()) {
    switch (iError) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return ErrnoError(sPath, ENOENT);
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return ErrnoError(sPath, EEXIST);
        case ERROR_ACCESS_DENIED:
            return ErrnoError(sPath, EACCES);
        default:
            return FsError{sPath, SystemMessage(iError), CauseOfCode(iError)};
    }
}

const char* const kIsLink = "is a symbolic link; it is not written through";
const char* const kIsLinkRead = "is a symbolic link; it is not followed";

// Closes a handle when it goes out of scope.
class Handle {
public:
    explicit Handle(HANDLE hHandle = INVALID_HANDLE_VALUE) : m_hHandle(hHandle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { Close(); }
    HANDLE get() const { return m_hHandle; }
    bool Valid() const { return m_hHandle != INVALID_HANDLE_VALUE; }
    void Reset(HANDLE hHandle) {
        Close();
        m_hHandle = hHandle;
    }
    // Closes now; false when the close failed.
    bool Close() {
        const bool bOk = !Valid() || ::CloseHandle(m_hHandle);
        m_hHandle = INVALID_HANDLE_VALUE;
        return bOk;
    }

private:
    HANDLE m_hHandle;
};

DWORD Attributes(const std::string& sPath) { return ::GetFileAttributesW(WidePath(sPath).c_str()); }

bool IsLink(DWORD iAttributes, DWORD iTag) {
    return iAttributes != INVALID_FILE_ATTRIBUTES && (iAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           IsReparseTagNameSurrogate(iTag);
}

bool IsFolder(DWORD iAttributes) {
    return iAttributes != INVALID_FILE_ATTRIBUTES && (iAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

HANDLE OpenFile(const std::string& sPath, DWORD iAccess, DWORD iDisposition, DWORD iFlags = FILE_ATTRIBUTE_NORMAL) {
    return ::CreateFileW(WidePath(sPath).c_str(), iAccess, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, iDisposition, iFlags, nullptr);
}

// What sPath names itself (never what a link leads to): its attributes
// (INVALID_FILE_ATTRIBUTES when there is nothing) and whether it is a link.
// A reparse point whose kind cannot be read counts as a link.
struct Entry {
    DWORD iAttributes = INVALID_FILE_ATTRIBUTES;
    bool bLink = false;
};

Entry EntryOf(const std::string& sPath) {
    Entry oEntry{Attributes(sPath), false};
    if (oEntry.iAttributes != INVALID_FILE_ATTRIBUTES && (oEntry.iAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        Handle oFile(OpenFile(sPath, FILE_READ_ATTRIBUTES, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS));
        FILE_ATTRIBUTE_TAG_INFO oTag{};
        oEntry.bLink = !oFile.Valid() ||
                       !::GetFileInformationByHandleEx(oFile.get(), FileAttributeTagInfo, &oTag, sizeof oTag) ||
                       IsLink(oEntry.iAttributes, oTag.ReparseTag);
    }
    return oEntry;
}

// FILETIME counts 100 ns steps since 1601-01-01 UTC.
constexpr std::int64_t kTicksPerSecond = 10000000;
constexpr std::int64_t kTicksTo1970 = 116444736000000000;

FileTime TimeOf(const FILETIME& oTime) {
    const std::int64_t iTicks =
        static_cast<std::int64_t>((static_cast<std::uint64_t>(oTime.dwHighDateTime) << 32) | oTime.dwLowDateTime) -
        kTicksTo1970;
    std::int64_t iSeconds = iTicks / kTicksPerSecond, iRest = iTicks % kTicksPerSecond;
    if (iRest < 0) {
        --iSeconds;
        iRest += kTicksPerSecond;
    }
    return FileTime{iSeconds, static_cast<std::int32_t>(iRest * 100)};
}

FILETIME FiletimeOf(const FileTime& oTime) {
    const std::uint64_t iTicks =
        static_cast<std::uint64_t>(oTime.iSeconds * kTicksPerSecond + oTime.iNanoseconds / 100 + kTicksTo1970);
    return FILETIME{static_cast<DWORD>(iTicks), static_cast<DWORD>(iTicks >> 32)};
}

int WriteAll(HANDLE hFile, const char* pData, std::size_t iLength, DWORD& iError) {
    while (iLength > 0) {
        const DWORD iChunk = static_cast<DWORD>(std::min<std::size_t>(iLength, 1u << 30));
        DWORD iWritten = 0;
        if (!::WriteFile(hFile, pData, iChunk, &iWritten, nullptr)) {
            iError = ::GetLastError();
            return 1;
        }
        pData += iWritten;
        iLength -= iWritten;
    }
    return 0;
}

// Calls fEntry(name, find data) for every entry of a folder but "." and "..".
template <typename F>
FsError ForEachEntry(const std::string& sFolder, F fEntry) {
    WIN32_FIND_DATAW oData;
    HANDLE hFind = ::FindFirstFileExW(WidePath(JoinPath(sFolder, "*")).c_str(), FindExInfoBasic, &oData,
                                      FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (hFind == INVALID_HANDLE_VALUE) {
        const DWORD iError = ::GetLastError();
        return iError == ERROR_FILE_NOT_FOUND ? FsError{} : LastError(sFolder, iError);
    }
    FsError oFail;
    do {
        const std::wstring_view sName(oData.cFileName);
        if (sName == L"." || sName == L"..") continue;
        oFail = fEntry(ToUtf8(sName), oData);
    } while (!oFail.Failed() && ::FindNextFileW(hFind, &oData));
    const DWORD iError = oFail.Failed() ? ERROR_NO_MORE_FILES : ::GetLastError();
    ::FindClose(hFind);
    if (!oFail.Failed() && iError != ERROR_NO_MORE_FILES) return LastError(sFolder, iError);
    return oFail;
}

// A file's identity: its volume and its index on the volume.
struct FileId {
    DWORD iVolume = 0;
    DWORD iHigh = 0;
    DWORD iLow = 0;
    bool operator==(const FileId& o) const { return iVolume == o.iVolume && iHigh == o.iHigh && iLow == o.iLow; }
};

bool IdOf(const std::string& sPath, FileId& oId) {
    Handle oFile(OpenFile(sPath, 0, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS));
    BY_HANDLE_FILE_INFORMATION oInfo;
    if (!oFile.Valid() || !::GetFileInformationByHandle(oFile.get(), &oInfo)) return false;
    oId = FileId{oInfo.dwVolumeSerialNumber, oInfo.nFileIndexHigh, oInfo.nFileIndexLow};
    return true;
}

}  // namespace

bool detail::IsNormalFile(const std::string& sPath) {
    const DWORD iAttributes = Attributes(sPath);
    return iAttributes != INVALID_FILE_ATTRIBUTES &&
           !(iAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
}

bool DirExists(const std::string& sDirName) {
    if (sDirName.empty() || sDirName.find('\0') != std::string::npos) return false;
    return IsFolder(Attributes(sDirName));
}

FsError detail::ListEntries(const std::string& sPath, FolderListing& oListing) {
    if (!IsFolder(Attributes(sPath))) return LastError(sPath, ERROR_PATH_NOT_FOUND);
    FsError oFail = ForEachEntry(sPath, [&](std::string sName, const WIN32_FIND_DATAW& oData) {
        if (IsLink(oData.dwFileAttributes, oData.dwReserved0)) return FsError{};  // links are not walked
        (oData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? oListing.aFolders : oListing.aFiles)
            .push_back(std::move(sName));
        return FsError{};
    });
    if (oFail.Failed()) return oFail;
    return {};
}

FsError ReadWholeFile(const std::string& sPath, std::string& sData, FileInfo* pInfo) {
    sData.clear();
    if (FsError oFault = Injected(FsOp::Read, sPath); oFault.Failed()) return oFault;
    if (EntryOf(sPath).bLink) return FsError{sPath, kIsLinkRead};
    Handle oFile(OpenFile(sPath, GENERIC_READ, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN));
    if (!oFile.Valid()) return LastError(sPath);
    BY_HANDLE_FILE_INFORMATION oInfo;
    if (!::GetFileInformationByHandle(oFile.get(), &oInfo)) return LastError(sPath);
    if (oInfo.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return ErrnoError(sPath, EISDIR);
    if (pInfo) {
        *pInfo = FileInfo{oInfo.dwFileAttributes & FILE_ATTRIBUTE_READONLY ? 0444u : 0644u,
                          TimeOf(oInfo.ftLastAccessTime), TimeOf(oInfo.ftLastWriteTime)};
    }
    const std::uint64_t iSize = (static_cast<std::uint64_t>(oInfo.nFileSizeHigh) << 32) | oInfo.nFileSizeLow;
    sData.resize(static_cast<std::size_t>(iSize) + 1);
    std::size_t iFilled = 0;
    for (;;) {
        if (iFilled == sData.size()) sData.resize(sData.size() * 2);
        const DWORD iWanted = static_cast<DWORD>(std::min<std::size_t>(sData.size() - iFilled, 1u << 30));
        DWORD iRead = 0;
        if (!::ReadFile(oFile.get(), &sData[iFilled], iWanted, &iRead, nullptr)) {
            const DWORD iError = ::GetLastError();
            sData.clear();
            return LastError(sPath, iError);
        }
        if (iRead == 0) break;
        iFilled += iRead;
    }
    sData.resize(iFilled);
    return {};
}

namespace {

std::atomic<unsigned> g_iTempCounter{0};

// Moves sFrom to sTo, replacing a file (or link) at sTo, never a folder; a
// read-only file in the way is replaced too, as a rename does on POSIX.
bool MoveOver(const std::string& sFrom, const std::string& sTo, DWORD& iError) {
    const std::wstring sWideFrom = WidePath(sFrom), sWideTo = WidePath(sTo);
    const DWORD iFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    if (::MoveFileExW(sWideFrom.c_str(), sWideTo.c_str(), iFlags)) return true;
    iError = ::GetLastError();
    const DWORD iOld = ::GetFileAttributesW(sWideTo.c_str());
    if (iError != ERROR_ACCESS_DENIED || iOld == INVALID_FILE_ATTRIBUTES || (iOld & FILE_ATTRIBUTE_DIRECTORY) ||
        !(iOld & FILE_ATTRIBUTE_READONLY))
        return false;
    ::SetFileAttributesW(sWideTo.c_str(), iOld & ~FILE_ATTRIBUTE_READONLY);
    if (::MoveFileExW(sWideFrom.c_str(), sWideTo.c_str(), iFlags)) return true;
    iError = ::GetLastError();
    ::SetFileAttributesW(sWideTo.c_str(), iOld);
    return false;
}

}  // namespace

FsError WriteFileAtomic(const std::string& sPath, std::string_view sData, const FileInfo* pLike, bool bKeepTimes) {
    if (FsError oFault = Injected(FsOp::WriteAtomic, sPath); oFault.Failed()) return oFault;
    // Without pLike the file takes the read-only state of the one it replaces.
    const Entry oOld = EntryOf(sPath);
    if (IsFolder(oOld.iAttributes) && !oOld.bLink) return ErrnoError(sPath, EISDIR);
    const bool bReadOnly = pLike ? !(pLike->iMode & 0200)
                                 : oOld.iAttributes != INVALID_FILE_ATTRIBUTES && !oOld.bLink &&
                                       (oOld.iAttributes & FILE_ATTRIBUTE_READONLY);

    // The bytes go to a temporary file beside sPath; only the complete file
    // takes sPath.
    const std::string sFolder = FolderOf(sPath);
    std::string sTemp;
    Handle oFile;
    for (int iTry = 0; iTry < 100 && !oFile.Valid(); ++iTry) {
        sTemp = JoinPath(sFolder, "." + NameOf(sPath) + ".tagshift-" + std::to_string(::GetCurrentProcessId()) + "-" +
                                      std::to_string(g_iTempCounter++));
        oFile.Reset(OpenFile(sTemp, GENERIC_WRITE, CREATE_NEW));
        if (!oFile.Valid() && ::GetLastError() != ERROR_FILE_EXISTS) return LastError(sPath);
    }
    if (!oFile.Valid()) return LastError(sPath, ERROR_FILE_EXISTS);
    DWORD iError = 0;
    WriteAll(oFile.get(), sData.data(), sData.size(), iError);
    if (!iError && pLike && bKeepTimes) {
        const FILETIME oAccessed = FiletimeOf(pLike->oAccessed), oModified = FiletimeOf(pLike->oModified);
        ::SetFileTime(oFile.get(), nullptr, &oAccessed, &oModified);
    }
    if (!oFile.Close() && !iError) iError = ::GetLastError();
    if (!iError && bReadOnly) ::SetFileAttributesW(WidePath(sTemp).c_str(), FILE_ATTRIBUTE_READONLY);
    if (!iError) MoveOver(sTemp, sPath, iError);
    if (iError) {
        ::SetFileAttributesW(WidePath(sTemp).c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(WidePath(sTemp).c_str());
        return LastError(sPath, iError);
    }
    return {};
}

FsError AppendFile::Open(const std::string& sPath, AppendMark& oMark, const FileInfo* pNewLike) {
    if (m_iFd != -1 && sPath == m_sPath) {
        oMark = AppendMark{true, m_iSize, m_bNeedsLineEnd};
        return {};
    }
    Close();
    oMark = AppendMark{};
    if (FsError oFault = Injected(FsOp::Append, sPath); oFault.Failed()) return oFault;
    const Entry oEntry = EntryOf(sPath);
    HANDLE hFile = INVALID_HANDLE_VALUE;
    if (oEntry.iAttributes != INVALID_FILE_ATTRIBUTES) {
        if (oEntry.bLink) return FsError{sPath, kIsLink};
        if (oEntry.iAttributes & FILE_ATTRIBUTE_DIRECTORY) return ErrnoError(sPath, EISDIR);
        // A read-only file of the copy takes functions: it is writable while
        // it is open and read-only again once closed.
        if (oEntry.iAttributes & FILE_ATTRIBUTE_READONLY) {
            ::SetFileAttributesW(WidePath(sPath).c_str(), oEntry.iAttributes & ~FILE_ATTRIBUTE_READONLY);
            m_bReadOnlyAtClose = true;
        }
        hFile = OpenFile(sPath, GENERIC_WRITE, OPEN_EXISTING);
        LARGE_INTEGER oSize{};
        DWORD iError = hFile == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
        if (hFile != INVALID_HANDLE_VALUE && !::GetFileSizeEx(hFile, &oSize)) {
            iError = ::GetLastError();
            ::CloseHandle(hFile);
        }
        if (iError) {
            if (m_bReadOnlyAtClose) ::SetFileAttributesW(WidePath(sPath).c_str(), oEntry.iAttributes);
            m_bReadOnlyAtClose = false;
            return LastError(sPath, iError);
        }
        oMark = AppendMark{true, static_cast<std::uint64_t>(oSize.QuadPart)};
        oMark.bNeedsLineEnd = detail::LacksFinalLineEnd(sPath, oMark.iSize);
    } else {
        hFile = OpenFile(sPath, GENERIC_WRITE, CREATE_NEW);
        m_bReadOnlyAtClose = pNewLike && !(pNewLike->iMode & 0200);
    }
    if (hFile == INVALID_HANDLE_VALUE) {
        m_bReadOnlyAtClose = false;
        return LastError(sPath);
    }
    m_iFd = reinterpret_cast<std::intptr_t>(hFile);
    m_sPath = sPath;
    m_iSize = oMark.iSize;
    m_bNeedsLineEnd = oMark.bNeedsLineEnd;
    return {};
}

FsError AppendFile::Append(std::string_view sData) {
    if (m_iFd == -1) return ErrnoError(m_sPath, EBADF);
    const HANDLE hFile = reinterpret_cast<HANDLE>(m_iFd);
    LARGE_INTEGER oEnd;
    oEnd.QuadPart = static_cast<LONGLONG>(m_iSize);
    if (!::SetFilePointerEx(hFile, oEnd, nullptr, FILE_BEGIN)) return LastError(m_sPath);
    DWORD iError = 0;
    if (WriteAll(hFile, sData.data(), sData.size(), iError)) return LastError(m_sPath, iError);
    m_iSize += sData.size();
    if (!sData.empty()) m_bNeedsLineEnd = sData.back() != '\r' && sData.back() != '\n';
    return {};
}

void AppendFile::Undo(const AppendMark& oMark) {
    if (m_iFd == -1) return;
    if (!oMark.bExisted) {
        m_bReadOnlyAtClose = false;
        Close();
        ::DeleteFileW(WidePath(m_sPath).c_str());
        return;
    }
    const HANDLE hFile = reinterpret_cast<HANDLE>(m_iFd);
    LARGE_INTEGER oEnd;
    oEnd.QuadPart = static_cast<LONGLONG>(oMark.iSize);
    if (::SetFilePointerEx(hFile, oEnd, nullptr, FILE_BEGIN) && ::SetEndOfFile(hFile)) {
        m_iSize = oMark.iSize;
        m_bNeedsLineEnd = oMark.bNeedsLineEnd;
    }
}

void AppendFile::Close() {
    if (m_iFd != -1) {
        ::CloseHandle(reinterpret_cast<HANDLE>(m_iFd));
        if (m_bReadOnlyAtClose) {
            const std::wstring sWide = WidePath(m_sPath);
            const DWORD iAttributes = ::GetFileAttributesW(sWide.c_str());
            if (iAttributes != INVALID_FILE_ATTRIBUTES)
                ::SetFileAttributesW(sWide.c_str(), iAttributes | FILE_ATTRIBUTE_READONLY);
        }
    }
    m_iFd = -1;
    m_bReadOnlyAtClose = false;
}

FsError CopyFile(const std::string& sFrom, const std::string& sTo) {
    if (FsError oFault = Injected(FsOp::CopyFile, sFrom); oFault.Failed()) return oFault;
    if (FsError oFault = Injected(FsOp::CopyFile, sTo); oFault.Failed()) return oFault;
    const Entry oEntry = EntryOf(sFrom);
    if (oEntry.iAttributes == INVALID_FILE_ATTRIBUTES) return LastError(sFrom);
    if (oEntry.bLink) return FsError{sFrom, kIsLinkRead};
    if (oEntry.iAttributes & FILE_ATTRIBUTE_DIRECTORY) return ErrnoError(sFrom, EISDIR);
    // Whether the source can be read is asked first: CopyFileW's error does
    // not say which side failed, and a failure after this is the copy's.
    if (Handle oRead(OpenFile(sFrom, GENERIC_READ, OPEN_EXISTING)); !oRead.Valid()) return LastError(sFrom);
    // The copy keeps the attributes and the modification time.
    if (!::CopyFileW(WidePath(sFrom).c_str(), WidePath(sTo).c_str(), TRUE)) {
        const DWORD iError = ::GetLastError();
        if (iError != ERROR_FILE_EXISTS && iError != ERROR_ALREADY_EXISTS) {
            // A copy cut short is no copy.
            ::SetFileAttributesW(WidePath(sTo).c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW(WidePath(sTo).c_str());
        }
        return LastError(sTo, iError);
    }
    return {};
}

namespace {

struct CopyRules {
    FileId oSkip;
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

FsError CopyFolderContents(const std::string& sFrom, const std::string& sTo, const CopyRules& oRules) {
    if (FsError oFault = Injected(FsOp::ListFolder, sFrom); oFault.Failed()) return oFault;
    FsError oFail = ForEachEntry(sFrom, [&](const std::string& sName, const WIN32_FIND_DATAW& oData) -> FsError {
        const std::string sChildFrom = JoinPath(sFrom, sName);
        const std::string sChildTo = JoinPath(sTo, sName);
        const DWORD iAttributes = oData.dwFileAttributes;
        if (IsLink(iAttributes, oData.dwReserved0)) {
            // A link is copied as a link: a folder made with the link as its
            // template, or the link file itself.
            const BOOL bDone =
                iAttributes & FILE_ATTRIBUTE_DIRECTORY
                    ? ::CreateDirectoryExW(WidePath(sChildFrom).c_str(), WidePath(sChildTo).c_str(), nullptr)
                    : ::CopyFileExW(WidePath(sChildFrom).c_str(), WidePath(sChildTo).c_str(), nullptr, nullptr, nullptr,
                                    COPY_FILE_FAIL_IF_EXISTS | COPY_FILE_COPY_SYMLINK);
            return bDone ? FsError{} : LastError(sChildTo);
        }
        if (iAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            FileId oId;
            if (IdOf(sChildFrom, oId) && oId == oRules.oSkip) return {};  // the copy itself
            if (!::CreateDirectoryW(WidePath(sChildTo).c_str(), nullptr)) return LastError(sChildTo);
            if (FsError oChild = CopyFolderContents(sChildFrom, sChildTo, oRules); oChild.Failed()) {
                // A folder that cannot be listed is left out whole.
                if (oChild.sReason == kStopped || !LeftOut(oChild, sChildFrom, true, oRules)) return oChild;
                RemoveTree(sChildTo);
                return {};
            }
            ::SetFileAttributesW(WidePath(sChildTo).c_str(),
                                 iAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
            return {};
        }
        if (oRules.fLeaveOut && oRules.fLeaveOut(sName)) return {};
        FsError oCopy = CopyFile(sChildFrom, sChildTo);
        if (oCopy.Failed() && LeftOut(oCopy, sChildFrom, false, oRules)) return {};
        return oCopy;
    });
    if (oFail.Failed()) return oFail;
    if (oRules.fAfterFolder && !oRules.fAfterFolder()) return FsError{sTo, kStopped};
    return {};
}

}  // namespace

FsError detail::MakeOwnFolder(const std::string& sPath) {
    return ::CreateDirectoryW(WidePath(sPath).c_str(), nullptr) ? FsError{} : LastError(sPath);
}

FsError CopyTreeInto(const std::string& sSource, const std::string& sDest,
                     const std::function<bool(const std::string& sName)>& fLeaveOut,
                     const std::function<bool()>& fAfterFolder, const UnreadableEntry& fUnreadable) {
    const DWORD iSource = Attributes(sSource);
    if (iSource == INVALID_FILE_ATTRIBUTES) return LastError(sSource);
    if (!(iSource & FILE_ATTRIBUTE_DIRECTORY)) return ErrnoError(sSource, ENOTDIR);
    FileId oDest;
    if (!IdOf(sDest, oDest)) return LastError(sDest);
    return CopyFolderContents(sSource, sDest, CopyRules{oDest, fLeaveOut, fAfterFolder, fUnreadable});
}

// Without MOVEFILE_REPLACE_EXISTING a move never takes the place of an entry.
FsError RenameNoReplace(const std::string& sFrom, const std::string& sTo, bool& bExisted) {
    bExisted = false;
    if (::MoveFileExW(WidePath(sFrom).c_str(), WidePath(sTo).c_str(), MOVEFILE_WRITE_THROUGH)) return {};
    const DWORD iError = ::GetLastError();
    bExisted = iError == ERROR_ALREADY_EXISTS || iError == ERROR_FILE_EXISTS;
    return LastError(sTo, iError);
}

void RemoveTree(const std::string& sPath) {
    const std::wstring sWide = WidePath(sPath);
    const Entry oEntry = EntryOf(sPath);
    const DWORD iAttributes = oEntry.iAttributes;
    if (iAttributes == INVALID_FILE_ATTRIBUTES) return;
    if (iAttributes & FILE_ATTRIBUTE_READONLY)
        ::SetFileAttributesW(sWide.c_str(), iAttributes & ~FILE_ATTRIBUTE_READONLY);
    if (!(iAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::DeleteFileW(sWide.c_str());
        return;
    }
    if (!oEntry.bLink) {
        // A link to a folder goes as a link; only a real folder is emptied.
        // The names are read and the search closed before any subfolder is
        // opened: one search open at a time, at any depth.
        std::vector<std::string> aNames;
        (void)ForEachEntry(sPath, [&](std::string sName, const WIN32_FIND_DATAW&) {
            aNames.push_back(std::move(sName));
            return FsError{};
        });
        for (const std::string& sName : aNames) RemoveTree(JoinPath(sPath, sName));
    }
    ::RemoveDirectoryW(sWide.c_str());
}

FsError RealPath(const std::string& sPath, std::string& sReal) {
    Handle oFile(OpenFile(sPath, 0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
    if (!oFile.Valid()) return LastError(sPath);
    std::wstring sWide(MAX_PATH, L'\0');
    for (;;) {
        const DWORD iLength = ::GetFinalPathNameByHandleW(oFile.get(), sWide.data(), static_cast<DWORD>(sWide.size()),
                                                          FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (iLength == 0) return LastError(sPath);
        if (iLength < sWide.size()) {
            sWide.resize(iLength);
            break;
        }
        sWide.resize(iLength + 1);
    }
    // "\\?\C:\..." and "\\?\UNC\server\..." back to the usual forms.
    if (sWide.rfind(L"\\\\?\\UNC\\", 0) == 0)
        sWide = L"\\\\" + sWide.substr(8);
    else if (sWide.rfind(L"\\\\?\\", 0) == 0)
        sWide = sWide.substr(4);
    sReal = ToUtf8(sWide);
    return {};
}

}  // namespace tagshift::fs
