// Shared durability and the release of deleted files' blocks: the Linux
// side (FileReleaseWin32.cpp stands in for it on Windows).
#include "platform/Files.h"

#include "faults/FaultInjection.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <sys/resource.h>
#include <sys/vfs.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tessarin::platform {

bool SyncFileSystemOf(NativeHandle handle)
{
    if (FaultInjection::ShouldFail(FaultInjection::Operation::Sync))
        return false;
    // Only where a whole-system flush is known to write everything and to
    // report a failure of it: a file system in user space, for one, may
    // answer it without flushing anything, where a flush of each file
    // reaches the server.
    struct statfs fs {};
    if (::fstatfs(handle, &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0xEF53:      // ext2, ext3, ext4
    case 0x58465342:  // xfs
    case 0x9123683E:  // btrfs
    case 0xF2F52010:  // f2fs
    case 0x01021994:  // tmpfs
        return ::syncfs(handle) == 0;
    default:
        return false;
    }
}

std::size_t HandleLimit()
{
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return 1u << 20;
    return static_cast<std::size_t>(limit.rlim_cur);
}

namespace {

// The helpers of CloseAside. Releases that wait on the file system overlap
// one another and the batch's own work; several helpers, since a release
// mostly waits rather than computes.
class Closer {
public:
    static Closer& Instance()
    {
        static Closer closer;
        return closer;
    }

    void Close(std::span<const NativeHandle> handles)
    {
        std::unique_lock lock(m_mutex);
        std::size_t queued = 0;
        if (Start()) {
            for (; queued < handles.size() && m_queue.size() < m_maxWaiting; ++queued)
                m_queue.push_back(handles[queued]);
        }
        lock.unlock();
        if (queued > 1)
            m_ready.notify_all();
        else if (queued == 1)
            m_ready.notify_one();
        // Too many waiting already: the caller waits for these itself.
        for (std::size_t i = queued; i < handles.size(); ++i)
            ::close(handles[i]);
    }

    ~Closer()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_ready.notify_all();
        for (std::thread& helper : m_helpers)
            helper.join();
    }

private:
    static constexpr std::size_t Helpers = 8;

    // Handles waiting to be closed count against the process's limit.
    Closer() : m_maxWaiting(std::min<std::size_t>(256, HandleLimit() / 8)) {}

    // Under the lock.
    bool Start()
    {
        if (!m_helpers.empty())
            return true;
        try {
            for (std::size_t i = 0; i < Helpers; ++i)
                m_helpers.emplace_back([this] { Serve(); });
        } catch (const std::system_error&) {
            // No threads to be had: the helpers that started serve; with
            // none, the caller closes the handle itself.
        }
        return !m_helpers.empty();
    }

    void Serve()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_ready.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty())
                return;  // stopping, and nothing left to close
            const NativeHandle handle = m_queue.front();
            m_queue.pop_front();
            lock.unlock();
            ::close(handle);
            lock.lock();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<NativeHandle> m_queue;
    std::vector<std::thread> m_helpers;
    const std::size_t m_maxWaiting;
    bool m_stopping = false;
};

} // namespace

void CloseAside(std::span<const NativeHandle> handles)
{
    if (!handles.empty())
        Closer::Instance().Close(handles);
}

NativeHandle DuplicateFileHandle(NativeHandle handle)
{
    return handle == InvalidHandle ? InvalidHandle : ::fcntl(handle, F_DUPFD_CLOEXEC, 0);
}

} // namespace tessarin::platform
