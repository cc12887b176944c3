// Where the loader looks for a module: see ModuleSearch.h.
#include "platform/ModuleSearch.h"

#include "platform/Module.h"

#include <mutex>

namespace tessarin::platform {

namespace {

std::mutex g_folderLock;
std::string g_searchFolder;

} // namespace

std::string SearchFolder()
{
    std::lock_guard lock(g_folderLock);
    return g_searchFolder;
}

void Module::SetSearchFolder(const std::string& folder)
{
    std::lock_guard lock(g_folderLock);
    g_searchFolder = folder;
}

std::vector<std::string> CandidatePaths(const std::string& file)
{
    std::vector<std::string> paths;
    if (const std::string only = SearchFolder(); !only.empty()) {
        paths.push_back(only + "/" + file);
        return paths;
    }
    for (const std::string& folder : {Module::ProgramFolder(), Module::EngineFolder()}) {
        if (!folder.empty())
            paths.push_back(folder + "/" + file);
    }
    return paths;
}

} // namespace tessarin::platform
