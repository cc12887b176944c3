#include "StatusLines.h"
#include "TerminalDisplay.h"
#include "TerminalOutput.h"
#include "TerminalUi.h"
#include "application/MyProgressStream.h"
#include "platform/Console.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sstream>

namespace tessarin {
namespace {

using Lines = std::vector<std::string>;

TEST(StatusLines, EachLinePrintedOnceWhenComplete)
{
    struct Message {
        std::string text;
        int level;
        bool append;
    };
    struct Case {
        const char* what;
        std::vector<Message> messages;
        Lines printed;  // lines after all messages, then the flush
    };
    const Case cases[] = {
        {"a step and its end", {{"Encrypting a to a.aes ", 2, false}, {"[OK]\r\n", 2, true}}, {"Encrypting a to a.aes [OK]"}},
        {"a step replaced before its end", {{"Starting...", 2, false}, {"Encrypting a ", 2, false}, {"[OK]\r\n", 2, true}},
         {"Starting... (cut short)", "Encrypting a [OK]"}},
        {"an error appended to its step", {{"Decrypting a ", 2, false}, {"ERROR(-20): Not AES file or wrong passwd!\r\n", 1, true}},
         {"Decrypting a ERROR(-20): Not AES file or wrong passwd! (error)"}},
        {"several lines at once, blank ones dropped", {{"\r\nRollback: Deleting t [OK]\r\n", 4, false}, {"ERROR(-5): x\r\n", 1, true}},
         {"Rollback: Deleting t [OK]", "ERROR(-5): x (error)"}},
        {"an unfinished last step is flushed", {{"one [OK]\r\n", 2, false}, {"two ", 2, false}}, {"one [OK]", "two"}},
        {"a step cut short by its rollback",
         {{"Decrypting a ", 2, false}, {"Deleting t ", 4, false}, {"[OK]\r\n", 4, true}, {"ERROR(-20): x\r\n", 1, true}},
         {"Decrypting a (cut short)", "Deleting t [OK]", "ERROR(-20): x (error)"}},
        {"a name that reads like an error is none", {{"Encrypting ERROR(x).txt ", 2, false}, {"[OK]\r\n", 2, true}},
         {"Encrypting ERROR(x).txt [OK]"}},
        {"a new step with the text of the last", {{"a [OK]\r\n", 2, false}, {"b ", 2, false}, {"[OK]\r\n", 2, true}, {"c", 2, false}},
         {"a [OK]", "b [OK]", "c"}},
        {"a cut short step before another", {{"a ", 2, false}, {"b [OK]\r\n", 2, false}}, {"a (cut short)", "b [OK]"}},
        {"percent signs stay", {{"Encrypting 100% ", 2, false}, {"[OK]\r\n", 2, true}}, {"Encrypting 100% [OK]"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StatusLines lines;
        Lines printed;
        const auto print = [&](const StatusLines::Line& line) {
            printed.push_back(line.text + (line.finished ? "" : " (cut short)") + (line.error ? " (error)" : ""));
        };
        for (const Message& m : c.messages) {
            for (const StatusLines::Line& line : lines.Feed(m.text, m.level, m.append, m.level == 1))
                print(line);
        }
        if (const StatusLines::Line rest = lines.Flush(); !rest.text.empty())
            printed.push_back(rest.text);
        EXPECT_EQ(printed, c.printed);
    }
}

TEST(TerminalDisplay, ProgressLineTable)
{
    struct Case {
        int position, upper;
        double seconds;
        const char* line;
    };
    const Case cases[] = {
        {0, 0, 0.0, "  0%  0 B of 0 B"},
        {0, 1000, 0.1, "  0%  0 B of 1000.0 KiB"},
        {512, 1024, 0.2, " 50%  512.0 KiB of 1.0 MiB"},
        {512, 1024, 1.0, " 50%  512.0 KiB of 1.0 MiB  512.0 KiB/s  0:01 left"},
        {10240, 102400, 2.0, " 10%  10.0 MiB of 100.0 MiB  5.0 MiB/s  0:18 left"},
        {1024, 4 * 1048576, 1.0, "  0%  1.0 MiB of 4.0 GiB  1.0 MiB/s  1:08:15 left"},
        {2000, 1000, 4.0, "100%  2.0 MiB of 1000.0 KiB  500.0 KiB/s  0:00 left"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TerminalDisplay::ProgressLine(c.position, c.upper, c.seconds), c.line);
}

TEST(TerminalDisplay, SizesAndDurations)
{
    EXPECT_EQ(TerminalDisplay::Size(0), "0 B");
    EXPECT_EQ(TerminalDisplay::Size(1023), "1023 B");
    EXPECT_EQ(TerminalDisplay::Size(1536), "1.5 KiB");
    EXPECT_EQ(TerminalDisplay::Size(3.0 * 1024 * 1024 * 1024 * 1024 * 1024), "3072.0 TiB");
    EXPECT_EQ(TerminalDisplay::Duration(0), "0:00");
    EXPECT_EQ(TerminalDisplay::Duration(59.6), "1:00");
    EXPECT_EQ(TerminalDisplay::Duration(3600 + 62), "1:01:02");
    EXPECT_EQ(TerminalDisplay::Duration(-5), "0:00");
}

struct Printed {
    std::ostringstream out, err;
};

TEST(TerminalUi, BoxesBecomeLinesOnTheirStreams)
{
    struct Case {
        CliOptions::Verbosity verbosity;
        BoxIcon icon;
        std::string text;
        std::string out, err;
    };
    using V = CliOptions::Verbosity;
    const Case cases[] = {
        {V::Normal, BoxIcon::Stop, "Break by user!", "", "tessarin: error: Break by user!\n"},
        {V::Quiet, BoxIcon::Stop, "Two\nlines", "", "tessarin: error: Two\ntessarin: error: lines\n"},
        {V::Normal, BoxIcon::Exclamation, "ERROR(-5): x. Logging on file is turned off!", "",
         "tessarin: warning: ERROR(-5): x. Logging on file is turned off!\n"},
        {V::Normal, BoxIcon::Information, "1 file(s)\r\nTime = 0\r\n", "1 file(s)\nTime = 0\n", ""},
        {V::Quiet, BoxIcon::Information, "1 file(s)\r\n", "", ""},
    };
    for (const Case& c : cases) {
        Printed p;
        TerminalOutput output(p.out, p.err, false);
        TerminalUi ui(output, c.verbosity);
        ui.ShowMessage(c.text, "TITLE", c.icon);
        EXPECT_EQ(p.out.str(), c.out) << c.text;
        EXPECT_EQ(p.err.str(), c.err) << c.text;
    }
}

TEST(TerminalUi, ThresholdFollowsTheVerbosity)
{
    Printed p;
    TerminalOutput output(p.out, p.err, false);
    EXPECT_EQ(TerminalUi(output, CliOptions::Verbosity::Quiet).MessageThreshold(), 3);  // the display filters
    EXPECT_EQ(TerminalUi(output, CliOptions::Verbosity::Normal).MessageThreshold(), 3);
    EXPECT_GE(TerminalUi(output, CliOptions::Verbosity::Verbose).MessageThreshold(), 4);
}

TEST(TerminalDisplay, StepsOnOutErrorsOnErrAndTheProgressLineMakesWay)
{
    Printed p;
    TerminalOutput output(p.out, p.err, true, 60);
    TerminalUi ui(output, CliOptions::Verbosity::Normal);
    {
        const auto display = ui.OpenProgress({});
        display->SetRange(0, 100, 1);
        MyProgressStream sink(*display, nullptr, ui.MessageThreshold());
        sink.Show("Encrypting /a to a.aes ", 2);
        sink.AddProgress(50);
        sink.Update("[OK]\r\n", 2);
        sink.Show("Encrypting /b to b.aes ", 2);
        sink.Update("ERROR(-5): Unable to open file '/b'\r\n", 1);
        sink.Show("Decrypting /c ", 2);
        sink.Show("\r\nRollback: ", 4);
        sink.Show("Deleting /~aes-1.tmp ", 4);
        sink.Update("[OK]\r\n", 4);
        sink.Update("ERROR(-20): Not AES file or wrong passwd!\r\n", 1);
        sink.Show("Deleting /a ", 4);
        display->Dismiss();
    }
    // Details stay hidden: the rollback's lines reach the log only.
    EXPECT_EQ(p.out.str(), "Encrypting /a to a.aes [OK]\n");
    // The error line, each time behind a cleared progress line.
    const std::string err = p.err.str();
    EXPECT_NE(err.find("\r\x1b[KEncrypting /b to b.aes ERROR(-5): Unable to open file '/b'\n"), std::string::npos) << err;
    EXPECT_NE(err.find("\r\x1b[KDecrypting /c ERROR(-20): Not AES file or wrong passwd!\n"), std::string::npos) << err;
    EXPECT_NE(err.find("\r 50%  50.0 KiB of 100.0 KiB"), std::string::npos) << err;
    EXPECT_TRUE(err.ends_with("\r\x1b[K")) << err;  // nothing left on the line
    EXPECT_EQ(err.find("Deleting"), std::string::npos);
}

TEST(TerminalDisplay, WithoutATerminalThereIsNoProgressLine)
{
    Printed p;
    TerminalOutput output(p.out, p.err, false);
    TerminalUi ui(output, CliOptions::Verbosity::Quiet);
    const auto display = ui.OpenProgress({});
    display->SetRange(0, 10, 1);
    display->SetStatusText("Starting...");
    MyProgressStream sink(*display, nullptr, ui.MessageThreshold());
    display->OffsetPos(5);
    sink.Show("Decrypting /x ", 2);
    sink.Show("Deleting /t ", 4);
    sink.Update("[OK]\r\n", 4);
    sink.Update("ERROR(-20): y\r\n", 1);
    display->PumpEvents(true);
    sink.Show("Encrypting /a ", 2);
    sink.Update("[OK]\r\n", 2);
    display->Dismiss();
    EXPECT_EQ(p.out.str(), "");  // quiet: errors only, named by their step
    EXPECT_EQ(p.err.str(), "Decrypting /x ERROR(-20): y\n");
}

TEST(TerminalDisplay, CtrlCIsTheCancelButton)
{
    Printed p;
    TerminalOutput output(p.out, p.err, false);
    TerminalUi ui(output, CliOptions::Verbosity::Normal);
    const auto display = ui.OpenProgress({});
    {
        const platform::InterruptGuard guard;
        EXPECT_FALSE(display->IsCancelled());
        std::raise(SIGINT);  // handled: the process goes on
        EXPECT_TRUE(display->IsCancelled());
        EXPECT_TRUE(display->IsCancelled());
    }
    // A new guard starts without a request.
    const platform::InterruptGuard again;
    EXPECT_FALSE(display->IsCancelled());
}

} // namespace
} // namespace tessarin
