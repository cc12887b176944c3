#include "platform/PrivateFolders.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace tessarin::platform {

namespace {

std::string Absolute(const char* variable)
{
    const char* value = std::getenv(variable);
    return value && value[0] == '/' ? std::string(value) : std::string();
}

std::string WithSeparator(std::string folder)
{
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    if (folder.back() != '/')
        folder.push_back('/');
    return folder;
}

} // namespace

std::string UserTempFolder()
{
    if (std::string runtime = Absolute("XDG_RUNTIME_DIR"); !runtime.empty())
        return WithSeparator(runtime);
    std::string base = Absolute("TMPDIR");
    if (base.empty())
        base = "/tmp";
    return WithSeparator(base) + "tessarin-" + std::to_string(::geteuid()) + "/";
}

std::string UserStateFolder()
{
    std::string base = Absolute("XDG_STATE_HOME");
    if (base.empty()) {
        const std::string home = Absolute("HOME");
        base = (home.empty() ? std::string("/tmp") : WithSeparator(home)) + ".local/state";
    }
    return WithSeparator(base) + "tessarin/";
}

bool EnsureUserStateFolder()
{
    const std::string folder = UserStateFolder();
    for (std::size_t at = 1; at < folder.size(); ++at) {
        if (folder[at] != '/')
            continue;
        const std::string part = folder.substr(0, at);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

bool EnsureUserTempFolder(std::string& error)
{
    std::string folder = UserTempFolder();
    folder.pop_back();
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "Unable to create the temporary folder '" + folder + "': " + std::strerror(errno);
        return false;
    }
    // lstat: a symbolic link planted under the name is refused, not followed.
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) {
        error = "Unable to use the temporary folder '" + folder + "': " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() || (info.st_mode & 077) != 0) {
        error = "The temporary folder '" + folder + "' is not a private folder of this user";
        return false;
    }
    return true;
}

} // namespace tessarin::platform
