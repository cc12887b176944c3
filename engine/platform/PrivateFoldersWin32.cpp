// The user's own folders on Windows: the per-user temporary folder the
// system gives (GetTempPathW, under the user's profile), and the program's
// folder in the user's local application data for the log.
#include "platform/PrivateFolders.h"

#include "platform/SupportWin32.h"

#include <cerrno>
#include <cstring>
#include <cwchar>

namespace tessarin::platform {

namespace {

// Separators are '/' above the seam; the system takes either.
std::string Slashed(std::wstring folder)
{
    std::string text = win32::Narrow(folder);
    for (char& c : text) {
        if (c == '\\')
            c = '/';
    }
    if (!text.empty() && text.back() != '/')
        text.push_back('/');
    return text;
}

std::wstring Variable(const wchar_t* name)
{
    const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0)
        return {};
    std::wstring value(size, L'\0');
    const DWORD got = ::GetEnvironmentVariableW(name, value.data(), size);
    value.resize(got);
    return value;
}

bool MakeFolders(const std::string& folder)
{
    // Each level in turn; the drive ("C:/") or share part exists already.
    for (std::size_t at = 0; at < folder.size(); ++at) {
        if (folder[at] != '/' || at == 0 || folder[at - 1] == ':' || folder[at - 1] == '/')
            continue;
        const std::wstring part = win32::Wide(folder.substr(0, at));
        if (!::CreateDirectoryW(part.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
            win32::SetErrnoFromSystem();
            return false;
        }
    }
    return true;
}

} // namespace

std::string UserTempFolder()
{
    wchar_t buffer[MAX_PATH + 2] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
    if (length == 0 || length > MAX_PATH + 1)
        return "./";
    return Slashed(std::wstring(buffer, length));
}

std::string UserStateFolder()
{
    std::wstring base = Variable(L"LOCALAPPDATA");
    if (base.empty())
        base = Variable(L"APPDATA");
    if (base.empty())
        return UserTempFolder() + "Tessarin/";
    return Slashed(base) + "Tessarin/";
}

bool EnsureUserStateFolder()
{
    return MakeFolders(UserStateFolder());
}

bool EnsureUserTempFolder(std::string& error)
{
    std::string folder = UserTempFolder();
    if (!MakeFolders(folder)) {
        error = "Unable to create the temporary folder '" + folder + "': " + std::strerror(errno);
        return false;
    }
    folder.pop_back();
    const std::wstring wide = win32::Wide(folder);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        error = "Unable to use the temporary folder '" + folder + "': " + std::strerror(win32::SetErrnoFromSystem());
        return false;
    }
    // A junction planted under the name is refused, not followed; the
    // folder's access list is the one the profile gives it (the user's own).
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        error = "The temporary folder '" + folder + "' is not a private folder of this user";
        return false;
    }
    return true;
}

} // namespace tessarin::platform
