#pragma once
// Lookup tables for the table-driven Rijndael rounds, computed by the
// compiler from the field arithmetic so there is no block of magic numbers to
// mistype. Words are big-endian: row 0 of a state column is the top byte.
#include <array>
#include <cstdint>

namespace tessarin::rijndael {

// Multiplication by x in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1.
constexpr std::uint8_t xtime(std::uint8_t b)
{
    return static_cast<std::uint8_t>((b << 1) ^ ((b & 0x80) != 0 ? 0x1b : 0x00));
}

constexpr std::uint8_t gmul(std::uint8_t a, std::uint8_t b)
{
    std::uint8_t product = 0;
    while (b != 0) {
        if ((b & 1) != 0)
            product = static_cast<std::uint8_t>(product ^ a);
        a = xtime(a);
        b = static_cast<std::uint8_t>(b >> 1);
    }
    return product;
}

constexpr std::uint8_t rotl8(std::uint8_t b, int n)
{
    return static_cast<std::uint8_t>((b << n) | (b >> (8 - n)));
}

constexpr std::uint32_t rotr32(std::uint32_t w, int n)
{
    return (w >> n) | (w << (32 - n));
}

constexpr std::uint32_t packWord(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3)
{
    return (std::uint32_t{b0} << 24) | (std::uint32_t{b1} << 16) | (std::uint32_t{b2} << 8) | b3;
}

struct Tables {
    std::array<std::uint8_t, 256> sbox{};
    std::array<std::uint8_t, 256> invSbox{};
    // enc[k][x]: MixColumns column of SubBytes(x) entering at row k.
    std::array<std::array<std::uint32_t, 256>, 4> enc{};
    // dec[k][x]: InvMixColumns column of InvSubBytes(x) entering at row k.
    std::array<std::array<std::uint32_t, 256>, 4> dec{};
};

constexpr Tables makeTables()
{
    Tables t;

    // Inverses through powers of the generator 3: inv(3^i) = 3^(255-i).
    std::array<std::uint8_t, 256> power{};
    std::array<std::uint8_t, 256> logarithm{};
    std::uint8_t p = 1;
    for (int i = 0; i < 255; ++i) {
        power[i] = p;
        logarithm[p] = static_cast<std::uint8_t>(i);
        p = static_cast<std::uint8_t>(p ^ xtime(p));
    }

    for (int x = 0; x < 256; ++x) {
        const std::uint8_t inverse = x == 0 ? 0 : power[(255 - logarithm[x]) % 255];
        const auto s = static_cast<std::uint8_t>(inverse ^ rotl8(inverse, 1) ^ rotl8(inverse, 2)
                                                 ^ rotl8(inverse, 3) ^ rotl8(inverse, 4) ^ 0x63);
        t.sbox[x] = s;
        t.invSbox[s] = static_cast<std::uint8_t>(x);
    }

    for (int x = 0; x < 256; ++x) {
        const std::uint8_t s = t.sbox[x];
        const std::uint8_t si = t.invSbox[x];
        const std::uint32_t e = packWord(gmul(s, 2), s, s, gmul(s, 3));
        const std::uint32_t d = packWord(gmul(si, 14), gmul(si, 9), gmul(si, 13), gmul(si, 11));
        for (int k = 0; k < 4; ++k) {
            t.enc[k][x] = k == 0 ? e : rotr32(e, 8 * k);
            t.dec[k][x] = k == 0 ? d : rotr32(d, 8 * k);
        }
    }
    return t;
}

alignas(64) inline constexpr Tables kTables = makeTables();

// Cheap guards that the generator above agrees with the published S-box.
static_assert(kTables.sbox[0x00] == 0x63 && kTables.sbox[0x53] == 0xed && kTables.sbox[0xff] == 0x16);
static_assert(kTables.invSbox[0x63] == 0x00 && kTables.invSbox[0x00] == 0x52);

} // namespace tessarin::rijndael
