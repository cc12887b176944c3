#pragma once
// The third-party Rijndael vectors of tests/data, parsed once.
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace tessarin::test {

struct CipherVector {
    bool isMode = false;       // MODE record (5 blocks with a chaining value) or KAT (one block)
    int block = 0;
    int keyLength = 0;
    std::string mode;          // ECB, CBC, CFB for MODE records
    std::vector<std::uint8_t> key, chain, plain, cipher;
    std::string Name() const;
};

const std::vector<CipherVector>& AllVectors();

// Keeps test listings short: gtest would otherwise dump the raw bytes.
inline void PrintTo(const CipherVector& v, std::ostream* os) { *os << v.Name(); }

} // namespace tessarin::test
