// Random bytes on Windows: BCryptGenRandom.
#include "platform/Random.h"

#include "platform/SupportWin32.h"

#include <bcrypt.h>

#include <algorithm>
#include <random>

namespace tessarin::platform {

void FillRandom(std::span<std::uint8_t> buffer)
{
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ULONG ask = static_cast<ULONG>(std::min<std::size_t>(buffer.size() - done, 1u << 30));
        if (!BCRYPT_SUCCESS(::BCryptGenRandom(nullptr, buffer.data() + done, ask, BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
            break;
        done += ask;
    }
    if (done < buffer.size()) {
        // Filler carries no secret, so a weaker source is acceptable here
        // rather than failing the whole operation.
        std::random_device device;
        for (; done < buffer.size(); ++done)
            buffer[done] = static_cast<std::uint8_t>(device());
    }
}

void FillRandomSmall(std::span<std::uint8_t> buffer)
{
    // The system's generator is cheap to ask here; no process is forked.
    FillRandom(buffer);
}

} // namespace tessarin::platform
