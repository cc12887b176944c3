#include "platform/Console.h"

#include <cerrno>
#include <csignal>
#include <iterator>
#include <utility>
#include <vector>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace tessarin::platform {

namespace {

// The signals that ask a program to stop: Ctrl-C, kill's default, the
// terminal or session going away, and every other one whose default is to
// end the process without a fault of its own (a quit key, a CPU-time limit
// about to be enforced, a stray user or real-time signal). Faults (SIGSEGV
// and the like) are left alone: after one, nothing can be trusted to undo.
// SIGPROF and SIGVTALRM are a profiler's, which installs its own handler.
std::vector<int> StopSignals()
{
    std::vector<int> signals{SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGXCPU};
#if defined(SIGPOLL)
    signals.push_back(SIGPOLL);
#endif
#if defined(SIGPWR)
    signals.push_back(SIGPWR);
#endif
#if defined(SIGSTKFLT)
    signals.push_back(SIGSTKFLT);
#endif
#if defined(SIGRTMIN)
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal)
        signals.push_back(signal);
#endif
    return signals;
}

// A reader that went away (SIGPIPE) or a file-size limit (SIGXFSZ) would
// end the process in the middle of a write. Caught and let pass instead,
// the write fails with EPIPE or EFBIG like any failed write, and its caller
// undoes what it had begun. A handler, unlike ignoring the signal, is not
// inherited by programs started from this one.
constexpr int WriteSignals[] = {SIGPIPE, SIGXFSZ};

volatile std::sig_atomic_t g_interrupted = 0;  // the signal number, 0 when none came
std::vector<std::pair<int, struct sigaction>> g_previous;

extern "C" void OnInterrupt(int signal)
{
    if (g_interrupted == 0)
        g_interrupted = signal;
}

extern "C" void OnWriteSignal(int) {}

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

NativeHandle StandardHandle(StandardStream stream)
{
    return Descriptor(stream);
}

void UseBinaryStandardStreams()
{
    // Bytes are bytes here: nothing to switch.
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
    g_previous.clear();
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a read from the terminal returns at once, so a prompt
    // can be left with Ctrl-C.
    action.sa_flags = 0;
    const auto install = [](int signal, const struct sigaction& with) {
        struct sigaction previous {};
        if (::sigaction(signal, &with, &previous) == 0)
            g_previous.emplace_back(signal, previous);
    };
    for (const int signal : StopSignals())
        install(signal, action);
    action.sa_handler = OnWriteSignal;
    action.sa_flags = SA_RESTART;
    for (const int signal : WriteSignals)
        install(signal, action);
}

InterruptGuard::~InterruptGuard()
{
    for (const auto& [signal, previous] : g_previous)
        ::sigaction(signal, &previous, nullptr);
    g_previous.clear();
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
