#pragma once
// The operating-system seam for random bytes.
#include "EngineApi.h"

#include <cstdint>
#include <span>

namespace tessarin::platform {

// Bytes from the system's cryptographic generator.
ENGINE_API void FillRandom(std::span<std::uint8_t> buffer);

} // namespace tessarin::platform
