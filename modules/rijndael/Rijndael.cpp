// The portable provider: table-driven Rijndael for the module's block length
// (a compile-time constant, so every round unrolls over the columns) and any
// of the three key lengths. Decryption uses the equivalent inverse cipher, so
// both directions run the same shape of round with different tables.
#include "RijndaelProvider.h"
#include "RijndaelTables.h"

#include <algorithm>
#include <array>
#include <utility>

namespace tessarin::rijndael {
namespace {

constexpr std::size_t Nb = kBlockWords;

// ShiftRows offsets of rows 1..3: the 256-bit block moves rows 2 and 3 one
// column further than the shorter blocks do.
constexpr std::size_t kShift1 = 1;
constexpr std::size_t kShift2 = Nb == 8 ? 3 : 2;
constexpr std::size_t kShift3 = Nb == 8 ? 4 : 3;

constexpr std::size_t kMaxScheduleWords = Nb * (14 + 1);
static_assert(kMaxScheduleWords <= sizeof(RijndaelContext::schedule) / sizeof(std::uint32_t));

using Block = std::array<std::uint32_t, Nb>;
constexpr auto kColumns = std::make_index_sequence<Nb>{};

constexpr const auto& Te = kTables.enc;
constexpr const auto& Td = kTables.dec;
constexpr const auto& Sbox = kTables.sbox;
constexpr const auto& InvSbox = kTables.invSbox;

constexpr std::uint8_t byteOf(std::uint32_t w, int row)
{
    return static_cast<std::uint8_t>(w >> (24 - 8 * row));
}

// Byte-wise so that buffers of any alignment are fine; compilers turn this
// into a single load and byte swap.
inline std::uint32_t loadWord(const std::uint8_t* p)
{
    return packWord(p[0], p[1], p[2], p[3]);
}

inline void storeWord(std::uint8_t* p, std::uint32_t w)
{
    p[0] = byteOf(w, 0);
    p[1] = byteOf(w, 1);
    p[2] = byteOf(w, 2);
    p[3] = byteOf(w, 3);
}

template <std::size_t... J>
inline Block loadBlock(const std::uint8_t* p, std::index_sequence<J...>)
{
    return Block{loadWord(p + 4 * J)...};
}

inline Block loadBlock(const std::uint8_t* p)
{
    return loadBlock(p, kColumns);
}

template <std::size_t... J>
inline void storeBlock(std::uint8_t* p, const Block& b, std::index_sequence<J...>)
{
    (storeWord(p + 4 * J, b[J]), ...);
}

inline void storeBlock(std::uint8_t* p, const Block& b)
{
    storeBlock(p, b, kColumns);
}

template <std::size_t... J>
inline Block xorBlock(const Block& a, const Block& b, std::index_sequence<J...>)
{
    return Block{(a[J] ^ b[J])...};
}

inline Block xorBlock(const Block& a, const Block& b)
{
    return xorBlock(a, b, kColumns);
}

inline Block xorKey(const Block& s, const std::uint32_t* rk)
{
    Block k;
    std::copy_n(rk, Nb, k.begin());
    return xorBlock(s, k);
}

// One full round: SubBytes, ShiftRows and MixColumns through the tables,
// then AddRoundKey. Column J of the result takes row r from column J + shift_r.
struct Forward {
    template <std::size_t... J>
    static void round(const Block& s, Block& t, const std::uint32_t* rk, std::index_sequence<J...>)
    {
        ((t[J] = Te[0][byteOf(s[J], 0)] ^ Te[1][byteOf(s[(J + kShift1) % Nb], 1)]
                 ^ Te[2][byteOf(s[(J + kShift2) % Nb], 2)]
                 ^ Te[3][byteOf(s[(J + kShift3) % Nb], 3)] ^ rk[J]),
         ...);
    }

    template <std::size_t... J>
    static void finalRound(const Block& s, Block& t, const std::uint32_t* rk, std::index_sequence<J...>)
    {
        ((t[J] = packWord(Sbox[byteOf(s[J], 0)], Sbox[byteOf(s[(J + kShift1) % Nb], 1)],
                          Sbox[byteOf(s[(J + kShift2) % Nb], 2)],
                          Sbox[byteOf(s[(J + kShift3) % Nb], 3)])
                 ^ rk[J]),
         ...);
    }
};

// The equivalent inverse cipher: InvSubBytes and InvShiftRows (row r now
// comes from column J - shift_r), InvMixColumns, then a round key that the
// decryption schedule has already passed through InvMixColumns.
struct Inverse {
    template <std::size_t... J>
    static void round(const Block& s, Block& t, const std::uint32_t* rk, std::index_sequence<J...>)
    {
        ((t[J] = Td[0][byteOf(s[J], 0)] ^ Td[1][byteOf(s[(J + Nb - kShift1) % Nb], 1)]
                 ^ Td[2][byteOf(s[(J + Nb - kShift2) % Nb], 2)]
                 ^ Td[3][byteOf(s[(J + Nb - kShift3) % Nb], 3)] ^ rk[J]),
         ...);
    }

    template <std::size_t... J>
    static void finalRound(const Block& s, Block& t, const std::uint32_t* rk, std::index_sequence<J...>)
    {
        ((t[J] = packWord(InvSbox[byteOf(s[J], 0)], InvSbox[byteOf(s[(J + Nb - kShift1) % Nb], 1)],
                          InvSbox[byteOf(s[(J + Nb - kShift2) % Nb], 2)],
                          InvSbox[byteOf(s[(J + Nb - kShift3) % Nb], 3)])
                 ^ rk[J]),
         ...);
    }
};

// Whitening, rounds - 1 full rounds, a final round. rounds is always even, so
// the full rounds are an odd count: pairs that bounce between two state
// buffers without copies, then one more.
template <class Direction>
inline Block runCipher(const Block& in, const std::uint32_t* rk, std::uint32_t rounds)
{
    Block s = xorKey(in, rk);
    Block t;
    rk += Nb;
    for (std::uint32_t pair = (rounds - 2) / 2; pair != 0; --pair) {
        Direction::round(s, t, rk, kColumns);
        Direction::round(t, s, rk + Nb, kColumns);
        rk += 2 * Nb;
    }
    Direction::round(s, t, rk, kColumns);
    Direction::finalRound(t, s, rk + Nb, kColumns);
    return s;
}

// ---- key schedule ----

inline std::uint32_t subWord(std::uint32_t w)
{
    return packWord(Sbox[byteOf(w, 0)], Sbox[byteOf(w, 1)], Sbox[byteOf(w, 2)], Sbox[byteOf(w, 3)]);
}

inline std::uint32_t rotWord(std::uint32_t w)
{
    return (w << 8) | (w >> 24);
}

// InvMixColumns of one column: the dec tables already include InvSubBytes,
// so feeding them S-box outputs leaves the bare column mix.
inline std::uint32_t invMixColumn(std::uint32_t w)
{
    return Td[0][Sbox[byteOf(w, 0)]] ^ Td[1][Sbox[byteOf(w, 1)]] ^ Td[2][Sbox[byteOf(w, 2)]]
           ^ Td[3][Sbox[byteOf(w, 3)]];
}

// Writes the forward schedule, Nb * (rounds + 1) words, and returns rounds.
// The schedule depends on the block length only through how many words are
// needed; the key length decides where SubWord and the round constants fall.
std::uint32_t expandKey(const std::uint8_t* key, unsigned nk, std::uint32_t* w)
{
    const std::uint32_t rounds = std::max<std::uint32_t>(Nb, nk) + 6;
    const std::uint32_t total = static_cast<std::uint32_t>(Nb) * (rounds + 1);
    for (unsigned i = 0; i < nk; ++i)
        w[i] = loadWord(key + 4 * i);
    std::uint8_t rcon = 1;
    for (std::uint32_t i = nk; i < total; ++i) {
        std::uint32_t temp = w[i - 1];
        if (i % nk == 0) {
            temp = subWord(rotWord(temp)) ^ (std::uint32_t{rcon} << 24);
            rcon = xtime(rcon);
        } else if (nk > 6 && i % nk == 4) {
            temp = subWord(temp);
        }
        w[i] = w[i - nk] ^ temp;
    }
    return rounds;
}

// Stores that the optimiser may not drop, for key material on the stack.
void wipe(void* p, std::size_t n)
{
    auto* bytes = static_cast<volatile std::uint8_t*>(p);
    for (; n != 0; --n)
        *bytes++ = 0;
}

void setEncryptKey(RijndaelContext& cx, const std::uint8_t* key, unsigned keyWords)
{
    cx.rounds = expandKey(key, keyWords, cx.schedule);
}

// Round keys in reverse order, the inner ones through InvMixColumns, so that
// decryption rounds can add the key after InvMixColumns like the forward ones.
void setDecryptKey(RijndaelContext& cx, const std::uint8_t* key, unsigned keyWords)
{
    std::array<std::uint32_t, kMaxScheduleWords> forward;
    const std::uint32_t rounds = expandKey(key, keyWords, forward.data());
    for (std::uint32_t r = 0; r <= rounds; ++r) {
        const std::uint32_t* from = forward.data() + (rounds - r) * Nb;
        std::uint32_t* to = cx.schedule + r * Nb;
        const bool inner = r != 0 && r != rounds;
        for (std::size_t j = 0; j < Nb; ++j)
            to[j] = inner ? invMixColumn(from[j]) : from[j];
    }
    cx.rounds = rounds;
    wipe(forward.data(), sizeof forward);
}

// ---- blocks and chaining ----

void encryptBlocks(const RijndaelContext& cx, const std::uint8_t* in, std::uint8_t* out, std::size_t blocks)
{
    const std::uint32_t* rk = cx.schedule;
    const std::uint32_t rounds = cx.rounds;
    for (; blocks != 0; --blocks, in += kBlockBytes, out += kBlockBytes)
        storeBlock(out, runCipher<Forward>(loadBlock(in), rk, rounds));
}

void decryptBlocks(const RijndaelContext& cx, const std::uint8_t* in, std::uint8_t* out, std::size_t blocks)
{
    const std::uint32_t* rk = cx.schedule;
    const std::uint32_t rounds = cx.rounds;
    for (; blocks != 0; --blocks, in += kBlockBytes, out += kBlockBytes)
        storeBlock(out, runCipher<Inverse>(loadBlock(in), rk, rounds));
}

// The register stays in words for the whole run and goes back to "chain" once
// at the end, so the next call continues the same stream.
void cbcEncrypt(const RijndaelContext& cx, const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                std::uint8_t* chain)
{
    const std::uint32_t* rk = cx.schedule;
    const std::uint32_t rounds = cx.rounds;
    Block r = loadBlock(chain);
    for (; blocks != 0; --blocks, in += kBlockBytes, out += kBlockBytes) {
        r = runCipher<Forward>(xorBlock(r, loadBlock(in)), rk, rounds);
        storeBlock(out, r);
    }
    storeBlock(chain, r);
}

void cfbEncrypt(const RijndaelContext& cx, const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                std::uint8_t* chain)
{
    const std::uint32_t* rk = cx.schedule;
    const std::uint32_t rounds = cx.rounds;
    Block r = loadBlock(chain);
    for (; blocks != 0; --blocks, in += kBlockBytes, out += kBlockBytes) {
        r = xorBlock(runCipher<Forward>(r, rk, rounds), loadBlock(in));
        storeBlock(out, r);
    }
    storeBlock(chain, r);
}

// Each ciphertext block is read before its output is written, and the
// register takes the ciphertext, so the stream continues in the next call.
void cbcDecrypt(const RijndaelContext& cx, const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                std::uint8_t* chain)
{
    const std::uint32_t* rk = cx.schedule;
    const std::uint32_t rounds = cx.rounds;
    Block r = loadBlock(chain);
    for (; blocks != 0; --blocks, in += kBlockBytes, out += kBlockBytes) {
        const Block c = loadBlock(in);
        storeBlock(out, xorBlock(runCipher<Inverse>(c, rk, rounds), r));
        r = c;
    }
    storeBlock(chain, r);
}

void cfbDecrypt(const RijndaelContext& cx, const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                std::uint8_t* chain)
{
    const std::uint32_t* rk = cx.schedule;
    const std::uint32_t rounds = cx.rounds;
    Block r = loadBlock(chain);
    for (; blocks != 0; --blocks, in += kBlockBytes, out += kBlockBytes) {
        const Block c = loadBlock(in);
        storeBlock(out, xorBlock(runCipher<Forward>(r, rk, rounds), c));
        r = c;
    }
    storeBlock(chain, r);
}

bool alwaysAvailable()
{
    return true;
}

constexpr Provider kPortable{
    "portable",    alwaysAvailable, setEncryptKey, setDecryptKey, encryptBlocks,
    decryptBlocks, cbcEncrypt,      cfbEncrypt,    cbcDecrypt,    cfbDecrypt,
};

} // namespace

const Provider& portableProvider()
{
    return kPortable;
}

Provider unavailableProvider(const char* name)
{
    Provider p = kPortable;
    p.name = name;
    p.available = [] { return false; };
    return p;
}

} // namespace tessarin::rijndael
