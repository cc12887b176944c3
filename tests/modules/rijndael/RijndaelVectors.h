#pragma once
// The third-party Rijndael vectors in tests/data/rijndael_vectors.txt, read
// into records the table-driven tests iterate over.
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace tessarin::test {

using Bytes = std::vector<unsigned char>;

// Joins the parts with operator<<, for test names and traces.
template <class... Parts>
std::string label(const Parts&... parts)
{
    std::ostringstream out;
    (out << ... << parts);
    return out.str();
}

enum class ChainMode { Ecb, Cbc, Cfb };

const char* chainModeName(ChainMode mode);

// One block: E(key, plain) = cipher and D(key, cipher) = plain.
struct KnownAnswer {
    int line = 0;
    unsigned blockLength = 0;
    Bytes key;
    Bytes plain;
    Bytes cipher;
    std::string source;
};

// A multi-block stream processed from the chaining register "chain".
struct ModeVector {
    int line = 0;
    unsigned blockLength = 0;
    ChainMode mode = ChainMode::Ecb;
    Bytes key;
    Bytes chain; // the first blockLength bytes of the file's 32-byte value
    Bytes plain;
    Bytes cipher;

    std::size_t blocks() const { return plain.size() / blockLength; }
};

struct VectorFile {
    std::vector<KnownAnswer> knownAnswers;
    std::vector<ModeVector> modeVectors;
    // "line N: what is wrong", one per record that could not be used.
    std::vector<std::string> errors;
};

VectorFile parseVectorFile(const std::filesystem::path& path);

// The repository's vector file, parsed once.
const VectorFile& rijndaelVectors();

} // namespace tessarin::test
