#pragma once
#include "EngineApi.h"

#include <chrono>

namespace tessarin {

// Stopwatch for the batch report: seconds between Start and Stop.
class ENGINE_API CHiResTimer {
public:
    CHiResTimer() = default;
    virtual ~CHiResTimer() = default;

    bool IsTimerInstalled() const { return true; }
    void Start() { m_start = Clock::now(); m_started = true; }
    void Stop() { m_stop = Clock::now(); m_stopped = true; }
    void Reset() { m_started = m_stopped = false; }
    float GetTime() const
    {
        if (!m_started || !m_stopped)
            return 0.0f;
        return std::chrono::duration<float>(m_stop - m_start).count();
    }

private:
    using Clock = std::chrono::steady_clock;
    Clock::time_point m_start{};
    Clock::time_point m_stop{};
    bool m_started = false;
    bool m_stopped = false;
};

} // namespace tessarin
