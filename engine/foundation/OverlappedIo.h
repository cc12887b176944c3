#pragma once
// Streaming a file in chunks with its reads and writes off the caller's
// thread: a read-ahead thread fills a small ring of chunk buffers in file
// order, a write-behind thread empties another one. The caller's thread
// keeps the work that must stay in order with the sink (progress, the
// user's break, the cipher's chaining register), and overlaps it with the
// disk on a second core.
//
// Both keep the serial behaviour the callers rely on:
// - chunks arrive and leave in file order, one MyFile::Read or
//   MyFile::Write call per chunk, as in a serial loop;
// - a failure surfaces on the caller's thread as the very ErrorHandler that
//   MyFile raised (its code, message and system reason), at the chunk where
//   the serial loop would have met it;
// - a thread never outlives its object: the destructor stops and joins it,
//   also when the caller leaves by an exception.
// With overlapped off, the same objects read and write on the caller's
// thread: small files are not worth two threads.
#include "EngineApi.h"
#include "foundation/MyFile.h"

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace tessarin {

// Process-wide: when off, every user of these classes (the codec, the
// compressors) streams on the caller's thread alone. On by default; the
// benchmarks turn it off to measure what the threads gain.
ENGINE_API void SetOverlapAllowed(bool allowed);
ENGINE_API bool OverlapAllowed();

// A file large enough to stream with its reads and writes beside it holds
// a place here while it streams, process-wide. Overlapped, a file keeps
// about two cores busy; once the files streaming at once would need more
// cores than there are, a further one streams on its own thread: every
// core has a file already, and the threads' hand-offs would cost more than
// they overlap.
class ENGINE_API StreamPlace {
public:
    // large: the file is worth overlapping by its size.
    explicit StreamPlace(bool large);
    ~StreamPlace();
    StreamPlace(const StreamPlace&) = delete;
    StreamPlace& operator=(const StreamPlace&) = delete;
    bool Overlapped() const { return m_overlapped; }

private:
    bool m_counted = false;
    bool m_overlapped = false;
};

// Runs on the reading or writing thread for each chunk, in file order (a
// CRC over the bytes, for instance). Must not call the sink.
using ChunkVisitor = std::function<void(std::span<const std::uint8_t>)>;

// The ring's buffers. Left uninitialised on purpose: a file of a few bytes
// would otherwise pay for zeroing and copying whole chunks, and every
// reader of a slot sees only the bytes put into it.
class ENGINE_API ChunkSlots {
public:
    ChunkSlots(std::size_t count, std::size_t chunkSize);
    std::size_t size() const { return m_buffers.size(); }
    std::span<std::uint8_t> operator[](std::size_t index) const { return {m_buffers[index].get(), m_chunkSize}; }
    std::span<std::uint8_t> front() const { return (*this)[0]; }

private:
    std::vector<std::unique_ptr<std::uint8_t[]>> m_buffers;
    std::size_t m_chunkSize;
};

class ENGINE_API ReadAhead {
public:
    static constexpr std::size_t DefaultSlots = 4;

    // Chunks are read from source's current position. The caller must not
    // touch source until this object is destroyed or Stop() returned.
    ReadAhead(MyFile& source, std::size_t chunkSize, bool overlapped, ChunkVisitor visitor = {},
              std::size_t slots = DefaultSlots);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    struct Chunk {
        std::span<std::uint8_t> buffer;  // the whole buffer: chunkSize bytes
        std::size_t count = 0;            // bytes read into it; 0 at the end
    };
    // The next chunk in file order. The buffer is the caller's until the next
    // call (it may be padded in place). Throws the read failure met at this
    // chunk; after the end or a failure every call returns the end.
    Chunk Next();
    // Reads no more and joins the thread.
    void Stop();

private:
    void Run();

    MyFile& m_source;
    ChunkVisitor m_visitor;
    ChunkSlots m_slots;
    std::vector<std::size_t> m_counts;
    std::exception_ptr m_failure;  // the read failure at chunk m_produced - 1
    std::size_t m_produced = 0;    // chunks read (the failed one included)
    std::size_t m_released = 0;    // chunks the caller is done with
    bool m_holding = false;        // the caller holds chunk m_released
    bool m_ended = false;          // no chunk follows m_produced
    bool m_stop = false;
    bool m_overlapped;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::thread m_thread;
};

class ENGINE_API WriteBehind {
public:
    static constexpr std::size_t DefaultSlots = 4;

    // Chunks are written at destination's current position. The caller must
    // not touch destination until Finish() or Drain() returned.
    WriteBehind(MyFile& destination, std::size_t chunkSize, bool overlapped, ChunkVisitor visitor = {},
                std::size_t slots = DefaultSlots);
    // Writes what was handed over and joins; raises nothing.
    ~WriteBehind();
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    // A free buffer of chunkSize bytes for the next chunk; waits while all
    // are queued. Throws the failure of an earlier write, if any.
    std::span<std::uint8_t> Buffer();
    // Hands the first count bytes of the last Buffer() over for writing
    // (with overlapped off: writes them now, and may throw).
    void Submit(std::size_t count);
    // Waits until every chunk handed over is written and joins; throws the
    // first write failure.
    void Finish();
    // As Finish, raising nothing: for the way out of a failure, where the
    // caller decides which failure counts (see Failure()).
    void Drain() noexcept;
    // The first write failure, or null.
    std::exception_ptr Failure();

private:
    void Run();
    void WriteOne(std::span<const std::uint8_t> bytes);

    MyFile& m_destination;
    ChunkVisitor m_visitor;
    ChunkSlots m_slots;
    std::vector<std::size_t> m_counts;
    std::exception_ptr m_failure;
    std::size_t m_submitted = 0;
    std::size_t m_written = 0;
    bool m_closing = false;
    bool m_overlapped;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::thread m_thread;
};

// For the catch handler of a chunk loop that uses both: stops the reader,
// lets the writer finish what it was given, and raises the failure that the
// serial loop would have met first. That loop wrote chunk i before it read
// chunk i + 1, so a write failure, always of an earlier chunk than the one
// the caller was at, wins over a read failure or a break met since;
// otherwise the exception being handled goes on. Chunks handed over before
// the failure are still written, as the serial loop had written them;
// nothing after.
[[noreturn]] ENGINE_API void RethrowInChunkOrder(ReadAhead& reader, WriteBehind& writer);

} // namespace tessarin
