// Containers of files that fit in one chunk, whose bytes the reader kept
// whole: a batch of small files spends more on calls to the system than on
// the cipher, so such a file is read once, and its container is written
// with one call. The bytes written are the same as the chunked path's.
#include "cipher/MyAesFiles.h"

#include "foundation/CCrc32Dynamic.h"
#include "foundation/ErrorHandler.h"
#include "foundation/ShownName.h"

#include <algorithm>

namespace tessarin {

std::uint64_t MyAesFiles::EncodeKept(const std::vector<std::uint8_t>& plain, MyFile& destination, OperMode mode,
                                     float koeff)
{
    const auto bs = static_cast<std::size_t>(m_blockSize);
    const std::size_t header = HeaderStored();
    const std::size_t whole = plain.size() / bs * bs;
    const std::size_t padded = plain.size() % bs != 0 ? whole + bs : whole;
    std::vector<std::uint8_t> out(header + padded);
    EncipherHunks(m_hunk1, m_hunk2, mode, out);
    if (m_sink) {
        m_sink->AddProgress(koeff * static_cast<float>(header));
        m_sink->AddProgress(koeff * static_cast<float>(plain.size()));
        if (m_sink->IsBreakRequested())
            throw ErrorHandler(errc::BreakByUser, "Break by user!");
    }
    // The register runs on from the header through the data, as in one call.
    m_core.Encrypt(std::span(plain).first(whole), std::span(out).subspan(header, whole), mode);
    if (padded != whole) {
        std::array<std::uint8_t, 32> last{};
        const std::size_t rest = plain.size() - whole;
        std::copy_n(plain.begin() + static_cast<std::ptrdiff_t>(whole), rest, last.begin());
        FillFiller(std::span(last).subspan(rest, bs - rest));
        m_core.Encrypt(std::span(last).first(bs), std::span(out).subspan(header + whole, bs), mode);
    }
    destination.Write(out);
    destination.SetSize(out.size());
    destination.SetCrc(0);
    return out.size();
}

std::uint32_t MyAesFiles::DecodeKept(std::span<const std::uint8_t> data, MyFile& destination, OperMode mode,
                                     float koeff)
{
    const std::uint32_t length = GetLengthFromHeader();
    std::vector<std::uint8_t> plain(data.size());
    if (m_sink) {
        m_sink->AddProgress(koeff * static_cast<float>(data.size()));
        if (m_sink->IsBreakRequested())
            throw ErrorHandler(errc::BreakByUser, "Break by user!");
    }
    m_core.Decrypt(data, plain, mode);
    // The filler of the last block and anything after the length go.
    const std::size_t n = std::min<std::size_t>(plain.size(), length);
    CCrc32Dynamic crc;
    crc.InitStream();
    crc.CalcStream(std::span(plain).first(n));
    if (crc.GetCrcStream() != GetCrcFromHeader() || n != length)
        throw ErrorHandler(errc::CrcMismatch, "CRC32 mismatch!");
    destination.Write(std::span(plain).first(n));
    destination.SetSize(length);
    destination.SetCrc(GetCrcFromHeader());
    destination.SetFileName(GetNameFromHeader());
    return length;
}

} // namespace tessarin
