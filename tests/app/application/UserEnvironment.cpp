#include "UserEnvironment.h"

#include <cstdlib>
#include <filesystem>

namespace tessarin::test {

UserEnvironment::UserEnvironment()
{
    for (const std::string& folder : {Home(), ConfigHome(), RuntimeDir()}) {
        std::filesystem::create_directories(folder);
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
    }
    Set("HOME", Home());
    Set("XDG_CONFIG_HOME", ConfigHome());
    Set("XDG_RUNTIME_DIR", RuntimeDir());
    Set("XDG_STATE_HOME", StateHome());
}

UserEnvironment::~UserEnvironment()
{
    for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
        if (it->second)
            ::setenv(it->first.c_str(), it->second->c_str(), 1);
        else
            ::unsetenv(it->first.c_str());
    }
}

QString UserEnvironment::SettingsFile() const
{
    return QString::fromStdString(ConfigHome()) + QStringLiteral("/Quenby Software/Tessarin.ini");
}

void UserEnvironment::Set(const std::string& name, const std::optional<std::string>& value)
{
    const char* old = std::getenv(name.c_str());
    m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
    else
        ::unsetenv(name.c_str());
}

} // namespace tessarin::test
