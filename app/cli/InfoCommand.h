#pragma once
// tessarin --info: what the header of each container tells, one line per
// file, as text for people or JSON for scripts. Only headers are read;
// nothing is written.
#include "TerminalOutput.h"
#include "application/AppSettings.h"
#include "processing/ContainerCheck.h"

#include <ctime>
#include <span>
#include <string>

namespace tessarin {

// One container's line. shownPath: the path as the user should see it.
std::string InfoLine(const std::string& shownPath, const ContainerInfo& info, bool json);
// The line of a file that could not be read as a container.
std::string InfoErrorLine(const std::string& shownPath, int code, const std::string& message, bool json);

// Lists the containers under the paths with the search rules of the
// settings. shownPaths: how each path is shown (for "-": the spooled
// standard input shows as "-"); empty to show the paths as they are.
// Returns the number of files that were not containers under this password
// and these settings (or could not be read), -1 when the cipher library
// could not be loaded.
int ListContainers(std::span<const std::string> paths, const std::string& shownAs, const AppSettings& settings,
                   const std::string& password, bool json, TerminalOutput& output);

} // namespace tessarin
