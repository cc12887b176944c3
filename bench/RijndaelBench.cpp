// MB/s of each cipher module for every operation the engine runs over file
// data (ECB both ways, CBC and CFB both ways), 1 MiB a pass, for each
// provider the CPU has, each block length and each key length (the key
// length sets the round count); and MB/s of the container's CRC-32.
//
// A module picks its provider once per load, from the CPU or from
// TESSARIN_RIJNDAEL_PROVIDER. To measure every provider in one run, each
// provider gets its own copy of the module file in a temporary folder,
// loaded with the variable set to that provider: separate files are
// separate loads with separate choices, and the exported functions measured
// are the ones the engine calls.
//
//   build/bench/bin/rijndael_bench --benchmark_filter='aes16/aesni/cbc_enc/key32'
#include "RijndaelApi.h"
#include "RijndaelContext.h"
#include "foundation/CCrc32Dynamic.h"

#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kPassBytes = 1 << 20;
const char* const kProviders[] = {"portable", "aesni", "vaes"};

struct Module {
    rijndael_key_fn encKey = nullptr;
    rijndael_key_fn decKey = nullptr;
    rijndael_ecb_fn ecbEncrypt = nullptr;
    rijndael_ecb_fn ecbDecrypt = nullptr;
    rijndael_chain_fn cbcEncrypt = nullptr;
    rijndael_chain_fn cfbEncrypt = nullptr;
    rijndael_chain_fn cbcDecrypt = nullptr;
    rijndael_chain_fn cfbDecrypt = nullptr;
    rijndael_name_fn provider = nullptr;
    std::string error;
};

template <typename Fn>
bool lookUp(void* handle, const char* name, Fn& fn)
{
    fn = reinterpret_cast<Fn>(dlsym(handle, name));
    return fn != nullptr;
}

const fs::path& copiesFolder()
{
    static const fs::path folder = [] {
        std::string pattern = (fs::temp_directory_path() / "tessarin-rijndael-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        return fs::path(pattern);
    }();
    return folder;
}

Module open(unsigned blockLength, const std::string& provider)
{
    Module m;
    const auto original = fs::read_symlink("/proc/self/exe").parent_path() / ("libaes" + std::to_string(blockLength) + ".so");
    const auto copy = copiesFolder() / ("libaes" + std::to_string(blockLength) + "-" + provider + ".so");
    std::error_code ec;
    fs::copy_file(original, copy, fs::copy_options::overwrite_existing, ec);
    if (ec) {
        m.error = original.string() + ": " + ec.message();
        return m;
    }
    ::setenv("TESSARIN_RIJNDAEL_PROVIDER", provider.c_str(), 1);
    void* handle = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        m.error = dlerror();
        return m;
    }
    const bool all = lookUp(handle, "aes_enc_key", m.encKey) && lookUp(handle, "aes_dec_key", m.decKey)
                     && lookUp(handle, "aes_ecb_enc", m.ecbEncrypt) && lookUp(handle, "aes_ecb_dec", m.ecbDecrypt)
                     && lookUp(handle, "aes_cbc_enc", m.cbcEncrypt) && lookUp(handle, "aes_cfb_enc", m.cfbEncrypt)
                     && lookUp(handle, "aes_cbc_dec", m.cbcDecrypt) && lookUp(handle, "aes_cfb_dec", m.cfbDecrypt)
                     && lookUp(handle, "aes_provider", m.provider);
    if (!all) {
        m.error = copy.string() + " lacks an export";
        return m;
    }
    // The choice happens on first use: make it now, while the variable
    // names this provider.
    if (provider != m.provider())
        m.error = "this CPU cannot run the provider '" + provider + "'";
    ::unsetenv("TESSARIN_RIJNDAEL_PROVIDER");
    return m;
}

const Module& moduleFor(unsigned blockLength, const std::string& provider)
{
    static std::map<std::pair<unsigned, std::string>, Module> modules;
    const auto key = std::make_pair(blockLength, provider);
    auto it = modules.find(key);
    if (it == modules.end())
        it = modules.emplace(key, open(blockLength, provider)).first;
    return it->second;
}

enum class Operation { EcbEncrypt, EcbDecrypt, CbcEncrypt, CbcDecrypt, CfbEncrypt, CfbDecrypt };

const char* operationName(Operation op)
{
    switch (op) {
    case Operation::EcbEncrypt: return "ecb_enc";
    case Operation::EcbDecrypt: return "ecb_dec";
    case Operation::CbcEncrypt: return "cbc_enc";
    case Operation::CbcDecrypt: return "cbc_dec";
    case Operation::CfbEncrypt: return "cfb_enc";
    case Operation::CfbDecrypt: return "cfb_dec";
    }
    return "?";
}

void runPass(benchmark::State& state, unsigned blockLength, const std::string& provider, Operation op,
             unsigned keyLength)
{
    const Module& m = moduleFor(blockLength, provider);
    if (!m.error.empty()) {
        state.SkipWithError(m.error.c_str());
        return;
    }

    std::vector<unsigned char> key(keyLength);
    for (std::size_t i = 0; i < key.size(); ++i)
        key[i] = static_cast<unsigned char>(i * 7 + 1);
    RijndaelContext cx;
    std::memset(&cx, 0, sizeof cx);
    cx.blockLength = blockLength;
    const bool inverse = op == Operation::EcbDecrypt || op == Operation::CbcDecrypt;
    const auto setKey = inverse ? m.decKey : m.encKey;
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
        case Operation::EcbEncrypt: m.ecbEncrypt(in.data(), out.data(), blocks, &cx); break;
        case Operation::EcbDecrypt: m.ecbDecrypt(in.data(), out.data(), blocks, &cx); break;
        case Operation::CbcEncrypt: m.cbcEncrypt(in.data(), out.data(), blocks, chain.data(), &cx); break;
        case Operation::CbcDecrypt: m.cbcDecrypt(in.data(), out.data(), blocks, chain.data(), &cx); break;
        case Operation::CfbEncrypt: m.cfbEncrypt(in.data(), out.data(), blocks, chain.data(), &cx); break;
        case Operation::CfbDecrypt: m.cfbDecrypt(in.data(), out.data(), blocks, chain.data(), &cx); break;
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(in.size()));
}

// The CRC the container codec runs over every file, in the 147,456-byte
// chunks the pipeline feeds it; "tables" switches the carry-less multiply
// off to show what it gains.
void crcPass(benchmark::State& state, bool fast)
{
    constexpr std::size_t kChunk = 147456;
    std::vector<std::uint8_t> data(kChunk);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 131 + 17);
    const bool before = tessarin::CCrc32Dynamic::AllowCarrylessMultiply(fast);
    tessarin::CCrc32Dynamic crc;
    crc.InitStream();
    for (auto _ : state) {
        crc.CalcStream(data);
        benchmark::DoNotOptimize(crc.GetCrcStream());
    }
    tessarin::CCrc32Dynamic::AllowCarrylessMultiply(before);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(data.size()));
}

} // namespace

int main(int argc, char** argv)
{
    constexpr Operation kOperations[] = {Operation::EcbEncrypt, Operation::EcbDecrypt, Operation::CbcEncrypt,
                                         Operation::CbcDecrypt, Operation::CfbEncrypt, Operation::CfbDecrypt};
    for (unsigned blockLength : {16u, 24u, 32u}) {
        for (const char* provider : kProviders) {
            for (Operation op : kOperations) {
                for (unsigned keyLength : {16u, 24u, 32u}) {
                    const std::string name = "aes" + std::to_string(blockLength) + "/" + provider + "/"
                                             + operationName(op) + "/key" + std::to_string(keyLength);
                    benchmark::RegisterBenchmark(name.c_str(), runPass, blockLength, std::string(provider), op,
                                                 keyLength)
                        ->Unit(benchmark::kMicrosecond);
                }
            }
        }
    }
    benchmark::RegisterBenchmark("crc32/fast", crcPass, true)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("crc32/tables", crcPass, false)->Unit(benchmark::kMicrosecond);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(copiesFolder(), ec);
    return 0;
}
