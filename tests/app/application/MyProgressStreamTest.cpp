#include "application/LogFile.h"
#include "application/MyProgressStream.h"
#include "FakeDisplay.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cctype>

#include <cmath>
#include <limits>

namespace tessarin {
namespace {

using test::FakeDisplay;

struct Piece {
    bool update;  // DoUpdate, else DoShow
    std::string text;
    int level;
};

struct OutputCase {
    const char* what;
    int threshold;
    std::vector<Piece> pieces;
    std::vector<std::string> displayed;  // status texts in order
    std::string current;                 // the current text at the end
};

const OutputCase OutputCases[] = {
    {"a step and its completion", 3,
     {{false, "Encrypting 'a.txt'... ", 2}, {true, "[OK]\r\n", 2}},
     {"Encrypting 'a.txt'... ", "Encrypting 'a.txt'... [OK]\r\n"},
     "Encrypting 'a.txt'... [OK]\r\n"},
    {"a detail is logged, and shown once a shown update appends to it", 3,
     {{false, "Deleting 'a.txt'... ", 4}, {true, "[OK]\r\n", 4}, {true, "ERROR(-4): no\r\n", 1}},
     {"Deleting 'a.txt'... [OK]\r\nERROR(-4): no\r\n"},
     "Deleting 'a.txt'... [OK]\r\nERROR(-4): no\r\n"},
    {"a show replaces what was appended", 3,
     {{false, "one ", 2}, {true, "[OK]\r\n", 2}, {false, "two ", 2}},
     {"one ", "one [OK]\r\n", "two "},
     "two "},
    {"percent signs are shown as they stand", 3,
     {{false, "Encrypting '100%s %d %%.txt'... ", 2}},
     {"Encrypting '100%s %d %%.txt'... "},
     "Encrypting '100%s %d %%.txt'... "},
    {"the threshold is inclusive", 3,
     {{false, "three", 3}, {false, "four", 4}, {false, "minus", -1}},
     {"three", "minus"},
     "minus"},
    {"threshold 0 shows nothing", 0,
     {{false, "a", 1}, {true, "b", 2}},
     {},
     "ab"},
    {"empty pieces", 3,
     {{false, "", 2}, {true, "", 2}},
     {"", ""},
     ""},
};

class SinkOutput : public ::testing::TestWithParam<OutputCase> {};

TEST_P(SinkOutput, DisplaysUpToTheThresholdAndLogsEveryPieceOnceInOrder)
{
    const OutputCase& c = GetParam();
    test::TempFolder folder;
    const std::string logName = folder / "log.txt";
    FakeDisplay display;
    std::string expectedLog;
    {
        MyFile log(logName, MyFile::OpenWrite);
        MyProgressStream sink(display, &log, c.threshold);
        for (const Piece& p : c.pieces) {
            p.update ? sink.Update(p.text, p.level) : sink.Show(p.text, p.level);
            expectedLog += LogFile::ForLog(p.text);  // the platform's line ends
        }
        EXPECT_EQ(sink.GetCurrentText(), c.current);
        EXPECT_TRUE(sink.IsLogging());
    }
    EXPECT_EQ(display.m_statusTexts, c.displayed);
    const auto logged = test::ReadBytes(logName);
    EXPECT_EQ(std::string(logged.begin(), logged.end()), expectedLog);
    EXPECT_TRUE(display.m_messages.empty());
}

INSTANTIATE_TEST_SUITE_P(All, SinkOutput, ::testing::ValuesIn(OutputCases),
                         [](const auto& p) { return test::CaseName(p.param.what); });

// A failure is kept as data: its code, the line naming the step it cut
// short, and its reason, which the log has on a line of its own.
TEST(SinkFailure, KeepsCodeStepAndReasonAndLogsTheReasonOnItsOwnLine)
{
    test::TempFolder folder;
    FakeDisplay display;
    {
        MyFile log(folder / "log.txt", MyFile::OpenWrite);
        MyProgressStream sink(display, &log);
        sink.Show("Decrypting a ", 2);
        sink.Show("\r\nRollback: ", 4);
        sink.Fail(ErrorHandler(errc::WriteFailed, "Unable to write file 'a'", "No space left on device"));
        ASSERT_EQ(sink.GetErrorLines().size(), 1u);
        const ErrorLine& e = sink.GetErrorLines()[0];
        EXPECT_EQ(e.code, errc::WriteFailed);
        EXPECT_EQ(e.Shown(), "Decrypting a ERROR(-2): Unable to write file 'a'\r\nReason: No space left on device");
    }
    const auto logged = test::ReadBytes(folder / "log.txt");
    EXPECT_EQ(std::string(logged.begin(), logged.end()),
              LogFile::ForLog("Decrypting a \r\nRollback: ERROR(-2): Unable to write file 'a'\r\n"
                              "Reason: No space left on device\r\n"));
}

TEST(MyProgressStream, FailedLogWriteTurnsLoggingOffOnceAndShowingGoesOn)
{
    FakeDisplay display;
    MyFile log("/dev/full", MyFile::OpenWrite);  // every write fails: no space left
    MyProgressStream sink(display, &log);
    sink.Show("Encrypting 'a'... ", 2);
    sink.Update("[OK]\r\n", 2);
    sink.Show("Encrypting 'b'... ", 2);

    ASSERT_EQ(display.m_messages.size(), 1u);
    EXPECT_EQ(display.m_messages[0].text,
              "ERROR(-2): Unable to write file '/dev/full'. Logging on file is turned off!\r\nNo space left on device");
    EXPECT_EQ(display.m_messages[0].title, "ERROR MESSAGE");
    EXPECT_EQ(display.m_messages[0].icon, BoxIcon::Exclamation);
    EXPECT_FALSE(sink.IsLogging());
    EXPECT_EQ(display.m_statusTexts,
              (std::vector<std::string>{"Encrypting 'a'... ", "Encrypting 'a'... [OK]\r\n", "Encrypting 'b'... "}));
}

TEST(MyProgressStream, WithoutAnOpenLogNothingIsWrittenOrReported)
{
    FakeDisplay display;
    MyFile closed;
    for (MyFile* log : {static_cast<MyFile*>(nullptr), &closed}) {
        MyProgressStream sink(display, log);
        sink.Show("x", 1);
        EXPECT_FALSE(sink.IsLogging());
    }
    EXPECT_TRUE(display.m_messages.empty());
    EXPECT_EQ(display.m_statusTexts.size(), 2u);
}

// The bar moves by each amount rounded up: every fraction moves it.
TEST(MyProgressStream, ProgressRoundsEachAmountUpAndEveryReportPumps)
{
    struct Case {
        float amount;
        int offset;
    };
    const float inf = std::numeric_limits<float>::infinity();
    const int most = std::numeric_limits<int>::max();
    const Case cases[] = {
        {0.0001f, 1}, {0.5f, 1},  {1.0f, 1},   {1.0001f, 2}, {72.0f, 72},
        {144.0f, 144}, {0.0f, 0}, {-3.5f, 0},  {std::nanf(""), 0},
        {inf, most},  {3e9f, most},
    };
    FakeDisplay display;
    MyProgressStream sink(display, nullptr);
    std::vector<int> expected;
    for (const Case& c : cases) {
        sink.AddProgress(c.amount);
        expected.push_back(c.offset);
    }
    EXPECT_EQ(display.m_offsets, expected);
    EXPECT_EQ(display.m_pumps, std::vector<bool>(std::size(cases), true));  // Escape may cancel
}

TEST(MyProgressStream, CancelOnTheDisplayIsTheBreakAndTheLogGoesOn)
{
    test::TempFolder folder;
    FakeDisplay display(2);
    MyFile log(folder / "log.txt", MyFile::OpenWrite);
    MyProgressStream sink(display, &log);
    sink.AddProgress(1);
    EXPECT_FALSE(sink.IsBreakRequested());
    sink.AddProgress(1);
    EXPECT_TRUE(sink.IsBreakRequested());
    sink.Update("ERROR(-28): Break by user!\r\n", 1);
    log.Close();
    const auto logged = test::ReadBytes(folder / "log.txt");
    EXPECT_EQ(std::string(logged.begin(), logged.end()), "ERROR(-28): Break by user!\n");
}

} // namespace
} // namespace tessarin
