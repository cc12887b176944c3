#pragma once
// The name a container stores comes from whoever made the file, not from the
// user: before a decryption (or a check of what one would do) acts on it, it
// must name a file in the container's own folder and nothing else, and a
// compressed content must carry its family's suffix, or its decompression
// would write onto its own input.
#include "EngineApi.h"

#include <cstdint>
#include <string>

namespace tessarin {

struct CompressionFamily;

class ENGINE_API StoredName {
public:
    // A name fit to be created in the container's own folder: not empty, no
    // folder part, no zero byte, nothing that names the folder itself or its
    // parent.
    static bool IsPlain(const std::string& name);
    // Fails with -26 for a stored name of the container at path that is not
    // plain, or that lacks the suffix of the filter word's family (or is no
    // plain name without it).
    static void Check(const std::string& container, const std::string& name, std::uint32_t filter);
    // The same for a compressed content at path about to be decompressed:
    // without its suffix the output would be the input itself.
    static void CheckCompressed(const std::string& path, const CompressionFamily& family);
    // The name the decrypted file finally takes: the stored name, without the
    // family's suffix when the content is compressed.
    static std::string Final(const std::string& name, std::uint32_t filter);
};

} // namespace tessarin
