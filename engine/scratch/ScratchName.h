#pragma once
// The random part of the names of the run's own files and folders
// (temporary files, the batch's list, spool folders, journals). Drawn from
// the system's cryptographic generator, so that nobody can guess a name and
// plant something under it before we create it exclusively.
#include "EngineApi.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tessarin {

struct ENGINE_API ScratchName {
    enum class Alphabet { Hex, Letters };  // 0-9a-f, or A-Za-z0-9

    std::string_view prefix;
    Alphabet alphabet = Alphabet::Hex;
    std::size_t length = 8;  // random characters
    std::string_view suffix;

    // prefix, length fresh random characters, suffix.
    std::string Draw() const;
};

} // namespace tessarin
