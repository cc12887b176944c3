// MB/s of each cipher module for the operations the engine runs over file
// data: ECB encryption and decryption, CBC and CFB encryption, 1 MiB a pass,
// for each key length (the key length sets the round count).
#include "RijndaelApi.h"
#include "RijndaelContext.h"

#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kPassBytes = 1 << 20;

struct Module {
    rijndael_key_fn encKey = nullptr;
    rijndael_key_fn decKey = nullptr;
    rijndael_ecb_fn ecbEncrypt = nullptr;
    rijndael_ecb_fn ecbDecrypt = nullptr;
    rijndael_chain_fn cbcEncrypt = nullptr;
    rijndael_chain_fn cfbEncrypt = nullptr;
};

template <typename Fn>
void lookUp(void* handle, const char* name, Fn& fn)
{
    fn = reinterpret_cast<Fn>(dlsym(handle, name));
}

// Null when the library or one of the functions is missing.
const Module* loadModule(unsigned blockLength, std::string* error)
{
    static Module modules[3];
    static bool tried[3] = {};
    static std::string errors[3];
    const unsigned slot = blockLength / 8 - 2;
    if (!tried[slot]) {
        tried[slot] = true;
        const auto folder = std::filesystem::read_symlink("/proc/self/exe").parent_path();
        const auto path = folder / ("libaes" + std::to_string(blockLength) + ".so");
        if (void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
            Module& m = modules[slot];
            lookUp(handle, "aes_enc_key", m.encKey);
            lookUp(handle, "aes_dec_key", m.decKey);
            lookUp(handle, "aes_ecb_enc", m.ecbEncrypt);
            lookUp(handle, "aes_ecb_dec", m.ecbDecrypt);
            lookUp(handle, "aes_cbc_enc", m.cbcEncrypt);
            lookUp(handle, "aes_cfb_enc", m.cfbEncrypt);
            if (!m.encKey || !m.decKey || !m.ecbEncrypt || !m.ecbDecrypt || !m.cbcEncrypt || !m.cfbEncrypt)
                errors[slot] = path.string() + " lacks an export";
        } else {
            errors[slot] = dlerror();
        }
    }
    *error = errors[slot];
    return errors[slot].empty() ? &modules[slot] : nullptr;
}

enum class Operation { EcbEncrypt, EcbDecrypt, CbcEncrypt, CfbEncrypt };

const char* operationName(Operation op)
{
    switch (op) {
    case Operation::EcbEncrypt: return "ecb_enc";
    case Operation::EcbDecrypt: return "ecb_dec";
    case Operation::CbcEncrypt: return "cbc_enc";
    case Operation::CfbEncrypt: return "cfb_enc";
    }
    return "?";
}

void runPass(benchmark::State& state, unsigned blockLength, Operation op, unsigned keyLength)
{
    std::string error;
    const Module* m = loadModule(blockLength, &error);
    if (m == nullptr) {
        state.SkipWithError(error.c_str());
        return;
    }

    std::vector<unsigned char> key(keyLength);
    for (std::size_t i = 0; i < key.size(); ++i)
        key[i] = static_cast<unsigned char>(i * 7 + 1);
    RijndaelContext cx;
    std::memset(&cx, 0, sizeof cx);
    cx.blockLength = blockLength;
    const auto setKey = op == Operation::EcbDecrypt ? m->decKey : m->encKey;
    if (setKey(key.data(), keyLength, &cx) != RIJNDAEL_OK) {
        state.SkipWithError("key refused");
        return;
    }

    // Whole blocks only: 1 MiB is not a multiple of 24 bytes.
    const std::size_t blocks = kPassBytes / blockLength;
    std::vector<unsigned char> in(blocks * blockLength);
    std::vector<unsigned char> out(in.size());
    std::vector<unsigned char> chain(blockLength, 0x5a);
    for (std::size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<unsigned char>(i * 131 + 17);

    for (auto _ : state) {
        switch (op) {
        case Operation::EcbEncrypt: m->ecbEncrypt(in.data(), out.data(), blocks, &cx); break;
        case Operation::EcbDecrypt: m->ecbDecrypt(in.data(), out.data(), blocks, &cx); break;
        case Operation::CbcEncrypt: m->cbcEncrypt(in.data(), out.data(), blocks, chain.data(), &cx); break;
        case Operation::CfbEncrypt: m->cfbEncrypt(in.data(), out.data(), blocks, chain.data(), &cx); break;
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(in.size()));
}

} // namespace

int main(int argc, char** argv)
{
    for (unsigned blockLength : {16u, 24u, 32u}) {
        for (Operation op : {Operation::EcbEncrypt, Operation::EcbDecrypt, Operation::CbcEncrypt, Operation::CfbEncrypt}) {
            for (unsigned keyLength : {16u, 24u, 32u}) {
                const std::string name = "aes" + std::to_string(blockLength) + "/" + operationName(op) + "/key"
                                         + std::to_string(keyLength);
                benchmark::RegisterBenchmark(name.c_str(), runPass, blockLength, op, keyLength)
                    ->Unit(benchmark::kMicrosecond);
            }
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
