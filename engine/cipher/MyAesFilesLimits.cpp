// The lengths a container can have: its headers and whole blocks, and the
// 32-bit lengths it records. A file beyond them is refused before anything
// is read or written, with the largest length that would have fitted.
#include "cipher/MyAesFiles.h"

#include "foundation/ErrorHandler.h"
#include "foundation/ShownName.h"

#include <string>

namespace tessarin {

std::uint64_t MyAesFiles::ContainerLength(std::uint64_t plainLength, int blockSize)
{
    const auto bs = static_cast<std::uint64_t>(blockSize);
    return CalcHeader(Hunk1Size, blockSize) + CalcHeader(Hunk2Size, blockSize) + (plainLength + bs - 1) / bs * bs;
}

std::uint64_t MyAesFiles::MaxPlainLength(int blockSize)
{
    const auto bs = static_cast<std::uint64_t>(blockSize);
    return (MaxContainerLength - ContainerLength(0, blockSize)) / bs * bs;
}

void MyAesFiles::CheckEncryptable(std::uint64_t plainLength, int blockSize, const std::string& path)
{
    if (ContainerLength(plainLength, blockSize) <= MaxContainerLength)
        return;
    throw ErrorHandler(errc::FileTooLarge,
                       "File '" + ShownName(path) + "' is too large: its container would be over 4 GiB; with " +
                           std::to_string(blockSize * 8) + "-bit blocks, at most " +
                           std::to_string(MaxPlainLength(blockSize)) + " bytes can be encrypted!");
}

void MyAesFiles::CheckDecryptable(std::uint64_t containerLength, const std::string& path)
{
    if (containerLength > MaxContainerLength)
        throw ErrorHandler(errc::FileTooLarge,
                           "File '" + ShownName(path) + "' is too large: only files smaller than 4 GiB can be processed!");
}

} // namespace tessarin
