// Test support on POSIX systems: starting programs.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include "TestSupport.h"

extern char** environ;

namespace tagshift::test {

int RunProgramToFiles(const std::vector<std::string>& arguments, const std::string& outFile,
                      const std::string& errFile) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (errFile.empty())
        ::posix_spawn_file_actions_adddup2(&actions, 1, 2);
    else
        ::posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t child = 0;
    const int error = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (error != 0) return -1;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void MakeHidden(const std::string&) {}

bool LinksAndModes() { return true; }

}  // namespace tagshift::test
