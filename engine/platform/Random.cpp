// Random bytes on POSIX systems: getrandom.
#include "platform/Random.h"

#include <cerrno>
#include <random>
#include <sys/random.h>

namespace tessarin::platform {

void FillRandom(std::span<std::uint8_t> buffer)
{
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t n = ::getrandom(buffer.data() + done, buffer.size() - done, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (done < buffer.size()) {
        // Filler carries no secret, so a weaker source is acceptable here
        // rather than failing the whole operation.
        std::random_device device;
        for (; done < buffer.size(); ++done)
            buffer[done] = static_cast<std::uint8_t>(device());
    }
}

} // namespace tessarin::platform
