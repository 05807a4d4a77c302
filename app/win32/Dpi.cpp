#include "app/win32/Dpi.h"

#include <algorithm>
#include <cmath>

#include "app/win32/FaceText.h"

namespace tagshift::win32 {

namespace {

// Calls of newer Windows, looked up so that the program starts on older ones.
template <typename Function>
Function User32Function(const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

int SystemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

}  // namespace

int DpiOf(HWND window) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
    if (getDpiForWindow && window) {
        if (const UINT dpi = getDpiForWindow(window)) return static_cast<int>(dpi);
    }
    return SystemDpi();
}

DpiScale::DpiScale(int screenDpi, int designPointSize100) : screenDpi_(screenDpi), layoutDpi_(screenDpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0) && metrics.lfMessageFont.lfHeight) {
        // The message font's height is in pixels of the system dpi.
        const double points = std::abs(metrics.lfMessageFont.lfHeight) * 72.0 / SystemDpi();
        layoutDpi_ = static_cast<int>(std::lround(screenDpi * ui::TextScale(points, designPointSize100 / 100.0)));
    }
}

RECT DpiScale::PixelRect(const ui::Rect& twips) const {
    const int left = Pixels(twips.left), top = Pixels(twips.top);
    return RECT{left, top, left + Pixels(twips.width), top + std::max(1, Pixels(twips.height))};
}

SIZE DpiScale::PictureSize(SIZE at96) const {
    return SIZE{MulDiv(at96.cx, layoutDpi_, 96), MulDiv(at96.cy, layoutDpi_, 96)};
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

}  // namespace tagshift::win32
