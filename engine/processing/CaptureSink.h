#pragma once
// The sink of one file at work on a worker thread of a parallel batch. The
// file's lines are kept by its run (they reach the batch's sink when its
// turn in the list comes); what is live here is what a display wants in
// the meantime: progress units, the step the file is at, and whether the
// batch asks it to stop. The batch's thread takes them from here; the
// batch's own sink is never called from a worker.
#include "EngineApi.h"
#include "foundation/MyStream.h"

#include <atomic>
#include <cstddef>
#include <limits>
#include <mutex>
#include <string>

namespace tessarin {

class ENGINE_API CaptureSink : public MyStream {
public:
    // What every file of the batch sees: the user's break, and the first
    // file of the list that told a break, after which no file is wanted.
    struct Shared {
        static constexpr std::size_t NoBreak = std::numeric_limits<std::size_t>::max();
        std::atomic<bool> cancelled{false};
        std::atomic<std::size_t> brokenAt{NoBreak};
    };

    // index: the file's place in the list.
    CaptureSink(Shared& shared, std::size_t index) : m_shared(shared), m_index(index) {}

    // Lines the run did not keep itself are for the display only.
    void DoShow(const std::string& text, int level) override { DoPreview(text, level); }
    void DoUpdate(const std::string& text, int level) override;
    bool IsBreakRequested() override;
    void AddProgress(float units) override;
    void DoPreview(const std::string& text, int level) override;

    // For the batch's thread: the units added since the last call.
    float TakeProgress() { return m_units.exchange(0.0f); }
    // The step line shown last, when it changed since the last call.
    bool TakePreview(std::string& text, int& level);

private:
    Shared& m_shared;
    std::size_t m_index;
    std::atomic<float> m_units{0.0f};
    std::mutex m_lock;  // guards the preview
    std::string m_preview;
    int m_level = LevelStep;
    bool m_previewChanged = false;
};

} // namespace tessarin
