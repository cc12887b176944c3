#pragma once
#include "EngineApi.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tessarin {

// Reads the version block of a module (the engine, a cipher module, zlib,
// bzip2, a program) and hands out its texts for the block's first
// translation. The module is read as a file: it is neither loaded nor run.
// Module names are logical names ("engine.dll", "aes16.dll", "zlib.dll")
// or paths.
class ENGINE_API MyCLibInfo {
public:
    MyCLibInfo() = default;
    explicit MyCLibInfo(const std::string& moduleName);  // LoadResource; its errors leave the constructor

    // Codes -30 to -33 for a missing module or block, an unreadable block, a
    // damaged block and a block without translation. A block loaded before
    // is released first. After a failure past the read the block stays held.
    void LoadResource(const std::string& moduleName);
    void FreeResource();

    // Copies the text of entry into out and returns out; code -34 when the
    // block has no such entry (out is left unchanged then).
    std::string& GetResource(const std::string& entry, std::string& out) const;
    std::string GetResource(const std::string& entry) const;

    bool IsLoaded() const { return !m_block.empty(); }
    std::uint32_t GetTranslation() const { return m_translation; }  // language low, code page high

private:
    std::vector<std::uint8_t> m_block;     // empty when nothing is loaded
    mutable std::uint32_t m_valueLength = 0;  // length reported by the last query
    std::uint32_t m_translation = 0;
};

} // namespace tessarin
