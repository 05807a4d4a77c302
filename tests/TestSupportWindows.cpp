// Test support on Windows: starting programs.
#include "TestSupport.h"
#include "fs/Utf16.h"

// After the project's headers: windows.h makes Yield and CopyFile macros.
#include <windows.h>

namespace tagshift::test {

namespace {

// One argument quoted so that the C runtime's parser gives it back as it is.
std::wstring Quoted(const std::wstring& sArgument) {
    if (!sArgument.empty() && sArgument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return sArgument;
    std::wstring sQuoted = L"\"";
    std::size_t iBackslashes = 0;
    for (wchar_t c : sArgument) {
        if (c == L'\\') {
            ++iBackslashes;
            continue;
        }
        sQuoted.append(c == L'"' ? iBackslashes * 2 + 1 : iBackslashes, L'\\');
        iBackslashes = 0;
        sQuoted += c;
    }
    sQuoted.append(iBackslashes * 2, L'\\');
    return sQuoted + L"\"";
}

HANDLE OpenForChild(const std::string& sPath, bool bWrite) {
    SECURITY_ATTRIBUTES oInherit{sizeof oInherit, nullptr, TRUE};
    return ::CreateFileW(fs::ToUtf16(sPath).c_str(), bWrite ? GENERIC_WRITE : GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, &oInherit, bWrite ? CREATE_ALWAYS : OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

int RunProgramToFiles(const std::vector<std::string>& aArguments, const std::string& sOutFile,
                      const std::string& sErrFile) {
    std::wstring sCommandLine;
    for (const std::string& sArgument : aArguments) {
        if (!sCommandLine.empty()) sCommandLine += L' ';
        sCommandLine += Quoted(fs::ToUtf16(sArgument));
    }
    HANDLE hIn = OpenForChild("NUL", false);
    HANDLE hOut = OpenForChild(sOutFile, true);
    HANDLE hErr = sErrFile.empty() ? hOut : OpenForChild(sErrFile, true);
    STARTUPINFOW oStart{};
    oStart.cb = sizeof oStart;
    oStart.dwFlags = STARTF_USESTDHANDLES;
    oStart.hStdInput = hIn;
    oStart.hStdOutput = hOut;
    oStart.hStdError = hErr;
    PROCESS_INFORMATION oProcess{};
    const BOOL bStarted =
        ::CreateProcessW(nullptr, sCommandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &oStart, &oProcess);
    ::CloseHandle(hIn);
    ::CloseHandle(hOut);
    if (hErr != hOut) ::CloseHandle(hErr);
    if (!bStarted) return -1;
    ::WaitForSingleObject(oProcess.hProcess, INFINITE);
    DWORD iStatus = 0;
    ::GetExitCodeProcess(oProcess.hProcess, &iStatus);
    ::CloseHandle(oProcess.hThread);
    ::CloseHandle(oProcess.hProcess);
    return static_cast<int>(iStatus);
}

void MakeHidden(const std::string& sPath) {
    const std::wstring sWide = fs::ToUtf16(sPath);
    ::SetFileAttributesW(sWide.c_str(), ::GetFileAttributesW(sWide.c_str()) | FILE_ATTRIBUTE_HIDDEN);
}

bool LinksAndModes() { return false; }

}  // namespace tagshift::test
