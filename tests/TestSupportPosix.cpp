// Test support on POSIX systems: starting programs.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include "TestSupport.h"

extern char** environ;

namespace tagshift::test {

int RunProgramToFiles(const std::vector<std::string>& aArguments, const std::string& sOutFile,
                      const std::string& sErrFile) {
    std::vector<char*> aArgv;
    for (const std::string& sArgument : aArguments) aArgv.push_back(const_cast<char*>(sArgument.c_str()));
    aArgv.push_back(nullptr);
    posix_spawn_file_actions_t oActions;
    ::posix_spawn_file_actions_init(&oActions);
    ::posix_spawn_file_actions_addopen(&oActions, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(&oActions, 1, sOutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (sErrFile.empty())
        ::posix_spawn_file_actions_adddup2(&oActions, 1, 2);
    else
        ::posix_spawn_file_actions_addopen(&oActions, 2, sErrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t iChild = 0;
    const int iError = ::posix_spawnp(&iChild, aArgv[0], &oActions, nullptr, aArgv.data(), environ);
    ::posix_spawn_file_actions_destroy(&oActions);
    if (iError != 0) return -1;
    int iStatus = 0;
    while (::waitpid(iChild, &iStatus, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(iStatus) ? WEXITSTATUS(iStatus) : -1;
}

void MakeHidden(const std::string&) {}

bool LinksAndModes() { return true; }

}  // namespace tagshift::test
