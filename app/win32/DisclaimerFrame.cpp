#include "app/win32/DisclaimerFrame.h"

#include <algorithm>
#include <vector>

#include "app/win32/Accessible.h"
#include "app/win32/ControlWindow.h"
#include "app/win32/FaceText.h"
#include "app/win32/Screen.h"
#include "fs/Utf16.h"

namespace tagshift::win32 {

namespace {

using fs::ToUtf16;

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME;

}  // namespace

DisclaimerFrame::~DisclaimerFrame() {
    if (window_) DestroyWindow(window_);
    ClearFonts();
}

void DisclaimerFrame::Show() {
    if (!window_ && !Create()) {
        // Without its window the disclaimer cannot be read: leave as Exit would.
        if (logic_) logic_->Closed();
        return;
    }
    services_.SetOwner(window_);
    ShowWindow(window_, SW_SHOWNORMAL);
    UpdateWindow(window_);
    SetForegroundWindow(window_);
}

void DisclaimerFrame::Unload() {
    if (!window_) return;
    ticked_ = DontShowAgainTicked();
    DestroyWindow(window_);
}

bool DisclaimerFrame::DontShowAgainTicked() {
    HWND box = ControlWindow(ui::ControlId::DontShowAgain);
    if (!box) return ticked_;
    return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void DisclaimerFrame::SetFocus(ui::ControlId id) {
    if (HWND child = ControlWindow(id)) ::SetFocus(child);
}

HWND DisclaimerFrame::ControlWindow(ui::ControlId id) const {
    const auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

bool DisclaimerFrame::Create() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterWindowClass(instance, kDisclaimerClass, WindowProc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))))
        return false;
    const std::wstring caption = ToUtf16(design_.caption);
    window_ = CreateWindowExW(kExStyle, kDisclaimerClass, caption.c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, this);
    if (!window_) return false;
    AddKeyboardWindow(window_);

    std::vector<const ui::Control*> order;  // tab stops first, in tab order
    for (ui::ControlId id : ui::TabOrder(design_)) order.push_back(&ui::ControlOf(design_, id));
    for (const ui::Control& control : design_.controls)
        if (control.tabIndex < 0) order.push_back(&control);
    for (const ui::Control* control : order) {
        const std::wstring caption = MnemonicCaption(ToUtf16(control->text), control->mnemonic);
        DWORD style = WS_CHILD | WS_VISIBLE;
        if (control->tabIndex >= 0) style |= WS_TABSTOP;
        switch (control->kind) {
            case ui::ControlKind::CheckBox: style |= BS_AUTOCHECKBOX; break;
            case ui::ControlKind::Button:
                style |= control->id == ui::ControlId::ContinueButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
                break;
            case ui::ControlKind::Line: style |= SS_BLACKRECT; break;
            default: style |= SS_LEFT | SS_NOPREFIX; break;
        }
        const bool isButton = control->kind == ui::ControlKind::CheckBox || control->kind == ui::ControlKind::Button;
        HWND child = CreateWindowExW(0, isButton ? L"BUTTON" : L"STATIC", caption.c_str(), style, 0, 0, 0, 0, window_,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(WindowIdOf(control->id))), instance,
                                     nullptr);
        if (!child) continue;
        controls_[control->id] = child;
        GiveDesignedAccessibility(child, *control);
    }
    Layout(DpiOf(window_), true);
    // Focus frames and Alt letters shown from the start, not only once the
    // keyboard has been used.
    SendMessageW(window_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
    return true;
}

void DisclaimerFrame::ClearFonts() {
    if (regular_) DeleteObject(regular_);
    if (bold_) DeleteObject(bold_);
    regular_ = bold_ = nullptr;
}

void DisclaimerFrame::Layout(int screenDpi, bool centre) {
    const int dpi = LayoutDpi(screenDpi, design_.pointSize100);
    SizeWindow(window_, ui::TwipsToPixels(design_.widthTwips, dpi), ui::TwipsToPixels(design_.heightTwips, dpi),
               screenDpi, centre);
    ClearFonts();
    regular_ = CreateDesignFont(design_.pointSize100, false, false, dpi);
    bold_ = CreateDesignFont(design_.pointSize100, true, false, dpi);
    for (const ui::Control& control : design_.controls) {
        HWND child = ControlWindow(control.id);
        if (!child) continue;
        const int left = ui::TwipsToPixels(control.twips.left, dpi), top = ui::TwipsToPixels(control.twips.top, dpi);
        const int width = ui::TwipsToPixels(control.twips.width, dpi);
        const int height = std::max(1, ui::TwipsToPixels(control.twips.height, dpi));  // the rule stays a line
        MoveWindow(child, left, top, width, height, FALSE);
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(control.bold ? bold_ : regular_), FALSE);
    }
    InvalidateRect(window_, nullptr, TRUE);
}

LRESULT CALLBACK DisclaimerFrame::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* frame = reinterpret_cast<DisclaimerFrame*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!frame || !frame->window_) return DefWindowProcW(window, message, wParam, lParam);
    return frame->Handle(window, message, wParam, lParam);
}

LRESULT DisclaimerFrame::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const int continueId = WindowIdOf(ui::ControlId::ContinueButton);
    const int exitId = WindowIdOf(ui::ControlId::ExitButton);
    switch (message) {
        case DM_GETDEFID: {
            // Enter presses Exit while Exit has the focus, else Continue.
            const bool onExit = GetFocus() == ControlWindow(ui::ControlId::ExitButton);
            return MAKELRESULT(onExit ? exitId : continueId, DC_HASDEFID);
        }
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (HIWORD(wParam) != BN_CLICKED && id != IDCANCEL && id != IDOK) break;
            if (!logic_) return 0;
            if (id == continueId || id == IDOK)
                logic_->Continue();
            else if (id == exitId)
                logic_->Exit();
            else if (id == IDCANCEL)
                logic_->Closed();  // Escape
            return 0;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetBkColor(dc, RGB(255, 255, 255));
            SetTextColor(dc, RGB(0, 0, 0));
            return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
        }
        case WM_DPICHANGED: {
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                         suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
            Layout(HIWORD(wParam), false);
            return 0;
        }
        case WM_CLOSE:
            if (logic_) logic_->Closed();
            return 0;
        case WM_DESTROY:
            ticked_ = DontShowAgainTicked();
            RemoveKeyboardWindow(window);
            break;
        case WM_NCDESTROY:
            window_ = nullptr;
            controls_.clear();
            break;
        default: break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace tagshift::win32
