#pragma once
#include "EngineApi.h"
#include "selection/MyCFileFind.h"
#include "selection/MyFileTable.h"
#include "selection/MyObject.h"

#include <cstdint>
#include <string>

namespace tessarin {

// Joins a search or a file list to a per-file action and counts what the
// action reports: files done, bytes done (wrapping past 4 GiB) and errors.
// The counters run on over any number of ForEach calls until reset.
class ENGINE_API MyFinder : public MyCFileFind {
public:
    // The action is not owned and must outlive the finder.
    explicit MyFinder(MyObject* action, bool recursive = true, bool sensitive = false)
        : MyCFileFind(recursive, sensitive), m_action(action) {}

    void SetObject(MyObject& action) { m_action = &action; }

    // Each ForEach lets the action share work among the files it is given
    // and has it finished before returning, on every way out.
    bool ForEach(const std::string& path);
    bool ForEach(const std::string& path, const std::string& pattern);
    // Runs the action on every file the list (opened for reading) names.
    // A line naming nothing, or no longer a regular file, is passed over
    // without counting. True once the list is exhausted.
    bool ForEach(MyFileTable& list);
    bool ForEach(MyFileTable* list) { return list == nullptr || ForEach(*list); }

    std::uint32_t GetTotalFiles() const { return m_totalFiles; }
    std::uint32_t GetTotalBytes() const { return m_totalBytes; }
    std::uint32_t GetTotalErrors() const { return m_totalErrors; }
    void ResetAllCouters() { m_totalFiles = m_totalBytes = m_totalErrors = 0; }

protected:
    void DoSomething(const CFileFind& found) override;
    // Handed to the action; a name that was asked for counts as an error.
    void Skipped(const ErrorHandler& why, bool named) override;

private:
    class Sharing;
    void CountSettled();

    std::uint32_t m_totalFiles = 0;
    std::uint32_t m_totalBytes = 0;
    std::uint32_t m_totalErrors = 0;
    MyObject* m_action = nullptr;
};

} // namespace tessarin
