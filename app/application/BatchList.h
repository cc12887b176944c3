#pragma once
// The temporary file list of one batch. It lives in the user's private
// temporary folder under a fresh name ("~files.tmp" and six random
// characters) that is created exclusively, so no other file, link or user
// can stand in its place. It holds the names of the user's files, so it is
// overwritten before it is deleted, and it never outlives the batch: the
// destructor disposes of it on every way out. A batch that is killed cannot
// do that; the list is recorded in the run's journal, and the next run
// wipes and deletes it by that record (LeftoverSweep).
#include "scratch/ScratchFile.h"
#include "selection/MyFileTable.h"

#include <string>

namespace tessarin {

class BatchList {
public:
    static constexpr char Prefix[] = "~files.tmp";

    // Creates the list, open for writing, after clearing away the lists of
    // batches that are gone. Throws ErrorHandler (-5) when the private
    // folder is unfit or no fresh name can be created in it.
    BatchList();
    ~BatchList();
    BatchList(const BatchList&) = delete;
    BatchList& operator=(const BatchList&) = delete;

    MyFileTable& File() { return m_file; }
    const std::string& Path() const { return m_scratch.Path(); }

    void Close() { m_file.Close(); }
    // Opens the closed list again for the second pass.
    void OpenRead() { m_file.Open(Path(), MyFile::OpenRead); }

    // Closes the list, overwrites its whole content, and deletes it. The
    // file is deleted even when overwriting fails; the first failure is
    // thrown afterwards. Does nothing once disposed of.
    void Dispose();

private:
    MyFileTable m_file;
    ScratchFile m_scratch;
    bool m_disposed = false;
};

} // namespace tessarin
