// The console on Windows.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

#include "cli/Console.h"
#include "fs/Utf16.h"

namespace tagshift::console {

namespace {

volatile std::sig_atomic_t* interrupted = nullptr;

BOOL WINAPI OnControl(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
            if (interrupted) *interrupted = 1;
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void Prepare() {
    ::SetConsoleOutputCP(CP_UTF8);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

std::vector<std::string> Arguments(int, char**) {
    // The narrow argv holds the ANSI code page's idea of the names; the wide
    // command line holds them all.
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* wideArguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wideArguments) return arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(fs::ToUtf8(wideArguments[i]));
    ::LocalFree(wideArguments);
    return arguments;
}

void CatchInterrupts(volatile std::sig_atomic_t& flag) {
    interrupted = &flag;
    ::SetConsoleCtrlHandler(OnControl, TRUE);
}

bool ErrorsGoToTerminal() {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

}  // namespace tagshift::console
