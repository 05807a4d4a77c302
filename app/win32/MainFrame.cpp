#include "app/win32/MainFrame.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

#include "app/win32/Accessible.h"
#include "app/win32/Drops.h"
#include "app/win32/MessageLoop.h"
#include "fs/Utf16.h"

namespace tagshift::win32 {

namespace {

using fs::ToUtf16;
using fs::ToUtf8;

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;
constexpr int kAppIconId = 1;

}  // namespace

MainFrame::MainFrame(PlatformServices& services)
    : Frame(ui::MainWindowDesign()), services_(services), logic_(*this, services) {}

MainFrame::~MainFrame() {
    DestroyFrame();
    ClearFonts();
    if (bigIcon_) DestroyIcon(bigIcon_);
    if (smallIcon_) DestroyIcon(smallIcon_);
}

bool MainFrame::Start(const std::string& argumentText, int showCommand) {
    if (!window_) {
        control::Register(GetModuleHandleW(nullptr));
        if (!CreateFrame(kMainWindowClass, kStyle, kExStyle)) return false;
    }
    // The command-line run happens before the window is first seen, as the
    // window's own Load did.
    logic_.Load(argumentText);
    ShowWindow(window_, showCommand);
    UpdateWindow(window_);
    SetForegroundWindow(window_);
    logic_.Shown();
    return true;
}

void MainFrame::CreateControls() {
    services_.SetOwner(window_);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    for (const ui::Control* control : CreationOrder()) {
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
    CreateTooltips();
    DragAcceptFiles(window_, TRUE);
}

void MainFrame::CreateTooltips() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    tooltip_ =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance, nullptr);
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
}

void MainFrame::Layout(int screenDpi, bool centre) {
    const DpiScale scale(screenDpi, design_.pointSize100);
    layoutDpi_ = scale.LayoutDpi();
    PlaceControls(scale, centre);
    ClearFonts();
    for (const ui::Control& control : design_.controls) {
        HWND child = ControlWindow(control.id);
        if (!child) continue;
        if (control.kind == ui::ControlKind::TextBox)
            SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(control, false)), FALSE);
        if (control.picture) {
            // The pictures are drawn for 96 dpi, at their own size there.
            const SIZE size = scale.PictureSize(Bitmap::NaturalSize(control.picture));
            pictures_[control.id].Load(control.picture, size.cx, size.cy);
        }
    }
    if (design_.backgroundPicture)
        background_.Load(design_.backgroundPicture, scale.Pixels(design_.widthTwips),
                         scale.Pixels(design_.heightTwips));

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
    // The visible line keeps the status text; a screen reader hears the stage.
    control::SetAnnouncement(status, ToUtf16(text));
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

LRESULT MainFrame::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
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
        case WM_DROPFILES: {
            auto drop = reinterpret_cast<HDROP>(wParam);
            const std::vector<std::string> paths = DroppedPaths(drop);
            DragFinish(drop);
            logic_.Dropped(paths);
            return 0;
        }
        case WM_COPYDATA:
            if (HDROP drop = TestDrop(*reinterpret_cast<const COPYDATASTRUCT*>(lParam))) {
                // Posted, so that the sender is not held while a refusal's box is open.
                PostMessageW(window_, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
                return TRUE;
            }
            break;
        case WM_CLOSE:
            if (logic_.CloseRequested()) DestroyWindow(window_);
            return 0;
        case WM_DESTROY: PostQuitMessage(0); break;
        default: break;
    }
    return Frame::Handle(message, wParam, lParam);
}

}  // namespace tagshift::win32
