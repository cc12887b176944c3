#include "cipher/AESclass.h"

namespace tessarin {

AESclass::AESclass(const AesCallBack* library) : m_library(library)
{
    m_context.rounds = 0;
    m_context.blockLength = library ? library->blockLength : 0;
}

unsigned AESclass::enc_key(const unsigned char* key, unsigned keyLength)
{
    return m_library->aes_enc_key(key, keyLength, &m_context);
}

unsigned AESclass::dec_key(const unsigned char* key, unsigned keyLength)
{
    return m_library->aes_dec_key(key, keyLength, &m_context);
}

unsigned AESclass::enc_blk(const unsigned char* in, unsigned char* out)
{
    return m_library->aes_enc_blk(in, out, &m_context);
}

unsigned AESclass::dec_blk(const unsigned char* in, unsigned char* out)
{
    return m_library->aes_dec_blk(in, out, &m_context);
}

} // namespace tessarin
