#include "platform/Console.h"

#include <cerrno>
#include <csignal>
#include <iterator>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace tessarin::platform {

namespace {

// The signals that ask a program to stop: Ctrl-C, kill's default, and the
// terminal or session going away.
constexpr int StopSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t g_interrupted = 0;  // the signal number, 0 when none came
struct sigaction g_previous[std::size(StopSignals)] {};

extern "C" void OnInterrupt(int signal)
{
    if (g_interrupted == 0)
        g_interrupted = signal;
}

int Descriptor(StandardStream stream)
{
    switch (stream) {
    case StandardStream::Input: return STDIN_FILENO;
    case StandardStream::Output: return STDOUT_FILENO;
    case StandardStream::Error: return STDERR_FILENO;
    }
    return -1;
}

} // namespace

bool IsTerminal(StandardStream stream)
{
    return ::isatty(Descriptor(stream)) == 1;
}

int TerminalColumns()
{
    struct winsize size {};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

SecretRead ReadSecretLine(std::string& line)
{
    line.clear();
    struct termios saved {};
    if (::tcgetattr(STDIN_FILENO, &saved) != 0)
        return SecretRead::Failed;
    struct termios quiet = saved;
    quiet.c_lflag &= static_cast<tcflag_t>(~(ECHO | ECHONL));
    // Switched at once, without flushing: what is typed (or pasted) right
    // after the prompt is the answer, not something to throw away.
    if (::tcsetattr(STDIN_FILENO, TCSANOW, &quiet) != 0)
        return SecretRead::Failed;

    SecretRead result = SecretRead::Line;
    for (;;) {
        char c = 0;
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR) {
            if (g_interrupted) {
                result = SecretRead::Interrupted;
                break;
            }
            continue;
        }
        if (n < 0) {
            result = SecretRead::Failed;
            break;
        }
        if (n == 0) {
            result = SecretRead::End;
            break;
        }
        if (c == '\n')
            break;
        line.push_back(c);
    }
    ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (result != SecretRead::Line)
        line.clear();
    return result;
}

InterruptGuard::InterruptGuard()
{
    g_interrupted = 0;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a read from the terminal returns at once, so a prompt
    // can be left with Ctrl-C.
    action.sa_flags = 0;
    for (std::size_t i = 0; i < std::size(StopSignals); ++i)
        ::sigaction(StopSignals[i], &action, &g_previous[i]);
}

InterruptGuard::~InterruptGuard()
{
    for (std::size_t i = 0; i < std::size(StopSignals); ++i)
        ::sigaction(StopSignals[i], &g_previous[i], nullptr);
}

bool InterruptRequested()
{
    return g_interrupted != 0;
}

int InterruptSignal()
{
    return static_cast<int>(g_interrupted);
}

void RequestInterrupt(int signal)
{
    g_interrupted = signal;
}

void ClearInterrupt()
{
    g_interrupted = 0;
}

} // namespace tessarin::platform
