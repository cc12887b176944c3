#ifndef TESSARIN_RIJNDAEL_API_H
#define TESSARIN_RIJNDAEL_API_H
/*
 * The C surface of the cipher modules libaes16.so, libaes24.so and
 * libaes32.so (the number is the block length in bytes). The engine never
 * links against a module: it opens one with dlopen and looks the functions
 * up by name, so the typedefs below are what it casts dlsym results to.
 *
 * Every cipher function takes the context last. The caller allocates it (see
 * RijndaelContext.h), sets rounds to 0 and blockLength to the module's block
 * length before the first key call. A context holds one schedule at a time:
 * aes_enc_key prepares it for aes_enc_blk, aes_ecb_enc, aes_cbc_enc,
 * aes_cfb_enc and aes_cfb_dec; aes_dec_key prepares it for aes_dec_blk,
 * aes_ecb_dec and aes_cbc_dec.
 *
 * Buffers may have any alignment. "in" and "out" must not overlap. Block
 * counts are whole blocks of the module's block length. Every cipher
 * function returns RIJNDAEL_OK (0) on success; aes_bulk_abi and
 * aes_provider only describe the module.
 */
#include <stddef.h>

#if defined(RIJNDAEL_BUILDING) && defined(_WIN32)
#define RIJNDAEL_EXPORT __declspec(dllexport)
#elif defined(RIJNDAEL_BUILDING)
#define RIJNDAEL_EXPORT __attribute__((visibility("default")))
#else
#define RIJNDAEL_EXPORT
#endif

#define RIJNDAEL_OK 0u
/* The key length is not 16, 24 or 32 bytes; the context was not touched. */
#define RIJNDAEL_BAD_KEY_LENGTH 1u
/* A null pointer, or a context that holds no valid schedule. */
#define RIJNDAEL_BAD_ARGUMENT 2u

#ifdef __cplusplus
extern "C" {
#endif

/* keyLength is in bytes: 16, 24 or 32. */
typedef unsigned (*rijndael_key_fn)(const unsigned char* key, unsigned keyLength, void* cx);
typedef unsigned (*rijndael_block_fn)(const unsigned char* in, unsigned char* out, void* cx);
typedef unsigned (*rijndael_ecb_fn)(const unsigned char* in, unsigned char* out, size_t blocks,
                                    void* cx);
/* chain is one block, read as the starting register and left holding the
 * register after the last block, so a stream can be processed in pieces. */
typedef unsigned (*rijndael_chain_fn)(const unsigned char* in, unsigned char* out, size_t blocks,
                                      unsigned char* chain, void* cx);

RIJNDAEL_EXPORT unsigned aes_enc_key(const unsigned char* key, unsigned keyLength, void* cx);
RIJNDAEL_EXPORT unsigned aes_dec_key(const unsigned char* key, unsigned keyLength, void* cx);
RIJNDAEL_EXPORT unsigned aes_enc_blk(const unsigned char* in, unsigned char* out, void* cx);
RIJNDAEL_EXPORT unsigned aes_dec_blk(const unsigned char* in, unsigned char* out, void* cx);

/* Optional bulk functions: an engine that finds them saves a call per block
 * and lets the module keep several blocks in flight. A caller may use them
 * only when aes_bulk_abi() exists and returns RIJNDAEL_BULK_ABI: that is the
 * promise that every function below has exactly the contract written here,
 * so a module that happens to export a function of the same name with
 * another meaning is never driven through it. */
#define RIJNDAEL_BULK_ABI 1u
typedef unsigned (*rijndael_abi_fn)(void);
RIJNDAEL_EXPORT unsigned aes_bulk_abi(void);

RIJNDAEL_EXPORT unsigned aes_ecb_enc(const unsigned char* in, unsigned char* out, size_t blocks,
                                     void* cx);
RIJNDAEL_EXPORT unsigned aes_ecb_dec(const unsigned char* in, unsigned char* out, size_t blocks,
                                     void* cx);
/* CBC encryption: R ^= P_i; C_i = E(R); R = C_i. */
RIJNDAEL_EXPORT unsigned aes_cbc_enc(const unsigned char* in, unsigned char* out, size_t blocks,
                                     unsigned char* chain, void* cx);
/* CFB encryption with full-block feedback: C_i = E(R) ^ P_i; R = C_i. */
RIJNDAEL_EXPORT unsigned aes_cfb_enc(const unsigned char* in, unsigned char* out, size_t blocks,
                                     unsigned char* chain, void* cx);

/* CBC decryption, with the decryption schedule: P_i = D(C_i) ^ R; R = C_i. */
RIJNDAEL_EXPORT unsigned aes_cbc_dec(const unsigned char* in, unsigned char* out, size_t blocks,
                                     unsigned char* chain, void* cx);
/* CFB decryption, with the encryption schedule: P_i = E(R) ^ C_i; R = C_i. */
RIJNDAEL_EXPORT unsigned aes_cfb_dec(const unsigned char* in, unsigned char* out, size_t blocks,
                                     unsigned char* chain, void* cx);

/* The code this process runs the cipher with: "vaes", "aesni" or "portable".
 * Picked once from the CPU; the environment variable
 * TESSARIN_RIJNDAEL_PROVIDER may name a slower one (for tests and
 * benchmarks). A name the CPU cannot run is ignored. */
typedef const char* (*rijndael_name_fn)(void);
RIJNDAEL_EXPORT const char* aes_provider(void);

#ifdef __cplusplus
}
#endif

#endif /* TESSARIN_RIJNDAEL_API_H */
