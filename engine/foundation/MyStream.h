#pragma once
#include "EngineApi.h"
#include "foundation/ErrorHandler.h"

#include <string>

namespace tessarin {

// The sink through which the engine reports messages and progress and learns
// whether the user asked it to stop. Levels: 1 errors, 2 main steps,
// 4 details. One progress unit is 1024 bytes of a file's plain content.
class ENGINE_API MyStream {
public:
    static constexpr int LevelError = 1;
    static constexpr int LevelStep = 2;
    static constexpr int LevelDetail = 4;

    MyStream() = default;
    MyStream(const MyStream&) = default;
    MyStream& operator=(const MyStream&) = default;
    virtual ~MyStream() = default;

    void Show(const std::string& text, int level) { DoShow(text, level); }
    void Update(const std::string& text, int level) { DoUpdate(text, level); }
    // A failure of the file at work: its error line appended to the status
    // line, and its reason, when the system gave one, on a line of its own.
    void Fail(const ErrorHandler& e) { DoFail(ErrorText(e) + "\r\n", e.GetErrCode(), e.GetReason()); }

    // The one place a failure becomes the text users and scripts know.
    static std::string ErrorText(int code, const std::string& message)
    {
        return "ERROR(" + std::to_string(code) + "): " + message;
    }
    static std::string ErrorText(const ErrorHandler& e) { return ErrorText(e.GetErrCode(), e.GetErrString()); }
    // The detail that follows an error line when there is a reason, and
    // that detail as a line of its own.
    static std::string ReasonText(const std::string& reason) { return "Reason: " + reason; }
    static std::string ReasonLine(const std::string& reason) { return ReasonText(reason) + "\r\n"; }

    virtual void DoShow(const std::string& text, int level) = 0;   // replaces the status line
    virtual void DoUpdate(const std::string& text, int level) = 0; // appends to it
    virtual bool IsBreakRequested() = 0;
    virtual void AddProgress(float units) = 0;
    // line: the error line, its end included. A sink that keeps failures as
    // data overrides this; by default they are plain messages.
    virtual void DoFail(const std::string& line, int code, const std::string& reason)
    {
        (void)code;
        DoUpdate(line, LevelError);
        if (!reason.empty())
            DoShow(ReasonLine(reason), LevelDetail);
    }
    // What the engine is at while its lines are held back to keep the log
    // in order: for a live display only, never for a log.
    virtual void DoPreview(const std::string& text, int level)
    {
        (void)text;
        (void)level;
    }
};

} // namespace tessarin
