#pragma once
// The operating-system seam for files. Everything above it speaks in paths
// and handles; only this file and its source know the system calls.
#include "EngineApi.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tessarin::platform {

#if defined(_WIN32)
// A Win32 HANDLE held as a number; INVALID_HANDLE_VALUE is -1.
using NativeHandle = std::intptr_t;
#else
using NativeHandle = int;
#endif
inline constexpr NativeHandle InvalidHandle = -1;

// Read and WriteKeep act only on a regular file that the name itself holds:
// never through a symbolic link at the name, and without waiting on a FIFO
// or a device put in its place (those fail with EINVAL).
enum class FileAccess {
    Read,       // existing file, sequential reading
    Write,      // create, or empty an existing file
    WriteKeep,  // existing file, keeps bytes and length (overwriting in place)
    CreateNew,  // create a file that must not exist yet (open for reading and writing)
    WriteNoFollow,  // as Write, but never through a symbolic link at the name
};

// A file that takes every byte written to it and keeps none.
#if defined(_WIN32)
inline constexpr char NullDevice[] = "NUL";
#else
inline constexpr char NullDevice[] = "/dev/null";
#endif

// All return InvalidHandle / false / -1 on failure; LastError() tells why.
// An anonymous pipe, both ends closed on exec; reading the read end gives
// end of file once the write end is closed.
ENGINE_API bool OpenPipe(NativeHandle& readEnd, NativeHandle& writeEnd);
// Asks that reading the open file not count as a use of it (its access
// time stays), where the system grants that to this user; else nothing.
ENGINE_API void KeepAccessTime(NativeHandle handle);
ENGINE_API NativeHandle OpenFile(const std::string& path, FileAccess access);
ENGINE_API void CloseFile(NativeHandle handle);
ENGINE_API std::int64_t ReadFile(NativeHandle handle, std::span<std::uint8_t> buffer);  // fills unless at end
ENGINE_API bool WriteFile(NativeHandle handle, std::span<const std::uint8_t> buffer);   // all or fail
ENGINE_API std::int64_t SeekFile(NativeHandle handle, std::int64_t distance, int origin);
ENGINE_API std::int64_t FileSize(NativeHandle handle);
ENGINE_API bool SyncFile(NativeHandle handle);
ENGINE_API bool SyncFolderOf(const std::string& path);
// Everything written on the file system that holds the open file reaches
// the disk before this returns: one flush for the outputs of many files.
// False when that fails or the system cannot tell; the caller then flushes
// file by file.
ENGINE_API bool SyncFileSystemOf(NativeHandle handle);
ENGINE_API bool RemoveFile(const std::string& path);
// Closes the handles on helper threads; they must not be used afterwards.
// Closing the last handle of a deleted or replaced file is when the file
// system releases its blocks, and some make each release wait for
// milliseconds: a handle held across the deletion and closed aside keeps a
// batch of small files from waiting on every one. Closed at once when too
// many are waiting already.
ENGINE_API void CloseAside(std::span<const NativeHandle> handles);
// How many handles the process may hold open at once (a generous figure
// where the system sets no such limit): work that holds handles for a while
// keeps to a small share of it.
ENGINE_API std::size_t HandleLimit();
// A second handle on the same open file (InvalidHandle on failure).
ENGINE_API NativeHandle DuplicateFileHandle(NativeHandle handle);

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

// An exclusive advisory lock on an open file, held on a handle of its own,
// so that closing and reopening the file keeps it. The system drops it when
// the process ends in any way, which tells a later run that a file whose
// lock is free was left behind by a run that is gone.
class ENGINE_API FileLock {
public:
    FileLock() = default;
    // Locks the file of handle; IsHeld() tells whether it worked.
    explicit FileLock(NativeHandle handle);
    ~FileLock() { Release(); }
    FileLock(FileLock&& other) noexcept : m_handle(other.m_handle) { other.m_handle = InvalidHandle; }
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool IsHeld() const { return m_handle != InvalidHandle; }
    void Release();

private:
    NativeHandle m_handle = InvalidHandle;
};

// Whether another open file holds an exclusive lock on the file of handle,
// as a run holds one on each of its temporary files. Where the system can
// tell cheaply; else false. The probe may leave a shared lock on handle,
// which goes with it.
ENGINE_API bool LockedByOthers(NativeHandle handle);

// What a path names when it is no regular file ("a symbolic link", "a
// FIFO", "a folder", ...), as the path itself holds it; empty for a regular
// file or nothing.
ENGINE_API std::string NonRegularKind(const std::string& path);
ENGINE_API int LastError();
ENGINE_API std::string ErrorText(int error);

// Bytes from the system's cryptographic generator.
ENGINE_API void FillRandom(std::span<std::uint8_t> buffer);

inline constexpr char PathSeparator = '/';

} // namespace tessarin::platform
