// Loading of outside modules on Windows: LoadLibraryW by full path from the
// program's folder, then the engine's, then (unless a test pinned one
// folder) the system's own search for the DLLs it provides.
#include "platform/Module.h"

#include "platform/ModuleSearch.h"

#include "platform/SupportWin32.h"

#include <vector>

namespace tessarin::platform {

namespace {

std::string FolderOf(const std::string& path)
{
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string Slashed(std::string path)
{
    for (char& c : path) {
        if (c == '\\')
            c = '/';
    }
    return path;
}

std::string ModulePath(HMODULE module)
{
    std::wstring buffer(1024, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            return Slashed(win32::Narrow(buffer));
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool IsFile(const std::string& path)
{
    const std::wstring wide = win32::Wide(path);
    const DWORD attributes = wide.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

HMODULE LoadPath(const std::string& path)
{
    const std::wstring wide = win32::Wide(path);
    // The module's own folder is searched for what it imports in turn.
    return wide.empty() ? nullptr : ::LoadLibraryExW(wide.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

} // namespace

void ModuleCloser::operator()(void* handle) const noexcept
{
    if (handle)
        ::FreeLibrary(static_cast<HMODULE>(handle));
}

std::string Module::FileNameFor(const std::string& logicalName)
{
    // zlib's own build for Windows is called zlib1.dll; every other module
    // is the file of its logical name.
    if (logicalName == "zlib.dll")
        return "zlib1.dll";
    return logicalName;
}

std::string Module::ShownNameFor(const std::string& name)
{
    if (name.find_first_of("/\\") != std::string::npos || name.size() <= 4 ||
        name.compare(name.size() - 4, 4, ".dll") != 0)
        return name;
    return FileNameFor(name);
}

ModuleHandle Module::Load(const std::string& logicalName)
{
    const std::string file = FileNameFor(logicalName);
    // No "cannot find the DLL" box from the system: a missing module is
    // reported by the caller, in its words.
    const UINT previous = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE loaded = nullptr;
    for (const std::string& path : CandidatePaths(file)) {
        if (IsFile(path) && (loaded = LoadPath(path)) != nullptr)
            break;
    }
    if (!loaded && SearchFolder().empty()) {
        const std::wstring wide = win32::Wide(file);
        loaded = ::LoadLibraryExW(wide.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
        if (!loaded && ::GetLastError() == ERROR_INVALID_PARAMETER)
            loaded = ::LoadLibraryW(wide.c_str());  // a system without the search flags
    }
    ::SetErrorMode(previous);
    return ModuleHandle(loaded);
}

void* Module::Symbol(const ModuleHandle& module, const char* name)
{
    if (!module)
        return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module.get()), name));
}

std::string Module::Locate(const std::string& logicalName)
{
    const std::string file = FileNameFor(logicalName);
    for (const std::string& path : CandidatePaths(file)) {
        if (IsFile(path))
            return path;
    }
    if (!SearchFolder().empty())
        return {};
    const ModuleHandle module = Load(logicalName);
    return module ? ModulePath(static_cast<HMODULE>(module.get())) : std::string();
}

std::string Module::ProgramFolder()
{
    return FolderOf(ModulePath(nullptr));
}

std::string Module::EngineFolder()
{
    HMODULE self = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCWSTR>(&Module::EngineFolder), &self))
        return {};
    return FolderOf(ModulePath(self));
}

} // namespace tessarin::platform
