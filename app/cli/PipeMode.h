#pragma once
// "-" as the only path: a container made from standard input onto standard
// output, or the content of one read from standard input. The container's
// header needs the length and the CRC before the data, and a decrypted
// content may only be released once its CRC has checked out, so both ways
// go through a private spool folder: a fresh folder of mode 0700 in the
// user's private temporary folder, whose files are created exclusively
// with mode 0600, run through the usual batch there, and are removed
// (wiped first when wiping is on) however the run ends.
#include "platform/Files.h"
#include "scratch/ScratchFolder.h"

#include <cstdint>
#include <ostream>
#include <string>

namespace tessarin {

class PipeSpool {
public:
    // Makes the folder. Throws ErrorHandler (-5) when it cannot be made.
    explicit PipeSpool(bool wipe);

    const std::string& Folder() const { return m_folder.Path(); }

    // Copies standard input (handle input) into a new file name in the
    // folder, at most limit bytes. Returns false, with the reason in
    // problem, when reading fails, the input exceeds the limit, or a stop
    // was requested (stopped set).
    bool Spool(platform::NativeHandle input, const std::string& name, std::uint64_t limit, std::string& problem, bool& stopped);
    const std::string& SpoolPath() const { return m_spool; }

    // The one file in the folder that is not the spooled input as it was
    // written (an output made in its place counts); empty when there is not
    // exactly one.
    std::string Output() const;

    // Removes every file of the folder (wiped first when asked) and the
    // folder itself; done by the destructor too.
    void Clear() noexcept { m_folder.Clear(); }

    // Prefix of the spool folders' names. A killed run's folder is cleared
    // away by the record of the run's journal (LeftoverSweep), not by it.
    static constexpr char Prefix[] = "~pipe-";

private:
    ScratchFolder m_folder;
    std::string m_spool;
    platform::FileIdentity m_spooled;
};

// Copies the file at path to out; false (with the reason) when out fails or
// a stop was requested.
bool CopyOut(const std::string& path, std::ostream& out, std::string& problem, bool& stopped);

} // namespace tessarin
