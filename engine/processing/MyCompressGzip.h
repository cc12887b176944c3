#pragma once
// gzip compression of whole files before encryption and decompression after
// decryption, in chunks, with progress and the user's break. A long file is
// compressed as independent gzip members, one per core at a time (with
// libdeflate, at the user's level); every gzip reader, zlib's gzread among
// them, reads concatenated members as one file. zlib reads them back and is
// linked directly; LoadLibraryA stays as the check that "zlib.dll" is
// present with its file interface, so a batch refuses to start without it.
#include "EngineApi.h"
#include "foundation/MyFile.h"
#include "foundation/MyStream.h"
#include "platform/Module.h"

#include <cstdint>
#include <string>

namespace tessarin {

class ENGINE_API MyCompressGzip {
public:
    static constexpr std::size_t ChunkSize = 147456;
    static constexpr const char* LibraryName = "zlib.dll";

    // -30 "Unable to load 'libz.so.1'" when missing, -29 when an entry point
    // is. The handle keeps the library loaded until CloseLibrary.
    static platform::ModuleHandle LoadLibraryA();
    static void CloseLibrary(platform::ModuleHandle& module) { module.reset(); }

    // Compresses source into target at a level 1..9 and returns the number
    // of bytes read from source. The file forms open source for reading and
    // create or empty target.
    static std::uint64_t Compress(const std::string& source, const std::string& target, MyStream* sink, int level);
    static std::uint64_t Compress(MyFile& source, MyFile& target, MyStream* sink, int level);

    // Decompresses source into target and returns the bytes written. nfSize
    // is the length recorded before compression: it scales the progress, and
    // data that would grow beyond it is refused as corrupt.
    static std::uint64_t Decompress(const std::string& source, const std::string& target, MyStream* sink,
                                    std::uint32_t nfSize);
    static std::uint64_t Decompress(MyFile& source, MyFile& target, MyStream* sink, std::uint32_t nfSize);

    static float CalcReductKoeff();
    static float CalcFullKoeff(std::uint64_t compressedLength, std::uint64_t nfSize);
};

} // namespace tessarin
