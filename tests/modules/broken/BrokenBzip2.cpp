// Stands in for libbz2 without BZ2_bzclose: the presence check must fail
// with the missing-function error.
extern "C" {
__attribute__((visibility("default"))) void* BZ2_bzopen(const char*, const char*) { return nullptr; }
__attribute__((visibility("default"))) int BZ2_bzread(void*, void*, int) { return -1; }
__attribute__((visibility("default"))) int BZ2_bzwrite(void*, void*, int) { return -1; }
}
