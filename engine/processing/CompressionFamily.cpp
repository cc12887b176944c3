// The table of compression families and its look-ups.
#include "processing/CompressionFamily.h"

#include "foundation/ErrorHandler.h"
#include "processing/MyCompressBzip2.h"
#include "processing/MyCompressGzip.h"

#include <cstring>

namespace tessarin {

namespace {

// The adapters' overloads on open files.
std::uint64_t GzipCompress(MyFile& s, MyFile& t, MyStream* sink, int level)
{
    return MyCompressGzip::Compress(s, t, sink, level);
}
std::uint64_t GzipDecompress(MyFile& s, MyFile& t, MyStream* sink, std::uint32_t nf)
{
    return MyCompressGzip::Decompress(s, t, sink, nf);
}
std::uint64_t Bzip2Compress(MyFile& s, MyFile& t, MyStream* sink, int level)
{
    return MyCompressBzip2::Compress(s, t, sink, level);
}
std::uint64_t Bzip2Decompress(MyFile& s, MyFile& t, MyStream* sink, std::uint32_t nf)
{
    return MyCompressBzip2::Decompress(s, t, sink, nf);
}

const CompressionFamily Families[] = {
    {CompressionFamily::Gzip, "gzip", ".gz", "Deflating ", "Inflating ", GzipCompress, GzipDecompress,
     MyCompressGzip::LoadLibraryA},
    {CompressionFamily::Bzip2, "bzip2", ".bz", "BZipping ", "BUnzipping ", Bzip2Compress, Bzip2Decompress,
     MyCompressBzip2::LoadLibraryA},
};

} // namespace

std::size_t CompressionFamily::SuffixLength() const
{
    return std::strlen(suffix);
}

const CompressionFamily* CompressionFamily::Of(int number)
{
    for (const CompressionFamily& family : Families) {
        if (family.number == number)
            return &family;
    }
    return nullptr;
}

const char* CompressionFamily::NameOf(int number)
{
    if (number == None)
        return "none";
    const CompressionFamily* family = Of(number);
    return family ? family->name : "unknown";
}

void CompressionFamily::CheckKnown(std::uint32_t filter)
{
    if (!IsKnown(NumberOf(filter)))
        throw ErrorHandler(errc::UnknownFilter, "This file was processed using an unknown filter!");
}

} // namespace tessarin
