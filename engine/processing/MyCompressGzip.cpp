#include "processing/MyCompressGzip.h"
#include "processing/ParallelRun.h"

#include "foundation/ErrorHandler.h"
#include "foundation/ShownName.h"
#include "foundation/OverlappedIo.h"
#include "processing/CompressionChunks.h"

#include <algorithm>
#include <condition_variable>
#if TESSARIN_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif
#include <memory>
#include <mutex>
#include <thread>
#include <vector>
#include <zlib.h>

namespace tessarin {

namespace {

// deflate's window bits plus 16: a gzip wrapper (header and CRC trailer),
// the same stream that the library's gzip file interface writes.
constexpr int GzipWindowBits = 15 + 16;

class Inflater {
public:
    explicit Inflater(const std::string& source)
    {
        if (inflateInit2(&m_stream, GzipWindowBits) != Z_OK)
            throw ErrorHandler(errc::StreamOpenFailed, "Unable to open '" + ShownName(source) + "'");
    }
    ~Inflater() { inflateEnd(&m_stream); }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
    z_stream& get() { return m_stream; }

private:
    z_stream m_stream{};
};

// Input bytes per gzip member. Members are compressed independently, so two
// cores can work on one file; a gzip reader takes concatenated members as
// one stream (zlib's gzread does). Each member starts with an empty
// dictionary: at this size that costs well under one percent of the output.
// Member boundaries depend only on the input, so the same file always
// compresses to the same bytes, however the threads were scheduled.
constexpr std::size_t MemberSize = 4 * MyCompressGzip::ChunkSize;

unsigned CompressionWorkers()
{
    // Several files at work share the processors out.
    return std::clamp(ParallelRun::CoresPerFile(), 1u, 4u);
}

#if TESSARIN_HAVE_LIBDEFLATE
// libdeflate compresses a whole buffer at a time, which is what a member is.
// Its levels 1 to 9 stand for the same trade-off as zlib's, so the user's
// level is passed unchanged.
class Compressor {
public:
    Compressor(int level, const std::string& target) : m_handle(libdeflate_alloc_compressor(level))
    {
        if (!m_handle)
            throw ErrorHandler(errc::StreamOpenFailed, "Unable to open '" + ShownName(target) + "'");
    }
    ~Compressor() { libdeflate_free_compressor(m_handle); }
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;

    std::size_t Bound(std::size_t bytes) { return libdeflate_gzip_compress_bound(m_handle, bytes); }
    // The member's size; 0 when it did not fit (it always fits the bound).
    std::size_t Compress(std::span<const std::uint8_t> in, std::span<std::uint8_t> out)
    {
        return libdeflate_gzip_compress(m_handle, in.data(), in.size(), out.data(), out.size());
    }

private:
    libdeflate_compressor* m_handle;
};
#else
// Where libdeflate is missing, zlib makes the same kind of member: one
// whole buffer, one gzip header and trailer, at the user's level.
class Compressor {
public:
    Compressor(int level, const std::string& target)
    {
        if (deflateInit2(&m_stream, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            throw ErrorHandler(errc::StreamOpenFailed, "Unable to open '" + ShownName(target) + "'");
    }
    ~Compressor() { deflateEnd(&m_stream); }
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;

    std::size_t Bound(std::size_t bytes) { return deflateBound(&m_stream, static_cast<uLong>(bytes)); }
    // The member's size; 0 when it did not fit (it always fits the bound).
    std::size_t Compress(std::span<const std::uint8_t> in, std::span<std::uint8_t> out)
    {
        if (deflateReset(&m_stream) != Z_OK) return 0;
        m_stream.next_in = const_cast<Bytef*>(in.data());
        m_stream.avail_in = static_cast<uInt>(in.size());
        m_stream.next_out = out.data();
        m_stream.avail_out = static_cast<uInt>(out.size());
        if (deflate(&m_stream, Z_FINISH) != Z_STREAM_END) return 0;
        return out.size() - m_stream.avail_out;
    }

private:
    z_stream m_stream{};
};
#endif

// A ring of members between the caller's thread, which fills them from the
// file, writes them out in order and talks to the sink, and the workers,
// which compress them. With no workers, a member is compressed on the
// caller's thread when it is full.
class MemberPool {
public:
    MemberPool(int level, unsigned workers, const std::string& target) : m_members(workers + 2)
    {
        for (unsigned i = 0; i < std::max(workers, 1u); ++i)
            m_compressors.push_back(std::make_unique<Compressor>(level, target));
        // Left as they come: a small file touches a page or two of each,
        // where clearing them would cost more than compressing it.
        const std::size_t bound = m_compressors.front()->Bound(MemberSize);
        for (Member& m : m_members) {
            m.input = Bytes(MemberSize);
            m.output = Bytes(bound);
        }
        for (unsigned i = 0; i < workers; ++i)
            m_threads.emplace_back([this, i] { Work(*m_compressors[i]); });
    }
    // Members not yet written are dropped: after a break or a failure
    // nothing more reaches the file.
    ~MemberPool()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        for (std::thread& t : m_threads)
            t.join();
    }
    MemberPool(const MemberPool&) = delete;
    MemberPool& operator=(const MemberPool&) = delete;

    // Free room in the member being filled.
    std::span<std::uint8_t> Room(MyFile& target, const std::string& failure)
    {
        // The member to fill may still wait to be written.
        while (m_filled - m_written >= m_members.size())
            WriteOldest(target, failure);
        Member& m = m_members[m_filled % m_members.size()];
        return m.input.All().subspan(m.size);
    }

    // n bytes were read into the room; the member goes to be compressed
    // when it is full or when last is set.
    void Filled(std::size_t n, bool last)
    {
        Member& m = m_members[m_filled % m_members.size()];
        m.size += n;
        if (m.size == m.input.size || last)
            Submit();
    }

    // Submits the member being filled if it holds anything, or if no member
    // was made at all.
    void Flush()
    {
        if (m_members[m_filled % m_members.size()].size != 0 || m_filled == 0)
            Submit();
    }

    // Writes the members that are ready, oldest first, stopping at the
    // first that is not; all: waits for each.
    void WriteFinished(MyFile& target, const std::string& failure, bool all)
    {
        while (m_written < m_filled) {
            if (!all) {
                std::lock_guard lock(m_mutex);
                if (!m_members[m_written % m_members.size()].done)
                    return;
            }
            WriteOldest(target, failure);
        }
    }

private:
    // A buffer whose bytes are not cleared when it is made.
    struct Bytes {
        Bytes() = default;
        explicit Bytes(std::size_t n) : data(std::make_unique_for_overwrite<std::uint8_t[]>(n)), size(n) {}
        std::span<std::uint8_t> All() { return {data.get(), size}; }
        std::unique_ptr<std::uint8_t[]> data;
        std::size_t size = 0;
    };

    struct Member {
        Bytes input;
        Bytes output;
        std::size_t size = 0;          // input bytes
        std::size_t compressed = 0;    // output bytes; 0: failed
        bool done = false;
    };

    void Submit()
    {
        Member& m = m_members[m_filled % m_members.size()];
        if (m_threads.empty()) {
            m.compressed = m_compressors.front()->Compress(m.input.All().first(m.size), m.output.All());
            m.done = true;
            ++m_filled;
            return;
        }
        {
            std::lock_guard lock(m_mutex);
            ++m_filled;
        }
        m_changed.notify_all();
    }

    void WriteOldest(MyFile& target, const std::string& failure)
    {
        Member& m = m_members[m_written % m_members.size()];
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m.done; });
        }
        if (m.compressed == 0)
            throw ErrorHandler(errc::WriteFailed, failure);
        compression::WriteCompressed(target, m.output.All().first(m.compressed), failure);
        {
            std::lock_guard lock(m_mutex);
            m.size = 0;
            m.compressed = 0;
            m.done = false;
            ++m_written;
        }
    }

    void Work(Compressor& compressor)
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [&] { return m_stop || m_taken < m_filled; });
            if (m_stop)
                return;
            Member& m = m_members[m_taken++ % m_members.size()];
            lock.unlock();
            const std::size_t compressed = compressor.Compress(m.input.All().first(m.size), m.output.All());
            lock.lock();
            m.compressed = compressed;
            m.done = true;
            m_changed.notify_all();
        }
    }

    std::vector<Member> m_members;
    std::vector<std::unique_ptr<Compressor>> m_compressors;
    std::vector<std::thread> m_threads;
    // Members are numbered in file order; member i lives in slot i % size.
    std::size_t m_filled = 0;   // handed to compression
    std::size_t m_taken = 0;    // taken by a worker
    std::size_t m_written = 0;  // written to the file
    bool m_stop = false;
    std::mutex m_mutex;
    std::condition_variable m_changed;
};

} // namespace

platform::ModuleHandle MyCompressGzip::LoadLibraryA()
{
    return compression::LoadChecked(LibraryName, {"gzopen", "gzread", "gzwrite", "gzclose"});
}

std::uint64_t MyCompressGzip::Compress(const std::string& source, const std::string& target, MyStream* sink,
                                       int level)
{
    MyFile in(source, MyFile::OpenRead);
    MyFile out(target, MyFile::OpenWrite);
    return Compress(in, out, sink, level);
}

std::uint64_t MyCompressGzip::Compress(MyFile& source, MyFile& target, MyStream* sink, int level)
{
    const std::string failure = "Unable to gzwrite on '" + ShownName(target.GetFullFilename()) + "'";
    // A file of one member gains nothing from threads; a longer one gets a
    // worker per core, but no more than it has members.
    const std::uint64_t members = (source.GetSize() + MemberSize - 1) / MemberSize;
    const unsigned workers =
        members <= 1 || !OverlapAllowed() ? 0u : static_cast<unsigned>(std::min<std::uint64_t>(CompressionWorkers(), members));
    MemberPool pool(compression::ClampLevel(level), workers, target.GetFullFilename());
    const float k = CalcReductKoeff();
    // A small file whose header was looked at is in memory already (with one
    // byte more than its length when it grew since): it is not read again.
    const std::vector<std::uint8_t>* kept = source.KeepWhole(ChunkSize);
    std::size_t keptTaken = 0;
    const auto read = [&](std::span<std::uint8_t> room) {
        if (!kept)
            return source.Read(room);
        const std::size_t n = std::min(room.size(), kept->size() - keptTaken);
        std::copy_n(kept->data() + keptTaken, n, room.data());
        keptTaken += n;
        return n;
    };
    std::uint64_t total = 0;
    for (;;) {
        // Reads go straight into the member being filled; when all members
        // are in use, this waits for the oldest and writes it.
        const std::span<std::uint8_t> room = pool.Room(target, failure);
        const std::size_t n = read(room.first(std::min(room.size(), ChunkSize)));
        if (n == 0)
            break;
        // A short read is taken as the end: the member goes to work now
        // rather than after one more read. Should the file go on, the next
        // member simply follows.
        pool.Filled(n, n < ChunkSize);
        total += n;
        pool.WriteFinished(target, failure, false);
        compression::ReportChunk(sink, n, k);
    }
    pool.Flush();  // an empty file still gets its (empty) member
    pool.WriteFinished(target, failure, true);
    return total;
}

std::uint64_t MyCompressGzip::Decompress(const std::string& source, const std::string& target, MyStream* sink,
                                         std::uint32_t nfSize)
{
    MyFile in(source, MyFile::OpenRead);
    MyFile out(target, MyFile::OpenWrite);
    return Decompress(in, out, sink, nfSize);
}

std::uint64_t MyCompressGzip::Decompress(MyFile& source, MyFile& target, MyStream* sink, std::uint32_t nfSize)
{
    const std::string failure = "Unable to gzread on '" + ShownName(source.GetFullFilename()) + "'";
    Inflater z(source.GetFullFilename());
    // Z_BUF_ERROR only says that no progress was possible: the loop sees
    // whether the input ran out.
    const auto decode = [&z] {
        const int result = inflate(&z.get(), Z_NO_FLUSH);
        if (result == Z_STREAM_END)
            return compression::Decoded::StreamEnd;
        return result == Z_OK || result == Z_BUF_ERROR ? compression::Decoded::Ok : compression::Decoded::Failed;
    };
    return compression::DecompressChunks(z.get(), 0x1F, [&z] { inflateReset(&z.get()); }, decode, source, target,
                                         sink, nfSize, ChunkSize, failure);
}

float MyCompressGzip::CalcReductKoeff()
{
    return compression::ReductKoeff();
}

float MyCompressGzip::CalcFullKoeff(std::uint64_t compressedLength, std::uint64_t nfSize)
{
    return compression::FullKoeff(compressedLength, nfSize);
}

} // namespace tessarin
