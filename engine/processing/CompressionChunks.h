#pragma once
// What the two compression adapters share: the per-chunk progress report
// with its break check, the progress coefficients, the writing of
// compressed bytes under the adapter's own failure message, and the
// decompression loop over either library's stream.
#include "foundation/ErrorHandler.h"
#include "foundation/MyFile.h"
#include "foundation/MyStream.h"
#include "foundation/OverlappedIo.h"
#include "platform/Module.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>

namespace tessarin::compression {

// Each of the two steps of a compressed file reports half of its share.
inline float ReductKoeff()
{
    return 1.0f / 2048.0f;
}

inline float FullKoeff(std::uint64_t compressedLength, std::uint64_t nfSize)
{
    // An empty side has no ratio; it counts as 1:1 so the progress stays finite.
    if (compressedLength == 0 || nfSize == 0)
        return 1.0f / 2048.0f;
    // The ratio of the two sizes taken the way down: a content that shrank
    // when it was compressed reports half of the compressed file's units.
    const float x = static_cast<float>(nfSize) / static_cast<float>(compressedLength);
    const float y = x < 1.0f ? x : 1.0f / x;
    return y / 2048.0f;
}

// Reasons of decompression failures where the stream itself reads well but
// is not the whole content that was compressed.
inline constexpr char TrailingData[] = "data follows the end of the compressed stream";
inline constexpr char SizeDiffers[] = "the decompressed size differs from the recorded size";

inline void ReportChunk(MyStream* sink, std::size_t count, float k)
{
    if (!sink)
        return;
    sink->AddProgress(static_cast<float>(count) * k);
    if (sink->IsBreakRequested())
        throw ErrorHandler(errc::BreakByUser, "Break by user!");
}

// A failed write of compressed output is the adapter's write failure.
inline void WriteCompressed(MyFile& target, std::span<const std::uint8_t> bytes, const std::string& failure)
{
    if (bytes.empty())
        return;
    try {
        target.Write(bytes);
    } catch (const ErrorHandler& e) {
        if (e.GetErrCode() != errc::WriteFailed)
            throw;
        throw ErrorHandler(errc::WriteFailed, failure, e.GetReason());
    }
}

// Threads pay off only from a few chunks on; smaller files are streamed on
// the caller's thread.
inline bool WorthOverlapping(std::uint64_t bytes, std::size_t chunkSize)
{
    return OverlapAllowed() && bytes >= 3 * static_cast<std::uint64_t>(chunkSize);
}

// Leaving a chunk loop that writes through a WriteBehind, by any exception:
// the failure the serial loop would have met first, as the codec decides it,
// where a failed write of the adapter's output, when writeFailure is given,
// is reported in the adapter's own words.
[[noreturn]] inline void RethrowInChunkOrder(ReadAhead& reader, WriteBehind& writer,
                                             const std::string* writeFailure = nullptr)
{
    try {
        tessarin::RethrowInChunkOrder(reader, writer);
    } catch (const ErrorHandler& e) {
        if (!writeFailure || e.GetErrCode() != errc::WriteFailed || !writer.Failure())
            throw;
        throw ErrorHandler(errc::WriteFailed, *writeFailure, e.GetReason());
    }
}

// The library is linked directly; loading it by name only proves that it
// is installed and whole, with the adapter's own messages.
inline platform::ModuleHandle LoadChecked(const char* logicalName, std::initializer_list<const char*> entries)
{
    platform::ModuleHandle module = platform::Module::Load(logicalName);
    if (!module)
        throw ErrorHandler(errc::LibraryNotFound,
                           "Unable to load '" + platform::Module::ShownNameFor(logicalName) + "'");
    for (const char* entry : entries) {
        if (!platform::Module::Symbol(module, entry))
            throw ErrorHandler(errc::LibraryFunctions, "Unable to load DLL functions!");
    }
    return module;
}

inline int ClampLevel(int level)
{
    return level < 1 ? 1 : (level > 9 ? 9 : level);
}

// How one step of a library's decoder ended; "no progress for want of
// input" counts as Ok.
enum class Decoded { Ok, StreamEnd, Failed };

// Decompresses source into target through a library stream z (next_in,
// avail_in, next_out, avail_out) and returns the bytes written; nfSize is
// the length recorded before compression. Streams may follow one another,
// each starting with the byte magic: restart() prepares z for the next one,
// decode() runs the library once. Every failure of the content is a
// ReadFailed under failure.
template <typename Stream, typename Restart, typename Decode>
std::uint64_t DecompressChunks(Stream& z, std::uint8_t magic, Restart restart, Decode decode, MyFile& source,
                               MyFile& target, MyStream* sink, std::uint32_t nfSize, std::size_t chunkSize,
                               const std::string& failure)
{
    using Count = decltype(z.avail_in);
    const float k = FullKoeff(source.GetSize(), nfSize);
    // The compressed input is read ahead and the content written behind on
    // threads of their own; the library and the sink keep this thread.
    const StreamPlace place(WorthOverlapping(std::max<std::uint64_t>(source.GetSize(), nfSize), chunkSize));
    const bool overlapped = place.Overlapped();
    ReadAhead reader(source, chunkSize, overlapped);
    WriteBehind writer(target, chunkSize, overlapped);
    bool atEof = false;
    bool ended = false;  // the current stream is complete
    std::uint64_t total = 0;
    try {
        for (;;) {
            const std::span<std::uint8_t> out = writer.Buffer();
            std::size_t produced = 0;
            while (produced < out.size()) {
                if (z.avail_in == 0 && !atEof) {
                    const ReadAhead::Chunk chunk = reader.Next();
                    atEof = chunk.count == 0;
                    z.next_in = reinterpret_cast<decltype(z.next_in)>(chunk.buffer.data());
                    z.avail_in = static_cast<Count>(chunk.count);
                }
                if (ended) {
                    // Streams may follow one another (the input is all read when
                    // none is left here); anything else after a complete stream
                    // means the content is not what was compressed.
                    if (z.avail_in == 0)
                        break;
                    if (static_cast<std::uint8_t>(z.next_in[0]) != magic)
                        throw ErrorHandler(errc::ReadFailed, failure, TrailingData);
                    restart();
                    ended = false;
                }
                z.next_out = reinterpret_cast<decltype(z.next_out)>(out.data() + produced);
                z.avail_out = static_cast<Count>(out.size() - produced);
                const Count availBefore = z.avail_in;
                const std::size_t producedBefore = produced;
                const Decoded result = decode();
                produced = out.size() - z.avail_out;
                if (result == Decoded::StreamEnd)
                    ended = true;
                else if (result == Decoded::Failed)
                    throw ErrorHandler(errc::ReadFailed, failure);
                else if (atEof && z.avail_in == 0 && availBefore == 0 && produced == producedBefore)
                    break;  // the input ends inside a stream
            }
            if (produced == 0) {
                if (!ended)
                    throw ErrorHandler(errc::ReadFailed, failure);
                break;
            }
            if (total + produced > nfSize)
                throw ErrorHandler(errc::ReadFailed, failure, SizeDiffers);
            writer.Submit(produced);
            total += produced;
            ReportChunk(sink, produced, k);
        }
        reader.Stop();
        writer.Finish();
    } catch (...) {
        compression::RethrowInChunkOrder(reader, writer);  // the compression one, not tessarin::
    }
    if (total != nfSize)
        throw ErrorHandler(errc::ReadFailed, failure, SizeDiffers);
    return total;
}

} // namespace tessarin::compression
