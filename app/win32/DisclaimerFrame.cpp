#include "app/win32/DisclaimerFrame.h"

#include "app/win32/Accessible.h"
#include "app/win32/ControlWindow.h"
#include "app/win32/FaceText.h"
#include "fs/Utf16.h"

namespace tagshift::win32 {

namespace {

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME;

}  // namespace

DisclaimerFrame::~DisclaimerFrame() {
    DestroyFrame();
    ClearFonts();
}

void DisclaimerFrame::Show() {
    if (!window_ &&
        !CreateFrame(kDisclaimerClass, kStyle, kExStyle, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)))) {
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

void DisclaimerFrame::CreateControls() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    for (const ui::Control* control : CreationOrder()) {
        const std::wstring caption = MnemonicCaption(fs::ToUtf16(control->text), control->mnemonic);
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
        HWND child =
            CreateWindowExW(0, isButton ? L"BUTTON" : L"STATIC", caption.c_str(), style, 0, 0, 0, 0, window_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(WindowIdOf(control->id))), instance, nullptr);
        if (!child) continue;
        controls_[control->id] = child;
        GiveDesignedAccessibility(child, *control);
    }
}

void DisclaimerFrame::ClearFonts() {
    if (regular_) DeleteObject(regular_);
    if (bold_) DeleteObject(bold_);
    regular_ = bold_ = nullptr;
}

void DisclaimerFrame::Layout(int screenDpi, bool centre) {
    const DpiScale scale(screenDpi, design_.pointSize100);
    PlaceControls(scale, centre);
    ClearFonts();
    regular_ = CreateDesignFont(design_.pointSize100, false, false, scale.LayoutDpi());
    bold_ = CreateDesignFont(design_.pointSize100, true, false, scale.LayoutDpi());
    for (const ui::Control& control : design_.controls)
        if (HWND child = ControlWindow(control.id))
            SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(control.bold ? bold_ : regular_), FALSE);
    InvalidateRect(window_, nullptr, TRUE);
}

LRESULT DisclaimerFrame::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
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
        case WM_CLOSE:
            if (logic_) logic_->Closed();
            return 0;
        case WM_DESTROY: ticked_ = DontShowAgainTicked(); break;
        default: break;
    }
    return Frame::Handle(message, wParam, lParam);
}

}  // namespace tagshift::win32
