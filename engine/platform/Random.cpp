// Random bytes on POSIX systems: getrandom.
#include "platform/Random.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <mutex>
#include <pthread.h>
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

namespace {

struct SmallPool {
    std::mutex mutex;
    std::array<std::uint8_t, 512> bytes{};
    std::size_t used = 512;  // bytes[used..] are not handed out yet
};

SmallPool& Pool()
{
    static SmallPool pool;
    // A child made by fork would hand out the very bytes its parent does;
    // the lock is held across the fork so that the child's copy is free.
    static const bool registered = [] {
        ::pthread_atfork([] { pool.mutex.lock(); }, [] { pool.mutex.unlock(); },
                         [] {
                             pool.used = pool.bytes.size();
                             pool.mutex.unlock();
                         });
        return true;
    }();
    (void)registered;
    return pool;
}

} // namespace

void FillRandomSmall(std::span<std::uint8_t> buffer)
{
    SmallPool& pool = Pool();
    std::lock_guard lock(pool.mutex);
    while (!buffer.empty()) {
        if (pool.used == pool.bytes.size()) {
            FillRandom(pool.bytes);
            pool.used = 0;
        }
        const std::size_t n = std::min(buffer.size(), pool.bytes.size() - pool.used);
        std::copy_n(pool.bytes.begin() + static_cast<std::ptrdiff_t>(pool.used), n, buffer.begin());
        pool.used += n;
        buffer = buffer.subspan(n);
    }
}

} // namespace tessarin::platform
