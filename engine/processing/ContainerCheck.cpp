#include "processing/ContainerCheck.h"

#include "foundation/ErrorHandler.h"
#include "foundation/ShownName.h"
#include "platform/Module.h"
#include "processing/MyCompressBzip2.h"
#include "processing/MyCompressGzip.h"
#include "processing/OutputName.h"
#include "selection/MyFileFound.h"

#include "platform/Files.h"

#include <exception>
#include <optional>
#include <thread>
#include <vector>

namespace tessarin {

namespace {

constexpr int FamilyNone = 0;
constexpr int FamilyGzip = 1;
constexpr int FamilyBzip2 = 2;

bool EndsWith(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// A name a decryption would create in the container's own folder: no
// folder part, nothing that names the folder itself or its parent.
bool IsPlainName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find(platform::PathSeparator) == std::string::npos;
}

// A decryption refuses a stored name that would lead elsewhere, or a
// compressed content without its family's suffix; so does the check.
void CheckStoredName(const std::string& container, const ContainerInfo& info)
{
    const std::string where = "Unsafe name '" + ShownName(info.name) + "' stored in '" + ShownName(container) + "'";
    if (!IsPlainName(info.name))
        throw ErrorHandler(errc::UnsafeStoredName, where + "!");
    const char* suffix = info.Family() == FamilyGzip ? ".gz" : info.Family() == FamilyBzip2 ? ".bz" : nullptr;
    if (suffix && (!EndsWith(info.name, suffix) || !IsPlainName(info.name.substr(0, info.name.size() - 3))))
        throw ErrorHandler(errc::UnsafeStoredName,
                           where + ": it lacks the suffix '" + suffix + "' of its compression!");
}

// The decompressing half of a check of compressed content: it reads the
// deciphered bytes from a pipe while the codec writes them, so they never
// touch a disk. After a failure it goes on reading to the end, so that the
// writer is never left blocked on a full pipe.
class PipedDecompression {
public:
    PipedDecompression(int family, std::uint32_t nfSize, const std::string& shownAs)
    {
        platform::NativeHandle readEnd = platform::InvalidHandle;
        platform::NativeHandle writeEnd = platform::InvalidHandle;
        if (!platform::OpenPipe(readEnd, writeEnd))
            throw ErrorHandler(errc::OpenFailed, "Unable to open a pipe to check '" + ShownName(shownAs) + "'");
        m_writer.Adopt(writeEnd, shownAs, MyFile::OpenWrite);
        m_reader.Adopt(readEnd, shownAs, MyFile::OpenRead);
        // Where checked plain bytes go: nowhere.
        m_sinkFile.Open(platform::NullDevice, MyFile::OpenWrite);
        m_thread = std::thread([this, family, nfSize] {
            try {
                m_length = family == FamilyGzip ? MyCompressGzip::Decompress(m_reader, m_sinkFile, nullptr, nfSize)
                                                : MyCompressBzip2::Decompress(m_reader, m_sinkFile, nullptr, nfSize);
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

void ContainerCheck::SetPasswd(const std::string& password, MyAesFiles::KeyLen keyLength,
                               MyAesFiles::BlockSize blockSize)
{
    m_password = password;
    m_keyLength = keyLength;
    m_blockSize = blockSize;
}

void ContainerCheck::LoadLibraryA(unsigned blockBytes)
{
    AESclass::AesCallBack record{};
    platform::ModuleHandle module = CAesCore::LoadLibraryA(blockBytes, &record);
    m_cipherLibrary = std::shared_ptr<void>(module.release(), platform::ModuleCloser{});
    m_callBack = record;
}

void ContainerCheck::LoadGzipLibrary()
{
    m_gzipLibrary = std::shared_ptr<void>(MyCompressGzip::LoadLibraryA().release(), platform::ModuleCloser{});
}

void ContainerCheck::LoadBzip2Library()
{
    m_bzip2Library = std::shared_ptr<void>(MyCompressBzip2::LoadLibraryA().release(), platform::ModuleCloser{});
}

void ContainerCheck::CloseLibrary()
{
    m_callBack = AESclass::AesCallBack{};
    m_cipherLibrary.reset();
    m_bzip2Library.reset();
    m_gzipLibrary.reset();
}

void ContainerCheck::KeyCodec(MyAesFiles& codec) const
{
    if (!m_cipherLibrary || m_callBack.blockLength != static_cast<unsigned>(m_blockSize))
        throw ErrorHandler(errc::LibraryNotFound,
                           platform::Module::ShownNameFor("aes" + std::to_string(static_cast<int>(m_blockSize)) +
                                                          ".dll") +
                               " not found!");
    // Cipher feedback deciphers with the forward direction of the block
    // cipher.
    if (m_mode == OperMode::CFB)
        codec.MakeEncKey(m_password, m_keyLength, m_blockSize);
    else
        codec.MakeDecKey(m_password, m_keyLength, m_blockSize);
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
    KeyCodec(codec);
    const int kind = codec.CheckHeader(file, m_mode);
    if (kind == MyAesFiles::HeaderNone)
        throw ErrorHandler(errc::NotAesFile, "Not AES file or wrong passwd!");
    const int family = static_cast<int>(codec.GetFilterFromHeader() >> 16);
    if (family != FamilyNone && family != FamilyGzip && family != FamilyBzip2)
        throw ErrorHandler(errc::UnknownFilter, "This file was processed using an unknown filter!");
    return kind;
}

ContainerInfo ContainerCheck::ReadHeader(const std::string& path)
{
    MyAesFiles codec(m_sink, &m_callBack);
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
    MyAesFiles codec(m_sink, &m_callBack);
    MyFile in = OpenQuietly(path);
    ReadHeaderOf(codec, in);
    ContainerInfo info;
    info.name = codec.GetNameFromHeader();
    info.filter = codec.GetFilterFromHeader();
    CheckStoredName(path, info);
    // A name this file system does not take: the decryption writes the
    // file under a shortened one, and the check says which.
    const std::string wanted = info.Family() == FamilyNone ? info.name : info.name.substr(0, info.name.size() - 3);
    const auto slash = path.rfind(platform::PathSeparator);
    bool shortened = false;
    const std::string used =
        OutputName::In(slash == std::string::npos ? std::string() : path.substr(0, slash + 1), wanted, shortened);
    if (shortened)
        m_shortened = "Name '" + ShownName(wanted) + "' is too long for this file system: decrypting writes it as '" +
                      ShownName(used) + "'\r\n";

    if (info.Family() == FamilyNone) {
        MyFile nowhere(platform::NullDevice, MyFile::OpenWrite);
        return codec.Decode(in, nowhere, m_mode);
    }
    // Deciphered and decompressed at once: the deciphered bytes pass
    // through a pipe to the decompression, so nothing is kept anywhere. A
    // failure of the codec (CRC, break) is the one to tell; the
    // decompression then only saw its input end early.
    const std::uint32_t nfSize = codec.GetNfSizeFromHeader();
    std::optional<PipedDecompression> piped;
    piped.emplace(info.Family(), nfSize, info.name);
    try {
        codec.Decode(in, piped->Writer(), m_mode);
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
