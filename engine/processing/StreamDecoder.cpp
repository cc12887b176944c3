#include "processing/StreamDecoder.h"

#include "foundation/ErrorHandler.h"
#include "foundation/OverlappedIo.h"
#include "processing/CompressionChunks.h"

#include <algorithm>

namespace tessarin::compression {

std::uint64_t StreamDecoder::Decompress(MyFile& source, MyFile& target, MyStream* sink, std::uint32_t nfSize,
                                        std::size_t chunkSize, const std::string& failure)
{
    const float k = FullKoeff(source.GetSize(), nfSize);
    // The compressed input is read ahead and the content written behind on
    // threads of their own; the library and the sink keep this thread.
    const bool overlapped = WorthOverlapping(std::max<std::uint64_t>(source.GetSize(), nfSize), chunkSize);
    ReadAhead reader(source, chunkSize, overlapped);
    WriteBehind writer(target, chunkSize, overlapped);
    std::span<std::uint8_t> in;
    bool atEof = false;
    bool ended = false;  // the current stream is complete
    std::uint64_t total = 0;
    try {
        for (;;) {
            const std::span<std::uint8_t> out = writer.Buffer();
            std::span<std::uint8_t> room = out;
            while (!room.empty()) {
                if (in.empty() && !atEof) {
                    const ReadAhead::Chunk chunk = reader.Next();
                    atEof = chunk.count == 0;
                    in = chunk.buffer.first(chunk.count);
                }
                if (ended) {
                    // Streams may follow one another (the input is all read when
                    // none is left here); anything else after a complete stream
                    // means the content is not what was compressed.
                    if (in.empty())
                        break;
                    if (in.front() != m_magic)
                        throw ErrorHandler(errc::ReadFailed, failure + TrailingData);
                    Restart();
                    ended = false;
                }
                const Step step = Run(in, room);
                if (step == Step::StreamEnd)
                    ended = true;
                else if (step == Step::Failed)
                    throw ErrorHandler(errc::ReadFailed, failure);
                else if (step == Step::Stalled && atEof && in.empty())
                    break;  // the input ends inside a stream
            }
            const std::size_t produced = out.size() - room.size();
            if (produced == 0) {
                if (!ended)
                    throw ErrorHandler(errc::ReadFailed, failure);
                break;
            }
            if (total + produced > nfSize)
                throw ErrorHandler(errc::ReadFailed, failure + SizeDiffers);
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
        throw ErrorHandler(errc::ReadFailed, failure + SizeDiffers);
    return total;
}

} // namespace tessarin::compression
