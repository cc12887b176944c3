#pragma once
// The operating-system seam for random bytes.
#include "EngineApi.h"

#include <cstdint>
#include <span>

namespace tessarin::platform {

// Bytes from the system's cryptographic generator.
ENGINE_API void FillRandom(std::span<std::uint8_t> buffer);

// The same bytes for many small draws (the names of our own files): taken
// from the system in blocks, each byte handed out once, and never shared
// with a child process made by fork.
ENGINE_API void FillRandomSmall(std::span<std::uint8_t> buffer);

} // namespace tessarin::platform
