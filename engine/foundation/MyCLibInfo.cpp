#include "foundation/MyCLibInfo.h"

#include "platform/Module.h"
#include "foundation/ErrorHandler.h"
#include "foundation/VersionBlock.h"

#include <span>

namespace tessarin {

namespace {

// "%04x%04x" of language and code page, without a printf.
std::string Hex4(std::uint32_t value)
{
    static constexpr char Digits[] = "0123456789abcdef";
    std::string text(4, '0');
    for (std::size_t i = 0; i < 4; ++i)
        text[i] = Digits[(value >> (12 - 4 * i)) & 0xFu];
    return text;
}

} // namespace

MyCLibInfo::MyCLibInfo(const std::string& moduleName)
{
    LoadResource(moduleName);
}

void MyCLibInfo::LoadResource(const std::string& moduleName)
{
    FreeResource();
    // Messages name the file as it is called on this system.
    const std::string shown = platform::Module::ShownNameFor(moduleName);
    const std::uint32_t size = VersionInfoSize(moduleName);
    if (size == 0)
        throw ErrorHandler(errc::LibraryNotFound, "Unable to load '" + shown + "' or no version resource.");
    if (!ReadVersionInfo(moduleName, m_block) || m_block.empty()) {
        m_block.clear();
        throw ErrorHandler(errc::ResourceInfo, "Unable to load resource information of '" + shown + "'.");
    }
    std::span<const std::uint8_t> value;
    if (!QueryVersionValue(m_block, "\\", value))
        throw ErrorHandler(errc::VersionLength, "Unable to get version length from '" + shown + "'.");
    m_valueLength = static_cast<std::uint32_t>(value.size());
    if (!QueryVersionValue(m_block, "\\VarFileInfo\\Translation", value) || value.size() < 4)
        throw ErrorHandler(errc::VersionTranslation, "Unable to get version translation from '" + shown + "'.");
    m_valueLength = static_cast<std::uint32_t>(value.size());
    m_translation = static_cast<std::uint32_t>(value[0]) | static_cast<std::uint32_t>(value[1]) << 8 |
                    static_cast<std::uint32_t>(value[2]) << 16 | static_cast<std::uint32_t>(value[3]) << 24;
}

void MyCLibInfo::FreeResource()
{
    m_block.clear();
    m_block.shrink_to_fit();
}

std::string& MyCLibInfo::GetResource(const std::string& entry, std::string& out) const
{
    const std::string path =
        "\\StringFileInfo\\" + Hex4(m_translation & 0xFFFFu) + Hex4(m_translation >> 16) + "\\" + entry;
    std::span<const std::uint8_t> value;
    if (m_block.empty() || !QueryVersionValue(m_block, path, value))
        throw ErrorHandler(errc::ResourceEntry, "Unable to find '" + entry + "' resource.");
    m_valueLength = static_cast<std::uint32_t>(value.size());
    out.assign(value.begin(), value.end());
    return out;
}

std::string MyCLibInfo::GetResource(const std::string& entry) const
{
    std::string out;
    return GetResource(entry, out);
}

} // namespace tessarin
