#include "processing/ContainerCheck.h"

#include "foundation/ErrorHandler.h"
#include "foundation/ShownName.h"
#include "platform/Files.h"
#include "processing/OutputName.h"
#include "processing/StoredName.h"
#include "selection/MyFileFound.h"

#include <exception>
#include <optional>
#include <thread>
#include <vector>

namespace tessarin {

namespace {

// The decompressing half of a check of compressed content: it reads the
// deciphered bytes from a pipe while the codec writes them, so they never
// touch a disk. After a failure it goes on reading to the end, so that the
// writer is never left blocked on a full pipe.
class PipedDecompression {
public:
    PipedDecompression(const CompressionFamily& family, std::uint32_t nfSize, const std::string& shownAs)
    {
        platform::NativeHandle readEnd = platform::InvalidHandle;
        platform::NativeHandle writeEnd = platform::InvalidHandle;
        if (!platform::OpenPipe(readEnd, writeEnd))
            throw ErrorHandler(errc::OpenFailed, "Unable to open a pipe to check '" + ShownName(shownAs) + "'");
        m_writer.Adopt(writeEnd, shownAs, MyFile::OpenWrite);
        m_reader.Adopt(readEnd, shownAs, MyFile::OpenRead);
        // Where checked plain bytes go: nowhere.
        m_sinkFile.Open(platform::NullDevice, MyFile::OpenWrite);
        m_thread = std::thread([this, &family, nfSize] {
            try {
                m_length = family.decompress(m_reader, m_sinkFile, nullptr, nfSize);
            } catch (...) {
                m_failure = std::current_exception();
            }
            Drain();
        });
    }
    ~PipedDecompression() { Finish(); }
    PipedDecompression(const PipedDecompression&) = delete;
    PipedDecompression& operator=(const PipedDecompression&) = delete;

    MyFile& Writer() { return m_writer; }

    // Ends the input and waits for the reader. Returns the decompressed
    // length, or throws what the decompression failed with.
    std::uint64_t Result()
    {
        Finish();
        if (m_failure)
            std::rethrow_exception(m_failure);
        return m_length;
    }

private:
    void Finish()
    {
        m_writer.Close();
        if (m_thread.joinable())
            m_thread.join();
    }
    void Drain() noexcept
    {
        std::vector<std::uint8_t> buffer(65536);
        try {
            while (m_reader.Read(buffer) > 0) {
            }
        } catch (...) {
        }
        m_reader.Close();
    }

    MyFile m_writer;
    MyFile m_reader;
    MyFile m_sinkFile;
    std::thread m_thread;
    std::uint64_t m_length = 0;
    std::exception_ptr m_failure;
};

} // namespace

ContainerCheck::ContainerCheck(MyStream* sink) : m_sink(sink) {}

ContainerCheck::~ContainerCheck()
{
    CloseLibrary();
}

MyFile ContainerCheck::OpenQuietly(const std::string& path) const
{
    // Read only, never through a link; and reading it should not count as
    // a use of the file.
    MyFile file(path, MyFile::OpenRead);
    platform::KeepAccessTime(file.GetHandle());
    return file;
}

int ContainerCheck::ReadHeaderOf(MyAesFiles& codec, MyFile& file)
{
    m_session.KeyCodec(codec);
    const int kind = codec.CheckHeader(file, m_session.GetMode());
    if (kind == MyAesFiles::HeaderNone)
        throw ErrorHandler(errc::NotAesFile, "Not AES file or wrong passwd!");
    CompressionFamily::CheckKnown(codec.GetFilterFromHeader());
    return kind;
}

ContainerInfo ContainerCheck::ReadHeader(const std::string& path)
{
    MyAesFiles codec(m_sink, m_session.Binding());
    MyFile file = OpenQuietly(path);
    ContainerInfo info;
    info.legacy = ReadHeaderOf(codec, file) == MyAesFiles::HeaderLegacy;
    info.name = codec.GetNameFromHeader();
    info.length = codec.GetLengthFromHeader();
    info.crc = codec.GetCrcFromHeader();
    info.time = codec.GetTimeFromHeader();
    info.filter = codec.GetFilterFromHeader();
    info.nfSize = codec.GetNfSizeFromHeader();
    return info;
}

std::uint64_t ContainerCheck::Test(const std::string& path)
{
    MyAesFiles codec(m_sink, m_session.Binding());
    MyFile in = OpenQuietly(path);
    ReadHeaderOf(codec, in);
    const std::string name = codec.GetNameFromHeader();
    const std::uint32_t filter = codec.GetFilterFromHeader();
    // A decryption refuses such a name; so does the check.
    StoredName::Check(path, name, filter);
    // A name this file system does not take: the decryption writes the
    // file under a shortened one, and the check says which.
    const std::string wanted = StoredName::Final(name, filter);
    bool shortened = false;
    const std::string used = OutputName::In(OutputName::FolderOf(path), wanted, shortened);
    if (shortened)
        m_shortened = "Name '" + ShownName(wanted) + "' is too long for this file system: decrypting writes it as '" +
                      ShownName(used) + "'\r\n";

    const CompressionFamily* family = CompressionFamily::OfFilter(filter);
    if (!family) {
        MyFile nowhere(platform::NullDevice, MyFile::OpenWrite);
        return codec.Decode(in, nowhere, m_session.GetMode());
    }
    // Deciphered and decompressed at once: the deciphered bytes pass
    // through a pipe to the decompression, so nothing is kept anywhere. A
    // failure of the codec (CRC, break) is the one to tell; the
    // decompression then only saw its input end early.
    const std::uint32_t nfSize = codec.GetNfSizeFromHeader();
    std::optional<PipedDecompression> piped;
    piped.emplace(*family, nfSize, name);
    try {
        codec.Decode(in, piped->Writer(), m_session.GetMode());
    } catch (...) {
        piped.reset();
        throw;
    }
    const std::uint64_t length = piped->Result();
    // The decompression reported nothing as it went: its half now.
    if (m_sink)
        m_sink->AddProgress(static_cast<float>(static_cast<double>(in.GetSize()) / 2048.0));
    return length;
}

void ContainerCheck::Run(const CFileFind& found)
{
    const MyFileFound file(found);
    const std::string& path = file.GetPathFile();
    m_resultOk = false;
    m_size = 0;
    m_shortened.clear();
    if (m_sink)
        m_sink->Show("Testing " + ShownName(path) + " ", MyStream::LevelStep);
    try {
        m_size = static_cast<std::uint32_t>(Test(path));
        if (m_sink)
            m_sink->Update("[OK]\r\n", MyStream::LevelStep);
        if (m_sink && !m_shortened.empty())
            m_sink->Show(m_shortened, MyStream::LevelStep);
        m_resultOk = true;
    } catch (const ErrorHandler& e) {
        if (m_sink)
            m_sink->Fail(e);
        if (e.GetErrCode() == errc::BreakByUser)
            throw;
    }
}

} // namespace tessarin
