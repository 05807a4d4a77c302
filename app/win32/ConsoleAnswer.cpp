#include "app/win32/ConsoleAnswer.h"

#include <windows.h>

#include "fs/Utf16.h"
#include "ui/CommandLine.h"

namespace tagshift::win32 {

void ShowAnswer(const std::string& text) {
    // "tagshift.exe --version > v.txt" hands the program the file itself.
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    const DWORD type = output && output != INVALID_HANDLE_VALUE ? GetFileType(output) : FILE_TYPE_UNKNOWN;
    if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) {
        DWORD written = 0;
        WriteFile(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const std::wstring wide = fs::ToUtf16(text);
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
        if (console != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            const bool shown =
                WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) != FALSE;
            CloseHandle(console);
            FreeConsole();
            if (shown) return;
        } else {
            FreeConsole();
        }
    }
    MessageBoxW(nullptr, wide.c_str(), fs::ToUtf16(ui::kCommandLineCaption).c_str(), MB_OK | MB_ICONINFORMATION);
}

}  // namespace tagshift::win32
