// Test support on Windows: starting programs.
#include "TestSupport.h"
#include "fs/Utf16.h"

// After the project's headers: windows.h makes Yield and CopyFile macros.
#include <windows.h>

namespace tagshift::test {

namespace {

// One argument quoted so that the C runtime's parser gives it back as it is.
std::wstring Quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

HANDLE OpenForChild(const std::string& path, bool writable) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return ::CreateFileW(fs::ToUtf16(path).c_str(), writable ? GENERIC_WRITE : GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, writable ? CREATE_ALWAYS : OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

int RunProgramToFiles(const std::vector<std::string>& arguments, const std::string& outFile,
                      const std::string& errFile) {
    std::wstring commandLine;
    for (const std::string& argument : arguments) {
        if (!commandLine.empty()) commandLine += L' ';
        commandLine += Quoted(fs::ToUtf16(argument));
    }
    HANDLE in = OpenForChild("NUL", false);
    HANDLE out = OpenForChild(outFile, true);
    HANDLE err = errFile.empty() ? out : OpenForChild(errFile, true);
    STARTUPINFOW start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = in;
    start.hStdOutput = out;
    start.hStdError = err;
    PROCESS_INFORMATION process{};
    const BOOL started =
        ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &process);
    ::CloseHandle(in);
    ::CloseHandle(out);
    if (err != out) ::CloseHandle(err);
    if (!started) return -1;
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    ::GetExitCodeProcess(process.hProcess, &status);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return static_cast<int>(status);
}

void MakeHidden(const std::string& path) {
    const std::wstring wide = fs::ToUtf16(path);
    ::SetFileAttributesW(wide.c_str(), ::GetFileAttributesW(wide.c_str()) | FILE_ATTRIBUTE_HIDDEN);
}

bool LinksAndModes() { return false; }

}  // namespace tagshift::test
