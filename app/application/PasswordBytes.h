#pragma once
// A password field holds at most as many bytes as the engine takes for a
// key: 32 bytes of UTF-8, in which a letter such as "ü" counts twice and
// some signs count three or four times. Counting characters instead would
// let a password through that every file of the batch then fails on.
//
// Input that would go past the limit is cut back to what fits, the
// characters just typed or pasted going first (so a key typed at the limit
// is refused and the field keeps what it had), never half a character.
// What counts as one character is the window system's business (Qt counts
// graphemes); the rule sees only each character's size in bytes.
#include <cstddef>
#include <span>

namespace tessarin {

class PasswordBytes {
public:
    static constexpr int MaxBytes = 32;
    // The note shown beside a field whose input was cut (UTF-8).
    static constexpr char Note[] = "At most 32 bytes: letters such as \xC3\xBC count twice.";

    // What stays of a field's text: the first keptBefore characters before
    // the cursor and the first keptAfter characters after it; the cursor
    // then stands after the kept characters before it.
    struct Cut {
        std::size_t keptBefore = 0;
        std::size_t keptAfter = 0;
        bool cut = false;  // something was taken away
    };

    // sizes: the UTF-8 size of each character of the text; cursor: how
    // many characters stand before the cursor (the end of what was just
    // typed or pasted).
    static Cut Fit(std::span<const std::size_t> sizes, std::size_t cursor, std::size_t maxBytes = MaxBytes);
};

} // namespace tessarin
