#pragma once
// Points HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR at folders of a fresh
// temporary folder for the life of the object, so that no test ever reads
// or writes a real user's settings, and restores them afterwards.
#include "support/TestSupport.h"

#include <QString>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tessarin::test {

class UserEnvironment {
public:
    UserEnvironment();
    ~UserEnvironment();
    UserEnvironment(const UserEnvironment&) = delete;
    UserEnvironment& operator=(const UserEnvironment&) = delete;

    std::string Home() const { return m_root / "home"; }
    std::string ConfigHome() const { return m_root / "config"; }
    std::string RuntimeDir() const { return m_root / "runtime"; }
    std::string StateHome() const { return m_root / "state"; }
    // Where the program's settings file lives in this environment.
    QString SettingsFile() const;

    // Sets or (with nullopt) removes a variable until the end of the object.
    void Set(const std::string& name, const std::optional<std::string>& value);

private:
    TempFolder m_root;
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

} // namespace tessarin::test
