#include "application/ProgressMeter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cctype>

#include <limits>

namespace tessarin {
namespace {

struct MeterCase {
    const char* what;
    int lower, upper;
    std::vector<int> offsets;
    std::vector<int> percents;         // after each offset
    std::vector<std::string> captions; // each time the percentage changed
};

const MeterCase MeterCases[] = {
    {"an empty range stays at 0 and keeps the title", 0, 0, {1, 5, 100}, {0, 0, 0}, {}},
    {"the first whole percent changes the caption", 0, 200, {1, 1, 1, 197}, {0, 1, 1, 100},
     {"Progress Status [1%]", "Progress Status [100%]"}},
    // Work that reports more than the range holds still ends at the end.
    {"past the end the position stops at the end", 0, 10, {15, 10}, {100, 100}, {"Progress Status [100%]"}},
    {"truncated, not rounded", 0, 3, {1, 1}, {33, 66}, {"Progress Status [33%]", "Progress Status [66%]"}},
    // 2 TiB in KiB: a 32-bit product would overflow long before the end.
    {"large ranges", 0, std::numeric_limits<int>::max(), {std::numeric_limits<int>::max() / 2, std::numeric_limits<int>::max() / 2}, {49, 99},
     {"Progress Status [49%]", "Progress Status [99%]"}},
    {"the position is not reduced by the lower bound", 100, 200, {50}, {50}, {"Progress Status [50%]"}},
};

class Meter : public ::testing::TestWithParam<MeterCase> {};

TEST_P(Meter, PercentageAndCaption)
{
    const MeterCase& c = GetParam();
    ProgressMeter meter;
    meter.SetRange(c.lower, c.upper, 1);
    std::vector<int> percents;
    std::vector<std::string> captions;
    for (const int offset : c.offsets) {
        if (meter.OffsetPos(offset))
            captions.push_back(meter.Caption("Progress Status"));
        percents.push_back(meter.GetPercent());
    }
    EXPECT_EQ(percents, c.percents);
    EXPECT_EQ(captions, c.captions);
    if (c.captions.empty()) {
        EXPECT_EQ(meter.Caption("Progress Status"), "Progress Status");
    }
}

INSTANTIATE_TEST_SUITE_P(All, Meter, ::testing::ValuesIn(MeterCases),
                         [](const auto& p) { return test::CaseName(p.param.what); });

TEST(ProgressMeter, PositionSaturatesInsteadOfWrapping)
{
    ProgressMeter meter;
    meter.SetRange(0, 100, 1);
    meter.OffsetPos(std::numeric_limits<int>::max());
    meter.OffsetPos(std::numeric_limits<int>::max());
    EXPECT_EQ(meter.GetPos(), 100);
    EXPECT_EQ(meter.GetPercent(), 100);
    // Without a range there is no end to stop at: the sum saturates.
    ProgressMeter open;
    open.SetRange(0, 0, 1);
    open.OffsetPos(std::numeric_limits<int>::max());
    open.OffsetPos(std::numeric_limits<int>::max());
    EXPECT_EQ(open.GetPos(), std::numeric_limits<int>::max());
}

} // namespace
} // namespace tessarin
