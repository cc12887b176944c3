#include "selection/MyFinder.h"

namespace tessarin {

// Lets the action share work for as long as a ForEach runs. Whatever it
// put off is done when the ForEach ends, a break included: those files were
// complete before it.
class MyFinder::Sharing {
public:
    explicit Sharing(MyFinder& finder) : m_finder(finder)
    {
        if (m_finder.m_action)
            m_finder.m_action->ShareWork(true);
    }
    ~Sharing()
    {
        if (m_finder.m_action == nullptr)
            return;
        try {
            m_finder.m_action->ShareWork(false);
        } catch (...) {
            // The action reports its own failures; an unwinding break must
            // reach the caller as it is.
        }
        m_finder.CountSettled();
    }
    Sharing(const Sharing&) = delete;
    Sharing& operator=(const Sharing&) = delete;

private:
    MyFinder& m_finder;
};

void MyFinder::CountSettled()
{
    if (m_action == nullptr)
        return;
    const MyObject::Settled settled = m_action->TakeSettled();
    m_totalFiles += settled.files;
    m_totalBytes += settled.bytes;
    m_totalErrors += settled.errors;
}

bool MyFinder::ForEach(const std::string& path)
{
    Sharing sharing(*this);
    return LookingFor(path);
}

bool MyFinder::ForEach(const std::string& path, const std::string& pattern)
{
    Sharing sharing(*this);
    return LookingFor(path, pattern);
}

bool MyFinder::ForEach(MyFileTable& list)
{
    Sharing sharing(*this);
    std::string line;
    while (list.ReadLine(line, false) > 0) {
        CFileFind finder;
        if (line.empty() || !finder.FindEntry(line))
            continue;
        finder.FindNextFile();
        // Between the two passes a listed file may have been replaced by a
        // link, a folder or a FIFO; only a regular file is worked on.
        if (finder.IsRegularFile())
            DoSomething(finder);
    }
    return true;
}

void MyFinder::Skipped(const ErrorHandler& why, bool named)
{
    if (m_action)
        m_action->Skip(why, named);
    if (named)
        ++m_totalErrors;
}

void MyFinder::DoSomething(const CFileFind& found)
{
    if (m_action == nullptr)
        return;
    m_action->Run(found);
    // A file whose work is put off is counted once it is settled.
    if (m_action->ResultOk() && !m_action->ResultPending()) {
        m_totalBytes += m_action->GetSize();
        ++m_totalFiles;
    } else if (!m_action->ResultOk()) {
        ++m_totalErrors;
    }
    // Earlier files whose put-off work the action has just done.
    CountSettled();
}

} // namespace tessarin
