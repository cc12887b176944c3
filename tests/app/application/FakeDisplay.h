#pragma once
// A progress display that records what it is asked to do, and cancels like
// a user pressing Cancel once it has been pumped a given number of times.
#include "application/ProgressDisplay.h"
#include "application/ProgressMeter.h"

#include <string>
#include <vector>

namespace tessarin::test {

class FakeDisplay : public ProgressDisplay {
public:
    explicit FakeDisplay(int cancelAfterPumps = -1) : m_cancelAfter(cancelAfterPumps) {}

    void SetRange(int lower, int upper, int step) override { m_meter.SetRange(lower, upper, step); }
    void SetStatusText(const std::string& text) override { m_statusTexts.push_back(text); }
    int OffsetPos(int amount) override
    {
        m_offsets.push_back(amount);
        if (m_meter.OffsetPos(amount))
            m_captions.push_back(m_meter.Caption("Progress Status"));
        return m_meter.GetPos();
    }
    void PumpEvents(bool escapeCancels) override
    {
        m_pumps.push_back(escapeCancels);
        if (m_cancelAfter >= 0 && static_cast<int>(m_pumps.size()) >= m_cancelAfter)
            m_cancelled = true;
    }
    bool IsCancelled() const override { return m_cancelled; }
    void ShowMessage(const std::string& text, const std::string& title, BoxIcon icon) override
    {
        m_messages.push_back({text, title, icon});
    }
    void Dismiss() override { m_dismissed = true; }

    struct Message {
        std::string text;
        std::string title;
        BoxIcon icon;
    };
    std::vector<std::string> m_statusTexts;
    std::vector<int> m_offsets;
    std::vector<std::string> m_captions;
    std::vector<bool> m_pumps;
    std::vector<Message> m_messages;
    ProgressMeter m_meter;
    bool m_dismissed = false;

private:
    int m_cancelAfter;
    bool m_cancelled = false;
};

} // namespace tessarin::test
