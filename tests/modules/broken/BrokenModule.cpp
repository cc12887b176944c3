// A cipher module with three of the four entry points: loading it must fail
// with the missing-function error, not crash later.
extern "C" {
__attribute__((visibility("default"))) unsigned aes_enc_key(const unsigned char*, unsigned, void*) { return 0; }
__attribute__((visibility("default"))) unsigned aes_dec_key(const unsigned char*, unsigned, void*) { return 0; }
__attribute__((visibility("default"))) unsigned aes_enc_blk(const unsigned char*, unsigned char*, void*) { return 0; }
}
