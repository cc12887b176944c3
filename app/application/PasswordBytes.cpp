// Cutting a password field's text back to 32 bytes of UTF-8.
#include "application/PasswordBytes.h"

#include <algorithm>
#include <numeric>

namespace tessarin {

PasswordBytes::Cut PasswordBytes::Fit(std::span<const std::size_t> sizes, std::size_t cursor, std::size_t maxBytes)
{
    cursor = std::min(cursor, sizes.size());
    std::size_t total = std::accumulate(sizes.begin(), sizes.end(), std::size_t{0});
    Cut cut;
    cut.keptBefore = cursor;
    cut.keptAfter = sizes.size() - cursor;
    // What was just typed or pasted ends at the cursor: whole characters go
    // from there back, then from the end should the rest still not fit.
    while (total > maxBytes && cut.keptBefore > 0) {
        total -= sizes[--cut.keptBefore];
        cut.cut = true;
    }
    while (total > maxBytes && cut.keptAfter > 0) {
        total -= sizes[cursor + --cut.keptAfter];
        cut.cut = true;
    }
    return cut;
}

} // namespace tessarin
