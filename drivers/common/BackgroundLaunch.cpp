#include "BackgroundLaunch.h"

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace kerrion::driver {

bool LaunchInBackground(std::vector<std::string> words)
{
    char shell[] = "sh";
    char dashC[] = "-c";
    char script[] = "\"$@\" >/dev/null 2>&1 &";
    std::vector<char*> argv { shell, dashC, script, shell };
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, "/bin/sh", nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    waitpid(child, &status, 0); // the shell ends as soon as the program is in the background
    return true;
}

} // namespace kerrion::driver
