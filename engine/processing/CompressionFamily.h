#pragma once
// The compression families a filter word can name, in one table: the number
// stored in the high 16 bits of the filter word, the word a user reads, the
// suffix of the compressed content's name, the first words of the step
// lines, and the adapter that compresses, decompresses and checks for its
// library. Everything that spells a family asks here.
#include "EngineApi.h"
#include "foundation/MyFile.h"
#include "foundation/MyStream.h"
#include "platform/Module.h"

#include <cstdint>
#include <string>

namespace tessarin {

struct ENGINE_API CompressionFamily {
    static constexpr int None = 0;
    static constexpr int Gzip = 1;
    static constexpr int Bzip2 = 2;

    int number;
    const char* name;            // as the user reads it: "gzip", "bzip2"
    const char* suffix;          // of the compressed content's name: ".gz", ".bz"
    const char* compressWord;    // first word of the compression step's line
    const char* decompressWord;  // first word of the decompression step's line
    std::uint64_t (*compress)(MyFile& source, MyFile& target, MyStream* sink, int level);
    std::uint64_t (*decompress)(MyFile& source, MyFile& target, MyStream* sink, std::uint32_t nfSize);
    platform::ModuleHandle (*loadLibrary)();

    std::string Suffixed(const std::string& path) const { return path + suffix; }
    // Length of the suffix, so that a name can be cut back to what it stands for.
    std::size_t SuffixLength() const;

    // The family of that number; nullptr for None and for numbers this
    // program does not know.
    static const CompressionFamily* Of(int number);
    // The family of a filter word, as Of.
    static const CompressionFamily* OfFilter(std::uint32_t filter) { return Of(NumberOf(filter)); }
    static int NumberOf(std::uint32_t filter) { return static_cast<int>(filter >> 16); }
    static int LevelOf(std::uint32_t filter) { return static_cast<int>(filter & 0xFFFFu); }
    static std::uint32_t FilterWord(int number, std::uint32_t level)
    {
        return static_cast<std::uint32_t>(number) * 65536u + (level & 0xFFFFu);
    }
    // None or a family of the table.
    static bool IsKnown(int number) { return number == None || Of(number) != nullptr; }
    // "none", a family's name, or "unknown".
    static const char* NameOf(int number);
    // Fails with -35 for a filter word whose family this program does not know.
    static void CheckKnown(std::uint32_t filter);
};

} // namespace tessarin
