// The AES-NI provider: Rijndael for the module's block length on the 128-bit
// AES instructions. A 128-bit block is one register; the 192- and 256-bit
// blocks are two registers whose bytes are re-arranged with PSHUFB before
// every round (see RijndaelHardware.h).
//
// Every function carries the target attribute instead of the whole module
// being compiled for these extensions: the module must still load and run
// the portable provider on a CPU without them.
#include "RijndaelHardware.h"
#include "RijndaelProvider.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#define AESNI_TARGET __attribute__((target("aes,sse4.1")))

namespace tessarin::rijndael {
namespace {

constexpr unsigned Nb = kBlockWords;

// Blocks in flight in the parallel modes: enough independent AESENCs to
// cover the instruction's latency, few enough that states and round key stay
// in the sixteen XMM registers.
constexpr std::size_t kLanes = Nb == 4 ? 8 : 4;

// lo holds columns 0..3; hi columns 4..Nb-1 of the wider blocks (its upper
// half unused at 192 bits) and nothing at all for 128-bit blocks, where the
// compiler drops it.
struct State {
    __m128i lo;
    __m128i hi;
};

AESNI_TARGET inline State load(const std::uint8_t* p)
{
    State s;
    s.lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    if constexpr (Nb == 8)
        s.hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    else if constexpr (Nb == 6)
        s.hi = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 16));
    else
        s.hi = _mm_setzero_si128();
    return s;
}

AESNI_TARGET inline void store(std::uint8_t* p, const State& s)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), s.lo);
    if constexpr (Nb == 8)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16), s.hi);
    else if constexpr (Nb == 6)
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 16), s.hi);
}

AESNI_TARGET inline State xorState(const State& a, const State& b)
{
    return State{_mm_xor_si128(a.lo, b.lo), _mm_xor_si128(a.hi, b.hi)};
}

// PSHUFB masks per destination lane and source register: a byte of lane d
// comes from register "source" when its gather index falls there; 0x80
// makes PSHUFB write zero, so OR-ing the two shuffles merges them.
struct LaneMasks {
    alignas(16) std::uint8_t m[2][2][16];
};

constexpr LaneMasks makeMasks(bool inverse)
{
    const auto index = wide::gatherIndex(Nb, inverse);
    LaneMasks masks{};
    for (unsigned lane = 0; lane < 2; ++lane)
        for (unsigned source = 0; source < 2; ++source)
            for (unsigned p = 0; p < 16; ++p) {
                const std::uint8_t from = index[16 * lane + p];
                const bool here = from != wide::kUnused && from / 16 == source;
                masks.m[lane][source][p] = here ? static_cast<std::uint8_t>(from % 16) : 0x80;
            }
    return masks;
}

alignas(16) constexpr LaneMasks kEncMasks = makeMasks(false);
alignas(16) constexpr LaneMasks kDecMasks = makeMasks(true);

[[maybe_unused]] AESNI_TARGET inline __m128i gather(const State& s, const LaneMasks& m, int lane)
{
    const auto* fromLo = reinterpret_cast<const __m128i*>(m.m[lane][0]);
    const auto* fromHi = reinterpret_cast<const __m128i*>(m.m[lane][1]);
    return _mm_or_si128(_mm_shuffle_epi8(s.lo, _mm_load_si128(fromLo)),
                        _mm_shuffle_epi8(s.hi, _mm_load_si128(fromHi)));
}

template <bool Inverse>
[[maybe_unused]] AESNI_TARGET inline State arrangeWideRows(const State& s)
{
    const LaneMasks& m = Inverse ? kDecMasks : kEncMasks;
    return State{gather(s, m, 0), gather(s, m, 1)};
}

// One round in either direction; Last selects AESENCLAST/AESDECLAST.
template <bool Inverse, bool Last>
AESNI_TARGET inline State round(const State& s, const State& k)
{
    State x = s;
    if constexpr (Nb != 4)
        x = arrangeWideRows<Inverse>(s);
    State r;
    if constexpr (!Inverse && !Last) {
        r.lo = _mm_aesenc_si128(x.lo, k.lo);
        r.hi = Nb == 4 ? x.hi : _mm_aesenc_si128(x.hi, k.hi);
    } else if constexpr (!Inverse) {
        r.lo = _mm_aesenclast_si128(x.lo, k.lo);
        r.hi = Nb == 4 ? x.hi : _mm_aesenclast_si128(x.hi, k.hi);
    } else if constexpr (!Last) {
        r.lo = _mm_aesdec_si128(x.lo, k.lo);
        r.hi = Nb == 4 ? x.hi : _mm_aesdec_si128(x.hi, k.hi);
    } else {
        r.lo = _mm_aesdeclast_si128(x.lo, k.lo);
        r.hi = Nb == 4 ? x.hi : _mm_aesdeclast_si128(x.hi, k.hi);
    }
    return r;
}

AESNI_TARGET inline State roundKey(const RijndaelContext& cx, std::uint32_t r)
{
    return load(reinterpret_cast<const std::uint8_t*>(cx.schedule) + r * kBlockBytes);
}

// N independent blocks through the whole cipher, round by round, so that
// the N AES instructions of a round overlap in the pipeline. The loops over
// the blocks are unrolled by force: rolled, the states live on the stack and
// every round pays a store and a reload.
template <bool Inverse, std::size_t N>
AESNI_TARGET inline void cipher(const RijndaelContext& cx, State (&s)[N])
{
    const std::uint32_t rounds = cx.rounds;
    State k = roundKey(cx, 0);
    #pragma GCC unroll 16
    for (std::size_t i = 0; i < N; ++i)
        s[i] = xorState(s[i], k);
    for (std::uint32_t r = 1; r < rounds; ++r) {
        k = roundKey(cx, r);
        #pragma GCC unroll 16
        for (std::size_t i = 0; i < N; ++i)
            s[i] = round<Inverse, false>(s[i], k);
    }
    k = roundKey(cx, rounds);
    #pragma GCC unroll 16
    for (std::size_t i = 0; i < N; ++i)
        s[i] = round<Inverse, true>(s[i], k);
}

AESNI_TARGET inline State encryptOne(const RijndaelContext& cx, const State& in)
{
    State s[1] = {in};
    cipher<false>(cx, s);
    return s[0];
}

// ---- keys ----

void setEncryptKey(RijndaelContext& cx, const std::uint8_t* key, unsigned keyWords)
{
    portableProvider().setEncryptKey(cx, key, keyWords);
    scheduleWordsToBytes(cx);
}

void setDecryptKey(RijndaelContext& cx, const std::uint8_t* key, unsigned keyWords)
{
    portableProvider().setDecryptKey(cx, key, keyWords);
    scheduleWordsToBytes(cx);
}

// ---- modes ----

template <bool Inverse>
AESNI_TARGET void ecb(const RijndaelContext& cx, const std::uint8_t* in, std::uint8_t* out, std::size_t blocks)
{
    for (; blocks >= kLanes; blocks -= kLanes, in += kLanes * kBlockBytes, out += kLanes * kBlockBytes) {
        State s[kLanes];
        #pragma GCC unroll 16
        for (std::size_t i = 0; i < kLanes; ++i)
            s[i] = load(in + i * kBlockBytes);
        cipher<Inverse>(cx, s);
        #pragma GCC unroll 16
        for (std::size_t i = 0; i < kLanes; ++i)
            store(out + i * kBlockBytes, s[i]);
    }
    for (; blocks != 0; --blocks, in += kBlockBytes, out += kBlockBytes) {
        State s[1] = {load(in)};
        cipher<Inverse>(cx, s);
        store(out, s[0]);
    }
}

AESNI_TARGET void encryptBlocks(const RijndaelContext& cx, const std::uint8_t* in, std::uint8_t* out,
                                std::size_t blocks)
{
    ecb<false>(cx, in, out, blocks);
}

AESNI_TARGET void decryptBlocks(const RijndaelContext& cx, const std::uint8_t* in, std::uint8_t* out,
                                std::size_t blocks)
{
    ecb<true>(cx, in, out, blocks);
}

// The encrypting chains are serial by nature: each block needs the previous
// output, so the loop is one cipher after another with nothing else on the
// dependency path but one XOR.
AESNI_TARGET void cbcEncrypt(const RijndaelContext& cx, const std::uint8_t* in, std::uint8_t* out,
                             std::size_t blocks, std::uint8_t* chain)
{
    State r = load(chain);
    for (; blocks != 0; --blocks, in += kBlockBytes, out += kBlockBytes) {
        r = encryptOne(cx, xorState(r, load(in)));
        store(out, r);
    }
    store(chain, r);
}

AESNI_TARGET void cfbEncrypt(const RijndaelContext& cx, const std::uint8_t* in, std::uint8_t* out,
                             std::size_t blocks, std::uint8_t* chain)
{
    State r = load(chain);
    for (; blocks != 0; --blocks, in += kBlockBytes, out += kBlockBytes) {
        r = xorState(encryptOne(cx, r), load(in));
        store(out, r);
    }
    store(chain, r);
}

// Decrypting chains read only ciphertext, so kLanes blocks go through the
// cipher together. Ciphertext is loaded before any output of the group is
// stored.
AESNI_TARGET void cbcDecrypt(const RijndaelContext& cx, const std::uint8_t* in, std::uint8_t* out,
                             std::size_t blocks, std::uint8_t* chain)
{
    State previous = load(chain);
    for (; blocks >= kLanes; blocks -= kLanes, in += kLanes * kBlockBytes, out += kLanes * kBlockBytes) {
        State c[kLanes];
        State s[kLanes];
        #pragma GCC unroll 16
        for (std::size_t i = 0; i < kLanes; ++i)
            s[i] = c[i] = load(in + i * kBlockBytes);
        cipher<true>(cx, s);
        store(out, xorState(s[0], previous));
        #pragma GCC unroll 16
        for (std::size_t i = 1; i < kLanes; ++i)
            store(out + i * kBlockBytes, xorState(s[i], c[i - 1]));
        previous = c[kLanes - 1];
    }
    for (; blocks != 0; --blocks, in += kBlockBytes, out += kBlockBytes) {
        const State c = load(in);
        State s[1] = {c};
        cipher<true>(cx, s);
        store(out, xorState(s[0], previous));
        previous = c;
    }
    store(chain, previous);
}

AESNI_TARGET void cfbDecrypt(const RijndaelContext& cx, const std::uint8_t* in, std::uint8_t* out,
                             std::size_t blocks, std::uint8_t* chain)
{
    State previous = load(chain);
    for (; blocks >= kLanes; blocks -= kLanes, in += kLanes * kBlockBytes, out += kLanes * kBlockBytes) {
        State c[kLanes];
        State s[kLanes];
        #pragma GCC unroll 16
        for (std::size_t i = 0; i < kLanes; ++i)
            c[i] = load(in + i * kBlockBytes);
        s[0] = previous;
        #pragma GCC unroll 16
        for (std::size_t i = 1; i < kLanes; ++i)
            s[i] = c[i - 1];
        cipher<false>(cx, s);
        #pragma GCC unroll 16
        for (std::size_t i = 0; i < kLanes; ++i)
            store(out + i * kBlockBytes, xorState(s[i], c[i]));
        previous = c[kLanes - 1];
    }
    for (; blocks != 0; --blocks, in += kBlockBytes, out += kBlockBytes) {
        const State c = load(in);
        store(out, xorState(encryptOne(cx, previous), c));
        previous = c;
    }
    store(chain, previous);
}

bool available()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("aes") && __builtin_cpu_supports("sse4.1");
}

constexpr Provider kAesni{
    "aesni",       available,  setEncryptKey, setDecryptKey, encryptBlocks,
    decryptBlocks, cbcEncrypt, cfbEncrypt,    cbcDecrypt,    cfbDecrypt,
};

} // namespace

const Provider& aesniProvider()
{
    return kAesni;
}

} // namespace tessarin::rijndael

#else // not x86

namespace tessarin::rijndael {

const Provider& aesniProvider()
{
    static const Provider unavailable = unavailableProvider("aesni");
    return unavailable;
}

} // namespace tessarin::rijndael

#endif
