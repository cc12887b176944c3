#pragma once
// The decompression loop that gzip and bzip2 share: compressed input read
// ahead, content written behind, streams that follow one another, trailing
// data and a size that differs from the recorded one refused. A library
// adapter only starts, restarts and steps its own decoder.
#include "foundation/MyFile.h"
#include "foundation/MyStream.h"

#include <cstdint>
#include <span>
#include <string>

namespace tessarin::compression {

class StreamDecoder {
public:
    StreamDecoder(const StreamDecoder&) = delete;
    StreamDecoder& operator=(const StreamDecoder&) = delete;

    // Decompresses source into target in chunks of chunkSize and returns the
    // bytes written; nfSize is the length recorded before compression. Every
    // failure of the content is a ReadFailed with failure as its message.
    std::uint64_t Decompress(MyFile& source, MyFile& target, MyStream* sink, std::uint32_t nfSize,
                             std::size_t chunkSize, const std::string& failure);

protected:
    enum class Step {
        Ok,
        StreamEnd,  // a whole stream (gzip member) was decoded
        Stalled,    // no progress until more input comes
        Failed,     // the data is not what the library can decode
    };

    // magic: the first byte of every stream, which tells a further stream
    // from trailing data.
    explicit StreamDecoder(std::uint8_t magic) : m_magic(magic) {}
    virtual ~StreamDecoder() = default;

    // Prepares for a further stream after the end of one.
    virtual void Restart() = 0;
    // Decodes from in into out; both are left holding what was not used.
    virtual Step Run(std::span<std::uint8_t>& in, std::span<std::uint8_t>& out) = 0;

private:
    std::uint8_t m_magic;
};

} // namespace tessarin::compression
