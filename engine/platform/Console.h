#pragma once
// The terminal seam of the command-line companion: whether a standard
// stream is a terminal and how wide it is, reading a secret line without
// echo, and Ctrl-C as a request to stop rather than a kill.
#include "EngineApi.h"
#include "platform/Files.h"

#include <string>

namespace tessarin::platform {

enum class StandardStream { Input, Output, Error };

ENGINE_API bool IsTerminal(StandardStream stream);

// The system's handle of a standard stream, for reading or writing it
// with the calls of Files.h; not to be closed.
ENGINE_API NativeHandle StandardHandle(StandardStream stream);
// Standard input and output carry bytes as they are, with no line ends
// translated (where the system would).
ENGINE_API void UseBinaryStandardStreams();

// Columns of the terminal on standard error; 80 when it cannot be told.
ENGINE_API int TerminalColumns();

enum class SecretRead {
    Line,         // a line was read (its line end cut off)
    End,          // end of input before any line end
    Interrupted,  // Ctrl-C while reading
    Failed,       // the terminal could not be read
};

// Reads one line from the terminal on standard input with echo turned off;
// the echo is turned back on however the read ends.
ENGINE_API SecretRead ReadSecretLine(std::string& line);

// While an InterruptGuard lives, Ctrl-C (SIGINT), SIGTERM, SIGHUP and every
// other signal that would end the process without a fault of its own do
// not end it: they only raise the flag that InterruptRequested reports, so
// the work in progress can stop at its next check and undo what it had
// begun. SIGPIPE and SIGXFSZ do nothing: the write that raised them fails
// with its error instead. The previous handling comes back when the guard
// goes. Guards do not nest.
class ENGINE_API InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
};

ENGINE_API bool InterruptRequested();
// The signal that asked to stop (the first one), 0 when none did.
ENGINE_API int InterruptSignal();
// Raises the flag as that signal would (a session that ends, for one).
ENGINE_API void RequestInterrupt(int signal);
ENGINE_API void ClearInterrupt();

} // namespace tessarin::platform
