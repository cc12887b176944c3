#include "application/ProgressMeter.h"

#include <limits>

namespace tessarin {

void ProgressMeter::SetRange(int lower, int upper, int step)
{
    m_lower = lower;
    m_upper = upper;
    m_step = step;
}

int ProgressMeter::Percent(int position, int lower, int upper)
{
    if (upper <= lower)
        return 0;
    // 64-bit: a range in KiB over large batches would overflow 32 bits in
    // the multiplication. The position is not reduced by the lower bound,
    // as the bar of a range starting at 0 (the only one the batch uses)
    // shows it.
    const std::int64_t width = std::int64_t{upper} - lower;
    const std::int64_t percent = std::int64_t{position} * 100 / width;
    if (percent > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (percent < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(percent);
}

bool ProgressMeter::SetPos(int position)
{
    // Never past the end: what is done cannot exceed what there is.
    if (m_upper > m_lower && position > m_upper)
        position = m_upper;
    m_position = position;
    const int percent = Percent(position, m_lower, m_upper);
    if (percent == m_lastPercent)
        return false;
    m_lastPercent = percent;
    m_percentShown = true;
    return true;
}

bool ProgressMeter::OffsetPos(int amount)
{
    const std::int64_t moved = std::int64_t{m_position} + amount;
    const auto clamped = moved > std::numeric_limits<int>::max()   ? std::numeric_limits<int>::max()
                         : moved < std::numeric_limits<int>::min() ? std::numeric_limits<int>::min()
                                                                   : static_cast<int>(moved);
    return SetPos(clamped);
}

std::string ProgressMeter::Caption(const std::string& title) const
{
    if (!m_percentShown)
        return title;
    return title + " [" + std::to_string(m_lastPercent) + "%]";
}

} // namespace tessarin
