#include "app/win32/Screen.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "app/win32/FaceText.h"
#include "ui/Design.h"

namespace tagshift::win32 {

namespace {

std::vector<HWND>& KeyboardWindows() {
    static std::vector<HWND> windows;
    return windows;
}

template <typename Function>
Function User32Function(const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
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

bool RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, HBRUSH background) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

int DpiOf(HWND window) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
    if (getDpiForWindow && window) {
        if (const UINT dpi = getDpiForWindow(window)) return static_cast<int>(dpi);
    }
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

int LayoutDpi(int screenDpi, int designPointSize100) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    double scale = 1.0;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0) && metrics.lfMessageFont.lfHeight) {
        // The message font's height is in pixels of the system dpi.
        HDC screen = GetDC(nullptr);
        const int systemDpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        const double points = std::abs(metrics.lfMessageFont.lfHeight) * 72.0 / (systemDpi > 0 ? systemDpi : 96);
        scale = ui::TextScale(points, designPointSize100 / 100.0);
    }
    return static_cast<int>(std::lround(screenDpi * scale));
}

HFONT CreateDesignFont(int pointSize100, bool bold, bool underline, int dpi) {
    LOGFONTW font{};
    font.lfHeight = FontHeight(pointSize100, dpi);
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    font.lfUnderline = underline ? TRUE : FALSE;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = CLEARTYPE_QUALITY;
    lstrcpynW(font.lfFaceName, L"Arial", LF_FACESIZE);
    return CreateFontIndirectW(&font);
}

void SizeWindow(HWND window, int clientWidth, int clientHeight, int dpi, bool centre) {
    using AdjustFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = User32Function<AdjustFunction>("AdjustWindowRectExForDpi");
    RECT frame{0, 0, clientWidth, clientHeight};
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
    if (adjustForDpi)
        adjustForDpi(&frame, style, FALSE, exStyle, static_cast<UINT>(dpi));
    else
        AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    int x = 0, y = 0;
    if (centre) {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
        const RECT& work = monitor.rcWork;
        x = work.left + std::max(0L, (work.right - work.left - width) / 2);
        y = work.top + std::max(0L, (work.bottom - work.top - height) / 2);
    } else {
        flags |= SWP_NOMOVE;
    }
    SetWindowPos(window, nullptr, x, y, width, height, flags);
    // The frame may differ from what was asked (a menu bar wraps, a theme
    // pads): make the client area exact.
    RECT client;
    GetClientRect(window, &client);
    if (client.right != clientWidth || client.bottom != clientHeight)
        SetWindowPos(window, nullptr, 0, 0, width + clientWidth - client.right, height + clientHeight - client.bottom,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
}

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
