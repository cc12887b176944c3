// Shared durability and the release of deleted files' blocks: the Windows
// side. An ordinary user cannot flush a whole volume, so every output is
// flushed on its own; handles are closed at once.
#include "platform/Files.h"

namespace tessarin::platform {

bool SyncFileSystemOf(NativeHandle)
{
    return false;
}

std::size_t HandleLimit()
{
    return 1u << 20;
}

NativeHandle DuplicateFileHandle(NativeHandle)
{
    return InvalidHandle;
}

void CloseAside(std::span<const NativeHandle> handles)
{
    for (const NativeHandle handle : handles)
        CloseFile(handle);
}

} // namespace tessarin::platform
