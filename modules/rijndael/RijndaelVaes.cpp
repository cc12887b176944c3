// The VAES provider: the AES round instructions on 512-bit registers, four
// 128-bit lanes per instruction, for CPUs with VAES and AVX-512 VBMI.
//
// Blocks sit packed in a register, column after column: four 128-bit blocks,
// or two 192-bit blocks (twelve columns, three lanes) or two 256-bit blocks.
// Each lane of VAESENC holds four whole columns, whichever block they belong
// to, because MixColumns works per column and SubBytes per byte. For the
// wider blocks one VPERMB before each round moves every byte to where the
// lane's own 128-bit row shift will take it to its wide-ShiftRows place; the
// same idea as the two-register shuffles of the AES-NI provider, but one
// instruction for the whole register.
//
// Round keys use the same byte layout as the AES-NI provider, so key setup
// and the serial modes of 128-bit blocks are delegated to it.
#include "RijndaelHardware.h"
#include "RijndaelProvider.h"

#if defined(__x86_64__) || defined(__i386__)

#include <cpuid.h>
#include <immintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

#define VAES_TARGET __attribute__((target("aes,sse4.1,avx2,avx512f,avx512bw,avx512vl,avx512vbmi,vaes")))

namespace tessarin::rijndael {
namespace {

constexpr unsigned Nb = kBlockWords;
constexpr std::size_t kBlocksPerRegister = Nb == 4 ? 4 : 2;
constexpr std::size_t kRegisterBytes = kBlocksPerRegister * kBlockBytes; // 64 or 48
// Registers in flight: enough to keep both AES units busy across their
// latency in the parallel modes.
constexpr std::size_t kRegisters = 4;
constexpr std::size_t kGroupBlocks = kRegisters * kBlocksPerRegister;

// VPERMB indices for a register of packed blocks: output byte p of the
// permutation takes input byte index[p].
struct Permutation {
    alignas(64) std::uint8_t index[64];
};

// Output byte (row r, register column G = b * Nb + c) of a round must be
// the S-box of block b's byte in row r, column c shifted by the wide row
// offset. The instruction computes lane column G % 4 of row r from lane
// column (G % 4 + r) % 4 (forward) or (G % 4 - r) % 4 (inverse) of the same
// lane, so that is where VPERMB must put the byte.
constexpr Permutation makePermutation(bool inverse)
{
    Permutation perm{};
    for (unsigned b = 0; b < kBlocksPerRegister; ++b) {
        for (unsigned c = 0; c < Nb; ++c) {
            for (unsigned r = 0; r < 4; ++r) {
                const unsigned shift = wide::rowShift(Nb, r);
                const unsigned from = inverse ? (c + Nb - shift) % Nb : (c + shift) % Nb;
                const unsigned column = b * Nb + c;
                const unsigned read = inverse ? (column % 4 + 4 - r) % 4 : (column % 4 + r) % 4;
                perm.index[16 * (column / 4) + 4 * read + r] = static_cast<std::uint8_t>(b * kBlockBytes + 4 * from + r);
            }
        }
    }
    return perm;
}

// Byte j of a register of round keys is byte j mod blockLength of the key.
constexpr Permutation makeRepeat()
{
    Permutation perm{};
    for (unsigned j = 0; j < 64; ++j)
        perm.index[j] = static_cast<std::uint8_t>(j % kBlockBytes);
    return perm;
}

alignas(64) constexpr Permutation kRepeatKey = makeRepeat();
alignas(64) constexpr Permutation kEncPermutation = makePermutation(false);
alignas(64) constexpr Permutation kDecPermutation = makePermutation(true);

constexpr __mmask64 byteMask(std::size_t bytes)
{
    return bytes >= 64 ? ~__mmask64{0} : (__mmask64{1} << bytes) - 1;
}

VAES_TARGET inline __m512i loadBlocks(const std::uint8_t* p, std::size_t blocks)
{
    return _mm512_maskz_loadu_epi8(byteMask(blocks * kBlockBytes), p);
}

VAES_TARGET inline void storeBlocks(std::uint8_t* p, __m512i v, std::size_t blocks)
{
    _mm512_mask_storeu_epi8(p, byteMask(blocks * kBlockBytes), v);
}

// VPERMB in its zero-masked form with every byte selected: the plain
// intrinsic starts from an "undefined" register that g++ 12 warns about.
[[maybe_unused]] VAES_TARGET inline __m512i permute(__m512i index, __m512i v)
{
    return _mm512_maskz_permutexvar_epi8(~__mmask64{0}, index, v);
}

// Every round key repeated for each block of a register, built once per call.
struct Keys {
    __m512i round[15];
    std::uint32_t rounds;
};

VAES_TARGET inline void loadKeys(const RijndaelContext& cx, Keys& keys)
{
    const auto* schedule = reinterpret_cast<const std::uint8_t*>(cx.schedule);
    keys.rounds = cx.rounds;
    for (std::uint32_t r = 0; r <= cx.rounds; ++r) {
        const std::uint8_t* k = schedule + r * kBlockBytes;
        if constexpr (Nb == 4) {
            // The zero-masked form: the plain broadcast starts from an
            // "undefined" register that g++ 12 warns about.
            const __m128i once = _mm_loadu_si128(reinterpret_cast<const __m128i*>(k));
            keys.round[r] = _mm512_maskz_broadcast_i32x4(__mmask16{0xffff}, once);
        } else {
            const __m512i repeat = _mm512_load_si512(kRepeatKey.index);
            keys.round[r] = permute(repeat, loadBlocks(k, 1));
        }
    }
}

template <bool Inverse, std::size_t N>
VAES_TARGET inline void cipher(const Keys& keys, __m512i (&s)[N])
{
    const __m512i perm = _mm512_load_si512(Inverse ? kDecPermutation.index : kEncPermutation.index);
    #pragma GCC unroll 16
    for (std::size_t i = 0; i < N; ++i)
        s[i] = _mm512_xor_si512(s[i], keys.round[0]);
    for (std::uint32_t r = 1; r <= keys.rounds; ++r) {
        const __m512i k = keys.round[r];
        const bool last = r == keys.rounds;
        #pragma GCC unroll 16
        for (std::size_t i = 0; i < N; ++i) {
            __m512i x = s[i];
            if constexpr (Nb != 4)
                x = permute(perm, x);
            if constexpr (Inverse)
                s[i] = last ? _mm512_aesdeclast_epi128(x, k) : _mm512_aesdec_epi128(x, k);
            else
                s[i] = last ? _mm512_aesenclast_epi128(x, k) : _mm512_aesenc_epi128(x, k);
        }
    }
}

// Whole groups of kRegisters registers, then one register at a time, the
// last one partly filled.
template <bool Inverse>
VAES_TARGET void ecb(const RijndaelContext& cx, const std::uint8_t* in, std::uint8_t* out, std::size_t blocks)
{
    Keys keys;
    loadKeys(cx, keys);
    for (; blocks >= kGroupBlocks; blocks -= kGroupBlocks, in += kGroupBlocks * kBlockBytes,
                                   out += kGroupBlocks * kBlockBytes) {
        __m512i s[kRegisters];
        #pragma GCC unroll 16
        for (std::size_t i = 0; i < kRegisters; ++i)
            s[i] = loadBlocks(in + i * kRegisterBytes, kBlocksPerRegister);
        cipher<Inverse>(keys, s);
        #pragma GCC unroll 16
        for (std::size_t i = 0; i < kRegisters; ++i)
            storeBlocks(out + i * kRegisterBytes, s[i], kBlocksPerRegister);
    }
    while (blocks != 0) {
        const std::size_t n = blocks < kBlocksPerRegister ? blocks : kBlocksPerRegister;
        __m512i s[1] = {loadBlocks(in, n)};
        cipher<Inverse>(keys, s);
        storeBlocks(out, s[0], n);
        blocks -= n;
        in += n * kBlockBytes;
        out += n * kBlockBytes;
    }
}

VAES_TARGET void encryptBlocks(const RijndaelContext& cx, const std::uint8_t* in, std::uint8_t* out,
                               std::size_t blocks)
{
    ecb<false>(cx, in, out, blocks);
}

VAES_TARGET void decryptBlocks(const RijndaelContext& cx, const std::uint8_t* in, std::uint8_t* out,
                               std::size_t blocks)
{
    ecb<true>(cx, in, out, blocks);
}

// CBC and CFB decryption: the first block is chained to the register, every
// later block to the ciphertext just before it in "in", which a load at one
// block's offset gives for a whole register of blocks at once.
template <bool Cfb>
VAES_TARGET void chainDecrypt(const RijndaelContext& cx, const std::uint8_t* in, std::uint8_t* out,
                              std::size_t blocks, std::uint8_t* chain)
{
    if (blocks == 0)
        return;
    const Provider& serial = aesniProvider();
    if (Cfb)
        serial.cfbDecrypt(cx, in, out, 1, chain);
    else
        serial.cbcDecrypt(cx, in, out, 1, chain);
    const std::uint8_t* const last = in + (blocks - 1) * kBlockBytes;
    in += kBlockBytes;
    out += kBlockBytes;
    blocks -= 1;

    Keys keys;
    loadKeys(cx, keys);
    for (; blocks >= kGroupBlocks; blocks -= kGroupBlocks, in += kGroupBlocks * kBlockBytes,
                                   out += kGroupBlocks * kBlockBytes) {
        __m512i c[kRegisters];
        __m512i previous[kRegisters];
        #pragma GCC unroll 16
        for (std::size_t i = 0; i < kRegisters; ++i) {
            c[i] = loadBlocks(in + i * kRegisterBytes, kBlocksPerRegister);
            previous[i] = loadBlocks(in + i * kRegisterBytes - kBlockBytes, kBlocksPerRegister);
        }
        if constexpr (Cfb) {
            cipher<false>(keys, previous);
            #pragma GCC unroll 16
            for (std::size_t i = 0; i < kRegisters; ++i)
                storeBlocks(out + i * kRegisterBytes, _mm512_xor_si512(previous[i], c[i]), kBlocksPerRegister);
        } else {
            cipher<true>(keys, c);
            #pragma GCC unroll 16
            for (std::size_t i = 0; i < kRegisters; ++i)
                storeBlocks(out + i * kRegisterBytes, _mm512_xor_si512(c[i], previous[i]), kBlocksPerRegister);
        }
    }
    while (blocks != 0) {
        const std::size_t n = blocks < kBlocksPerRegister ? blocks : kBlocksPerRegister;
        __m512i c[1] = {loadBlocks(in, n)};
        __m512i previous[1] = {loadBlocks(in - kBlockBytes, n)};
        if constexpr (Cfb) {
            cipher<false>(keys, previous);
            storeBlocks(out, _mm512_xor_si512(previous[0], c[0]), n);
        } else {
            cipher<true>(keys, c);
            storeBlocks(out, _mm512_xor_si512(c[0], previous[0]), n);
        }
        blocks -= n;
        in += n * kBlockBytes;
        out += n * kBlockBytes;
    }
    std::copy_n(last, kBlockBytes, chain);
}

VAES_TARGET void cbcDecrypt(const RijndaelContext& cx, const std::uint8_t* in, std::uint8_t* out,
                            std::size_t blocks, std::uint8_t* chain)
{
    chainDecrypt<false>(cx, in, out, blocks, chain);
}

VAES_TARGET void cfbDecrypt(const RijndaelContext& cx, const std::uint8_t* in, std::uint8_t* out,
                            std::size_t blocks, std::uint8_t* chain)
{
    chainDecrypt<true>(cx, in, out, blocks, chain);
}

void setEncryptKey(RijndaelContext& cx, const std::uint8_t* key, unsigned keyWords)
{
    aesniProvider().setEncryptKey(cx, key, keyWords);
}

void setDecryptKey(RijndaelContext& cx, const std::uint8_t* key, unsigned keyWords)
{
    aesniProvider().setDecryptKey(cx, key, keyWords);
}

// The encrypting chains are serial: one block's cipher at a time, so a wide
// register brings nothing to 128-bit blocks, and those go to the AES-NI
// code. A 192- or 256-bit block fits one 256-bit register, where one VPERMB
// replaces the AES-NI provider's two shuffles and an OR on the path from one
// round to the next, and all round keys stay in registers.
struct SerialKeys {
    __m256i round[15];
    std::uint32_t rounds;
};

constexpr __mmask32 kBlockMask32 = static_cast<__mmask32>((std::uint64_t{1} << kBlockBytes) - 1);

[[maybe_unused]] VAES_TARGET inline __m256i loadBlock256(const std::uint8_t* p)
{
    return _mm256_maskz_loadu_epi8(kBlockMask32, p);
}

[[maybe_unused]] VAES_TARGET inline void storeBlock256(std::uint8_t* p, __m256i v)
{
    _mm256_mask_storeu_epi8(p, kBlockMask32, v);
}

[[maybe_unused]] VAES_TARGET inline void loadSerialKeys(const RijndaelContext& cx, SerialKeys& keys)
{
    const auto* schedule = reinterpret_cast<const std::uint8_t*>(cx.schedule);
    keys.rounds = cx.rounds;
    for (std::uint32_t r = 0; r <= cx.rounds; ++r)
        keys.round[r] = loadBlock256(schedule + r * kBlockBytes);
}

// The first block of the packed permutation is the permutation of one block
// in a 256-bit register; for 192 bits, the bytes it fills beyond the block
// are never stored.
[[maybe_unused]] VAES_TARGET inline __m256i encryptBlock256(const SerialKeys& keys, __m256i s)
{
    const __m256i perm = _mm256_load_si256(reinterpret_cast<const __m256i*>(kEncPermutation.index));
    s = _mm256_xor_si256(s, keys.round[0]);
    for (std::uint32_t r = 1; r < keys.rounds; ++r)
        s = _mm256_aesenc_epi128(_mm256_maskz_permutexvar_epi8(~__mmask32{0}, perm, s), keys.round[r]);
    return _mm256_aesenclast_epi128(_mm256_maskz_permutexvar_epi8(~__mmask32{0}, perm, s), keys.round[keys.rounds]);
}

VAES_TARGET void cbcEncrypt(const RijndaelContext& cx, const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                            std::uint8_t* chain)
{
    if constexpr (Nb == 4) {
        aesniProvider().cbcEncrypt(cx, in, out, blocks, chain);
    } else {
        SerialKeys keys;
        loadSerialKeys(cx, keys);
        __m256i r = loadBlock256(chain);
        for (; blocks != 0; --blocks, in += kBlockBytes, out += kBlockBytes) {
            r = encryptBlock256(keys, _mm256_xor_si256(r, loadBlock256(in)));
            storeBlock256(out, r);
        }
        storeBlock256(chain, r);
    }
}

VAES_TARGET void cfbEncrypt(const RijndaelContext& cx, const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                            std::uint8_t* chain)
{
    if constexpr (Nb == 4) {
        aesniProvider().cfbEncrypt(cx, in, out, blocks, chain);
    } else {
        SerialKeys keys;
        loadSerialKeys(cx, keys);
        __m256i r = loadBlock256(chain);
        for (; blocks != 0; --blocks, in += kBlockBytes, out += kBlockBytes) {
            r = _mm256_xor_si256(encryptBlock256(keys, r), loadBlock256(in));
            storeBlock256(out, r);
        }
        storeBlock256(chain, r);
    }
}

// Read from CPUID rather than __builtin_cpu_supports, which not every
// compiler of this code knows "vaes" in. The instructions alone are not
// enough: the kernel must also save the AVX-512 registers (XCR0: SSE, AVX,
// opmask, the upper halves of ZMM0-15 and ZMM16-31).
bool available()
{
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!aesniProvider().available() || !__get_cpuid(1, &eax, &ebx, &ecx, &edx) || (ecx & bit_OSXSAVE) == 0)
        return false;
    std::uint32_t xcr0 = 0, xcr0High = 0;
    __asm__("xgetbv" : "=a"(xcr0), "=d"(xcr0High) : "c"(0));
    constexpr std::uint32_t kAvx512State = 0xe6;
    if ((xcr0 & kAvx512State) != kAvx512State)
        return false;
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx))
        return false;
    constexpr unsigned kAvx512f = 1u << 16, kAvx512bw = 1u << 30, kAvx512vl = 1u << 31;
    constexpr unsigned kAvx512vbmi = 1u << 1, kVaes = 1u << 9;
    return (ebx & kAvx512f) != 0 && (ebx & kAvx512bw) != 0 && (ebx & kAvx512vl) != 0 && (ecx & kAvx512vbmi) != 0
           && (ecx & kVaes) != 0;
}

constexpr Provider kVaes{
    "vaes",        available,  setEncryptKey, setDecryptKey, encryptBlocks,
    decryptBlocks, cbcEncrypt, cfbEncrypt,    cbcDecrypt,    cfbDecrypt,
};

} // namespace

const Provider& vaesProvider()
{
    return kVaes;
}

} // namespace tessarin::rijndael

#else // not x86

namespace tessarin::rijndael {

const Provider& vaesProvider()
{
    static const Provider unavailable = unavailableProvider("vaes");
    return unavailable;
}

} // namespace tessarin::rijndael

#endif
