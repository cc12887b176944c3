// A cipher module as another Rijndael implementation could provide it: the
// portable code behind only the four documented exports, no bulk functions
// and no marker. The engine must drive it one block per call and write the
// same containers.
//
// Built a second time with STANDIN_DECOYS: then it also exports functions
// under the bulk names that keep another contract (they only scribble on
// their output) and declares a bulk contract version the engine does not
// know. An engine that called them would write garbage.
#include "RijndaelProvider.h"

#include <cstddef>
#include <cstdint>

using tessarin::rijndael::portableProvider;

namespace {

RijndaelContext& context(void* cx)
{
    return *static_cast<RijndaelContext*>(cx);
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) unsigned aes_enc_key(const unsigned char* key, unsigned keyLength, void* cx)
{
    portableProvider().setEncryptKey(context(cx), key, keyLength / 4);
    return 0;
}

__attribute__((visibility("default"))) unsigned aes_dec_key(const unsigned char* key, unsigned keyLength, void* cx)
{
    portableProvider().setDecryptKey(context(cx), key, keyLength / 4);
    return 0;
}

__attribute__((visibility("default"))) unsigned aes_enc_blk(const unsigned char* in, unsigned char* out, void* cx)
{
    portableProvider().encryptBlocks(context(cx), in, out, 1);
    return 0;
}

__attribute__((visibility("default"))) unsigned aes_dec_blk(const unsigned char* in, unsigned char* out, void* cx)
{
    portableProvider().decryptBlocks(context(cx), in, out, 1);
    return 0;
}

#ifdef STANDIN_DECOYS
__attribute__((visibility("default"))) unsigned aes_bulk_abi(void)
{
    return 0x7e57;
}

#define DECOY(name)                                                                                                   \
    __attribute__((visibility("default"))) unsigned name(const unsigned char*, unsigned char* out, size_t blocks,    \
                                                         unsigned char*, void*)                                       \
    {                                                                                                                 \
        for (size_t i = 0; i < blocks; ++i)                                                                           \
            out[i] = 0xee;                                                                                            \
        return 0;                                                                                                     \
    }
DECOY(aes_ecb_enc)
DECOY(aes_ecb_dec)
DECOY(aes_cbc_enc)
DECOY(aes_cfb_enc)
DECOY(aes_cbc_dec)
DECOY(aes_cfb_dec)
#undef DECOY
#endif

} // extern "C"
