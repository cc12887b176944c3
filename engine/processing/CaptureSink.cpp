// The live part of a parallel batch's file at work: progress, its step and
// the break, passed between a worker and the batch's thread.
#include "processing/CaptureSink.h"

#include "faults/FaultInjection.h"

namespace tessarin {

void CaptureSink::DoUpdate(const std::string& text, int level)
{
    const std::lock_guard lock(m_lock);
    m_preview += text;
    m_level = level;
    m_previewChanged = true;
}

bool CaptureSink::IsBreakRequested()
{
    // A file after one that told a break is rolled back, however far it
    // came: it stops at once.
    return m_shared.cancelled.load() || m_index > m_shared.brokenAt.load() ||
           FaultInjection::ShouldFail(FaultInjection::Operation::Break);
}

void CaptureSink::AddProgress(float units)
{
    m_units.fetch_add(units);
}

void CaptureSink::DoPreview(const std::string& text, int level)
{
    const std::lock_guard lock(m_lock);
    m_preview = text;
    m_level = level;
    m_previewChanged = true;
}

bool CaptureSink::TakePreview(std::string& text, int& level)
{
    const std::lock_guard lock(m_lock);
    if (!m_previewChanged)
        return false;
    m_previewChanged = false;
    text = m_preview;
    level = m_level;
    return true;
}

} // namespace tessarin
