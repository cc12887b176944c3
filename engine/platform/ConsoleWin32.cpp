// The terminal seam on Windows: the console. Ctrl-C and Ctrl-Break come as
// SIGINT does on Linux, closing the console window, logging off and shutting
// down as SIGTERM: each only raises the flag, so the batch stops at its next
// check and rolls back what it had begun.
#include "platform/Console.h"

#include "platform/SupportWin32.h"

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <csignal>

namespace tessarin::platform {

namespace {

std::atomic<int> g_interrupted{0};  // the signal number, 0 when none came
std::atomic<bool> g_guarded{false};
HANDLE g_guardGone = nullptr;       // set when the guard ends

HANDLE SystemHandle(StandardStream stream)
{
    switch (stream) {
    case StandardStream::Input: return ::GetStdHandle(STD_INPUT_HANDLE);
    case StandardStream::Output: return ::GetStdHandle(STD_OUTPUT_HANDLE);
    case StandardStream::Error: return ::GetStdHandle(STD_ERROR_HANDLE);
    }
    return INVALID_HANDLE_VALUE;
}

BOOL WINAPI OnControl(DWORD event)
{
    int signal = 0;
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT: signal = SIGINT; break;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT: signal = SIGTERM; break;
    default: return FALSE;
    }
    int none = 0;
    g_interrupted.compare_exchange_strong(none, signal);
    if (signal == SIGTERM && g_guardGone) {
        // The system ends the process as soon as this handler returns from
        // a close: wait (within the few seconds it grants) for the batch to
        // undo its work and drop the guard.
        ::WaitForSingleObject(g_guardGone, 4500);
    }
    return TRUE;
}

} // namespace

bool IsTerminal(StandardStream stream)
{
    DWORD mode = 0;
    return ::GetConsoleMode(SystemHandle(stream), &mode) != 0;
}

NativeHandle StandardHandle(StandardStream stream)
{
    return win32::FromHandle(SystemHandle(stream));
}

void UseBinaryStandardStreams()
{
    // The run time's own streams translate line ends by default.
    ::_setmode(::_fileno(stdin), _O_BINARY);
    ::_setmode(::_fileno(stdout), _O_BINARY);
}

int TerminalColumns()
{
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (::GetConsoleScreenBufferInfo(::GetStdHandle(STD_ERROR_HANDLE), &info)) {
        const int columns = info.srWindow.Right - info.srWindow.Left + 1;
        if (columns > 0)
            return columns;
    }
    return 80;
}

SecretRead ReadSecretLine(std::string& line)
{
    line.clear();
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD saved = 0;
    if (!::GetConsoleMode(input, &saved))
        return SecretRead::Failed;
    // Line editing stays; only the echo goes.
    if (!::SetConsoleMode(input, (saved | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) & ~ENABLE_ECHO_INPUT))
        return SecretRead::Failed;

    SecretRead result = SecretRead::Line;
    std::wstring typed;
    for (;;) {
        wchar_t c = 0;
        DWORD got = 0;
        if (!::ReadConsoleW(input, &c, 1, &got, nullptr)) {
            result = g_interrupted ? SecretRead::Interrupted : SecretRead::Failed;
            break;
        }
        if (g_interrupted) {
            result = SecretRead::Interrupted;
            break;
        }
        if (got == 0 || c == 0x1A) {  // end of input (Ctrl-Z)
            result = SecretRead::End;
            break;
        }
        if (c == L'\n')
            break;
        typed.push_back(c);
    }
    ::SetConsoleMode(input, saved);
    line = win32::Narrow(typed);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (result != SecretRead::Line)
        line.clear();
    return result;
}

InterruptGuard::InterruptGuard()
{
    g_interrupted = 0;
    g_guardGone = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_guarded = true;
    ::SetConsoleCtrlHandler(OnControl, TRUE);
}

InterruptGuard::~InterruptGuard()
{
    ::SetConsoleCtrlHandler(OnControl, FALSE);
    g_guarded = false;
    if (g_guardGone) {
        ::SetEvent(g_guardGone);
        // The handler may still hold it: it is left to the process's end.
    }
}

bool InterruptRequested()
{
    return g_interrupted != 0;
}

int InterruptSignal()
{
    return g_interrupted;
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
