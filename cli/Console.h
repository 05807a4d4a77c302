// What the headless converter needs from the console it runs in; one file per
// platform implements it.
#pragma once

#include <csignal>
#include <string>
#include <vector>

namespace tagshift::console {

// Readies the standard streams: on Windows the console shows UTF-8 and the
// output is written byte for byte (no LF to CR LF translation). A reader
// that goes away (a closed pipe) never ends the run: writes to standard
// output or error then fail quietly and the log is still written.
void Prepare();

// The program's arguments after its name, as UTF-8 on Windows (whatever the
// code page), as given elsewhere.
std::vector<std::string> Arguments(int argc, char** argv);

// Sets flag to 1 on Ctrl-C or a request to terminate, instead of ending the
// program.
void CatchInterrupts(volatile std::sig_atomic_t& flag);

// True when standard error is a terminal (a console window on Windows).
bool ErrorsGoToTerminal();

}  // namespace tagshift::console
