#pragma once
// Directory enumeration: a search for a path that may end in a "*" mask,
// stepped entry by entry. A hit is handed on positioned on its entry.
#include "EngineApi.h"
#include "platform/Files.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tessarin {

class ENGINE_API CFileFind {
public:
    CFileFind();
    ~CFileFind();
    CFileFind(const CFileFind&) = delete;
    CFileFind& operator=(const CFileFind&) = delete;

    // Starts a search: a folder followed by "/*" lists the folder; any other
    // path names the one entry it points at. False when nothing is found.
    bool FindFile(const std::string& path);
    // Starts a search for exactly the one entry the path names, even when
    // its last component is a "*" (a legal byte in a file name here).
    bool FindEntry(const std::string& path);
    // Steps onto the next entry; false when it is the last one (which stays
    // current).
    bool FindNextFile();
    void Close();
    // Why the last FindFile or FindEntry found nothing: the system's error
    // number, or 0 when the folder was read and is merely empty.
    int GetError() const { return m_error; }

    bool IsDots() const;
    bool IsDirectory() const;
    bool IsRegularFile() const;  // not a link, FIFO, socket or device
    bool IsSymbolicLink() const;
    std::string GetFileName() const;
    std::string GetFilePath() const;
    std::uint64_t GetLength() const;
    // The file the entry was when it was stepped onto.
    platform::FileIdentity GetIdentity() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
    int m_error = 0;
};

} // namespace tessarin
