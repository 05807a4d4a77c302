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

volatile std::sig_atomic_t* g_pInterrupted = nullptr;

BOOL WINAPI OnControl(DWORD iEvent) {
    switch (iEvent) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
            if (g_pInterrupted) *g_pInterrupted = 1;
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
    std::vector<std::string> aArguments;
    int iCount = 0;
    LPWSTR* pArguments = ::CommandLineToArgvW(::GetCommandLineW(), &iCount);
    if (!pArguments) return aArguments;
    for (int i = 1; i < iCount; ++i) aArguments.push_back(fs::ToUtf8(pArguments[i]));
    ::LocalFree(pArguments);
    return aArguments;
}

void CatchInterrupts(volatile std::sig_atomic_t& bFlag) {
    g_pInterrupted = &bFlag;
    ::SetConsoleCtrlHandler(OnControl, TRUE);
}

bool ErrorsGoToTerminal() {
    DWORD iMode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &iMode) != 0;
}

}  // namespace tagshift::console
