#pragma once
#include "EngineApi.h"
#include "platform/Files.h"

#include <cstdint>
#include <span>
#include <string>

namespace tessarin {

// The CRC-32 of zip, gzip and Ethernet (reflected polynomial 0xEDB88320),
// over a file, a stream fed in pieces, or a string. The same bytes give the
// same value whichever way they are fed.
class ENGINE_API CCrc32Dynamic {
public:
    CCrc32Dynamic() = default;
    virtual ~CCrc32Dynamic() = default;

    void InitStream() { m_register = 0xFFFFFFFFu; }
    void CalcStream(std::span<const std::uint8_t> bytes);
    std::uint32_t GetCrcStream() const { return ~m_register; }

    std::uint32_t CalcString(const std::string& text);
    // From the handle's current position to the end; a failing read ends
    // the computation quietly.
    std::uint32_t CalcFile(platform::NativeHandle handle);
    std::uint32_t CalcFile(const std::string& fileName);

    // Long runs use carry-less multiplication where the CPU has it, tables
    // otherwise; the values are the same. Tests and benchmarks switch the
    // fast path off to measure and check the tables on such a CPU. Returns
    // the previous setting.
    static bool AllowCarrylessMultiply(bool allowed);

private:
    std::uint32_t m_register = 0;
};

} // namespace tessarin
