#include "foundation/OverlappedIo.h"

#include <algorithm>
#include <atomic>
#include <utility>

namespace tessarin {

namespace {
std::atomic<bool> g_overlapAllowed{true};

std::size_t SlotCount(bool overlapped, std::size_t slots)
{
    return overlapped ? std::max<std::size_t>(slots, 2) : 1;
}
} // namespace

void SetOverlapAllowed(bool allowed)
{
    g_overlapAllowed.store(allowed);
}

bool OverlapAllowed()
{
    return g_overlapAllowed.load(std::memory_order_relaxed);
}

namespace {
std::atomic<unsigned> g_streaming{0};
} // namespace

StreamPlace::StreamPlace(bool large)
{
    if (!large || !OverlapAllowed())
        return;
    m_counted = true;
    const unsigned streaming = g_streaming.fetch_add(1) + 1;
    const unsigned cores = std::max(2u, std::thread::hardware_concurrency());
    m_overlapped = 2 * streaming <= cores;
}

StreamPlace::~StreamPlace()
{
    if (m_counted)
        g_streaming.fetch_sub(1);
}

ChunkSlots::ChunkSlots(std::size_t count, std::size_t chunkSize) : m_chunkSize(chunkSize)
{
    m_buffers.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        m_buffers.push_back(std::make_unique_for_overwrite<std::uint8_t[]>(chunkSize));
}

// ---------------------------------------------------------------- ReadAhead

ReadAhead::ReadAhead(MyFile& source, std::size_t chunkSize, bool overlapped, ChunkVisitor visitor, std::size_t slots)
    : m_source(source),
      m_visitor(std::move(visitor)),
      m_slots(SlotCount(overlapped, slots), chunkSize),
      m_overlapped(overlapped)
{
    m_counts.assign(m_slots.size(), 0);
    if (m_overlapped)
        m_thread = std::thread([this] { Run(); });
}

ReadAhead::~ReadAhead()
{
    Stop();
}

void ReadAhead::Stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void ReadAhead::Run()
{
    const std::size_t ring = m_slots.size();
    for (;;) {
        std::size_t index = 0;
        {
            std::unique_lock lock(m_mutex);
            // A slot is free once the caller released the chunk it held;
            // the one the caller holds still counts as in use.
            m_changed.wait(lock, [&] { return m_stop || m_produced - m_released < ring; });
            if (m_stop)
                return;
            index = m_produced % ring;
        }
        std::size_t n = 0;
        std::exception_ptr failure;
        try {
            n = m_source.Read(m_slots[index]);
            if (n != 0 && m_visitor)
                m_visitor(std::span<const std::uint8_t>(m_slots[index]).first(n));
        } catch (...) {
            failure = std::current_exception();
        }
        {
            std::lock_guard lock(m_mutex);
            m_counts[index] = n;
            m_failure = failure;
            ++m_produced;
            // A chunk that is not full was cut by the end of the file.
            m_ended = failure || n < m_slots[index].size();
        }
        m_changed.notify_all();
        if (m_ended)
            return;
    }
}

ReadAhead::Chunk ReadAhead::Next()
{
    if (!m_overlapped) {
        if (m_ended)
            return {};
        const std::span<std::uint8_t> slot = m_slots.front();
        std::size_t n = 0;
        try {
            n = m_source.Read(slot);
        } catch (...) {
            m_ended = true;
            throw;
        }
        if (n != 0 && m_visitor)
            m_visitor(std::span<const std::uint8_t>(slot).first(n));
        // A chunk that is not full was cut by the end of the file: asking
        // again would only read nothing.
        m_ended = n < slot.size();
        return {slot, n};
    }

    std::unique_lock lock(m_mutex);
    if (m_holding) {
        ++m_released;
        m_holding = false;
        m_changed.notify_all();
    }
    // The reader has returned once the end is produced: nothing more comes.
    m_changed.wait(lock, [&] { return m_stop || m_ended || m_produced > m_released; });
    if (m_produced == m_released)
        return {};  // stopped, or the end was handed out already
    const std::size_t index = m_released % m_slots.size();
    const bool last = m_ended && m_released + 1 == m_produced;
    if (last && m_failure) {
        // Handed out once, in its place after every chunk read before it.
        std::exception_ptr failure = std::exchange(m_failure, nullptr);
        ++m_released;
        std::rethrow_exception(failure);
    }
    if (m_counts[index] == 0) {
        ++m_released;
        return {};
    }
    m_holding = true;
    return {m_slots[index], m_counts[index]};
}

// -------------------------------------------------------------- WriteBehind

WriteBehind::WriteBehind(MyFile& destination, std::size_t chunkSize, bool overlapped, ChunkVisitor visitor,
                         std::size_t slots)
    : m_destination(destination),
      m_visitor(std::move(visitor)),
      m_slots(SlotCount(overlapped, slots), chunkSize),
      m_overlapped(overlapped)
{
    m_counts.assign(m_slots.size(), 0);
    if (m_overlapped)
        m_thread = std::thread([this] { Run(); });
}

WriteBehind::~WriteBehind()
{
    Drain();
}

void WriteBehind::WriteOne(std::span<const std::uint8_t> bytes)
{
    m_destination.Write(bytes);
    if (m_visitor)
        m_visitor(bytes);
}

void WriteBehind::Run()
{
    const std::size_t ring = m_slots.size();
    for (;;) {
        std::size_t index = 0;
        std::size_t count = 0;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_closing || m_written < m_submitted; });
            if (m_written == m_submitted)
                return;  // closing, and everything handed over is written
            index = m_written % ring;
            count = m_counts[index];
        }
        try {
            WriteOne(std::span<const std::uint8_t>(m_slots[index]).first(count));
        } catch (...) {
            // Later chunks are never written: the file stops where the
            // serial loop would have stopped.
            {
                std::lock_guard lock(m_mutex);
                m_failure = std::current_exception();
            }
            m_changed.notify_all();
            return;
        }
        {
            std::lock_guard lock(m_mutex);
            ++m_written;
        }
        m_changed.notify_all();
    }
}

std::span<std::uint8_t> WriteBehind::Buffer()
{
    if (!m_overlapped) {
        if (m_failure)
            std::rethrow_exception(m_failure);
        return m_slots.front();
    }
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_failure || m_submitted - m_written < m_slots.size(); });
    if (m_failure)
        std::rethrow_exception(m_failure);
    return m_slots[m_submitted % m_slots.size()];
}

void WriteBehind::Submit(std::size_t count)
{
    if (!m_overlapped) {
        try {
            WriteOne(std::span<const std::uint8_t>(m_slots.front()).first(count));
        } catch (...) {
            m_failure = std::current_exception();
            throw;
        }
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_counts[m_submitted % m_slots.size()] = count;
        ++m_submitted;
    }
    m_changed.notify_all();
}

void WriteBehind::Drain() noexcept
{
    if (!m_overlapped)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void WriteBehind::Finish()
{
    Drain();
    if (std::exception_ptr failure = Failure())
        std::rethrow_exception(failure);
}

std::exception_ptr WriteBehind::Failure()
{
    std::lock_guard lock(m_mutex);
    return m_failure;
}

void RethrowInChunkOrder(ReadAhead& reader, WriteBehind& writer)
{
    reader.Stop();
    writer.Drain();
    if (std::exception_ptr failure = writer.Failure())
        std::rethrow_exception(failure);
    throw;
}

} // namespace tessarin
