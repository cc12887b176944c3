// The About box's guide: what the program is, its limits, the version
// report, thanks and license.
#include "application/AboutGuide.h"

namespace tessarin {
namespace {

const char* const kWhatIs =
    "1. WHAT IS TESSARIN?\r\n"
    "\r\n"
    "Tessarin encrypts and decrypts your files in place. Drag and drop files "
    "or folders on its window (or name them to the command line companion "
    "'tessarin') and every file found is encrypted with the Rijndael (AES) "
    "cipher, with keys of 128 to 256 bits, in one of three modes: Electronic "
    "Code Book (ECB), Cipher Block Chaining (CBC) or Cipher Feedback Block "
    "(CFB), with blocks of 128 to 256 bits. On request the data is "
    "compressed with gzip or bzip2 before it is encrypted. A file that was "
    "encrypted before is recognised and decrypted back.\r\n"
    "\r\n"
    "What it protects: your files stay confidential against anyone who does "
    "not know the password, if the password is long and the mode is CBC or "
    "CFB. The container format is fixed for compatibility, and it has limits: "
    "the key is made from the password's bytes without salt or a slow key "
    "derivation, so a short password falls to guessing; the CRC-32 detects "
    "damage, not tampering; ECB shows repeated blocks; the initial chaining "
    "value comes from the same password bytes and is the same for every "
    "file, so only a few random filler bytes make two containers of the "
    "same data differ. If you need protection against tampering or password "
    "guessing, use a format built for authenticated encryption, such as age "
    "or OpenPGP.\r\n"
    "\r\n"
    "2. PROGRAM CONSTRAINTS\r\n"
    "\r\n"
    "Max size for each processed file is fixed to 4Gbyte\r\n"
    "Max size for all processed files is fixed to 2TByte\r\n"
    "Max size for each path/filename is fixed to 1KByte\r\n"
    "Max length for each log line is fixed to 1KByte\r\n"
    "\r\n";

const char* const kThanksAndLicense =
    "4. MANY THANKS TO\r\n"
    "\r\n"
    "Joan Daemen and Vincent Rijmen, who designed the Rijndael cipher and "
    "published it for everyone's use.\r\n"
    "The authors of the published descriptions of table-driven Rijndael, on "
    "which the cipher modules of this program are built.\r\n"
    "Jean-loup Gailly and Mark Adler for the zlib library.\r\n"
    "Julian Seward for the bzip2 library.\r\n"
    "The writers of the articles whose techniques this program uses: "
    "table-driven CRC-32, progress windows that stay responsive, hyperlink "
    "labels and windows that snap to the screen edges.\r\n"
    "\r\n"
    "5. LICENSE\r\n"
    "\r\n"
    "Tessarin is free of charge. You may use it, copy it and give it to "
    "others, changed or unchanged, provided this notice goes with it. It "
    "comes without any warranty: keep copies of files that matter to you, "
    "and remember that a file encrypted with a forgotten password cannot be "
    "recovered by anyone.\r\n";

} // namespace

std::string AboutGuide::Text(const std::string& versionReport)
{
    return std::string(kWhatIs) + "3. LIBRARY VERSIONS\r\n\r\n" + versionReport + kThanksAndLicense;
}

} // namespace tessarin
