#pragma once
#include "EngineApi.h"
#include "selection/FileFind.h"

#include <cstdint>
#include <string>

namespace tessarin {

// One hit taken apart: size, name, full path and folder (with its final
// separator).
class ENGINE_API MyFileFound {
public:
    explicit MyFileFound(const CFileFind& found);

    std::uint32_t GetFileSize() const { return m_size; }
    std::uint64_t GetFileSize64() const { return m_size64; }
    const std::string& GetFileName() const { return m_name; }
    const std::string& GetPathFile() const { return m_path; }
    const std::string& GetAbsPath() const { return m_folder; }
    // Which file was found: the one to work on, even if a name changes.
    const platform::FileIdentity& GetIdentity() const { return m_identity; }

private:
    std::uint32_t m_size = 0;    // low 32 bits, as the counters keep them
    std::uint64_t m_size64 = 0;  // the whole length, to refuse files of 4 GiB or more
    std::string m_name;
    std::string m_path;
    std::string m_folder;
    platform::FileIdentity m_identity;
};

} // namespace tessarin
