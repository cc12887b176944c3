#include "PlatformChoice.h"

namespace tessarin {

std::string ChoosePlatform(const char* (*environment)(const char* name))
{
    const char* chosen = environment("QT_QPA_PLATFORM");
    if (chosen != nullptr && *chosen != '\0') return {};
    return "xcb;wayland";
}

QtArguments::QtArguments(const char* programName, const char* (*environment)(const char* name))
{
    m_values.emplace_back(programName != nullptr ? programName : "aes");
    if (std::string platform = ChoosePlatform(environment); !platform.empty()) {
        m_values.emplace_back("-platform");
        m_values.push_back(std::move(platform));
    }
    for (std::string& value : m_values) m_pointers.push_back(value.data());
    m_count = static_cast<int>(m_pointers.size());
    m_pointers.push_back(nullptr);
}

} // namespace tessarin
