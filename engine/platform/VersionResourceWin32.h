#pragma once
// The system's version API over a module's VERSIONINFO resource: the size,
// the block, and values in it by the documented query paths.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tessarin::platform {

std::uint32_t SystemVersionInfoSize(const std::string& path);
bool SystemReadVersionInfo(const std::string& path, std::vector<std::uint8_t>& block);
// Texts come back in the program's ANSI code page, without their NUL.
bool SystemQueryVersionValue(std::span<const std::uint8_t> block, const std::string& path,
                             std::span<const std::uint8_t>& value);

} // namespace tessarin::platform
