// Many small files through the whole per-file pipeline, as a batch runs
// them: folders of 4 KiB files encrypted in place (".aes" appended, the
// originals deleted), each file found, detected, encrypted, committed and
// its original removed. The tree is laid out again before every iteration,
// outside the timing.
//
// Args: folders, files per folder, shared (1: the outputs of a folder are
// made durable together, as a finder's batch does; 0: every file commits on
// its own). The data goes to /dev/shm when it exists, else to the temporary
// folder; TESSARIN_BENCH_DIR names another place (a disk, say).
#include "foundation/MyStream.h"
#include "selection/FileFind.h"
#include "processing/MyObjectAes.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace tessarin;
namespace fs = std::filesystem;

constexpr std::size_t FileBytes = 4096;

class QuietSink : public MyStream {
public:
    void DoShow(const std::string&, int) override {}
    void DoUpdate(const std::string&, int) override {}
    bool IsBreakRequested() override { return false; }
    void AddProgress(float) override {}
};

fs::path Base()
{
    if (const char* dir = std::getenv("TESSARIN_BENCH_DIR"); dir && *dir)
        return dir;
    if (fs::is_directory("/dev/shm"))
        return "/dev/shm";
    return fs::temp_directory_path();
}

fs::path Root()
{
    // Never destroyed: the clean-up at exit runs after static destructors.
    static const fs::path* root = [] {
        std::string pattern = (Base() / "tessarin-smallfiles-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        auto* made = new fs::path(pattern);
        std::atexit([] { fs::remove_all(Root()); });
        return made;
    }();
    return *root;
}

// Lays out folders × files of seeded bytes under root/tree; returns the
// files' paths.
std::vector<std::string> LayTree(int folders, int files)
{
    const fs::path tree = Root() / "tree";
    fs::remove_all(tree);
    std::mt19937 random(7);
    std::vector<char> bytes(FileBytes);
    std::vector<std::string> paths;
    for (int d = 0; d < folders; ++d) {
        const fs::path folder = tree / ("d" + std::to_string(d));
        fs::create_directories(folder);
        for (int f = 0; f < files; ++f) {
            for (char& c : bytes)
                c = static_cast<char>(random());
            const fs::path path = folder / ("f" + std::to_string(f) + ".bin");
            std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            paths.push_back(path.string());
        }
    }
    return paths;
}

void EncryptInPlace(benchmark::State& state)
{
    const int folders = static_cast<int>(state.range(0));
    const int files = static_cast<int>(state.range(1));
    const bool shared = state.range(2) != 0;

    QuietSink sink;
    MyObjectAes action(&sink);
    action.SetModality(MyObjectAes::Encryption);
    action.SetMode(OperMode::CBC);
    action.SetChangeExtention(true);
    action.SetDeleteOrig(true);
    action.SetPasswd("benchmark password", MyAesFiles::Key256, MyAesFiles::Block256);
    action.LoadLibraryA(32);
    action.LoadGzipLibrary();
    action.LoadBzip2Library();

    for (auto _ : state) {
        state.PauseTiming();
        const std::vector<std::string> paths = LayTree(folders, files);
        state.ResumeTiming();
        action.ShareWork(shared);
        for (const std::string& path : paths) {
            CFileFind found;
            if (!found.FindEntry(path))
                std::abort();
            found.FindNextFile();
            action.Run(found);
            if (!action.ResultOk())
                state.SkipWithError("a file failed");
        }
        action.ShareWork(false);
    }
    state.SetItemsProcessed(state.iterations() * folders * files);
    state.SetBytesProcessed(state.iterations() * folders * files * static_cast<std::int64_t>(FileBytes));
}

BENCHMARK(EncryptInPlace)
    ->Args({10, 100, 1})
    ->Args({10, 100, 0})
    ->Args({100, 10, 1})
    ->Args({100, 10, 0})
    ->ArgNames({"folders", "files", "shared"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
