#pragma once
// The position and percentage of a progress bar, kept apart from any window
// so that every display shows the same numbers: the percentage is the
// position against the width of the range, and a caption is redrawn only
// when the whole percent changes.
#include <cstdint>
#include <string>

namespace tessarin {

class ProgressMeter {
public:
    void SetRange(int lower, int upper, int step);

    // Both return true when the whole percentage changed.
    bool SetPos(int position);
    bool OffsetPos(int amount);

    int GetPos() const { return m_position; }
    int GetLower() const { return m_lower; }
    int GetUpper() const { return m_upper; }
    int GetStep() const { return m_step; }
    int GetPercent() const { return m_lastPercent; }

    // The caption of a display: the title alone until the first whole
    // percent, then the title followed by " [n%]".
    std::string Caption(const std::string& title) const;

    // The position against the width of the range, truncated; 0 for an
    // empty range. May exceed 100 when the position passes the end.
    static int Percent(int position, int lower, int upper);

private:
    int m_position = 0;
    int m_lastPercent = 0;
    int m_step = 1;
    int m_lower = 0;
    int m_upper = 100;
    bool m_percentShown = false;  // the caption carries a percentage
};

} // namespace tessarin
