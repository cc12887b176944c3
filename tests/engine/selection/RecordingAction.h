#pragma once
// A per-file action of the tests' own: records every file it is handed and
// fails (or throws) on chosen names.
#include "foundation/ErrorHandler.h"
#include "selection/MyFileFound.h"
#include "selection/MyObject.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace tessarin::test {

class RecordingAction : public MyObject {
public:
    void Run(const CFileFind& found) override
    {
        const MyFileFound file(found);
        m_seen.push_back(file);
        if (m_throwOn.count(file.GetFileName()))
            throw ErrorHandler(errc::ReadFailed, "Unable to read from file '" + file.GetPathFile() + "'");
        m_ok = m_failOn.count(file.GetFileName()) == 0;
        m_size = file.GetFileSize();
    }
    std::uint32_t GetSize() const override { return m_size; }
    bool ResultOk() const override { return m_ok; }

    void FailOn(const std::string& name) { m_failOn.insert(name); }
    void ThrowOn(const std::string& name) { m_throwOn.insert(name); }

    const std::vector<MyFileFound>& Seen() const { return m_seen; }
    // Full paths handed on, sorted: the walk keeps the system's order.
    std::vector<std::string> SortedPaths() const
    {
        std::vector<std::string> paths;
        for (const auto& file : m_seen)
            paths.push_back(file.GetPathFile());
        std::sort(paths.begin(), paths.end());
        return paths;
    }
    void Clear() { m_seen.clear(); }

private:
    std::vector<MyFileFound> m_seen;
    std::set<std::string> m_failOn;
    std::set<std::string> m_throwOn;
    std::uint32_t m_size = 0;
    bool m_ok = true;
};

} // namespace tessarin::test
