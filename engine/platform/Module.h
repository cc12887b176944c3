#pragma once
// Loading of outside modules by their logical names ("aes16.dll",
// "zlib.dll", ...). Every message keeps the logical name; only the loader
// knows which file stands behind it.
#include "EngineApi.h"

#include <memory>
#include <string>

namespace tessarin::platform {

struct ENGINE_API ModuleCloser {
    void operator()(void* handle) const noexcept;
};
using ModuleHandle = std::unique_ptr<void, ModuleCloser>;

class ENGINE_API Module {
public:
    // The file behind a logical name: "aes16.dll" -> "libaes16.so",
    // "zlib.dll" -> "libz.so.1", "bzip2.dll" -> "libbz2.so.1.0".
    static std::string FileNameFor(const std::string& logicalName);
    // A module's name as the user reads it on this system: the file a
    // logical name stands for; a path is shown as it is.
    static std::string ShownNameFor(const std::string& name);

    // Null when the module cannot be found or loaded.
    static ModuleHandle Load(const std::string& logicalName);
    static void* Symbol(const ModuleHandle& module, const char* name);

    // The path of the file that Load would open, or empty when none is found.
    // The system's search is asked only when no folder of ours has the file.
    static std::string Locate(const std::string& logicalName);

    // Folder of the running program and of libengine.so, searched first.
    static std::string ProgramFolder();
    static std::string EngineFolder();

    // Tests point the loader at one folder; only that folder is searched
    // then. An empty folder restores the normal search.
    static void SetSearchFolder(const std::string& folder);
};

} // namespace tessarin::platform
