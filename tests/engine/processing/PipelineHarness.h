#pragma once
// Drives MyObjectAes the way a batch does: one object on a recording sink,
// options set, libraries loaded, Run over files of a real folder.
#include "cipher/MyAesFiles.h"
#include "processing/ContainerCheck.h"
#include "processing/MyObjectAes.h"
#include "support/TestSupport.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessarin::test {

struct PipelineOptions {
    MyObjectAes::Modality modality = MyObjectAes::Automatic;
    int family = MyObjectAes::FamilyNone;
    int level = 6;
    bool mangling = false;
    bool changeExtension = false;
    bool deleteOriginal = true;
    bool wiping = false;
    bool replaceExisting = false;
    std::string exclusions;
    OperMode mode = OperMode::CBC;
    int keyLength = 32;
    int block = 16;
    std::string password = "secret";
};

struct RunResult {
    bool ok = false;
    bool broke = false;      // Run threw the user's break
    std::string errorLine;   // the level-1 line, if any
};

class Pipeline {
public:
    explicit Pipeline(const PipelineOptions& options, int breakAfterReports = -1);

    RunResult Run(const std::string& path) { return RunOn(m_object, path); }
    RunResult Test(const std::string& path) { return RunOn(m_check, path); }  // -t's check
    RecordingSink& Sink() { return m_sink; }
    MyObjectAes& Object() { return m_object; }
    ContainerCheck& Check() { return m_check; }

private:
    RunResult RunOn(MyObject& action, const std::string& path);

    RecordingSink m_sink;
    MyObjectAes m_object;
    ContainerCheck m_check;
};

// The plain bytes a file stands for: its own bytes when it is no container
// under the options, otherwise its decrypted (and decompressed) content.
// Nothing when it is a container that does not decode completely.
std::optional<std::vector<std::uint8_t>> PlainOf(const std::string& path, const PipelineOptions& options);

// Writes a container of the given bytes whose header carries any stored
// name and filter word, as a crafted file could.
// nfSize: the size before compression it records (by default one that no
// content of the given length decompresses to).
void WriteCraftedContainer(const std::string& path, const std::vector<std::uint8_t>& content,
                           const std::string& storedName, std::uint32_t filter, const PipelineOptions& options,
                           std::optional<std::uint32_t> nfSize = std::nullopt);

std::vector<std::uint8_t> Gzip(const std::vector<std::uint8_t>& plain);
std::string Mangled(const std::string& path);
bool HasTemporary(const std::string& folder);  // a "~aes-" file is left

} // namespace tessarin::test
