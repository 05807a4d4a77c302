#include "app/win32/MessageLoop.h"

#include <algorithm>
#include <vector>

namespace tagshift::win32 {

namespace {

std::vector<HWND>& KeyboardWindows() {
    static std::vector<HWND> windows;
    return windows;
}

bool HandleDialogKeys(MSG& message) {
    HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (!root) return false;
    const std::vector<HWND>& windows = KeyboardWindows();
    if (std::find(windows.begin(), windows.end(), root) == windows.end()) return false;
    return IsDialogMessageW(root, &message) != FALSE;
}

void Dispatch(MSG& message) {
    if (HandleDialogKeys(message)) return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

}  // namespace

void AddKeyboardWindow(HWND window) { KeyboardWindows().push_back(window); }

void RemoveKeyboardWindow(HWND window) {
    std::vector<HWND>& windows = KeyboardWindows();
    windows.erase(std::remove(windows.begin(), windows.end(), window), windows.end());
}

void PumpPending() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        Dispatch(message);
    }
}

int RunMessageLoop() {
    MSG message;
    BOOL got;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) != 0) {
        if (got == -1) return 1;
        Dispatch(message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace tagshift::win32
