// Whole-file throughput of the container codec: a seeded 16 MiB file
// encoded and decoded from and to disk (page cache), for every block size
// and mode, through the engine as the pipeline drives it.
#include "cipher/MyAesFiles.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
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

} // namespace

BENCHMARK_MAIN();
