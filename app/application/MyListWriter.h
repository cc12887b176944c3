#pragma once
// The action of the batch's first pass: every file the search finds becomes
// one line of the file list, its full path followed by LF, and its length
// is counted into the original size. A path the list cannot hold (longer
// than a line may be, or with a line break in it, which would split it
// into two lines naming other files) is refused instead: it is never
// written, counts as an error of that file, and is reported once the run
// of the list begins. The batch's own files (its list, its log and the
// password file) are passed over: the batch must not encrypt a file it is
// writing, nor lock the password away with the password itself.
#include "foundation/ErrorHandler.h"
#include "platform/Files.h"
#include "selection/MyFileTable.h"
#include "selection/MyObject.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tessarin {

class MyListWriter : public MyObject {
public:
    // The longest path a line of the list holds: its LF must fit too.
    static constexpr std::size_t MaxPath = MyFileTable::LineLimit - 1;

    explicit MyListWriter(MyFileTable* list) : m_list(list) {}  // not owned

    // A file that is never listed, whatever name it is found under; what
    // it is to the run ("log file"), for the error when it is named.
    void PassOver(const std::string& path, const std::string& what);
    void PassOver(const platform::FileIdentity& identity, const std::string& what);
    // What a file passed over is to the run; nullptr for any other file.
    const std::string* OwnUse(const platform::FileIdentity& identity) const;

    // Throws what writing the list throws. Lines are gathered and written
    // in blocks: Flush() writes the rest, and must run before the list is
    // closed.
    void Run(const CFileFind& found) override;
    void Flush();
    std::uint32_t GetSize() const override { return m_size; }
    // False for a refused path, so that its length is not counted.
    bool ResultOk() const override { return m_ok; }

    // What the search could not take: a name asked for is refused (an
    // error), anything met on the way is noted.
    void Skip(const ErrorHandler& why, bool named) override;

    // The refusals so far, each with the code and message to report.
    const std::vector<ErrorHandler>& GetRefused() const { return m_refused; }
    // Entries passed over on the way (links, FIFOs, devices), for the log.
    const std::vector<ErrorHandler>& GetNotes() const { return m_notes; }

private:
    MyFileTable* m_list;
    std::string m_pending;  // listed, not yet written
    std::uint32_t m_size = 0;
    bool m_ok = true;
    std::vector<ErrorHandler> m_refused;
    std::vector<ErrorHandler> m_notes;
    std::vector<std::pair<platform::FileIdentity, std::string>> m_passedOver;
};

} // namespace tessarin
