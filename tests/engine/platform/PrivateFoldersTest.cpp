#include "platform/PrivateFolders.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace tessarin::platform {
namespace {

// Sets the variables for the life of the object and puts the old ones back.
class EnvGuard {
public:
    EnvGuard(std::optional<std::string> runtime, std::optional<std::string> tmp)
    {
        Save("XDG_RUNTIME_DIR", runtime);
        Save("TMPDIR", tmp);
    }
    ~EnvGuard()
    {
        for (const auto& [name, value] : m_saved)
            value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
    }
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

private:
    void Save(const std::string& name, const std::optional<std::string>& value)
    {
        const char* old = std::getenv(name.c_str());
        m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

TEST(TempDir, NamesThePrivateFolder)
{
    const std::string own = "tessarin-" + std::to_string(::geteuid()) + "/";
    struct Case {
        std::optional<std::string> runtime, tmp;
        std::string folder;
    };
    const Case cases[] = {
        {"/run/user/7", "/var/tmp", "/run/user/7/"},
        {"/run/user/7//", std::nullopt, "/run/user/7/"},
        {"relative/run", "/var/tmp/", "/var/tmp/" + own},  // not absolute: ignored
        {"", "/var/tmp", "/var/tmp/" + own},
        {std::nullopt, std::nullopt, "/tmp/" + own},
        {std::nullopt, "", "/tmp/" + own},
        {std::nullopt, "/", "/" + own},
    };
    for (const Case& c : cases) {
        EnvGuard env(c.runtime, c.tmp);
        EXPECT_EQ(UserTempFolder(), c.folder) << c.runtime.value_or("-") << " " << c.tmp.value_or("-");
    }
}

TEST(TempDir, EnsureCreatesAPrivateFolderAndRefusesOthers)
{
    test::TempFolder base;
    const std::string folder = base / ("tessarin-" + std::to_string(::geteuid()));
    EnvGuard env(std::nullopt, base.Path());
    std::string error;

    ASSERT_TRUE(EnsureUserTempFolder(error)) << error;
    struct stat info {};
    ASSERT_EQ(::lstat(folder.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_TRUE(EnsureUserTempFolder(error)) << "a second call finds it fit";

    struct Case {
        const char* what;
        void (*plant)(const std::string& folder, const std::string& base);
    };
    const Case cases[] = {
        {"open to others", [](const std::string& f, const std::string&) { ::chmod(f.c_str(), 0755); }},
        {"a file", [](const std::string& f, const std::string&) { test::WriteBytes(f, {1}); }},
        {"a link to a private folder",
         [](const std::string& f, const std::string& b) {
             std::filesystem::create_directory(b + "/elsewhere");
             ::chmod((b + "/elsewhere").c_str(), 0700);
             std::filesystem::create_directory_symlink(b + "/elsewhere", f);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(folder);
        std::filesystem::remove_all(base / "elsewhere");
        if (std::string(c.what) == "open to others")
            std::filesystem::create_directory(folder);
        c.plant(folder, base.Path());
        error.clear();
        EXPECT_FALSE(EnsureUserTempFolder(error));
        EXPECT_NE(error.find(folder), std::string::npos) << error;
    }
}

} // namespace
} // namespace tessarin::platform
