#pragma once
#include "EngineApi.h"

#include <cstddef>
#include <cstdint>

namespace tessarin {

// Thin binding to a loaded Rijndael module: the context every module call
// receives, and the record of the module's entry points.
class ENGINE_API AESclass {
public:
    using KeyFn = unsigned (*)(const unsigned char* key, unsigned keyLength, void* cx);
    using BlockFn = unsigned (*)(const unsigned char* in, unsigned char* out, void* cx);
    using EcbFn = unsigned (*)(const unsigned char* in, unsigned char* out, std::size_t blocks, void* cx);
    using ChainFn = unsigned (*)(const unsigned char* in, unsigned char* out, std::size_t blocks,
                                 unsigned char* chain, void* cx);

    // Filled by CAesCore::LoadLibraryA; the caller owns it and keeps it alive
    // as long as any object bound to it. The bulk entries are optional: they
    // are filled only from a module that declares their contract (see
    // LoadLibraryA), and a module without them is driven one block per call.
    struct AesCallBack {
        std::uint32_t blockLength = 0;
        BlockFn aes_enc_blk = nullptr;
        BlockFn aes_dec_blk = nullptr;
        KeyFn aes_enc_key = nullptr;
        KeyFn aes_dec_key = nullptr;
        EcbFn aes_ecb_enc = nullptr;
        EcbFn aes_ecb_dec = nullptr;
        ChainFn aes_cbc_enc = nullptr;
        ChainFn aes_cfb_enc = nullptr;
        ChainFn aes_cbc_dec = nullptr;
        ChainFn aes_cfb_dec = nullptr;
    };

    explicit AESclass(const AesCallBack* library);

    unsigned enc_key(const unsigned char* key, unsigned keyLength);
    unsigned dec_key(const unsigned char* key, unsigned keyLength);
    unsigned enc_blk(const unsigned char* in, unsigned char* out);
    unsigned dec_blk(const unsigned char* in, unsigned char* out);

    // Layout shared with the modules: schedule words, rounds, block length.
    // A key's schedule is this whole record, so a copy of it keys another
    // object bound to the same module without working it out again.
    struct Context {
        std::uint32_t schedule[128];
        std::uint32_t rounds;
        std::uint32_t blockLength;
    };

protected:
    Context m_context{};
    const AesCallBack* m_library = nullptr;  // not owned
};

} // namespace tessarin
