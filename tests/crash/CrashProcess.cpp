#include "CrashProcess.h"

#include "CrashTree.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <string_view>
#include <sys/inotify.h>
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

// Counts each folder's temporary files as they come and go, from before the
// start: seen as they happen, where polling would miss a short wait.
class TemporaryWatch {
public:
    TemporaryWatch(const std::filesystem::path& tree, unsigned wanted, bool atRename)
        : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)), m_wanted(static_cast<int>(wanted)), m_atRename(atRename)
    {
        Watch(tree);
        for (const auto& entry : std::filesystem::recursive_directory_iterator(tree))
            if (entry.is_directory() && !entry.is_symlink())
                Watch(entry.path());
    }
    ~TemporaryWatch() { ::close(m_fd); }

    // Waits at most timeoutMs for events; true once a folder held the wanted
    // number (with atRename: once one of them was renamed after that).
    bool Reached(int timeoutMs)
    {
        pollfd ready{m_fd, POLLIN, 0};
        alignas(inotify_event) char buffer[64 * 1024];
        if (m_reached || ::poll(&ready, 1, timeoutMs) <= 0)
            return m_reached;
        for (ssize_t n = 0; (n = ::read(m_fd, buffer, sizeof buffer)) > 0;)
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                if (event->len > 0 && std::string_view(event->name).starts_with("~aes-")) {
                    const int count = m_counts[event->wd] += event->mask & (IN_CREATE | IN_MOVED_TO) ? 1 : -1;
                    int& peak = m_peaks[event->wd];
                    peak = std::max(peak, count);
                    m_reached |= m_atRename ? (event->mask & IN_MOVED_FROM) != 0 && peak >= m_wanted
                                            : count >= m_wanted;
                }
            }
        return m_reached;
    }

private:
    void Watch(const std::filesystem::path& folder)
    {
        if (::inotify_add_watch(m_fd, folder.c_str(), IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO) < 0)
            throw std::runtime_error("cannot watch " + folder.string() + ": " + std::strerror(errno));
    }

    int m_fd;
    int m_wanted;
    bool m_atRename;
    bool m_reached = false;
    std::map<int, int> m_counts;  // by watched folder
    std::map<int, int> m_peaks;   // the most each folder held at once
};

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
                     const std::filesystem::path& outputFile, std::optional<double> killAfter, double limit,
                     const Aim* aim)
{
    std::optional<TemporaryWatch> watch;
    if (aim)
        watch.emplace(aim->tree, aim->temporaries, aim->atRename);
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
        const bool killNow = (killAfter && !result.killSent && elapsed >= *killAfter) || (watch && watch->Reached(0));
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
        watch ? void(watch->Reached(1)) : std::this_thread::sleep_for(std::chrono::duration<double>(nap));
    }
    result.seconds = Since(start);
    result.exited = WIFEXITED(status);
    result.code = result.exited ? WEXITSTATUS(status) : WIFSIGNALED(status) ? WTERMSIG(status) : -1;
    ReadFile(outputFile, result.output);
    return result;
}

} // namespace tessarin::crash
