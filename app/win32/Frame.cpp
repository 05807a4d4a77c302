#include "app/win32/Frame.h"

#include <string>

#include "app/win32/MessageLoop.h"
#include "fs/Utf16.h"

namespace tagshift::win32 {

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

bool Frame::CreateFrame(const wchar_t* className, DWORD style, DWORD exStyle, HBRUSH background) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterWindowClass(instance, className, WindowProc, background)) return false;
    const std::wstring caption = fs::ToUtf16(design_.caption);
    window_ = CreateWindowExW(exStyle, className, caption.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, nullptr, nullptr, instance, this);
    if (!window_) return false;
    AddKeyboardWindow(window_);
    CreateControls();
    Layout(DpiOf(window_), true);
    // Focus frames and Alt letters shown from the start, not only once the
    // keyboard has been used.
    SendMessageW(window_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
    return true;
}

void Frame::DestroyFrame() {
    if (window_) DestroyWindow(window_);
}

std::vector<const ui::Control*> Frame::CreationOrder() const {
    std::vector<const ui::Control*> order;
    for (ui::ControlId id : ui::TabOrder(design_)) order.push_back(&ui::ControlOf(design_, id));
    for (const ui::Control& control : design_.controls)
        if (control.tabIndex < 0) order.push_back(&control);
    return order;
}

HWND Frame::ControlWindow(ui::ControlId id) const {
    const auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

void Frame::PlaceControls(const DpiScale& scale, bool centre) {
    SizeWindow(window_, scale.Pixels(design_.widthTwips), scale.Pixels(design_.heightTwips), scale.ScreenDpi(), centre);
    for (const ui::Control& control : design_.controls) {
        HWND child = ControlWindow(control.id);
        if (!child) continue;
        const RECT rect = scale.PixelRect(control.twips);
        MoveWindow(child, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, FALSE);
    }
}

LRESULT CALLBACK Frame::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* frame = reinterpret_cast<Frame*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    // Until CreateWindowExW has returned the frame has no window of its own.
    if (!frame || !frame->window_) return DefWindowProcW(window, message, wParam, lParam);
    return frame->Handle(message, wParam, lParam);
}

LRESULT Frame::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND self = window_;
    switch (message) {
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetBkColor(dc, RGB(255, 255, 255));
            SetTextColor(dc, RGB(0, 0, 0));
            return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
        }
        case WM_DPICHANGED: {
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(self, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                         suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
            Layout(HIWORD(wParam), false);
            return 0;
        }
        case WM_DESTROY: RemoveKeyboardWindow(self); break;
        case WM_NCDESTROY:
            window_ = nullptr;
            controls_.clear();
            break;
        default: break;
    }
    return DefWindowProcW(self, message, wParam, lParam);
}

}  // namespace tagshift::win32
