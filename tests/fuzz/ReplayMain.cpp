// Replays saved inputs through a fuzz target without libFuzzer: each argument
// is a file or a folder of them, replayed in name order. A missing path or no
// input at all fails, so that a moved corpus cannot pass unnoticed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

static int Fail(const char* what, const char* path = "")
{
    std::fprintf(stderr, "replay: %s%s\n", what, path);
    return 2;
}

int main(int argc, char** argv)
{
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const auto first = static_cast<std::ptrdiff_t>(inputs.size());
        if (fs::is_regular_file(argv[i]))
            inputs.emplace_back(argv[i]);
        for (const auto& entry : fs::is_directory(argv[i]) ? fs::directory_iterator(argv[i]) : fs::directory_iterator())
            if (entry.is_regular_file())
                inputs.push_back(entry.path());
        std::sort(inputs.begin() + first, inputs.end());
        if (inputs.size() == static_cast<std::size_t>(first) && !fs::is_directory(argv[i]))
            return Fail("no such file or folder: ", argv[i]);
    }
    if (inputs.empty())
        return Fail("no inputs given");
    for (const fs::path& input : inputs) {
        std::fprintf(stderr, "replay: %s\n", input.c_str());  // first, so that a crash shows the input
        std::ifstream in(input, std::ios::binary);
        if (!in)
            return Fail("cannot open ", input.c_str());
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        // Exactly the input's length, so that reads past its end are caught.
        const auto copy = std::make_unique<std::uint8_t[]>(bytes.size());
        std::copy(bytes.begin(), bytes.end(), copy.get());
        LLVMFuzzerTestOneInput(copy.get(), bytes.size());
    }
    std::fprintf(stderr, "replay: %zu inputs passed\n", inputs.size());
    return 0;
}
