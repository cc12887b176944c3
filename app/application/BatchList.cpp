// The batch's list of files: see BatchList.h.
#include "application/BatchList.h"

#include "foundation/ErrorHandler.h"
#include "platform/PrivateFolders.h"

#include <optional>

namespace tessarin {

BatchList::BatchList()
{
    std::string problem;
    if (!platform::EnsureUserTempFolder(problem))
        throw ErrorHandler(errc::OpenFailed, problem);
    // Recorded as plain text: a killed batch's list is wiped, and deleted,
    // by the next run.
    m_scratch = ScratchFile::Create(m_file, platform::UserTempFolder(),
                                    {Prefix, ScratchName::Alphabet::Letters, 6, {}}, true);
}

BatchList::~BatchList()
{
    try {
        Dispose();
    } catch (const ErrorHandler&) {
        // Already on the way out of a failed batch: the file is gone, and
        // the failure that brought us here is the one the user sees.
    }
}

void BatchList::Dispose()
{
    if (m_disposed)
        return;
    m_disposed = true;
    m_file.Close();
    std::optional<ErrorHandler> failure;
    try {
        // Opened so that the bytes and the length stay: the whole content
        // is overwritten, not an emptied file.
        m_file.Open(Path(), MyFile::OpenWipe);
        m_file.Wipe();
        m_file.Sync();
    } catch (const ErrorHandler& e) {
        failure = e;
    }
    m_file.Close();
    if (!m_scratch.RemoveName() && !failure)
        failure = ErrorHandler(errc::DeleteFailed, "Unable to delete '" + Path() + "' (Read only file?)");
    m_scratch.ReleaseLock();
    if (failure)
        throw *failure;
}

} // namespace tessarin
