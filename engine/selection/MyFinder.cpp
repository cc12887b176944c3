#include "selection/MyFinder.h"

namespace tessarin {

bool MyFinder::ForEach(MyFileTable& list)
{
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
    if (m_action->ResultOk()) {
        m_totalBytes += m_action->GetSize();
        ++m_totalFiles;
    } else {
        ++m_totalErrors;
    }
}

} // namespace tessarin
