// Stands in for zlib with three of the four gzip file functions: the
// presence check must fail with the missing-function error.
extern "C" {
__attribute__((visibility("default"))) void* gzopen(const char*, const char*) { return nullptr; }
__attribute__((visibility("default"))) int gzread(void*, void*, unsigned) { return -1; }
__attribute__((visibility("default"))) int gzwrite(void*, const void*, unsigned) { return 0; }
}
