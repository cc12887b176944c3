#pragma once
// What an output takes over from the file it was made from besides its
// bytes: owner, group, permission bits, access list, extended attributes
// and times. Each is kept where this user may set it; what cannot be kept
// is given up on the narrow side, so that the output never lets in anyone
// the original kept out.
#include "EngineApi.h"
#include "platform/Files.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tessarin::platform {

// The extended attributes of a file, its access list among them. They are
// read while the original is open, as the output is finished after the
// original may have been closed.
struct ExtendedAttribute {
    std::string name;
    std::vector<std::uint8_t> value;
};
using ExtendedAttributes = std::vector<ExtendedAttribute>;
ENGINE_API ExtendedAttributes ReadExtendedAttributes(NativeHandle handle);

// What could not be kept, so that the log can say so.
struct AttributesDropped {
    bool setIdBits = false;   // set-user-ID or set-group-ID: owner or group not kept
    bool accessList = false;  // the access list: the mode then allows no more than it did
};

// Gives the open file to (ours, still private) the owner, group, access
// list, extended attributes, permission bits and times of the original
// described by status and attributes. toNow: what the open file is known to
// be now (its owner and group), which spares a look at it.
ENGINE_API AttributesDropped KeepAttributes(NativeHandle to, const FileStatus& status,
                                            const ExtendedAttributes& attributes, const FileStatus* toNow = nullptr);

} // namespace tessarin::platform
