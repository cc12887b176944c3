#pragma once
// The operating-system seam for names in the file system: removing and
// renaming, permissions and times, what a path or an open file is.
#include "EngineApi.h"
#include "platform/NativeHandle.h"

#include <cstdint>
#include <string>

namespace tessarin::platform {

inline constexpr char PathSeparator = '/';

// All return false on failure; LastError() (Files.h) tells why.
ENGINE_API bool RemoveFile(const std::string& path);
ENGINE_API bool RenameFile(const std::string& from, const std::string& to);
// As RenameFile, but fails (EEXIST) instead of replacing an existing name.
ENGINE_API bool RenameFileNoReplace(const std::string& from, const std::string& to);
// Permission bits of an open file.
ENGINE_API bool SetPermissions(NativeHandle handle, unsigned mode);
ENGINE_API bool MakeWritable(const std::string& path);
ENGINE_API bool IsRegularFile(const std::string& path);
ENGINE_API bool PathExists(const std::string& path);
// The identity of the file a path names (a link itself, not what it points
// to): two paths with equal identities name the same file. Empty when the
// path names nothing.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool valid = false;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};
ENGINE_API FileIdentity IdentifyFile(const std::string& path);
// Whether the file system of folder takes name (one component, no folder
// part) as a file name: a longer one fails with ENAMETOOLONG.
ENGINE_API bool NameFitsIn(const std::string& folder, const std::string& name);

// What tells whether a file changed under us, and what an output takes over
// from the file it was made from.
struct FileStatus {
    FileIdentity identity;
    std::uint64_t size = 0;
    std::uint64_t links = 0;
    unsigned mode = 0;  // permission bits
    std::uint32_t owner = 0, group = 0;  // user and group ids (none on Windows)
    std::int64_t accessSeconds = 0, accessNanos = 0;
    std::int64_t modifySeconds = 0, modifyNanos = 0;
    std::int64_t changeSeconds = 0, changeNanos = 0;
    bool SameContentAs(const FileStatus& other) const
    {
        return identity == other.identity && size == other.size && modifySeconds == other.modifySeconds &&
               modifyNanos == other.modifyNanos && changeSeconds == other.changeSeconds &&
               changeNanos == other.changeNanos;
    }
};
ENGINE_API bool StatHandle(NativeHandle handle, FileStatus& status);
// The same for what a path names, a link itself and not what it points to.
ENGINE_API bool StatPath(const std::string& path, FileStatus& status);
// Access and modification times of an open file, taken from status.
ENGINE_API bool SetFileTimes(NativeHandle handle, const FileStatus& status);
// Write permission for the owner, through an open handle.
ENGINE_API bool MakeWritable(NativeHandle handle);

// What a path names when it is no regular file ("a symbolic link", "a
// FIFO", "a folder", ...), as the path itself holds it; empty for a regular
// file or nothing.
ENGINE_API std::string NonRegularKind(const std::string& path);

} // namespace tessarin::platform
