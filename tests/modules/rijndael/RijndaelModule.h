#pragma once
// Opens the built cipher modules the way the engine does (dlopen beside the
// executable, dlsym by name) and gives the tests contexts and buffers that
// catch stray writes and alignment assumptions.
#include "RijndaelApi.h"
#include "RijndaelContext.h"

#include <cstddef>
#include <string>
#include <vector>

namespace tessarin::test {

struct ModuleApi {
    rijndael_key_fn encKey = nullptr;
    rijndael_key_fn decKey = nullptr;
    rijndael_block_fn encBlock = nullptr;
    rijndael_block_fn decBlock = nullptr;
    rijndael_ecb_fn ecbEncrypt = nullptr;
    rijndael_ecb_fn ecbDecrypt = nullptr;
    rijndael_chain_fn cbcEncrypt = nullptr;
    rijndael_chain_fn cfbEncrypt = nullptr;
    rijndael_chain_fn cbcDecrypt = nullptr;
    rijndael_chain_fn cfbDecrypt = nullptr;
    rijndael_abi_fn bulkAbi = nullptr;
    rijndael_name_fn provider = nullptr;
};

// The provider named by TESSARIN_RIJNDAEL_PROVIDER, or empty when unset.
std::string requestedProvider();

// Whether this CPU has the instructions the named provider needs, checked
// here independently of the module so that a module ignoring the request
// fails instead of skipping.
bool cpuCanRun(const std::string& provider);

// libaes<blockLength>.so from the executable's folder, loaded once per
// process. Null with *error set when the library or any export is missing.
const ModuleApi* loadModule(unsigned blockLength, std::string* error);

// A context as the engine prepares it, on top of leftover bytes so that a
// module relying on a zeroed schedule shows up.
class Context {
public:
    explicit Context(unsigned blockLength);

    void* get() { return &m_context; }
    std::vector<unsigned char> snapshot() const;

private:
    RijndaelContext m_context;
};

// Bytes at an exact distance past a 16-byte boundary, surrounded by a guard
// pattern that must survive every call.
class Buffer {
public:
    Buffer(std::size_t size, std::size_t misalignment);
    Buffer(const std::vector<unsigned char>& content, std::size_t misalignment);

    unsigned char* data() { return m_data; }
    std::size_t size() const { return m_size; }
    std::vector<unsigned char> bytes() const;
    std::vector<unsigned char> bytes(std::size_t offset, std::size_t count) const;
    bool guardIntact() const;

private:
    static constexpr std::size_t kGuard = 64;
    static constexpr unsigned char kGuardByte = 0x5c;

    std::vector<unsigned char> m_storage;
    unsigned char* m_data = nullptr;
    std::size_t m_size = 0;
};

} // namespace tessarin::test
