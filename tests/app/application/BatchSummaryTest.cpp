#include "application/BatchSummary.h"

#include <gtest/gtest.h>

#include <limits>

namespace tessarin {
namespace {

struct SummaryCase {
    const char* what;
    BatchSummary summary;
    std::string text;
};

const SummaryCase SummaryCases[] = {
    {"files without errors", {2, 3048, 0, 3048, 0.5f},
     "2 file(s) processed (3048 bytes), 0 error(s)\r\nOriginal size = 3048 bytes, Ratio = 100%\r\n"
     "Time = 0.50 sec, 0.01 Mbyte/sec\r\n"},
    {"ratio rounded to whole percent", {1, 2, 0, 3, 1.0f},
     "1 file(s) processed (2 bytes), 0 error(s)\r\nOriginal size = 3 bytes, Ratio = 67%\r\n"
     "Time = 1.00 sec, 0.00 Mbyte/sec\r\n"},
    {"compressed output below the original", {1, 1, 0, 3, 2.0f},
     "1 file(s) processed (1 bytes), 0 error(s)\r\nOriginal size = 3 bytes, Ratio = 33%\r\n"
     "Time = 2.00 sec, 0.00 Mbyte/sec\r\n"},
    {"an error drops the original size", {3, 10485760, 1, 20000000, 2.0f},
     "3 file(s) processed (10485760 bytes), 1 error(s)\r\nTime = 2.00 sec, 5.00 Mbyte/sec\r\n"},
    {"no files drops the original size", {0, 0, 0, 100, 0.0f},
     "0 file(s) processed (0 bytes), 0 error(s)\r\nTime = 0.00 sec, 0.00 Mbyte/sec\r\n"},
    {"empty files have no ratio", {2, 0, 0, 0, 0.25f},
     "2 file(s) processed (0 bytes), 0 error(s)\r\nOriginal size = 0 bytes, Ratio = n/a\r\n"
     "Time = 0.25 sec, 0.00 Mbyte/sec\r\n"},
    {"bytes in no measurable time have no speed", {1, 4096, 0, 4096, 0.0f},
     "1 file(s) processed (4096 bytes), 0 error(s)\r\nOriginal size = 4096 bytes, Ratio = 100%\r\n"
     "Time = 0.00 sec, n/a Mbyte/sec\r\n"},
    {"totals of 2 GiB and more stay positive", {4000000000u, 3000000000u, 0, 3000000000u, 10.0f},
     "4000000000 file(s) processed (3000000000 bytes), 0 error(s)\r\n"
     "Original size = 3000000000 bytes, Ratio = 100%\r\nTime = 10.00 sec, 286.10 Mbyte/sec\r\n"},
};

class Summary : public ::testing::TestWithParam<SummaryCase> {};

TEST_P(Summary, StatusText)
{
    const SummaryCase& c = GetParam();
    EXPECT_EQ(c.summary.StatusText(), c.text);
}

INSTANTIATE_TEST_SUITE_P(All, Summary, ::testing::ValuesIn(SummaryCases), [](const auto& p) {
    std::string name;
    for (const char* s = p.param.what; *s; ++s)
        name += std::isalnum(static_cast<unsigned char>(*s)) ? *s : '_';
    return name;
});

TEST(BatchSummary, FixedRoundsLikeTheFormatter)
{
    struct Case {
        double value;
        int decimals;
        const char* text;
    };
    const Case cases[] = {{0.0, 2, "0.00"}, {1.005, 2, "1.00"}, {2.5, 0, "2"}, {3.5, 0, "4"}, {99.6, 0, "100"},
                          {123456.789, 2, "123456.79"}, {std::numeric_limits<double>::infinity(), 2, "n/a"}};
    for (const Case& c : cases)
        EXPECT_EQ(BatchSummary::Fixed(c.value, c.decimals), c.text) << c.value;
}

} // namespace
} // namespace tessarin
