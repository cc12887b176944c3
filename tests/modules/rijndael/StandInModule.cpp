// A cipher module as another Rijndael implementation could provide it: the
// portable code behind only the four documented exports, no bulk functions
// and no marker. The engine must drive it one block per call and write the
// same containers.
#include "RijndaelProvider.h"

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

} // extern "C"
