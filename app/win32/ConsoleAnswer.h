// Where tagshift.exe, a window program without a console of its own, puts
// the answer to --help or --version.
#pragma once

#include <string>

namespace tagshift::win32 {

// Writes text (UTF-8) to the file or pipe that standard output was
// redirected to; else to the console the program was started from
// (AttachConsole(ATTACH_PARENT_PROCESS)); else, started without one (from
// the shell or a shortcut), shows it in a message box.
void ShowAnswer(const std::string& text);

}  // namespace tagshift::win32
