#include "app/win32/ControlWindow.h"

#include <oleacc.h>

#include "app/win32/Accessible.h"
#include "app/win32/FaceText.h"
#include "app/win32/Frame.h"
#include "fs/Utf16.h"

namespace tagshift::win32 {

namespace {

struct ControlState {
    const ui::Control* design;
    ControlHost* host;
    std::wstring text;
    std::wstring announcement = {};  // the status line's: the stage last announced
    bool underline = false;
    bool border = false;
    bool pressed = false;
};

ControlState* StateOf(HWND window) { return reinterpret_cast<ControlState*>(GetWindowLongPtrW(window, GWLP_USERDATA)); }

COLORREF ColourRef(ui::Colour colour) { return RGB(colour.red, colour.green, colour.blue); }

// A frame of width pixels inside rect.
void Frame(HDC dc, RECT rect, int width, ui::Colour colour) {
    HBRUSH brush = CreateSolidBrush(ColourRef(colour));
    for (int i = 0; i < width && rect.right - rect.left > 1 && rect.bottom - rect.top > 1; ++i) {
        FrameRect(dc, &rect, brush);
        InflateRect(&rect, -1, -1);
    }
    DeleteObject(brush);
}

void Paint(HWND window, ControlState& state) {
    PAINTSTRUCT paint;
    HDC screen = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    const int width = client.right, height = client.bottom;
    if (width > 0 && height > 0) {
        // Drawn off screen and copied at once: no flicker while the status
        // line changes many times a second.
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP buffer = CreateCompatibleBitmap(screen, width, height);
        HGDIOBJ oldBitmap = SelectObject(dc, buffer);
        RECT inParent = client;
        MapWindowPoints(window, GetParent(window), reinterpret_cast<POINT*>(&inParent), 2);
        const ui::Control& design = *state.design;
        if (design.opaque) {
            HBRUSH white = CreateSolidBrush(ColourRef(ui::kWhite));
            FillRect(dc, &client, white);
            DeleteObject(white);
        } else {
            state.host->PaintBackground(dc, inParent);
        }
        const bool enabled = IsWindowEnabled(window) != FALSE;
        if (const Bitmap* picture = state.host->PictureOf(design.id)) picture->Draw(dc, 0, 0, enabled ? 255 : 96);
        if (design.kind == ui::ControlKind::Label && !state.text.empty()) {
            HGDIOBJ oldFont = SelectObject(dc, state.host->FontOf(design, state.underline));
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, ColourRef(enabled ? design.textColour : ui::kGrey));
            RECT textRect = client;
            DrawTextW(dc, state.text.c_str(), static_cast<int>(state.text.size()), &textRect,
                      DT_LEFT | DT_TOP | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
            SelectObject(dc, oldFont);
        }
        if (state.border) Frame(dc, client, 1, ui::kBlack);
        if (GetFocus() == window) Frame(dc, client, 2, ui::kFocusBlue);
        BitBlt(screen, 0, 0, width, height, dc, 0, 0, SRCCOPY);
        SelectObject(dc, oldBitmap);
        DeleteObject(buffer);
        DeleteDC(dc);
    }
    EndPaint(window, &paint);
}

void SetFlag(HWND window, bool& flag, bool on, const wchar_t* property) {
    if (flag == on) return;
    flag = on;
    if (on)
        SetPropW(window, property, reinterpret_cast<HANDLE>(1));
    else
        RemovePropW(window, property);
    InvalidateRect(window, nullptr, FALSE);
}

bool TakesFocus(const ControlState& state) { return state.design->tabIndex >= 0; }

bool IsStatus(const ControlState& state) { return state.design->role == ui::Role::Status; }

LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    ControlState* state = StateOf(window);
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (!state) return DefWindowProcW(window, message, wParam, lParam);
    const ui::ControlId id = state->design->id;
    switch (message) {
        case WM_NCDESTROY:
            RemovePropW(window, kUnderlineProperty);
            RemovePropW(window, kBorderProperty);
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            delete state;
            return 0;
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: Paint(window, *state); return 0;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_ENABLE: InvalidateRect(window, nullptr, FALSE); return 0;
        case WM_GETDLGCODE: {
            // Enter is the control's own key, not the window's default button.
            const MSG* pending = reinterpret_cast<const MSG*>(lParam);
            if (pending && pending->message == WM_KEYDOWN && pending->wParam == VK_RETURN) return DLGC_WANTMESSAGE;
            // A button to the dialog manager: its Alt letter (marked in the
            // window text) sends it BM_CLICK.
            return state->design->mnemonic ? DLGC_BUTTON : 0;
        }
        case WM_KEYDOWN:
            if ((wParam == VK_RETURN || wParam == VK_SPACE) && (lParam & (1 << 30)) == 0) {
                state->host->ControlActivated(id);
                return 0;
            }
            break;
        case WM_MOUSEMOVE: state->host->PointerOverControl(id); return 0;
        case WM_LBUTTONDOWN:
            if (TakesFocus(*state)) ::SetFocus(window);
            state->pressed = true;
            SetCapture(window);
            return 0;
        case WM_LBUTTONUP: {
            const bool wasPressed = state->pressed;
            state->pressed = false;
            if (GetCapture() == window) ReleaseCapture();
            RECT client;
            GetClientRect(window, &client);
            const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            if (wasPressed && PtInRect(&client, at)) state->host->ControlActivated(id);
            return 0;
        }
        case WM_CAPTURECHANGED: state->pressed = false; return 0;
        case BM_CLICK:
            // As a click: the control takes the focus first (its Alt letter
            // comes this way too), and gets it back when a dialog it opens closes.
            if (TakesFocus(*state)) ::SetFocus(window);
            state->host->ControlActivated(id);
            return 0;
        case WM_GETOBJECT:
            if (static_cast<long>(lParam) == OBJID_CLIENT) {
                AccessibleFacts facts;
                facts.name = control::AccessibleName(*state->design, state->text);
                if (IsStatus(*state)) {
                    // Its name is the stage announced, its value what it shows now.
                    if (!state->announcement.empty()) facts.name = state->announcement;
                    facts.value = state->text;
                }
                if (state->design->accessibleDescription)
                    facts.description = fs::ToUtf16(state->design->accessibleDescription);
                facts.role = state->design->role;
                if (const LRESULT answer = AnswerGetObject(window, wParam, facts)) return answer;
            }
            break;
        default: break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

namespace control {

bool Register(HINSTANCE instance) { return RegisterWindowClass(instance, kControlClass, ControlProc); }

HWND Create(HWND parent, const ui::Control& design, ControlHost& host) {
    auto* state = new ControlState{&design, &host, fs::ToUtf16(design.text)};
    DWORD style = WS_CHILD | WS_VISIBLE;
    if (design.tabIndex >= 0) style |= WS_TABSTOP;
    const std::wstring name = MnemonicCaption(AccessibleName(design, state->text), design.mnemonic);
    HWND window = CreateWindowExW(0, kControlClass, name.c_str(), style, 0, 0, 0, 0, parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(WindowIdOf(design.id))),
                                  GetModuleHandleW(nullptr), state);
    if (!window) delete state;
    return window;
}

std::wstring AccessibleName(const ui::Control& design, const std::wstring& text) {
    return design.accessibleName ? fs::ToUtf16(design.accessibleName) : text;
}

void SetText(HWND window, const std::wstring& text) {
    ControlState* state = StateOf(window);
    if (!state || state->text == text) return;
    state->text = text;
    // The status line's name changes when a stage is announced, not with
    // every file shown.
    if (!state->design->accessibleName && !IsStatus(*state)) SetWindowTextW(window, text.c_str());
    InvalidateRect(window, nullptr, FALSE);
}

void SetAnnouncement(HWND window, const std::wstring& text) {
    ControlState* state = StateOf(window);
    if (!state) return;
    state->announcement = text;
    SetWindowTextW(window, text.c_str());
}

std::wstring Text(HWND window) {
    const ControlState* state = StateOf(window);
    return state ? state->text : std::wstring();
}

void SetUnderline(HWND window, bool underline) {
    if (ControlState* state = StateOf(window)) SetFlag(window, state->underline, underline, kUnderlineProperty);
}

void SetBorder(HWND window, bool border) {
    if (ControlState* state = StateOf(window)) SetFlag(window, state->border, border, kBorderProperty);
}

}  // namespace control

}  // namespace tagshift::win32
