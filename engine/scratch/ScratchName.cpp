// Random names for the run's own files: see ScratchName.h.
#include "scratch/ScratchName.h"

#include "platform/Files.h"

#include <cstdint>
#include <vector>

namespace tessarin {

std::string ScratchName::Draw() const
{
    static constexpr std::string_view Hex = "0123456789abcdef";
    static constexpr std::string_view Letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    // A hex digit takes half a byte: one byte gives two of them.
    const bool hex = alphabet == Alphabet::Hex;
    std::vector<std::uint8_t> bytes(hex ? (length + 1) / 2 : length);
    platform::FillRandomSmall(bytes);
    std::string name(prefix);
    for (std::size_t i = 0; i < length; ++i) {
        if (hex)
            name += Hex[i % 2 == 0 ? bytes[i / 2] >> 4 : bytes[i / 2] & 0x0F];
        else
            name += Letters[bytes[i] % Letters.size()];
    }
    name += suffix;
    return name;
}

} // namespace tessarin
