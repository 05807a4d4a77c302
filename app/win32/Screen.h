// The screen a window is on: its dots per inch (per monitor where Windows
// knows it), the window size for a client area, and the message loop both
// windows share.
#pragma once

#include <windows.h>

namespace tagshift::win32 {

// Registers a window class of this program (arrow cursor, the given
// background brush or none); true also when it is registered already.
bool RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, HBRUSH background = nullptr);

// The window's dpi: GetDpiForWindow where Windows has it (10 and later),
// else the screen's LOGPIXELSY.
int DpiOf(HWND window);

// The dpi the design is laid out at: the screen's, enlarged by how much
// larger than the design's the user's text is (ui::TextScale).
int LayoutDpi(int screenDpi, int designPointSize100);

// The windows' font (Arial, as the design's sans-serif) at pointSize100 /
// 100 points for dpi.
HFONT CreateDesignFont(int pointSize100, bool bold, bool underline, int dpi);

// Sizes and places a top-level window so that its client area is
// clientWidth x clientHeight; centred on its monitor when centre is true.
void SizeWindow(HWND window, int clientWidth, int clientHeight, int dpi, bool centre);

// The message loop of the program, with the dialog keys (Tab, Enter,
// Escape, Alt+letter) for the windows registered here.
void AddKeyboardWindow(HWND window);
void RemoveKeyboardWindow(HWND window);
// Handles every pending message and returns; a WM_QUIT is kept for the
// main loop.
void PumpPending();
// Runs until WM_QUIT; returns its exit code.
int RunMessageLoop();

}  // namespace tagshift::win32
