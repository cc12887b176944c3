#pragma once
#include "EngineApi.h"

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

    virtual void DoShow(const std::string& text, int level) = 0;   // replaces the status line
    virtual void DoUpdate(const std::string& text, int level) = 0; // appends to it
    virtual bool IsBreakRequested() = 0;
    virtual void AddProgress(float units) = 0;
};

} // namespace tessarin
