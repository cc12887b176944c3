#pragma once
#include "foundation/ErrorHandler.h"
#include "EngineApi.h"
#include "selection/FileFind.h"

#include <string>

namespace tessarin {

// Walks the file system from a start path and hands every regular file whose
// name matches the pattern to DoSomething, depth first, descending into
// subfolders when recursion is on. Symbolic links are never followed and
// never handed on, nor are FIFOs, sockets or devices: only regular files.
class ENGINE_API MyCFileFind {
public:
    explicit MyCFileFind(bool recursive = true, bool sensitive = false)
        : m_recursive(recursive), m_sensitive(sensitive) {}
    virtual ~MyCFileFind() = default;
    MyCFileFind(const MyCFileFind&) = default;
    MyCFileFind& operator=(const MyCFileFind&) = default;

    void SetRecursive(bool recursive) { m_recursive = recursive; }
    void SetSensitive(bool sensitive) { m_sensitive = sensitive; }

    // Searches what the path names, unchanged: a file, a folder (entered only
    // with recursion on) or "folder/*" (the folder's entries). The pattern is
    // applied to file names, never to folder names. True when a matching
    // file was handed on at the first level; hits in subfolders alone do not
    // count.
    bool LookingFor(const std::string& path, const std::string& pattern);
    // Works out folder and pattern from one path: a folder (with or without
    // its final '/') gives all of its files; "folder/mask" gives the files of
    // the folder matching the mask; any other path searches its folder for
    // files of that name, and a path without '/' the current directory.
    bool LookingFor(const std::string& path);

protected:
    bool FindNextFileA(const std::string& search);  // one level of the walk
    bool IsDirectory(const std::string& name, std::string& resolved) const;
    virtual void DoSomething(const CFileFind& found) = 0;
    // What the walk meets and does not hand on (see MyObject::Skip).
    virtual void Skipped(const ErrorHandler& why, bool named) { (void)why, (void)named; }

private:
    void SkipEntry(const CFileFind& entry, bool named);

    std::string m_pattern;
    bool m_recursive = true;
    bool m_sensitive = false;
    int m_depth = 0;  // of the walk: 0 is what the caller named
};

} // namespace tessarin
