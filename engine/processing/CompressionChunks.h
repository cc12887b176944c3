#pragma once
// What the two compression adapters share: the per-chunk progress report
// with its break check, the progress coefficients, and the writing of
// compressed bytes under the adapter's own failure message.
#include "foundation/ErrorHandler.h"
#include "foundation/MyFile.h"
#include "foundation/MyStream.h"
#include "foundation/OverlappedIo.h"
#include "platform/Module.h"

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
    // Each decompressed byte stands for its share of the compressed file, so
    // that the step reports half of the container's units whether the
    // content shrank or (incompressible) grew when it was compressed.
    const float y = static_cast<float>(compressedLength) / static_cast<float>(nfSize);
    return y / 2048.0f;
}

// Decompression failures where the stream itself reads well but is not the
// whole content that was compressed.
inline constexpr char TrailingData[] = ": data follows the end of the compressed stream";
inline constexpr char SizeDiffers[] = ": the decompressed size differs from the recorded size";

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
        throw ErrorHandler(errc::WriteFailed, failure);
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
        throw ErrorHandler(errc::WriteFailed, *writeFailure);
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

} // namespace tessarin::compression
