#pragma once
// The operating-system seam for files. Everything above it speaks in paths
// and handles; only this file and its source know the system calls.
#include "EngineApi.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tessarin::platform {

using NativeHandle = int;
inline constexpr NativeHandle InvalidHandle = -1;

enum class FileAccess {
    Read,       // existing file, sequential reading
    Write,      // create, or empty an existing file
    WriteKeep,  // existing file, keeps bytes and length (overwriting in place)
    CreateNew,  // create a file that must not exist yet
    WriteNoFollow,  // as Write, but never through a symbolic link at the name
};

// All return InvalidHandle / false / -1 on failure; LastError() tells why.
ENGINE_API NativeHandle OpenFile(const std::string& path, FileAccess access);
ENGINE_API void CloseFile(NativeHandle handle);
ENGINE_API std::int64_t ReadFile(NativeHandle handle, std::span<std::uint8_t> buffer);  // fills unless at end
ENGINE_API bool WriteFile(NativeHandle handle, std::span<const std::uint8_t> buffer);   // all or fail
ENGINE_API std::int64_t SeekFile(NativeHandle handle, std::int64_t distance, int origin);
ENGINE_API std::int64_t FileSize(NativeHandle handle);
ENGINE_API bool SyncFile(NativeHandle handle);
ENGINE_API bool SyncFolderOf(const std::string& path);
ENGINE_API bool RemoveFile(const std::string& path);
ENGINE_API bool RenameFile(const std::string& from, const std::string& to);
// As RenameFile, but fails (EEXIST) instead of replacing an existing name.
ENGINE_API bool RenameFileNoReplace(const std::string& from, const std::string& to);
// Permission bits of an open file: set, or taken from another file.
ENGINE_API bool SetPermissions(NativeHandle handle, unsigned mode);
ENGINE_API bool CopyPermissions(const std::string& from, NativeHandle to);
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
ENGINE_API int LastError();
ENGINE_API std::string ErrorText(int error);

// Bytes from the system's cryptographic generator.
ENGINE_API void FillRandom(std::span<std::uint8_t> buffer);

inline constexpr char PathSeparator = '/';

} // namespace tessarin::platform
