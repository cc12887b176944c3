#include "CrashProcess.h"

#include "CrashTree.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tessarin::crash {

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Owns the argument strings for posix_spawn.
std::vector<char*> Argv(const std::string& program, const std::vector<std::string>& args,
                        std::vector<std::string>& storage)
{
    storage.clear();
    storage.push_back(program);
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    return argv;
}

} // namespace

bool RunResult::KilledBySigkill() const
{
    return !exited && code == SIGKILL;
}

std::string RunResult::Describe() const
{
    if (hung)
        return "hung, killed after " + std::to_string(seconds) + " s";
    return exited ? "exit " + std::to_string(code) : "signal " + std::to_string(code) + " (" + strsignal(code) + ")";
}

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::filesystem::path& outputFile, std::optional<double> killAfter, double limit)
{
    std::vector<std::string> storage;
    std::vector<char*> argv = Argv(program, args, storage);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);

    RunResult result;
    const Clock::time_point start = Clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        throw std::runtime_error("cannot start " + program + ": " + std::strerror(spawned));

    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR)
            throw std::runtime_error(std::string("waitpid: ") + std::strerror(errno));
        const double elapsed = Since(start);
        const bool killNow = killAfter && !result.killSent && elapsed >= *killAfter;
        const bool hungNow = !result.killSent && elapsed >= limit;
        if (killNow || hungNow) {
            ::kill(pid, SIGKILL);
            result.killSent = true;
            result.hung = hungNow && !killNow;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        // Short naps: the delay is met to a fraction of a millisecond
        // without keeping a core busy.
        double nap = 0.001;
        if (killAfter && *killAfter - elapsed < nap)
            nap = std::max(0.0, *killAfter - elapsed);
        std::this_thread::sleep_for(std::chrono::duration<double>(nap));
    }
    result.seconds = Since(start);
    result.exited = WIFEXITED(status);
    result.code = result.exited ? WEXITSTATUS(status) : WIFSIGNALED(status) ? WTERMSIG(status) : -1;
    ReadFile(outputFile, result.output);
    return result;
}

} // namespace tessarin::crash
