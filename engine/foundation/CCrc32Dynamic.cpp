#include "foundation/CCrc32Dynamic.h"

#include "foundation/ErrorHandler.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define CRC_HAVE_CLMUL 1
#endif

#include <array>
#include <atomic>
#include <vector>

namespace tessarin {

namespace {

// Eight tables: the register advances eight bytes per step with the same
// result as the classic one-byte-per-lookup loop.
using Tables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr Tables MakeTables()
{
    Tables t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t r = i;
        for (int bit = 0; bit < 8; ++bit)
            r = (r & 1u) ? (r >> 1) ^ 0xEDB88320u : r >> 1;
        t[0][i] = r;
    }
    for (std::size_t k = 1; k < 8; ++k)
        for (std::size_t i = 0; i < 256; ++i)
            t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFFu];
    return t;
}

constexpr Tables kTables = MakeTables();

std::uint32_t SliceBy8(std::uint32_t r, const std::uint8_t* p, std::size_t n)
{
    for (; n >= 8; n -= 8, p += 8) {
        const std::uint32_t lo = r ^ (std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 |
                                      std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24);
        const std::uint32_t hi = std::uint32_t(p[4]) | std::uint32_t(p[5]) << 8 |
                                 std::uint32_t(p[6]) << 16 | std::uint32_t(p[7]) << 24;
        r = kTables[7][lo & 0xFF] ^ kTables[6][(lo >> 8) & 0xFF] ^ kTables[5][(lo >> 16) & 0xFF] ^
            kTables[4][lo >> 24] ^ kTables[3][hi & 0xFF] ^ kTables[2][(hi >> 8) & 0xFF] ^
            kTables[1][(hi >> 16) & 0xFF] ^ kTables[0][hi >> 24];
    }
    for (; n > 0; --n, ++p)
        r = (r >> 8) ^ kTables[0][(r ^ *p) & 0xFF];
    return r;
}

// Shorter runs are not worth setting up four accumulators for.
constexpr std::size_t kClmulMinimum = 64;

#ifdef CRC_HAVE_CLMUL
// Carry-less multiply folding: the CRC of a message is the message as a
// polynomial over GF(2) modulo the generator, and a 128-bit chunk can be
// carried forward by D bits by multiplying it with x^D mod P. Four
// independent 128-bit accumulators advance 64 bytes per step (so the
// multiplier's latency overlaps), are then folded into one, and the last 128
// bits are reduced to 32 with a Barrett step. The constants are the usual
// ones for the bit-reflected polynomial 0xEDB88320:
//   fold by 512 bits: x^(512+32) and x^(512-32) mod P,
//   fold by 128 bits: x^(128+32) and x^(128-32) mod P,
//   64 to 32 bits:    x^64 mod P,
//   Barrett:          P itself and floor(x^64 / P),
// each bit-reflected and shifted left by one as PCLMULQDQ's reflected
// product needs.
#define CRC_CLMUL_TARGET __attribute__((target("pclmul,sse4.1")))

CRC_CLMUL_TARGET inline __m128i Fold(__m128i acc, __m128i k, __m128i next)
{
    const __m128i lo = _mm_clmulepi64_si128(acc, k, 0x00);
    const __m128i hi = _mm_clmulepi64_si128(acc, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(lo, hi), next);
}

CRC_CLMUL_TARGET inline __m128i Load(const std::uint8_t* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Needs n >= kClmulMinimum; handles the whole 16-byte multiples and leaves
// the rest (fewer than 16 bytes) to the tables.
CRC_CLMUL_TARGET std::uint32_t Clmul(std::uint32_t r, const std::uint8_t* p, std::size_t n)
{
    const __m128i k512 = _mm_set_epi64x(0x1c6e41596, 0x154442bd4);
    const __m128i k128 = _mm_set_epi64x(0x0ccaa009e, 0x1751997d0);
    const __m128i k64 = _mm_set_epi64x(0, 0x163cd6124);
    const __m128i poly = _mm_set_epi64x(0x1f7011641, 0x1db710641);
    const __m128i mask32 = _mm_set_epi32(0, 0, 0, -1);

    __m128i x0 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(r)));
    __m128i x1 = Load(p + 16);
    __m128i x2 = Load(p + 32);
    __m128i x3 = Load(p + 48);
    p += 64;
    n -= 64;
    for (; n >= 64; n -= 64, p += 64) {
        x0 = Fold(x0, k512, Load(p));
        x1 = Fold(x1, k512, Load(p + 16));
        x2 = Fold(x2, k512, Load(p + 32));
        x3 = Fold(x3, k512, Load(p + 48));
    }
    x0 = Fold(x0, k128, x1);
    x0 = Fold(x0, k128, x2);
    x0 = Fold(x0, k128, x3);
    for (; n >= 16; n -= 16, p += 16)
        x0 = Fold(x0, k128, Load(p));

    // 128 bits to 64: the low half moves up by 64 bits onto the high half.
    __m128i t = _mm_xor_si128(_mm_clmulepi64_si128(x0, k128, 0x10), _mm_srli_si128(x0, 8));
    // 64 bits to 32.
    t = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(t, mask32), k64, 0x00), _mm_srli_si128(t, 4));
    // Barrett reduction of the remaining 64 bits to the 32-bit remainder.
    __m128i q = _mm_clmulepi64_si128(_mm_and_si128(t, mask32), poly, 0x10);
    q = _mm_clmulepi64_si128(_mm_and_si128(q, mask32), poly, 0x00);
    r = static_cast<std::uint32_t>(_mm_extract_epi32(_mm_xor_si128(t, q), 1));
    return SliceBy8(r, p, n);
}

bool CpuHasClmul()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
}
#else
// Another architecture: tables only.
std::uint32_t Clmul(std::uint32_t r, const std::uint8_t* p, std::size_t n)
{
    return SliceBy8(r, p, n);
}

bool CpuHasClmul()
{
    return false;
}
#endif

std::atomic<bool> g_clmulAllowed{true};

} // namespace

bool CCrc32Dynamic::AllowCarrylessMultiply(bool allowed)
{
    return g_clmulAllowed.exchange(allowed);
}

void CCrc32Dynamic::CalcStream(std::span<const std::uint8_t> bytes)
{
    static const bool hasClmul = CpuHasClmul();
    if (hasClmul && bytes.size() >= kClmulMinimum && g_clmulAllowed.load(std::memory_order_relaxed))
        m_register = Clmul(m_register, bytes.data(), bytes.size());
    else
        m_register = SliceBy8(m_register, bytes.data(), bytes.size());
}

std::uint32_t CCrc32Dynamic::CalcString(const std::string& text)
{
    InitStream();
    CalcStream(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    return GetCrcStream();
}

std::uint32_t CCrc32Dynamic::CalcFile(platform::NativeHandle handle)
{
    InitStream();
    // Pieces large enough that the calls cost little beside the copy, small
    // enough that the CRC still finds them in the core's cache.
    std::vector<std::uint8_t> piece(128 * 1024);
    for (;;) {
        const std::int64_t n = platform::ReadFile(handle, piece);
        if (n <= 0)
            break;
        CalcStream(std::span(piece.data(), static_cast<std::size_t>(n)));
        // A read fills its buffer unless the file ended: no need to ask again.
        if (static_cast<std::size_t>(n) < piece.size())
            break;
    }
    return GetCrcStream();
}

std::uint32_t CCrc32Dynamic::CalcFile(const std::string& fileName)
{
    const platform::NativeHandle handle = platform::OpenFile(fileName, platform::FileAccess::Read);
    if (handle == platform::InvalidHandle)
        throw ErrorHandler(errc::OpenFailed, "Unable to open file!");
    const std::uint32_t crc = CalcFile(handle);
    platform::CloseFile(handle);
    return crc;
}

} // namespace tessarin
