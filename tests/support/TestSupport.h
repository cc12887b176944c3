#pragma once
// Helpers shared by the engine tests: a private temporary folder, whole-file
// reads and writes, seeded data and a sink that records what it is told.
#include "cipher/AESclass.h"
#include "foundation/ErrorHandler.h"
#include "foundation/MyStream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tessarin::test {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

std::vector<std::uint8_t> SeededBytes(std::size_t length, std::uint32_t seed);
void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> ReadBytes(const std::string& path);
bool Exists(const std::string& path);
std::vector<std::string> ListFolder(const std::string& path);  // sorted names, no dots
std::vector<std::uint8_t> FromHex(const std::string& hex);

// A test name from a case description: its letters and digits, words
// joined in UpperCamel.
std::string CaseName(const char* what);

// The cipher module of a block size, loaded once per test program; the
// record outlives every object bound to it.
const AESclass::AesCallBack& LoadedCipher(int block);

// The ErrorHandler that f throws; a test failure when it throws none.
template <typename F>
ErrorHandler CatchError(F&& f)
{
    try {
        f();
    } catch (const ErrorHandler& e) {
        return e;
    }
    ADD_FAILURE() << "no ErrorHandler thrown";
    return ErrorHandler(0);
}

// Records messages and progress; asks for a break once the given number of
// progress reports has been made (never when negative).
class RecordingSink : public MyStream {
public:
    explicit RecordingSink(int breakAfterReports = -1) : m_breakAfter(breakAfterReports) {}

    void DoShow(const std::string& text, int level) override
    {
        m_lines.push_back({text, level, false});
        if (m_onLine)
            m_onLine(text);
    }
    void DoUpdate(const std::string& text, int level) override
    {
        m_lines.push_back({text, level, true});
        if (m_onLine)
            m_onLine(text);
    }
    void DoPreview(const std::string& text, int) override
    {
        if (m_onPreview)
            m_onPreview(text);
    }
    bool IsBreakRequested() override { return m_breakAfter >= 0 && m_reports >= m_breakAfter; }
    void AddProgress(float units) override
    {
        m_progress += units;
        ++m_reports;
        if (m_onReport)
            m_onReport(m_reports);
    }
    // Called after each progress report with the number of reports so far:
    // the moment to change the world under a step that is running.
    void OnReport(std::function<void(int)> hook) { m_onReport = std::move(hook); }
    // Called after each text with the text.
    void OnLine(std::function<void(const std::string&)> hook) { m_onLine = std::move(hook); }
    // Called with each text meant for a live display only.
    void OnPreview(std::function<void(const std::string&)> hook) { m_onPreview = std::move(hook); }

    struct Line {
        std::string text;
        int level;
        bool update;
    };
    const std::vector<Line>& Lines() const { return m_lines; }
    std::string Transcript() const;  // every text in order
    double Progress() const { return m_progress; }
    int Reports() const { return m_reports; }

private:
    int m_breakAfter;
    std::function<void(int)> m_onReport;
    std::function<void(const std::string&)> m_onLine;
    std::function<void(const std::string&)> m_onPreview;
    int m_reports = 0;
    double m_progress = 0;
    std::vector<Line> m_lines;
};

} // namespace tessarin::test
