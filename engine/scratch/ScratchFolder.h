#pragma once
// A folder of the run's own (the spool of a pipe run): made under a fresh
// random name, open to its owner alone, recorded in the run's journal
// before it exists, and cleared away with everything in it, the files
// wiped first when they hold plain text. Its files need no records of
// their own: the folder's record covers them (LeftoverSweep).
#include "EngineApi.h"
#include "scratch/ScratchName.h"

#include <cstdint>
#include <string>

namespace tessarin {

class ENGINE_API ScratchFolder {
public:
    // Makes the folder in parent (ending with a separator). Throws -5, the
    // system's reason told, when it cannot be made or recorded.
    ScratchFolder(const std::string& parent, const ScratchName& name, bool wipe);
    ~ScratchFolder() { Clear(); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // With its final separator; empty once cleared.
    const std::string& Path() const { return m_path; }

    // Removes every file in it (wiped first when asked) and the folder.
    void Clear() noexcept;
    // The same for any folder of ours, by path; false when the folder
    // stays. A file that cannot be wiped stays too (a later run tries
    // again), unless insist: then its name goes all the same.
    static bool ClearContent(const std::string& folder, bool shred, bool insist);

private:
    std::string m_path;
    std::uint64_t m_entry = 0;  // in the run's journal
    bool m_wipe;
};

} // namespace tessarin
