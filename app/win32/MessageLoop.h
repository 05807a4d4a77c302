// The message loop of the program, with the dialog keys (Tab, Enter,
// Escape, Alt+letter) for the windows registered here.
#pragma once

#include <windows.h>

namespace tagshift::win32 {

void AddKeyboardWindow(HWND window);
void RemoveKeyboardWindow(HWND window);
// Handles every pending message and returns; a WM_QUIT is kept for the
// main loop.
void PumpPending();
// Runs until WM_QUIT; returns its exit code.
int RunMessageLoop();

}  // namespace tagshift::win32
