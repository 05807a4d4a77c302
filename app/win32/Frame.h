// What both top-level windows share: their window class and procedure (the
// frame is stored with its window and every message goes to its Handle),
// the layout of their controls from the design at the screen's dpi, the
// dialog keys, the white control backgrounds and the move to another dpi.
// Each frame adds only what is its own.
#pragma once

#include <windows.h>

#include <map>
#include <vector>

#include "app/win32/Dpi.h"
#include "ui/Design.h"

namespace tagshift::win32 {

// Registers a window class of this program (arrow cursor, the given
// background brush or none); true also when it is registered already.
bool RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, HBRUSH background = nullptr);

class Frame {
public:
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;

protected:
    explicit Frame(const ui::WindowDesign& design) : design_(design) {}
    virtual ~Frame() = default;

    // Registers the class, creates the window hidden, its controls
    // (CreateControls) and lays it out at its screen's dpi.
    bool CreateFrame(const wchar_t* className, DWORD style, DWORD exStyle, HBRUSH background = nullptr);
    // Derived destructors call it while the frame is still whole.
    void DestroyFrame();

    // The design's controls in the order they are made: the tab stops in
    // tab order first (the dialog keys walk the children in that order).
    std::vector<const ui::Control*> CreationOrder() const;
    HWND ControlWindow(ui::ControlId id) const;
    // Sizes the window to the design at the scale and moves every control
    // to its place; the frame's own part of the layout follows.
    void PlaceControls(const DpiScale& scale, bool centre);

    virtual void CreateControls() = 0;
    virtual void Layout(int screenDpi, bool centre) = 0;
    // A frame's own messages; it hands the others to Frame::Handle.
    virtual LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

    const ui::WindowDesign& design_;
    HWND window_ = nullptr;
    std::map<ui::ControlId, HWND> controls_;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

}  // namespace tagshift::win32
