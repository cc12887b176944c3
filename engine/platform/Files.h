#pragma once
// The operating-system seam for file input and output: opening, reading,
// writing, seeking and flushing files by handle. What is done to names
// (FileSystem.h), locks (FileLock.h) and random bytes (Random.h) have
// headers of their own, brought along here for the code above the seam,
// which mostly needs them together.
#include "EngineApi.h"
#include "platform/FileLock.h"
#include "platform/FileSystem.h"
#include "platform/NativeHandle.h"
#include "platform/Random.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tessarin::platform {

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
// size, when given, receives the open file's length (-1 if unknown), which
// saves the caller a second look at the file it has just opened; status,
// when given, what that look saw of a file opened for reading (left as it
// is otherwise).
ENGINE_API NativeHandle OpenFile(const std::string& path, FileAccess access, std::int64_t* size = nullptr,
                                 FileStatus* status = nullptr);
ENGINE_API void CloseFile(NativeHandle handle);
ENGINE_API std::int64_t ReadFile(NativeHandle handle, std::span<std::uint8_t> buffer);  // fills unless at end
// What one read gives (a pipe hands over what it holds): 0 at the end, -1
// on failure, with EINTR when a signal came first, so that a stop request
// is seen while waiting for input.
ENGINE_API std::int64_t ReadSome(NativeHandle handle, std::span<std::uint8_t> buffer);
// One read at offset of a file that has positions, leaving the handle's own
// position where it was: what one call gives, 0 at the end, -1 on failure.
ENGINE_API std::int64_t ReadSomeAt(NativeHandle handle, std::span<std::uint8_t> buffer, std::uint64_t offset);
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

ENGINE_API int LastError();
ENGINE_API std::string ErrorText(int error);

} // namespace tessarin::platform
