#pragma once
// The settings as the engine takes them. The store keeps list and radio
// indices, and keeps them unchecked; here every index becomes the engine's
// value, and an index out of range the value the window would show first
// or the strongest choice, never a failure.
#include "application/AppSettings.h"
#include "processing/MyObjectAes.h"

#include <cstdint>
#include <string>

namespace tessarin {

struct BatchOptions {
    MyObjectAes::Modality modality = MyObjectAes::Encryption;
    MyAesFiles::KeyLen keyLen = MyAesFiles::Key256;
    MyAesFiles::BlockSize blockSize = MyAesFiles::Block256;
    OperMode mode = OperMode::CBC;
    bool wiping = false;
    bool deleteOrig = true;
    bool nameMangling = false;
    bool changeExtension = true;
    std::uint32_t filter = 0;  // family in the high 16 bits, level in the low
    bool replaceExisting = false;  // never kept in the settings: asked for per run
    bool filterSensitive = false;
    std::string exclusionList;
    // The search.
    bool recursive = true;
    bool sensitive = true;
    std::string pattern = "*";
    // The log.
    bool logging = true;
    std::string logFilename;

    static BatchOptions From(const AppSettings& settings);

    // Sets the options of the per-file action in the order the engine
    // expects them, with the password for the key.
    void Apply(MyObjectAes& action, const std::string& password) const;
    // Sets what a reader of containers needs: the mode and the password
    // with its key length and block size.
    void Apply(CipherSession& session, const std::string& password) const;
};

} // namespace tessarin
