#include "RijndaelModule.h"
#include "RijndaelVectors.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>

namespace tessarin::test {
namespace {

template <typename Fn>
bool lookUp(void* handle, const char* name, Fn& fn, std::string* error)
{
#if defined(_WIN32)
    void* symbol = reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
#else
    void* symbol = dlsym(handle, name);
#endif
    if (symbol == nullptr) {
        *error = label("missing export ", name);
        return false;
    }
    fn = reinterpret_cast<Fn>(symbol);
    return true;
}

struct Loaded {
    ModuleApi api;
    std::string error;
    bool ok = false;
};

Loaded open(unsigned blockLength)
{
    Loaded loaded;
#if defined(_WIN32)
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const auto path = std::filesystem::path(self).parent_path() / label("aes", blockLength, ".dll");
    // Handles stay open for the life of the process, as in the engine.
    void* handle = LoadLibraryW(path.c_str());
    if (handle == nullptr) {
        loaded.error = label("LoadLibraryW ", path.string(), ": error ", GetLastError());
        return loaded;
    }
#else
    const auto folder = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    const auto path = folder / label("libaes", blockLength, ".so");
    // Handles stay open for the life of the process, as in the engine.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = dlerror();
        loaded.error = label("dlopen ", path.string(), ": ", why != nullptr ? why : "unknown error");
        return loaded;
    }
#endif
    ModuleApi& api = loaded.api;
    loaded.ok = lookUp(handle, "aes_enc_key", api.encKey, &loaded.error)
                && lookUp(handle, "aes_dec_key", api.decKey, &loaded.error)
                && lookUp(handle, "aes_enc_blk", api.encBlock, &loaded.error)
                && lookUp(handle, "aes_dec_blk", api.decBlock, &loaded.error)
                && lookUp(handle, "aes_ecb_enc", api.ecbEncrypt, &loaded.error)
                && lookUp(handle, "aes_ecb_dec", api.ecbDecrypt, &loaded.error)
                && lookUp(handle, "aes_cbc_enc", api.cbcEncrypt, &loaded.error)
                && lookUp(handle, "aes_cfb_enc", api.cfbEncrypt, &loaded.error)
                && lookUp(handle, "aes_cbc_dec", api.cbcDecrypt, &loaded.error)
                && lookUp(handle, "aes_cfb_dec", api.cfbDecrypt, &loaded.error)
                && lookUp(handle, "aes_bulk_abi", api.bulkAbi, &loaded.error)
                && lookUp(handle, "aes_provider", api.provider, &loaded.error);
    return loaded;
}

} // namespace

const ModuleApi* loadModule(unsigned blockLength, std::string* error)
{
    static std::map<unsigned, Loaded> modules;
    auto it = modules.find(blockLength);
    if (it == modules.end())
        it = modules.emplace(blockLength, open(blockLength)).first;
    if (!it->second.ok) {
        *error = it->second.error;
        return nullptr;
    }
    return &it->second.api;
}

std::string requestedProvider()
{
    const char* name = std::getenv("TESSARIN_RIJNDAEL_PROVIDER");
    return name != nullptr ? name : "";
}

bool cpuCanRun(const std::string& provider)
{
    __builtin_cpu_init();
    const bool aesni = __builtin_cpu_supports("aes") && __builtin_cpu_supports("sse4.1");
    if (provider == "portable")
        return true;
    if (provider == "aesni")
        return aesni;
    if (provider == "vaes")
        return aesni && __builtin_cpu_supports("vaes") && __builtin_cpu_supports("avx512f")
               && __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl")
               && __builtin_cpu_supports("avx512vbmi");
    return false;
}

Context::Context(unsigned blockLength)
{
    std::memset(&m_context, 0xa5, sizeof m_context);
    m_context.rounds = 0;
    m_context.blockLength = blockLength;
}

std::vector<unsigned char> Context::snapshot() const
{
    const auto* begin = reinterpret_cast<const unsigned char*>(&m_context);
    return {begin, begin + sizeof m_context};
}

Buffer::Buffer(std::size_t size, std::size_t misalignment)
    : m_storage(size + misalignment + 2 * kGuard + 16, kGuardByte), m_size(size)
{
    const auto address = reinterpret_cast<std::uintptr_t>(m_storage.data() + kGuard);
    m_data = m_storage.data() + kGuard + (16 - address % 16) % 16 + misalignment;
}

Buffer::Buffer(const std::vector<unsigned char>& content, std::size_t misalignment)
    : Buffer(content.size(), misalignment)
{
    std::copy(content.begin(), content.end(), m_data);
}

std::vector<unsigned char> Buffer::bytes() const
{
    return {m_data, m_data + m_size};
}

std::vector<unsigned char> Buffer::bytes(std::size_t offset, std::size_t count) const
{
    return {m_data + offset, m_data + offset + count};
}

bool Buffer::guardIntact() const
{
    const auto isGuard = [](unsigned char b) { return b == kGuardByte; };
    const unsigned char* begin = m_storage.data();
    const unsigned char* end = begin + m_storage.size();
    const unsigned char* data = m_data;
    return std::all_of(begin, data, isGuard) && std::all_of(data + m_size, end, isGuard);
}

} // namespace tessarin::test
