#include "foundation/CCrc32Dynamic.h"

#include "foundation/ErrorHandler.h"

#include <array>
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

} // namespace

void CCrc32Dynamic::CalcStream(std::span<const std::uint8_t> bytes)
{
    std::uint32_t r = m_register;
    const std::uint8_t* p = bytes.data();
    std::size_t n = bytes.size();
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
    m_register = r;
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
    std::vector<std::uint8_t> piece(16384);
    for (;;) {
        const std::int64_t n = platform::ReadFile(handle, piece);
        if (n <= 0)
            break;
        CalcStream(std::span(piece.data(), static_cast<std::size_t>(n)));
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
