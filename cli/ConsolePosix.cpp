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

// A closed output pipe, and a write past the file-size limit (ulimit -f),
// make the write fail (EPIPE, EFBIG), so that the run can end cleanly and
// say why, instead of killing the process with its tree half-built.
void Prepare() {
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

std::vector<std::string> Arguments(int argc, char** argv) { return std::vector<std::string>(argv + 1, argv + argc); }

void CatchInterrupts(volatile std::sig_atomic_t& flag) {
    interrupted = &flag;
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
}

bool ErrorsGoToTerminal() { return ::isatty(2) != 0; }

}  // namespace tagshift::console
