// The console on POSIX systems.
#include <unistd.h>

#include "cli/Console.h"

namespace tagshift::console {

namespace {

volatile std::sig_atomic_t* interrupted = nullptr;

extern "C" void OnInterrupt(int) {
    if (interrupted) *interrupted = 1;
}

}  // namespace

// A reader that goes away makes the write fail (EPIPE) instead of ending
// the run.
void Prepare() { std::signal(SIGPIPE, SIG_IGN); }

std::vector<std::string> Arguments(int argc, char** argv) { return std::vector<std::string>(argv + 1, argv + argc); }

void CatchInterrupts(volatile std::sig_atomic_t& flag) {
    interrupted = &flag;
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
}

bool ErrorsGoToTerminal() { return ::isatty(2) != 0; }

}  // namespace tagshift::console
