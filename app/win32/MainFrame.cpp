#include "app/win32/MainFrame.h"

#include <commctrl.h>

#include <algorithm>

#include "app/win32/Accessible.h"
#include "app/win32/Screen.h"
#include "fs/Utf16.h"

namespace tagshift::win32 {

namespace {

using fs::ToUtf16;
using fs::ToUtf8;

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;
constexpr int kAppIconId = 1;

RECT PixelRect(const ui::Rect& twips, int dpi) {
    const int left = ui::TwipsToPixels(twips.left, dpi), top = ui::TwipsToPixels(twips.top, dpi);
    return RECT{left, top, left + ui::TwipsToPixels(twips.width, dpi), top + ui::TwipsToPixels(twips.height, dpi)};
}

}  // namespace

MainFrame::MainFrame(PlatformServices& services)
    : services_(services), logic_(*this, services), design_(ui::MainWindowDesign()) {}

MainFrame::~MainFrame() {
    if (window_) DestroyWindow(window_);
    ClearFonts();
    if (bigIcon_) DestroyIcon(bigIcon_);
    if (smallIcon_) DestroyIcon(smallIcon_);
}

bool MainFrame::Start(const std::string& argumentText, int showCommand) {
    if (!window_ && !Create()) return false;
    // The command-line run happens before the window is first seen, as the
    // window's own Load did.
    logic_.Load(argumentText);
    ShowWindow(window_, showCommand);
    UpdateWindow(window_);
    SetForegroundWindow(window_);
    logic_.Shown();
    return true;
}

bool MainFrame::Create() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    control::Register(instance);
    if (!RegisterWindowClass(instance, kMainWindowClass, WindowProc)) return false;
    const std::wstring caption = ToUtf16(design_.caption);
    window_ = CreateWindowExW(kExStyle, kMainWindowClass, caption.c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, this);
    if (!window_) return false;
    services_.SetOwner(window_);
    AddKeyboardWindow(window_);
    CreateControls();
    Layout(DpiOf(window_), true);
    return true;
}

void MainFrame::CreateControls() {
    // Created in tab order, then the rest: the dialog keys walk the
    // children in the order they were made.
    std::vector<const ui::Control*> order;
    for (ui::ControlId id : ui::TabOrder(design_)) order.push_back(&ui::ControlOf(design_, id));
    for (const ui::Control& control : design_.controls)
        if (control.tabIndex < 0) order.push_back(&control);

    HINSTANCE instance = GetModuleHandleW(nullptr);
    for (const ui::Control* control : order) {
        HWND child = nullptr;
        const HMENU childId = reinterpret_cast<HMENU>(static_cast<INT_PTR>(WindowIdOf(control->id)));
        switch (control->kind) {
            case ui::ControlKind::ProgressBar: {
                const std::wstring name = control::AccessibleName(*control, ToUtf16(control->text));
                child = CreateWindowExW(0, PROGRESS_CLASSW, name.c_str(), WS_CHILD | PBS_SMOOTH, 0, 0, 0, 0, window_,
                                        childId, instance, nullptr);
                GiveDesignedAccessibility(child, *control);  // its value stays the system's
                break;
            }
            case ui::ControlKind::TextBox: {
                // The page patterns: below the client area, never seen, no focus.
                const std::wstring text = ToUtf16(control->text);
                child = CreateWindowExW(0, L"EDIT", text.c_str(), WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | ES_READONLY,
                                        0, 0, 0, 0, window_, childId, instance, nullptr);
                ui::RunSettings settings;
                settings.patterns = control->text;
                logic_.SetSettings(settings);
                break;
            }
            default: child = control::Create(window_, *control, *this); break;
        }
        if (child) controls_[control->id] = child;
    }

    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance,
                               nullptr);
    for (const ui::Control& control : design_.controls) {
        HWND child = ControlWindow(control.id);
        if (!control.tooltip || !child || !tooltip_) continue;
        std::wstring tip = ToUtf16(control.tooltip);
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = window_;
        tool.uId = reinterpret_cast<UINT_PTR>(child);
        tool.lpszText = tip.data();
        SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    if (tooltip_) SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 400);
    SendMessageW(window_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
}

void MainFrame::Layout(int screenDpi, bool centre) {
    layoutDpi_ = LayoutDpi(screenDpi, design_.pointSize100);
    const int dpi = layoutDpi_;
    const int width = ui::TwipsToPixels(design_.widthTwips, dpi), height = ui::TwipsToPixels(design_.heightTwips, dpi);
    SizeWindow(window_, width, height, screenDpi, centre);
    ClearFonts();
    for (const ui::Control& control : design_.controls) {
        HWND child = ControlWindow(control.id);
        if (!child) continue;
        const RECT rect = PixelRect(control.twips, dpi);
        MoveWindow(child, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, FALSE);
        if (control.kind == ui::ControlKind::TextBox)
            SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(control, false)), FALSE);
        if (control.picture) {
            // The pictures are drawn for 96 dpi, at their own size there.
            const SIZE own = Bitmap::NaturalSize(control.picture);
            pictures_[control.id].Load(control.picture, MulDiv(own.cx, dpi, 96), MulDiv(own.cy, dpi, 96));
        }
    }
    if (design_.backgroundPicture) background_.Load(design_.backgroundPicture, width, height);

    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (bigIcon_) DestroyIcon(bigIcon_);
    if (smallIcon_) DestroyIcon(smallIcon_);
    bigIcon_ = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kAppIconId), IMAGE_ICON,
                                             MulDiv(32, screenDpi, 96), MulDiv(32, screenDpi, 96), 0));
    smallIcon_ = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kAppIconId), IMAGE_ICON,
                                               MulDiv(16, screenDpi, 96), MulDiv(16, screenDpi, 96), 0));
    SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
    InvalidateRect(window_, nullptr, TRUE);
}

void MainFrame::ClearFonts() {
    for (auto& entry : fonts_) DeleteObject(entry.second);
    fonts_.clear();
}

HWND MainFrame::ControlWindow(ui::ControlId id) const {
    const auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

// --- ui::MainView ----------------------------------------------------------

void MainFrame::SetText(ui::ControlId id, const std::string& text) {
    HWND child = ControlWindow(id);
    if (!child) return;
    const std::wstring wide = ToUtf16(text);
    if (ui::ControlOf(design_, id).kind == ui::ControlKind::Label)
        control::SetText(child, wide);
    else
        SetWindowTextW(child, wide.c_str());
}

void MainFrame::SetUnderline(ui::ControlId id, bool underline) {
    if (HWND child = ControlWindow(id)) control::SetUnderline(child, underline);
}

void MainFrame::SetBorder(ui::ControlId id, bool border) {
    if (HWND child = ControlWindow(id)) control::SetBorder(child, border);
}

void MainFrame::SetEnabled(ui::ControlId id, bool enabled) {
    HWND child = ControlWindow(id);
    if (!child) return;
    // The focus never stays on a control that is switched off.
    if (!enabled && GetFocus() == child) ::SetFocus(window_);
    EnableWindow(child, enabled);
}

void MainFrame::SetFocus(ui::ControlId id) {
    HWND child = ControlWindow(id);
    if (!child || !IsWindowEnabled(child)) return;
    ::SetFocus(child);
    lastFocus_ = child;
}

std::optional<ui::ControlId> MainFrame::FocusedControl() {
    HWND focus = GetFocus();
    for (const auto& [id, child] : controls_)
        if (child == focus) return id;
    return std::nullopt;
}

void MainFrame::SetProgress(long long pagesDone, long long pagesInAll) {
    HWND bar = ControlWindow(ui::ControlId::ProgressBar);
    if (!bar) return;
    if (pagesInAll < 0) {
        ShowWindow(bar, SW_HIDE);
        return;
    }
    // The bar counts in ints: a huge site is shown in proportion.
    const long long range = std::max(1LL, pagesInAll);
    const int top = 10000;
    const int position = static_cast<int>(std::clamp(pagesDone, 0LL, range) * top / range);
    SendMessageW(bar, PBM_SETRANGE32, 0, top);
    SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    if (!IsWindowVisible(bar)) ShowWindow(bar, SW_SHOWNA);
}

void MainFrame::Announce(const std::string& text) {
    HWND status = ControlWindow(ui::ControlId::StatusLine);
    if (!status) return;
    control::SetText(status, ToUtf16(text));
    // The status line's name is its text: a screen reader reads the change.
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, status, OBJID_CLIENT, CHILDID_SELF);
    NotifyWinEvent(EVENT_OBJECT_LIVEREGIONCHANGED, status, OBJID_CLIENT, CHILDID_SELF);
}

void MainFrame::ProcessEvents() { PumpPending(); }

// --- ControlHost -------------------------------------------------------------

void MainFrame::ControlActivated(ui::ControlId id) { logic_.Activate(id); }

void MainFrame::PointerOverControl(ui::ControlId id) { logic_.PointerOver(id); }

void MainFrame::PaintBackground(HDC dc, const RECT& rect) {
    const RECT area{0, 0, rect.right - rect.left, rect.bottom - rect.top};
    HBRUSH brush = CreateSolidBrush(RGB(design_.background.red, design_.background.green, design_.background.blue));
    FillRect(dc, &area, brush);
    DeleteObject(brush);
    if (background_.Empty()) return;
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, background_.Handle());
    BitBlt(dc, 0, 0, area.right, area.bottom, source, rect.left, rect.top, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
}

HFONT MainFrame::FontOf(const ui::Control& design, bool underline) {
    const auto key = std::make_tuple(design.pointSize100, design.bold, underline);
    if (const auto found = fonts_.find(key); found != fonts_.end()) return found->second;
    HFONT handle = CreateDesignFont(design.pointSize100, design.bold, underline, layoutDpi_);
    fonts_[key] = handle;
    return handle;
}

const Bitmap* MainFrame::PictureOf(ui::ControlId id) {
    const auto found = pictures_.find(id);
    return found == pictures_.end() || found->second.Empty() ? nullptr : &found->second;
}

// --- Messages ----------------------------------------------------------------

LRESULT CALLBACK MainFrame::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* frame = reinterpret_cast<MainFrame*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!frame || !frame->window_) return DefWindowProcW(window, message, wParam, lParam);
    return frame->Handle(message, wParam, lParam);
}

LRESULT MainFrame::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND self = window_;
    switch (message) {
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window_, &paint);
            RECT client;
            GetClientRect(window_, &client);
            PaintBackground(dc, client);
            EndPaint(window_, &paint);
            return 0;
        }
        case WM_MOUSEMOVE: logic_.PointerOverBackground(); return 0;
        case WM_ACTIVATE:
            // The focus comes back to the control that had it.
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus && GetParent(focus) == window_) lastFocus_ = focus;
            } else if (lastFocus_ && IsWindow(lastFocus_) && IsWindowEnabled(lastFocus_)) {
                ::SetFocus(lastFocus_);
                return 0;
            }
            break;
        case WM_DPICHANGED: {
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(window_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                         suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
            Layout(HIWORD(wParam), false);
            return 0;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetBkColor(dc, RGB(255, 255, 255));
            SetTextColor(dc, RGB(0, 0, 0));
            return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
        }
        case WM_CLOSE:
            if (logic_.CloseRequested()) DestroyWindow(window_);
            return 0;
        case WM_DESTROY:
            RemoveKeyboardWindow(window_);
            PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY:
            window_ = nullptr;
            controls_.clear();
            break;
        default: break;
    }
    return DefWindowProcW(self, message, wParam, lParam);
}

}  // namespace tagshift::win32
