#include "processing/MyCompressGzip.h"

#include "foundation/ErrorHandler.h"
#include "foundation/ShownName.h"
#include "processing/CompressionChunks.h"

#include <vector>
#include <zlib.h>

namespace tessarin {

namespace {

// deflate's window bits plus 16: a gzip wrapper (header and CRC trailer),
// the same stream that the library's gzip file interface writes.
constexpr int GzipWindowBits = 15 + 16;
constexpr int DefaultMemLevel = 8;

class Deflater {
public:
    Deflater(int level, const std::string& target)
    {
        if (deflateInit2(&m_stream, level, Z_DEFLATED, GzipWindowBits, DefaultMemLevel, Z_DEFAULT_STRATEGY) != Z_OK)
            throw ErrorHandler(errc::StreamOpenFailed, "Unable to open '" + ShownName(target) + "'");
    }
    ~Deflater() { deflateEnd(&m_stream); }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
    z_stream* operator->() { return &m_stream; }
    z_stream* get() { return &m_stream; }

private:
    z_stream m_stream{};
};

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
    z_stream* operator->() { return &m_stream; }
    z_stream* get() { return &m_stream; }

private:
    z_stream m_stream{};
};

// Runs deflate over the pending input (or to the end of the stream) and
// writes every byte it produces.
void Drain(Deflater& z, int flush, std::vector<std::uint8_t>& out, MyFile& target, const std::string& failure)
{
    for (;;) {
        z->next_out = out.data();
        z->avail_out = static_cast<uInt>(out.size());
        const int result = deflate(z.get(), flush);
        if (result == Z_STREAM_ERROR)
            throw ErrorHandler(errc::WriteFailed, failure);
        compression::WriteCompressed(target, std::span(out).first(out.size() - z->avail_out), failure);
        if (flush == Z_FINISH ? result == Z_STREAM_END : z->avail_out != 0)
            return;
    }
}

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
    Deflater z(compression::ClampLevel(level), target.GetFullFilename());
    const float k = CalcReductKoeff();
    std::vector<std::uint8_t> in(ChunkSize), out(ChunkSize);
    std::uint64_t total = 0;
    for (;;) {
        const std::size_t n = source.Read(in);
        if (n == 0)
            break;
        z->next_in = in.data();
        z->avail_in = static_cast<uInt>(n);
        Drain(z, Z_NO_FLUSH, out, target, failure);
        total += n;
        compression::ReportChunk(sink, n, k);
    }
    Drain(z, Z_FINISH, out, target, failure);
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
    const float k = CalcFullKoeff(source.GetSize(), nfSize);
    std::vector<std::uint8_t> in(ChunkSize), out(ChunkSize);
    bool atEof = false;
    bool ended = false;  // the current member is complete
    std::uint64_t total = 0;
    for (;;) {
        std::size_t produced = 0;
        while (produced < out.size()) {
            if (z->avail_in == 0 && !atEof) {
                const std::size_t n = source.Read(in);
                atEof = n == 0;
                z->next_in = in.data();
                z->avail_in = static_cast<uInt>(n);
            }
            if (ended) {
                // Members may follow one another (the input is all read when
                // none is left here); anything else after a complete member
                // means the content is not what was compressed.
                if (z->avail_in == 0)
                    break;
                if (z->next_in[0] != 0x1F)
                    throw ErrorHandler(errc::ReadFailed, failure + compression::TrailingData);
                inflateReset(z.get());
                ended = false;
            }
            z->next_out = out.data() + produced;
            z->avail_out = static_cast<uInt>(out.size() - produced);
            const int result = inflate(z.get(), Z_NO_FLUSH);
            produced = out.size() - z->avail_out;
            if (result == Z_STREAM_END)
                ended = true;
            else if (result == Z_BUF_ERROR && atEof && z->avail_in == 0)
                break;  // the input ends inside a member
            else if (result != Z_OK && result != Z_BUF_ERROR)
                throw ErrorHandler(errc::ReadFailed, failure);
        }
        if (produced == 0) {
            if (!ended)
                throw ErrorHandler(errc::ReadFailed, failure);
            break;
        }
        if (total + produced > nfSize)
            throw ErrorHandler(errc::ReadFailed, failure + compression::SizeDiffers);
        target.Write(std::span(out).first(produced));
        total += produced;
        compression::ReportChunk(sink, produced, k);
    }
    if (total != nfSize)
        throw ErrorHandler(errc::ReadFailed, failure + compression::SizeDiffers);
    return total;
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
