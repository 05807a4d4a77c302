// An MSAA object for the face's own child windows: the system's standard
// object of the window, with the name, role, description, state and default
// action a screen reader should hear from the design.
#pragma once

#include <windows.h>

#include <string>

#include "ui/Design.h"

namespace tagshift::win32 {

struct AccessibleFacts {
    std::wstring name;
    std::wstring description;
    std::wstring value;  // the status line's: what it shows
    ui::Role role = ui::Role::None;  // None: the standard object's role
};

// The answer to WM_GETOBJECT for OBJID_CLIENT; 0 when the system's object
// cannot be had (the system then answers for the window).
LRESULT AnswerGetObject(HWND window, WPARAM wParam, const AccessibleFacts& facts);

// Makes a standard control (a button, a static, the progress bar) answer
// with the design's name, role and description instead of what the system
// guesses from its class; its value and state stay the system's. Controls
// the design gives no role are left alone.
void GiveDesignedAccessibility(HWND window, const ui::Control& design);

// The MSAA role of a design role.
long MsaaRole(ui::Role role);

}  // namespace tagshift::win32
