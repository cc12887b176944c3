#pragma once
// Where the loader looks for a module, the same on every system: the one
// folder a test pinned, or else the program's folder and the engine's (the
// system's own search comes after those, in Module.cpp and its twin).
#include <string>
#include <vector>

namespace tessarin::platform {

// The folder a test pinned (Module::SetSearchFolder); empty when none.
std::string SearchFolder();
// The full paths to try for a module file, in order.
std::vector<std::string> CandidatePaths(const std::string& file);

} // namespace tessarin::platform
