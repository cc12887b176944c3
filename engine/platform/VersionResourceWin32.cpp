#include "platform/VersionResourceWin32.h"

#include "platform/SupportWin32.h"

#include <winver.h>

#include <algorithm>
#include <cstring>

namespace tessarin::platform {

std::uint32_t SystemVersionInfoSize(const std::string& path)
{
    const std::wstring wide = win32::Wide(path);
    DWORD ignored = 0;
    return wide.empty() ? 0 : ::GetFileVersionInfoSizeW(wide.c_str(), &ignored);
}

bool SystemReadVersionInfo(const std::string& path, std::vector<std::uint8_t>& block)
{
    const std::uint32_t size = SystemVersionInfoSize(path);
    if (size == 0)
        return false;
    // The size asked for includes the room VerQueryValueA uses to hand out
    // texts in the ANSI code page.
    std::vector<std::uint8_t> bytes(size);
    const std::wstring wide = win32::Wide(path);
    if (!::GetFileVersionInfoW(wide.c_str(), 0, size, bytes.data()))
        return false;
    block = std::move(bytes);
    return true;
}

bool SystemQueryVersionValue(std::span<const std::uint8_t> block, const std::string& path,
                             std::span<const std::uint8_t>& value)
{
    if (block.size() < 6)
        return false;
    void* found = nullptr;
    UINT length = 0;
    // The block is the one GetFileVersionInfoW filled: VerQueryValueA may
    // write the ANSI form of a text into its spare room, as documented.
    auto* data = const_cast<std::uint8_t*>(block.data());
    if (!::VerQueryValueA(data, path.c_str(), &found, &length) || found == nullptr)
        return false;
    const auto* bytes = static_cast<const std::uint8_t*>(found);
    if (bytes < block.data() || bytes >= block.data() + block.size())
        return false;
    std::size_t size = length;
    const bool text = path.size() > 16 && _strnicmp(path.c_str(), "\\StringFileInfo\\", 16) == 0;
    if (text) {
        // A text's length counts characters with the final NUL; the value
        // handed on is the text alone.
        const std::size_t room = static_cast<std::size_t>(block.data() + block.size() - bytes);
        size = strnlen(reinterpret_cast<const char*>(bytes), std::min<std::size_t>(size, room));
    } else if (bytes + size > block.data() + block.size()) {
        return false;
    }
    value = std::span<const std::uint8_t>(bytes, size);
    return true;
}

} // namespace tessarin::platform
