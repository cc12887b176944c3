// The exported C functions: check what the engine handed over, then pass it
// to the provider this process runs. Arguments are validated here once so no
// provider has to, and a bad call returns an error instead of reading past a
// schedule.
#include "RijndaelApi.h"
#include "RijndaelProvider.h"

#include <cstdlib>

namespace tessarin::rijndael {

const Provider& activeProvider()
{
    // Chosen once, so every context in the process is keyed and run by the
    // same code: the providers' schedules differ in layout.
    static const Provider& chosen = chooseProvider(std::getenv("TESSARIN_RIJNDAEL_PROVIDER"));
    return chosen;
}

namespace {

bool validKeyLength(unsigned bytes)
{
    return bytes == 16 || bytes == 24 || bytes == 32;
}

// The context for a block operation, or null when it holds no usable
// schedule (never keyed, or damaged): running it would read round keys that
// do not exist.
const RijndaelContext* keyedContext(const void* cx)
{
    const auto* context = static_cast<const RijndaelContext*>(cx);
    if (context == nullptr || !validRounds(context->rounds))
        return nullptr;
    return context;
}

using KeySetter = void (*)(RijndaelContext&, const std::uint8_t*, unsigned);

unsigned setKey(KeySetter setter, const unsigned char* key, unsigned keyLength, void* cx)
{
    if (!validKeyLength(keyLength))
        return RIJNDAEL_BAD_KEY_LENGTH;
    if (key == nullptr || cx == nullptr)
        return RIJNDAEL_BAD_ARGUMENT;
    setter(*static_cast<RijndaelContext*>(cx), key, keyLength / 4);
    return RIJNDAEL_OK;
}

} // namespace
} // namespace tessarin::rijndael

using namespace tessarin::rijndael;

extern "C" {

RIJNDAEL_EXPORT unsigned aes_enc_key(const unsigned char* key, unsigned keyLength, void* cx)
{
    return setKey(activeProvider().setEncryptKey, key, keyLength, cx);
}

RIJNDAEL_EXPORT unsigned aes_dec_key(const unsigned char* key, unsigned keyLength, void* cx)
{
    return setKey(activeProvider().setDecryptKey, key, keyLength, cx);
}

RIJNDAEL_EXPORT unsigned aes_enc_blk(const unsigned char* in, unsigned char* out, void* cx)
{
    const RijndaelContext* context = keyedContext(cx);
    if (context == nullptr || in == nullptr || out == nullptr)
        return RIJNDAEL_BAD_ARGUMENT;
    activeProvider().encryptBlocks(*context, in, out, 1);
    return RIJNDAEL_OK;
}

RIJNDAEL_EXPORT unsigned aes_dec_blk(const unsigned char* in, unsigned char* out, void* cx)
{
    const RijndaelContext* context = keyedContext(cx);
    if (context == nullptr || in == nullptr || out == nullptr)
        return RIJNDAEL_BAD_ARGUMENT;
    activeProvider().decryptBlocks(*context, in, out, 1);
    return RIJNDAEL_OK;
}

RIJNDAEL_EXPORT unsigned aes_ecb_enc(const unsigned char* in, unsigned char* out, size_t blocks, void* cx)
{
    const RijndaelContext* context = keyedContext(cx);
    if (context == nullptr || (blocks != 0 && (in == nullptr || out == nullptr)))
        return RIJNDAEL_BAD_ARGUMENT;
    activeProvider().encryptBlocks(*context, in, out, blocks);
    return RIJNDAEL_OK;
}

RIJNDAEL_EXPORT unsigned aes_ecb_dec(const unsigned char* in, unsigned char* out, size_t blocks, void* cx)
{
    const RijndaelContext* context = keyedContext(cx);
    if (context == nullptr || (blocks != 0 && (in == nullptr || out == nullptr)))
        return RIJNDAEL_BAD_ARGUMENT;
    activeProvider().decryptBlocks(*context, in, out, blocks);
    return RIJNDAEL_OK;
}

RIJNDAEL_EXPORT unsigned aes_cbc_enc(const unsigned char* in, unsigned char* out, size_t blocks,
                                     unsigned char* chain, void* cx)
{
    const RijndaelContext* context = keyedContext(cx);
    if (context == nullptr || chain == nullptr || (blocks != 0 && (in == nullptr || out == nullptr)))
        return RIJNDAEL_BAD_ARGUMENT;
    activeProvider().cbcEncrypt(*context, in, out, blocks, chain);
    return RIJNDAEL_OK;
}

RIJNDAEL_EXPORT unsigned aes_cfb_enc(const unsigned char* in, unsigned char* out, size_t blocks,
                                     unsigned char* chain, void* cx)
{
    const RijndaelContext* context = keyedContext(cx);
    if (context == nullptr || chain == nullptr || (blocks != 0 && (in == nullptr || out == nullptr)))
        return RIJNDAEL_BAD_ARGUMENT;
    activeProvider().cfbEncrypt(*context, in, out, blocks, chain);
    return RIJNDAEL_OK;
}

RIJNDAEL_EXPORT unsigned aes_cbc_dec(const unsigned char* in, unsigned char* out, size_t blocks,
                                     unsigned char* chain, void* cx)
{
    const RijndaelContext* context = keyedContext(cx);
    if (context == nullptr || chain == nullptr || (blocks != 0 && (in == nullptr || out == nullptr)))
        return RIJNDAEL_BAD_ARGUMENT;
    activeProvider().cbcDecrypt(*context, in, out, blocks, chain);
    return RIJNDAEL_OK;
}

RIJNDAEL_EXPORT unsigned aes_cfb_dec(const unsigned char* in, unsigned char* out, size_t blocks,
                                     unsigned char* chain, void* cx)
{
    const RijndaelContext* context = keyedContext(cx);
    if (context == nullptr || chain == nullptr || (blocks != 0 && (in == nullptr || out == nullptr)))
        return RIJNDAEL_BAD_ARGUMENT;
    activeProvider().cfbDecrypt(*context, in, out, blocks, chain);
    return RIJNDAEL_OK;
}

RIJNDAEL_EXPORT unsigned aes_bulk_abi(void)
{
    return RIJNDAEL_BULK_ABI;
}

RIJNDAEL_EXPORT const char* aes_provider(void)
{
    return activeProvider().name;
}

} // extern "C"
