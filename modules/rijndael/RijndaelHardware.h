#pragma once
// What the hardware providers share: the layout of their round keys and the
// byte arrangement that gives the wide ShiftRows.
//
// ShiftRows for the 192- and 256-bit blocks on top of the 128-bit AES
// instructions.
//
// AESENC/AESDEC work on one 128-bit lane (four columns) and begin with the
// 128-bit ShiftRows (or InvShiftRows) of that lane. A wider block is held as
// lane 0 = columns 0..3 and lane 1 = columns 4..Nb-1. SubBytes works byte by
// byte, so it commutes with any byte permutation; MixColumns works per
// column. So if, before each round, every lane is filled with the bytes that
// the wide ShiftRows would put there, pre-arranged by the inverse of the
// lane's own 128-bit row shift, the instruction's row shift puts them in
// place and its SubBytes and MixColumns give exactly the wide round.
//
// gatherIndex() says, for every byte of the two pre-arranged lanes, which
// byte of the wide state (0..4*Nb-1, column-major) belongs there; kUnused
// marks the bytes of lane 1 beyond column Nb-1 in the 192-bit block, whose
// content never reaches the output.
#include "RijndaelProvider.h"

#include <array>
#include <cstdint>

namespace tessarin::rijndael {

// The hardware providers keep each round key as the block's bytes in order,
// which is what the AES instructions XOR in; the portable key expansion
// leaves big-endian words. Key setup runs once per key, so it reuses the
// portable expansion (including InvMixColumns for the decryption schedule)
// and swaps every word afterwards. x86 is little-endian.
inline void scheduleWordsToBytes(RijndaelContext& cx)
{
    const std::uint32_t words = kBlockWords * (cx.rounds + 1);
    for (std::uint32_t i = 0; i < words; ++i)
        cx.schedule[i] = __builtin_bswap32(cx.schedule[i]);
}

} // namespace tessarin::rijndael

namespace tessarin::rijndael::wide {

inline constexpr std::uint8_t kUnused = 0xff;

// Row r of the Rijndael state moves left by these many columns in ShiftRows.
constexpr unsigned rowShift(unsigned nb, unsigned row)
{
    constexpr unsigned shortShifts[4] = {0, 1, 2, 3};
    constexpr unsigned longShifts[4] = {0, 1, 3, 4};
    return nb == 8 ? longShifts[row] : shortShifts[row];
}

constexpr std::array<std::uint8_t, 32> gatherIndex(unsigned nb, bool inverse)
{
    std::array<std::uint8_t, 32> index{};
    for (auto& i : index)
        i = kUnused;
    for (unsigned lane = 0; lane < 2; ++lane) {
        for (unsigned q = 0; q < 16; ++q) {
            const unsigned column = 4 * lane + q / 4;
            const unsigned row = q % 4;
            if (column >= nb)
                continue;
            // Output column "column" takes row "row" from this wide column.
            const unsigned from = inverse ? (column + nb - rowShift(nb, row)) % nb
                                          : (column + rowShift(nb, row)) % nb;
            // The instruction's own row shift reads output byte q of the lane
            // from this position of its input.
            const unsigned laneColumn = q / 4;
            const unsigned readFrom = inverse ? 4 * ((laneColumn + 4 - row) % 4) + row
                                              : 4 * ((laneColumn + row) % 4) + row;
            index[16 * lane + readFrom] = static_cast<std::uint8_t>(4 * from + row);
        }
    }
    return index;
}

} // namespace tessarin::rijndael::wide
