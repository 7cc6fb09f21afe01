// Running a built program on a POSIX host: fork, change folder, exec, and read
// its standard output through a pipe.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "PosixRun.h"
#include "TestSupport.h"

namespace testsupport {

namespace {

// The run itself; fileSizeLimit, when not negative, is set in the child
// before the program starts.
RunResult Run(const std::string& program, const std::filesystem::path& workDir,
              const std::vector<std::pair<std::string, std::string>>& env, const std::vector<std::string>& args,
              long long fileSizeLimit) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int fds[2];
    if (::pipe(fds) != 0) throw std::runtime_error("pipe failed");
    pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        ::dup2(fds[1], 1);
        ::close(fds[0]);
        ::close(fds[1]);
        int devnull = ::open("/dev/null", O_RDONLY);
        if (devnull >= 0) ::dup2(devnull, 0);
        for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
        if (fileSizeLimit >= 0) {
            rlimit rl{static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
            if (::setrlimit(RLIMIT_FSIZE, &rl) != 0) ::_exit(126);
        }
        if (::chdir(workDir.c_str()) != 0) ::_exit(127);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    RunResult result;
    char buf[4096];
    for (;;) {
        ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n <= 0) break;
        result.output.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

}  // namespace

RunResult RunProgram(const std::string& program, const std::filesystem::path& workDir,
                     const std::vector<std::pair<std::string, std::string>>& env,
                     const std::vector<std::string>& args) {
    return Run(program, workDir, env, args, -1);
}

RunResult RunProgramWithFileSizeLimit(const std::string& program, const std::filesystem::path& workDir,
                                      const std::vector<std::pair<std::string, std::string>>& env,
                                      std::size_t limitBytes) {
    return Run(program, workDir, env, {}, static_cast<long long>(limitBytes));
}

}  // namespace testsupport
