#include "processing/MyCompressBzip2.h"

#include "foundation/ErrorHandler.h"
#include "foundation/ShownName.h"
#include "processing/CompressionChunks.h"

#include <bzlib.h>
#include <vector>

namespace tessarin {

namespace {

// The library's default work factor, as its file interface uses it.
constexpr int DefaultWorkFactor = 30;

class Compressor {
public:
    Compressor(int level, const std::string& target)
    {
        if (BZ2_bzCompressInit(&m_stream, level, 0, DefaultWorkFactor) != BZ_OK)
            throw ErrorHandler(errc::StreamOpenFailed, "Unable to open '" + ShownName(target) + "'");
    }
    ~Compressor() { BZ2_bzCompressEnd(&m_stream); }
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;
    bz_stream* operator->() { return &m_stream; }
    bz_stream* get() { return &m_stream; }

private:
    bz_stream m_stream{};
};

class Decompressor {
public:
    explicit Decompressor(const std::string& source) : m_source(source) { Init(); }
    ~Decompressor() { BZ2_bzDecompressEnd(&m_stream); }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;
    bz_stream& get() { return m_stream; }

    // A further stream follows: start again, keeping the pending input.
    void Restart()
    {
        char* next = m_stream.next_in;
        const unsigned avail = m_stream.avail_in;
        BZ2_bzDecompressEnd(&m_stream);
        m_stream = bz_stream{};
        Init();
        m_stream.next_in = next;
        m_stream.avail_in = avail;
    }

private:
    void Init()
    {
        if (BZ2_bzDecompressInit(&m_stream, 0, 0) != BZ_OK)
            throw ErrorHandler(errc::StreamOpenFailed, "Unable to open '" + ShownName(m_source) + "'");
    }

    bz_stream m_stream{};
    std::string m_source;
};

// Runs the compressor over the pending input (or to the end of the stream)
// and hands every byte it produces to the writer.
void Drain(Compressor& bz, int action, WriteBehind& writer)
{
    for (;;) {
        const std::span<std::uint8_t> out = writer.Buffer();
        bz->next_out = reinterpret_cast<char*>(out.data());
        bz->avail_out = static_cast<unsigned>(out.size());
        const int result = BZ2_bzCompress(bz.get(), action);
        if (result < 0)
            throw ErrorHandler(errc::Bzip2Internal, "Something goes wrong inside bzip2 library");
        if (const std::size_t produced = out.size() - bz->avail_out; produced != 0)
            writer.Submit(produced);
        if (action == BZ_FINISH ? result == BZ_STREAM_END : bz->avail_in == 0)
            return;
    }
}

} // namespace

platform::ModuleHandle MyCompressBzip2::LoadLibraryA()
{
    return compression::LoadChecked(LibraryName, {"BZ2_bzopen", "BZ2_bzread", "BZ2_bzwrite", "BZ2_bzclose"});
}

std::uint64_t MyCompressBzip2::Compress(const std::string& source, const std::string& target, MyStream* sink,
                                        int level)
{
    MyFile in(source, MyFile::OpenRead);
    MyFile out(target, MyFile::OpenWrite);
    return Compress(in, out, sink, level);
}

std::uint64_t MyCompressBzip2::Compress(MyFile& source, MyFile& target, MyStream* sink, int level)
{
    const std::string failure = "Unable to write on '" + ShownName(target.GetFullFilename()) + "'";
    Compressor bz(compression::ClampLevel(level), target.GetFullFilename());
    const float k = CalcReductKoeff();
    // A bzip2 file must stay one stream (the library's reader stops after
    // the first), so the compressor cannot be split over cores. It keeps
    // this thread; the reads and writes run beside it.
    const StreamPlace place(compression::WorthOverlapping(source.GetSize(), ChunkSize));
    const bool overlapped = place.Overlapped();
    ReadAhead reader(source, ChunkSize, overlapped);
    WriteBehind writer(target, ChunkSize, overlapped);
    std::uint64_t total = 0;
    try {
        for (;;) {
            const ReadAhead::Chunk chunk = reader.Next();
            const std::size_t n = chunk.count;
            if (n == 0)
                break;
            bz->next_in = reinterpret_cast<char*>(chunk.buffer.data());
            bz->avail_in = static_cast<unsigned>(n);
            Drain(bz, BZ_RUN, writer);
            total += n;
            compression::ReportChunk(sink, n, k);
        }
        Drain(bz, BZ_FINISH, writer);
        reader.Stop();
        writer.Finish();
    } catch (...) {
        compression::RethrowInChunkOrder(reader, writer, &failure);
    }
    return total;
}

std::uint64_t MyCompressBzip2::Decompress(const std::string& source, const std::string& target, MyStream* sink,
                                          std::uint32_t nfSize)
{
    MyFile in(source, MyFile::OpenRead);
    MyFile out(target, MyFile::OpenWrite);
    return Decompress(in, out, sink, nfSize);
}

std::uint64_t MyCompressBzip2::Decompress(MyFile& source, MyFile& target, MyStream* sink, std::uint32_t nfSize)
{
    const std::string failure = "Unable to BZ2_bzread on '" + ShownName(source.GetFullFilename()) + "'";
    Decompressor bz(source.GetFullFilename());
    const auto decode = [&bz] {
        const int result = BZ2_bzDecompress(&bz.get());
        if (result == BZ_STREAM_END)
            return compression::Decoded::StreamEnd;
        return result == BZ_OK ? compression::Decoded::Ok : compression::Decoded::Failed;
    };
    return compression::DecompressChunks(bz.get(), 'B', [&bz] { bz.Restart(); }, decode, source, target, sink,
                                         nfSize, ChunkSize, failure);
}

float MyCompressBzip2::CalcReductKoeff()
{
    return compression::ReductKoeff();
}

float MyCompressBzip2::CalcFullKoeff(std::uint64_t compressedLength, std::uint64_t nfSize)
{
    return compression::FullKoeff(compressedLength, nfSize);
}

} // namespace tessarin
