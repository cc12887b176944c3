#pragma once
// The user's own temporary folder, for the batch's file list and the default
// log file. Never a shared world-writable place: another user must not be
// able to plant or read files there.
#include "EngineApi.h"

#include <string>

namespace tessarin::platform {

// $XDG_RUNTIME_DIR when it is set to an absolute path, otherwise the folder
// "tessarin-<uid>" under $TMPDIR (or /tmp). Always ends with a separator.
// Only names the folder: it may not exist yet.
ENGINE_API std::string UserTempFolder();

// The program's own folder for what it keeps between runs that is no
// setting (the log): "$XDG_STATE_HOME/tessarin/", or "~/.local/state/tessarin/"
// when that is unset. Always ends with a separator. Only names the folder.
ENGINE_API std::string UserStateFolder();
// Creates the state folder and those above it that are missing (mode 0700).
ENGINE_API bool EnsureUserStateFolder();

// Creates the folder when it is missing (mode 0700) and checks that it is a
// real folder, owned by the user and closed to everyone else. False, with
// the reason in error, when it is not fit for use.
ENGINE_API bool EnsureUserTempFolder(std::string& error);

} // namespace tessarin::platform
