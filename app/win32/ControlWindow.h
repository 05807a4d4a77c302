// The main window's labels and pictures: one child window class that paints
// itself over the window's background picture (so that labels are
// transparent), draws the underline, the border and the focus frame, takes
// Tab, Enter, Space and clicks, and answers screen readers with the design's
// name, role and description.
//
// Its window text is its accessible name, its Alt letter marked ("Change
// &file types"); the text it shows is its own.
// Window properties kUnderlineProperty and kBorderProperty tell, without
// painting, what hover feedback it shows.
#pragma once

#include <windows.h>

#include <string>

#include "app/win32/Pictures.h"
#include "ui/Design.h"

namespace tagshift::win32 {

inline constexpr const wchar_t* kControlClass = L"TagshiftControl";
inline constexpr const wchar_t* kUnderlineProperty = L"Tagshift.Underline";
inline constexpr const wchar_t* kBorderProperty = L"Tagshift.Border";

// A child's window id: the design's control id, offset from the ids that
// dialogs reserve (IDOK, IDCANCEL...).
inline constexpr int kFirstControlId = 100;
inline int WindowIdOf(ui::ControlId id) { return kFirstControlId + static_cast<int>(id); }

// What a control needs from the window it lies on.
class ControlHost {
public:
    virtual ~ControlHost() = default;
    virtual void ControlActivated(ui::ControlId id) = 0;
    virtual void PointerOverControl(ui::ControlId id) = 0;
    // Paints the window's background under rect (in the window's client
    // coordinates) at (0, 0) of dc.
    virtual void PaintBackground(HDC dc, const RECT& rect) = 0;
    virtual HFONT FontOf(const ui::Control& design, bool underline) = 0;
    virtual const Bitmap* PictureOf(ui::ControlId id) = 0;
};

namespace control {

bool Register(HINSTANCE instance);
HWND Create(HWND parent, const ui::Control& design, ControlHost& host);

// The text shown; the accessible name follows it when the design gives none.
void SetText(HWND window, const std::wstring& text);
std::wstring Text(HWND window);
// The status line's name for a screen reader; what it shows stays.
void SetAnnouncement(HWND window, const std::wstring& text);
void SetUnderline(HWND window, bool underline);
void SetBorder(HWND window, bool border);

// The accessible name the design gives: its name, else the text shown.
std::wstring AccessibleName(const ui::Control& design, const std::wstring& text);

}  // namespace control

}  // namespace tagshift::win32
