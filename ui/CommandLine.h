// The window program's own command-line options. Only a command line that is
// exactly one of them is answered (with a text to print, before any window
// or display is needed); every other command line is the argument text of
// the command-line start, as before, so that no folder name is taken away.
#pragma once

#include <optional>
#include <string>

namespace tagshift::ui {

// The caption of the box that shows the answer where there is no console.
inline constexpr const char* kCommandLineCaption = "Tagshift";

// The text that answers argumentText (what follows the program's name):
// the help for "--help", "-h" and "/?", the version for "--version";
// nothing for anything else. Lines end with '\n'.
std::optional<std::string> CommandLineAnswer(const std::string& argumentText);

}  // namespace tagshift::ui
