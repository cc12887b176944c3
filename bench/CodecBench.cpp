// Whole-file throughput of the container codec: a seeded 16 MiB file
// encoded and decoded from and to disk (page cache), for every block size
// and mode, through the engine as the pipeline drives it. Then the work a
// user compares with other tools: 256 MiB through CBC at blocks 128 and 256,
// and 64 MiB of text compressed with gzip "normal" (level 5) and encrypted,
// beside `gzip -5` alone on the same file; bzip2 likewise on 16 MiB.
// Run with TMPDIR on a tmpfs to leave the disk out. The overlap argument
// turns the read-ahead, write-behind and compression threads off (0) or on
// (1), to show what they gain.
#include "cipher/MyAesFiles.h"
#include "foundation/OverlappedIo.h"
#include "processing/MyCompressBzip2.h"
#include "processing/MyCompressGzip.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace tessarin;

constexpr std::size_t FileBytes = 16u << 20;

const AESclass::AesCallBack& ModuleFor(int block)
{
    static std::map<int, std::pair<platform::ModuleHandle, AESclass::AesCallBack>> modules;
    auto& [handle, record] = modules[block];
    if (!handle)
        handle = CAesCore::LoadLibraryA(static_cast<unsigned>(block), &record);
    return record;
}

std::string Folder()
{
    static const std::string folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "tessarin-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        std::vector<char> data(FileBytes);
        std::mt19937 random(42);
        for (auto& c : data)
            c = static_cast<char>(random());
        std::ofstream(pattern + "/plain.bin", std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
        std::atexit([] { std::filesystem::remove_all(Folder()); });
        return pattern;
    }();
    return folder;
}

void Key(MyAesFiles& codec, int block, OperMode mode)
{
    const auto b = static_cast<MyAesFiles::BlockSize>(block);
    if (mode == OperMode::CFB)
        codec.MakeEncKey("benchmark password", MyAesFiles::Key256, b);
    else
        codec.MakeDecKey("benchmark password", MyAesFiles::Key256, b);
}

void Encode(benchmark::State& state)
{
    const int block = static_cast<int>(state.range(0));
    const auto mode = static_cast<OperMode>(state.range(1));
    const std::string folder = Folder();
    for (auto _ : state) {
        MyAesFiles codec(nullptr, &ModuleFor(block));
        Key(codec, block, mode);
        MyFile source(folder + "/plain.bin", MyFile::OpenRead);
        MyFile destination(folder + "/box-" + std::to_string(block) + "-" + std::to_string(int(mode)), MyFile::OpenWrite);
        benchmark::DoNotOptimize(codec.Encode(source, destination, mode, 0, 0));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * FileBytes));
}

void Decode(benchmark::State& state)
{
    const int block = static_cast<int>(state.range(0));
    const auto mode = static_cast<OperMode>(state.range(1));
    const std::string folder = Folder();
    const std::string box = folder + "/box-" + std::to_string(block) + "-" + std::to_string(int(mode));
    {
        MyAesFiles codec(nullptr, &ModuleFor(block));
        Key(codec, block, mode);
        MyFile source(folder + "/plain.bin", MyFile::OpenRead);
        MyFile destination(box, MyFile::OpenWrite);
        codec.Encode(source, destination, mode, 0, 0);
    }
    for (auto _ : state) {
        MyAesFiles codec(nullptr, &ModuleFor(block));
        Key(codec, block, mode);
        MyFile source(box, MyFile::OpenRead);
        MyFile destination(folder + "/out", MyFile::OpenWrite);
        benchmark::DoNotOptimize(codec.Decode(source, destination, mode));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * FileBytes));
}

void Arguments(benchmark::internal::Benchmark* b)
{
    for (int block : {16, 24, 32})
        for (int mode : {0, 1, 2})
            b->Args({block, mode});
    b->ArgNames({"block", "mode"})->Unit(benchmark::kMillisecond);
}

BENCHMARK(Encode)->Apply(Arguments);
BENCHMARK(Decode)->Apply(Arguments);

// ------------------------------------------------ the comparison with peers

constexpr std::size_t BigBytes = 256u << 20;
constexpr std::size_t TextBytes = 64u << 20;
constexpr std::size_t Bzip2TextBytes = 16u << 20;

void WriteFile(const std::string& path, const std::vector<char>& data)
{
    std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
}

// Seeded noise: the cipher's cost does not depend on the content.
const std::string& BigFile()
{
    static const std::string path = [] {
        std::vector<char> data(BigBytes);
        std::mt19937_64 random(7);
        for (std::size_t i = 0; i < data.size(); i += 8) {
            const std::uint64_t v = random();
            std::memcpy(data.data() + i, &v, 8);
        }
        const std::string p = Folder() + "/big.bin";
        WriteFile(p, data);
        return p;
    }();
    return path;
}

// Text with the statistics of prose: a vocabulary of made-up words whose
// frequencies follow Zipf's law, in sentences and lines. gzip shrinks it
// to about a third, as it does English.
std::vector<char> MakeText(std::size_t length)
{
    std::mt19937 random(1234);
    const char letters[] = "eeeeeeeeeeeetttttttttaaaaaaaaoooooooiiiiiiinnnnnnnsssssshhhhhhrrrrrrddddllllcccuummwwffggyyppbbvk";
    std::vector<std::string> words(20000);
    for (auto& w : words) {
        const std::size_t n = 1 + random() % 4 + random() % 6;
        for (std::size_t i = 0; i < n; ++i)
            w += letters[random() % (sizeof letters - 1)];
    }
    std::vector<double> weights(words.size());
    for (std::size_t i = 0; i < weights.size(); ++i)
        weights[i] = 1.0 / double(i + 1);
    std::discrete_distribution<std::size_t> zipf(weights.begin(), weights.end());
    std::vector<char> text;
    text.reserve(length + 64);
    std::size_t inSentence = 0, inLine = 0;
    while (text.size() < length) {
        std::string w = words[zipf(random)];
        if (inSentence == 0)
            w[0] = static_cast<char>(w[0] - 'a' + 'A');
        text.insert(text.end(), w.begin(), w.end());
        inLine += w.size() + 1;
        if (++inSentence > 6 + random() % 14) {
            text.push_back(random() % 5 ? '.' : ',');
            inSentence = 0;
        }
        if (inLine > 70) {
            text.push_back('\n');
            inLine = 0;
        } else {
            text.push_back(' ');
        }
    }
    text.resize(length);
    return text;
}

const std::string& TextFile(std::size_t length)
{
    static std::map<std::size_t, std::string> paths;
    std::string& path = paths[length];
    if (path.empty()) {
        path = Folder() + "/text-" + std::to_string(length) + ".txt";
        WriteFile(path, MakeText(length));
    }
    return path;
}

// 256 MiB through CBC, key 256, as `tessarin` encrypts and decrypts it.
void CbcBig(benchmark::State& state)
{
    const int block = static_cast<int>(state.range(0));
    const bool decode = state.range(1) != 0;
    SetOverlapAllowed(state.range(2) != 0);
    const std::string plain = BigFile();
    const std::string box = Folder() + "/big-" + std::to_string(block) + ".aes";
    auto encode = [&] {
        MyAesFiles codec(nullptr, &ModuleFor(block));
        Key(codec, block, OperMode::CBC);
        MyFile source(plain, MyFile::OpenRead);
        MyFile destination(box, MyFile::OpenWrite);
        return codec.Encode(source, destination, OperMode::CBC, 0, 0);
    };
    if (decode)
        encode();
    for (auto _ : state) {
        if (!decode) {
            benchmark::DoNotOptimize(encode());
            continue;
        }
        MyAesFiles codec(nullptr, &ModuleFor(block));
        Key(codec, block, OperMode::CBC);
        MyFile source(box, MyFile::OpenRead);
        MyFile destination(Folder() + "/big.out", MyFile::OpenWrite);
        benchmark::DoNotOptimize(codec.Decode(source, destination, OperMode::CBC));
    }
    SetOverlapAllowed(true);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * BigBytes));
}
BENCHMARK(CbcBig)
    ->ArgNames({"block", "decode", "overlap"})
    ->ArgsProduct({{16, 32}, {0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

// Compress then encrypt, as the pipeline does for a file with compression
// on: the intermediate file, then its container (block 128, key 256, CBC).
template <typename Adapter>
void CompressEncrypt(benchmark::State& state, std::size_t length, const char* suffix)
{
    const int level = static_cast<int>(state.range(0));
    SetOverlapAllowed(state.range(1) != 0);
    const std::string plain = TextFile(length);
    const std::string packed = plain + suffix;
    std::uint64_t packedBytes = 0;
    for (auto _ : state) {
        const std::uint64_t nf = Adapter::Compress(plain, packed, nullptr, level);
        MyAesFiles codec(nullptr, &ModuleFor(16));
        Key(codec, 16, OperMode::CBC);
        MyFile source(packed, MyFile::OpenRead);
        MyFile destination(packed + ".aes", MyFile::OpenWrite);
        packedBytes = source.GetSize();
        benchmark::DoNotOptimize(codec.Encode(source, destination, OperMode::CBC, 0x00010000u | unsigned(level),
                                              static_cast<std::uint32_t>(nf)));
    }
    SetOverlapAllowed(true);
    state.counters["ratio"] = double(packedBytes) / double(length);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * length));
}

void GzipEncrypt(benchmark::State& state)
{
    CompressEncrypt<MyCompressGzip>(state, TextBytes, ".gz");
}
BENCHMARK(GzipEncrypt)
    ->ArgNames({"level", "overlap"})
    ->ArgsProduct({{1, 5, 9}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void Bzip2Encrypt(benchmark::State& state)
{
    CompressEncrypt<MyCompressBzip2>(state, Bzip2TextBytes, ".bz");
}
BENCHMARK(Bzip2Encrypt)
    ->ArgNames({"level", "overlap"})
    ->ArgsProduct({{5}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

// The peer: the gzip program alone at level 5 on the same text, to the same
// kind of file system. Skipped where gzip is not installed.
void GzipToolLevel5(benchmark::State& state)
{
    const std::string plain = TextFile(TextBytes);
    const std::string command = "gzip -5 -c '" + plain + "' > '" + plain + ".tool.gz'";
    if (std::system("command -v gzip >/dev/null 2>&1") != 0) {
        state.SkipWithError("gzip is not installed");
        return;
    }
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("gzip failed");
    }
    // The same counter as the engine's cases: what a faster run costs in size.
    state.counters["ratio"] = double(std::filesystem::file_size(plain + ".tool.gz")) / double(TextBytes);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TextBytes));
}
BENCHMARK(GzipToolLevel5)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
