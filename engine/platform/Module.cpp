#include "platform/Module.h"

#include "platform/ModuleSearch.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>
#include <vector>

namespace tessarin::platform {

namespace {

std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool UseSystemSearch()
{
    return SearchFolder().empty();
}

} // namespace

void ModuleCloser::operator()(void* handle) const noexcept
{
    if (handle)
        ::dlclose(handle);
}

std::string Module::FileNameFor(const std::string& logicalName)
{
    if (logicalName == "zlib.dll")
        return "libz.so.1";
    if (logicalName == "bzip2.dll")
        return "libbz2.so.1.0";
    std::string base = logicalName;
    if (base.size() > 4 && base.compare(base.size() - 4, 4, ".dll") == 0)
        base.resize(base.size() - 4);
    return "lib" + base + ".so";
}

std::string Module::ShownNameFor(const std::string& name)
{
    if (name.find('/') != std::string::npos || name.size() <= 4 || name.compare(name.size() - 4, 4, ".dll") != 0)
        return name;
    return FileNameFor(name);
}

ModuleHandle Module::Load(const std::string& logicalName)
{
    const std::string file = FileNameFor(logicalName);
    for (const std::string& path : CandidatePaths(file)) {
        if (::access(path.c_str(), F_OK) != 0)
            continue;
        if (void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL))
            return ModuleHandle(handle);
    }
    if (UseSystemSearch()) {
        if (void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL))
            return ModuleHandle(handle);
    }
    return nullptr;
}

void* Module::Symbol(const ModuleHandle& module, const char* name)
{
    return module ? ::dlsym(module.get(), name) : nullptr;
}

std::string Module::Locate(const std::string& logicalName)
{
    const std::string file = FileNameFor(logicalName);
    for (const std::string& path : CandidatePaths(file)) {
        if (::access(path.c_str(), R_OK) == 0)
            return path;
    }
    if (!UseSystemSearch())
        return {};
    ModuleHandle module(::dlopen(file.c_str(), RTLD_LAZY | RTLD_LOCAL));
    if (!module)
        return {};
    link_map* map = nullptr;
    if (::dlinfo(module.get(), RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name)
        return {};
    return map->l_name;
}

std::string Module::ProgramFolder()
{
    std::string buffer(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0)
        return {};
    buffer.resize(static_cast<std::size_t>(n));
    return FolderOf(buffer);
}

std::string Module::EngineFolder()
{
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&Module::EngineFolder), &info) == 0 || !info.dli_fname)
        return {};
    return FolderOf(info.dli_fname);
}

} // namespace tessarin::platform
