#include "cipher/MyAesFiles.h"

#include "foundation/CCrc32Dynamic.h"
#include "foundation/ErrorHandler.h"
#include "foundation/OverlappedIo.h"
#include "foundation/ShownName.h"
#include "platform/Files.h"
#include "platform/FolderEntries.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <ctime>
#include <vector>

namespace tessarin {

namespace {

constexpr char MagicCurrent[9] = {'T', 'e', 's', 's', 'a', 'r', 'i', 'n', '\0'};
constexpr char MagicLegacy[9] = {'R', 'i', 'j', 'n', 'd', 'a', 'e', 'l', '\0'};

constexpr std::size_t OffLength = 12;
constexpr std::size_t OffCrc = 16;
constexpr std::size_t OffTime = 20;
constexpr std::size_t OffName = 24;
constexpr std::size_t OffFilter = 0;
constexpr std::size_t OffNfSize = 4;

std::uint32_t LoadLe32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

void StoreLe32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

// Two threads pay off only when there are chunks enough to overlap; a
// small file is read, enciphered and written on the caller's thread.
constexpr std::uint64_t OverlapMinChunks = 3;

bool WorthOverlapping(std::uint64_t bytes)
{
    return OverlapAllowed() && bytes >= OverlapMinChunks * MyAesFiles::ChunkSize;
}

// Set only by tests, before codecs are made; read on the codec's thread.
std::atomic<const MyAesFiles::FixedFiller*> g_fixedFiller{nullptr};

// Filler for the codecs of one thread, drawn from the system's generator
// in blocks: a batch of small files takes one draw for a few dozen files
// instead of one each. Each byte is handed out once; a child made by fork
// starts afresh, so it never repeats its parent's bytes.
struct FillerPool {
    static constexpr std::size_t Size = 32768;
    std::vector<std::uint8_t> bytes;
    std::size_t used = 0;  // bytes[used..] are still unused
    std::uint64_t process = 0;
};
thread_local FillerPool t_filler;

} // namespace

MyAesFiles::MyAesFiles(MyStream* sink, const AESclass::AesCallBack* library) : m_core(library), m_sink(sink)
{
    if (const FixedFiller* fixed = g_fixedFiller.load())
        m_fillerNext = fixed->seed;
}

void MyAesFiles::SetFixedFillerForTesting(const FixedFiller* filler)
{
    g_fixedFiller.store(filler);
}

void MyAesFiles::FillFiller(std::span<std::uint8_t> bytes)
{
    if (g_fixedFiller.load() == nullptr) {
        FillerPool& pool = t_filler;
        if (pool.process != platform::ProcessId()) {
            pool.bytes.assign(FillerPool::Size, 0);
            pool.used = pool.bytes.size();
            pool.process = platform::ProcessId();
        }
        while (!bytes.empty()) {
            if (pool.used == pool.bytes.size()) {
                platform::FillRandom(pool.bytes);
                pool.used = 0;
            }
            const std::size_t n = std::min(bytes.size(), pool.bytes.size() - pool.used);
            std::copy_n(pool.bytes.begin() + static_cast<std::ptrdiff_t>(pool.used), n, bytes.begin());
            pool.used += n;
            bytes = bytes.subspan(n);
        }
        return;
    }
    for (auto& b : bytes)
        b = m_fillerNext++;
}

std::uint32_t MyAesFiles::Now() const
{
    if (const FixedFiller* fixed = g_fixedFiller.load())
        return fixed->time;
    return static_cast<std::uint32_t>(std::time(nullptr));
}

float MyAesFiles::CalcReductKoeff(std::uint32_t filter)
{
    return filter == 0 ? 1.0f / 1024.0f : 1.0f / 2048.0f;
}

float MyAesFiles::CalcFullKoeff(std::uint32_t length, std::uint32_t filter, std::uint32_t nfSize)
{
    // The ratio of the sizes before and after the filter, taken the way up
    // whichever side is larger. An empty file on either side has no ratio;
    // it counts as 1:1 so that the progress stays finite.
    float f = 1.0f;
    if (length != 0 && nfSize != 0) {
        const float r = static_cast<float>(nfSize) / static_cast<float>(length);
        f = r > 1.0f ? r : 1.0f / r;
    }
    return filter == 0 ? f / 1024.0f : f / 2048.0f;
}

bool MyAesFiles::ReadHunks(MyFile& source, std::uint64_t offset, std::span<std::uint8_t> content, OperMode mode)
{
    const std::size_t stored = CalcHeader(content.size(), m_blockSize);
    std::array<std::uint8_t, MaxHeaderStored()> cipher, plain;
    if (stored > cipher.size() || source.ReadAt(offset, std::span(cipher).first(stored)) != stored)
        return false;
    m_core.Decrypt(std::span(cipher).first(stored), plain, mode);
    std::copy_n(plain.begin(), content.size(), content.begin());
    return true;
}

std::size_t MyAesFiles::EncipherHunks(std::span<const std::uint8_t> first, std::span<const std::uint8_t> second,
                                      OperMode mode, std::vector<std::uint8_t>& out)
{
    const std::span<const std::uint8_t> hunks[] = {first, second};
    const std::size_t stored = CalcHeader(first.size(), m_blockSize) + CalcHeader(second.size(), m_blockSize);
    std::array<std::uint8_t, MaxHeaderStored()> plain;
    const std::span<std::uint8_t> cipher = std::span(out).first(stored);
    // Filler and chaining run in the order of the bytes, as for two writes.
    std::size_t at = 0;
    for (const std::span<const std::uint8_t> content : hunks) {
        const std::size_t size = CalcHeader(content.size(), m_blockSize);
        const std::span<std::uint8_t> block = std::span(plain).subspan(at, size);
        std::copy(content.begin(), content.end(), block.begin());
        FillFiller(block.subspan(content.size()));
        m_core.Encrypt(block, cipher.subspan(at, size), mode);
        at += size;
    }
    return stored;
}

void MyAesFiles::Fill_Hunk1(MyFile& source)
{
    FillFiller(m_hunk1);
    std::memcpy(m_hunk1.data(), MagicCurrent, sizeof MagicCurrent);
    StoreLe32(m_hunk1.data() + OffLength, static_cast<std::uint32_t>(source.GetSize()));
    StoreLe32(m_hunk1.data() + OffCrc, source.CalcCrc());
    StoreLe32(m_hunk1.data() + OffTime, Now());
    const std::string& name = source.GetFileName();
    const std::size_t n = std::min(name.size(), NameFieldSize - 1);
    std::memcpy(m_hunk1.data() + OffName, name.data(), n);
    m_hunk1[OffName + n] = 0;
}

void MyAesFiles::Fill_Hunk2(std::uint32_t filter, std::uint32_t nfSize)
{
    FillFiller(m_hunk2);
    StoreLe32(m_hunk2.data() + OffFilter, filter);
    StoreLe32(m_hunk2.data() + OffNfSize, filter != 0 ? nfSize : GetLengthFromHeader());
}

int MyAesFiles::CheckHeader(MyFile& source, OperMode mode)
{
    if (!m_keyed)
        return HeaderNone;
    // The header is always read from the start of the cipher stream, so the
    // register starts from the initial chaining value whatever ran before.
    // Cipher feedback deciphers with the encryption direction.
    if (mode == OperMode::CFB)
        ReMakeEncKey();
    else
        ReMakeDecKey();

    // A small file is read whole here, once, for every later pass; the
    // header of a larger one is read where it stands, so neither moves the
    // file's position.
    source.KeepWhole(ChunkSize);
    if (!ReadHunks(source, 0, m_hunk1, mode))
        return HeaderNone;
    if (std::memcmp(m_hunk1.data(), MagicCurrent, sizeof MagicCurrent) == 0)
        return ReadHunks(source, CalcHeader(Hunk1Size, m_blockSize), m_hunk2, mode) ? HeaderCurrent : HeaderNone;
    if (std::memcmp(m_hunk1.data(), MagicLegacy, sizeof MagicLegacy) == 0) {
        m_hunk2.fill(0);
        StoreLe32(m_hunk2.data() + OffNfSize, GetLengthFromHeader());
        return HeaderLegacy;
    }
    return HeaderNone;
}

std::uint64_t MyAesFiles::Encode(MyFile& source, MyFile& destination, OperMode mode, std::uint32_t filter,
                                 std::uint32_t nfSize)
{
    // Without a key the container would be enciphered under all zeros:
    // readable by anyone, and by nobody with the user's password.
    if (!m_keyed)
        throw ErrorHandler(errc::EmptyPassword, "No key is set: the password must be given before encrypting!");
    CheckEncryptable(source.GetSize(), m_blockSize, source.GetFullFilename());
    if (CheckHeader(source, mode) != HeaderNone)
        throw ErrorHandler(errc::AlreadyEncrypted, "Already encrypted!");

    Fill_Hunk1(source);
    Fill_Hunk2(filter, nfSize);
    ReMakeEncKey();

    // The header counts at the data's rate. A small file that compressed
    // well reports many times its own size so; the display keeps its
    // caption within the range.
    const float k = CalcFullKoeff(GetLengthFromHeader(), filter, nfSize);
    destination.Seek(0, MyFile::SeekBegin);
    if (const std::vector<std::uint8_t>* kept = source.KeepWhole(ChunkSize)) {
        // Length and CRC in the header were taken from these very bytes:
        // only a file that changed between its opening and this read
        // differs, in length (its times tell the rest).
        if (kept->size() != GetLengthFromHeader())
            throw ErrorHandler(errc::SourceChanged,
                               "File '" + ShownName(source.GetFullFilename()) + "' changed while it was read!");
        const std::uint64_t written = EncodeKept(*kept, destination, mode, k);
        source.DropKept();
        return written;
    }
    std::vector<std::uint8_t> header(HeaderStored());
    std::uint64_t total = EncipherHunks(m_hunk1, m_hunk2, mode, header);
    destination.Write(header);
    if (m_sink)
        m_sink->AddProgress(k * static_cast<float>(total));

    const auto bs = static_cast<std::size_t>(m_blockSize);
    // The header's length and CRC come from a pass of their own: the bytes
    // enciphered must be the same bytes, or the container could never be
    // read back. Their CRC is taken on the reading thread.
    CCrc32Dynamic enciphered;
    enciphered.InitStream();
    std::uint64_t plainBytes = 0;
    source.Seek(0, MyFile::SeekBegin);
    const StreamPlace place(WorthOverlapping(source.GetSize()));
    const bool overlapped = place.Overlapped();
    // The cipher stays on this thread: its chaining register runs through
    // the chunks in order, and the sink is told here, chunk by chunk.
    ReadAhead reader(source, ChunkSize, overlapped,
                     [&enciphered](std::span<const std::uint8_t> bytes) { enciphered.CalcStream(bytes); });
    WriteBehind writer(destination, ChunkSize, overlapped);
    try {
        for (;;) {
            const ReadAhead::Chunk chunk = reader.Next();
            const std::size_t n = chunk.count;
            if (n == 0)
                break;
            plainBytes += n;
            if (m_sink) {
                m_sink->AddProgress(k * static_cast<float>(n));
                if (m_sink->IsBreakRequested())
                    throw ErrorHandler(errc::BreakByUser, "Break by user!");
            }
            std::size_t padded = n;
            if (n % bs != 0) {
                padded = (n / bs + 1) * bs;
                FillFiller(chunk.buffer.subspan(n, padded - n));
            }
            m_core.Encrypt(chunk.buffer.first(padded), writer.Buffer(), mode);
            writer.Submit(padded);
            total += padded;
        }
        reader.Stop();
        writer.Finish();
    } catch (...) {
        RethrowInChunkOrder(reader, writer);
    }
    if (plainBytes != GetLengthFromHeader() || enciphered.GetCrcStream() != GetCrcFromHeader())
        throw ErrorHandler(errc::SourceChanged,
                           "File '" + ShownName(source.GetFullFilename()) + "' changed while it was read!");
    destination.SetSize(total);
    destination.SetCrc(0);
    return total;
}

std::uint32_t MyAesFiles::Decode(MyFile& source, MyFile& destination, OperMode mode)
{
    CheckDecryptable(source.GetSize(), source.GetFullFilename());
    const int kind = CheckHeader(source, mode);
    if (kind == HeaderNone)
        throw ErrorHandler(errc::NotAesFile, "Not AES file or wrong passwd!");

    std::size_t header = CalcHeader(Hunk1Size, m_blockSize);
    if (kind == HeaderCurrent)
        header += CalcHeader(Hunk2Size, m_blockSize);
    // A cut or padded container is refused before anything is written: its
    // data area must be whole blocks and hold at least the stored length.
    const std::uint64_t dataArea = source.GetSize() - std::min<std::uint64_t>(source.GetSize(), header);
    if (dataArea % static_cast<std::uint64_t>(m_blockSize) != 0 || dataArea < GetLengthFromHeader())
        throw ErrorHandler(errc::CrcMismatch, "CRC32 mismatch!",
                           "'" + ShownName(source.GetFullFilename()) + "' is cut short or not whole blocks");
    const std::uint32_t filter = GetFilterFromHeader();
    const float k = CalcReductKoeff(filter);
    if (m_sink)
        m_sink->AddProgress(k * static_cast<float>(header));
    if (const std::vector<std::uint8_t>* kept = source.KeepWhole(ChunkSize)) {
        const std::uint32_t length = DecodeKept(std::span(*kept).subspan(std::min(kept->size(), header)),
                                                destination, mode, k);
        source.DropKept();
        return length;
    }
    source.Seek(static_cast<std::int64_t>(header), MyFile::SeekBegin);

    CCrc32Dynamic crc;
    crc.InitStream();
    const std::uint32_t length = GetLengthFromHeader();
    std::uint64_t written = 0;
    const StreamPlace place(WorthOverlapping(dataArea));
    const bool overlapped = place.Overlapped();
    // The plain bytes' CRC is taken on the writing thread, as they are written.
    ReadAhead reader(source, ChunkSize, overlapped);
    WriteBehind writer(destination, ChunkSize, overlapped,
                       [&crc](std::span<const std::uint8_t> bytes) { crc.CalcStream(bytes); });
    try {
        for (;;) {
            const ReadAhead::Chunk chunk = reader.Next();
            std::size_t n = chunk.count;
            if (n == 0)
                break;
            if (m_sink) {
                m_sink->AddProgress(k * static_cast<float>(n));
                if (m_sink->IsBreakRequested())
                    throw ErrorHandler(errc::BreakByUser, "Break by user!");
            }
            const std::span<std::uint8_t> output = writer.Buffer();
            m_core.Decrypt(chunk.buffer.first(n), output, mode);
            // Drop the filler of the last block and anything after the length.
            n = static_cast<std::size_t>(std::min<std::uint64_t>(n, length - written));
            if (n == 0)
                continue;
            writer.Submit(n);
            written += n;
        }
        reader.Stop();
        writer.Finish();
    } catch (...) {
        RethrowInChunkOrder(reader, writer);
    }
    // A cut-off container cannot give back the stored length.
    if (crc.GetCrcStream() != GetCrcFromHeader() || written != length)
        throw ErrorHandler(errc::CrcMismatch, "CRC32 mismatch!");

    destination.SetSize(length);
    destination.SetCrc(GetCrcFromHeader());
    destination.SetFileName(GetNameFromHeader());
    return length;
}

std::uint32_t MyAesFiles::GetFilterFromHeader() const
{
    return LoadLe32(m_hunk2.data() + OffFilter);
}

std::uint32_t MyAesFiles::GetNfSizeFromHeader() const
{
    return LoadLe32(m_hunk2.data() + OffNfSize);
}

std::uint32_t MyAesFiles::GetLengthFromHeader() const
{
    return LoadLe32(m_hunk1.data() + OffLength);
}

std::uint32_t MyAesFiles::GetCrcFromHeader() const
{
    return LoadLe32(m_hunk1.data() + OffCrc);
}

std::uint32_t MyAesFiles::GetTimeFromHeader() const
{
    return LoadLe32(m_hunk1.data() + OffTime);
}

std::string MyAesFiles::GetNameFromHeader() const
{
    const auto* field = reinterpret_cast<const char*>(m_hunk1.data() + OffName);
    return std::string(field, ::strnlen(field, NameFieldSize));
}

} // namespace tessarin
