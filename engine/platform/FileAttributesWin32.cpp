// Windows side of what an output takes over from its original: the
// permission that the platform layer maps (read-only or not) and the
// times. Owners and access lists stay as the folder gives them to a new
// file.
#include "platform/FileAttributes.h"

namespace tessarin::platform {

ExtendedAttributes ReadExtendedAttributes(NativeHandle)
{
    return {};
}

AttributesDropped KeepAttributes(NativeHandle to, const FileStatus& status, const ExtendedAttributes&,
                                 const FileStatus*)
{
    SetPermissions(to, status.mode);
    SetFileTimes(to, status);
    return {};
}

} // namespace tessarin::platform
