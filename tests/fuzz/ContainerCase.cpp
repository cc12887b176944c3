#include "ContainerCase.h"

#include "FuzzSupport.h"
#include "foundation/ErrorHandler.h"
#include "foundation/MyFile.h"
#include "foundation/MyStream.h"
#include "selection/FileFind.h"
#include "processing/MyObjectAes.h"
#include "processing/OutputName.h"

#include <algorithm>
#include <array>
#include <bzlib.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <optional>
#include <sys/stat.h>
#include <zlib.h>

namespace tessarin::fuzz::container {

namespace {

constexpr OperMode Modes[4] = {OperMode::ECB, OperMode::CBC, OperMode::CFB, OperMode::CBC};
constexpr int Sizes[4] = {16, 24, 32, 32};

// The sibling folder's files: names an escaping output would be likely to
// take.
constexpr const char* SiblingFiles[][2] = {
    {"box.aes", "a file beside the work folder, not to be touched\n"},
    {"plain.txt", "another one, with a name a header may carry\n"},
};

[[noreturn]] void Broken(const std::string& what)
{
    std::fprintf(stderr, "fuzz harness: %s\n", what.c_str());
    std::exit(2);
}

std::uint32_t LoadLe32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

void StoreLe32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

int SizeIndex(int bytes)
{
    return bytes == 16 ? 0 : bytes == 24 ? 1 : 2;
}

// The cipher modules stay loaded for the whole run: the pipeline's own
// loads are then only reference counts.
const AESclass::AesCallBack& Cipher(int blockBytes)
{
    struct Loaded {
        platform::ModuleHandle module;
        AESclass::AesCallBack record{};
    };
    static std::array<Loaded, 3> loaded;
    Loaded& slot = loaded[SizeIndex(blockBytes)];
    if (!slot.module) {
        try {
            slot.module = CAesCore::LoadLibraryA(static_cast<unsigned>(blockBytes), &slot.record);
        } catch (const ErrorHandler& e) {
            Broken("cannot load the cipher module of " + std::to_string(blockBytes) + "-byte blocks: " +
                   e.GetErrString());
        }
    }
    return slot.record;
}

struct Case {
    OperMode mode = OperMode::CBC;
    int keyBytes = 32;
    int blockBytes = 16;
    std::uint8_t settings = 0;
    std::uint8_t options = 0;
    std::array<std::uint8_t, MyAesFiles::Hunk1Size> hunk1{};
    std::array<std::uint8_t, MyAesFiles::Hunk2Size> hunk2{};
    Bytes data;

    bool Legacy() const { return std::memcmp(hunk1.data(), MagicLegacy, sizeof MagicLegacy) == 0; }
    std::uint32_t Length() const { return LoadLe32(hunk1.data() + LengthAt); }
    std::uint32_t Filter() const { return Legacy() ? 0 : LoadLe32(hunk2.data() + FilterAt); }
    std::string StoredName() const
    {
        const auto* field = reinterpret_cast<const char*>(hunk1.data() + NameAt);
        return std::string(field, ::strnlen(field, MyAesFiles::NameFieldSize));
    }
    std::size_t Hunk1Stored() const { return MyAesFiles::CalcHeader(MyAesFiles::Hunk1Size, blockBytes); }
    std::size_t Hunk2Stored() const { return MyAesFiles::CalcHeader(MyAesFiles::Hunk2Size, blockBytes); }
    std::size_t DataStart() const { return Hunk1Stored() + (Legacy() ? 0 : Hunk2Stored()); }
};

std::uint8_t At(std::span<const std::uint8_t> input, std::size_t i)
{
    return i < input.size() ? input[i] : 0;
}

std::optional<Bytes> Gunzip(std::span<const std::uint8_t> in, std::size_t cap)
{
    z_stream z{};
    if (inflateInit2(&z, 15 + 16) != Z_OK)
        return std::nullopt;
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    Bytes out;
    std::array<std::uint8_t, 16384> buffer{};
    std::optional<Bytes> result;
    while (out.size() <= cap) {
        z.next_out = buffer.data();
        z.avail_out = static_cast<uInt>(buffer.size());
        const int status = inflate(&z, Z_NO_FLUSH);
        out.insert(out.end(), buffer.begin(), buffer.end() - z.avail_out);
        if (status == Z_STREAM_END) {
            // Members may follow one another.
            if (z.avail_in > 0 && *z.next_in == 0x1F) {
                inflateReset(&z);
                continue;
            }
            result = std::move(out);
            break;
        }
        if (status != Z_OK)
            break;  // damaged, or the input ends inside a member
    }
    inflateEnd(&z);
    return result;
}

std::optional<Bytes> Bunzip2(std::span<const std::uint8_t> in, std::size_t cap)
{
    bz_stream bz{};
    if (BZ2_bzDecompressInit(&bz, 0, 0) != BZ_OK)
        return std::nullopt;
    bz.next_in = const_cast<char*>(reinterpret_cast<const char*>(in.data()));
    bz.avail_in = static_cast<unsigned>(in.size());
    Bytes out;
    std::array<char, 16384> buffer{};
    std::optional<Bytes> result;
    while (out.size() <= cap) {
        bz.next_out = buffer.data();
        bz.avail_out = static_cast<unsigned>(buffer.size());
        const int status = BZ2_bzDecompress(&bz);
        const std::size_t produced = buffer.size() - bz.avail_out;
        out.insert(out.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(produced));
        if (status == BZ_STREAM_END) {
            // Streams may follow one another.
            if (bz.avail_in > 0 && *bz.next_in == 'B') {
                const char* next = bz.next_in;
                const unsigned left = bz.avail_in;
                BZ2_bzDecompressEnd(&bz);
                bz = bz_stream{};
                if (BZ2_bzDecompressInit(&bz, 0, 0) != BZ_OK)
                    return std::nullopt;
                bz.next_in = const_cast<char*>(next);
                bz.avail_in = left;
                continue;
            }
            result = std::move(out);
            break;
        }
        if (status != BZ_OK || (bz.avail_in == 0 && produced == 0))
            break;  // damaged, or the input ends inside a stream
    }
    BZ2_bzDecompressEnd(&bz);
    return result;
}

std::optional<Bytes> Decompress(int family, std::span<const std::uint8_t> in)
{
    if (family == MyObjectAes::FamilyGzip)
        return Gunzip(in, NfSizeCap);
    if (family == MyObjectAes::FamilyBzip2)
        return Bunzip2(in, NfSizeCap);
    return Bytes(in.begin(), in.end());
}

const char* SuffixOf(int family)
{
    return family == MyObjectAes::FamilyGzip ? ".gz" : family == MyObjectAes::FamilyBzip2 ? ".bz" : "";
}

Case Parse(std::span<const std::uint8_t> input)
{
    Case c;
    c.settings = At(input, SettingsAt);
    c.options = At(input, OptionsAt);
    c.mode = Modes[c.settings & 3];
    c.keyBytes = Sizes[(c.settings >> 2) & 3];
    c.blockBytes = Sizes[(c.settings >> 4) & 3];
    for (std::size_t i = 0; i < c.hunk1.size(); ++i)
        c.hunk1[i] = At(input, Hunk1At + i);
    for (std::size_t i = 0; i < c.hunk2.size(); ++i)
        c.hunk2[i] = At(input, Hunk2At + i);
    if (input.size() > DataAt)
        c.data.assign(input.begin() + DataAt, input.end());

    std::uint8_t* nf = c.hunk2.data() + NfSizeAt;
    StoreLe32(nf, std::min(LoadLe32(nf), NfSizeCap));
    if (c.settings & FixLength)
        StoreLe32(c.hunk1.data() + LengthAt, static_cast<std::uint32_t>(c.data.size()));
    const std::span<const std::uint8_t> covered(c.data.data(), std::min<std::size_t>(c.Length(), c.data.size()));
    if (c.settings & FixCrc) {
        const auto crc = crc32(0, covered.data(), static_cast<uInt>(covered.size()));
        StoreLe32(c.hunk1.data() + CrcAt, static_cast<std::uint32_t>(crc));
    }
    if (c.options & FixNfSize) {
        if (const auto plain = Decompress(static_cast<int>(c.Filter() >> 16), covered))
            StoreLe32(nf, static_cast<std::uint32_t>(std::min<std::size_t>(plain->size(), NfSizeCap)));
    }
    return c;
}

// The whole plain cipher stream: each hunk's content followed by zero
// filler up to its stored length, then the data zero-padded to whole blocks.
Bytes PlainStream(const Case& c)
{
    const auto bs = static_cast<std::size_t>(c.blockBytes);
    const std::size_t dataStored = (c.data.size() + bs - 1) / bs * bs;
    Bytes stream(c.Hunk1Stored() + c.Hunk2Stored() + dataStored, 0);
    std::copy(c.hunk1.begin(), c.hunk1.end(), stream.begin());
    std::copy(c.hunk2.begin(), c.hunk2.end(), stream.begin() + static_cast<std::ptrdiff_t>(c.Hunk1Stored()));
    std::copy(c.data.begin(), c.data.end(),
              stream.begin() + static_cast<std::ptrdiff_t>(c.Hunk1Stored() + c.Hunk2Stored()));
    return stream;
}

// The key as the codec makes it from a password: the password's bytes, then
// the password repeated up to the key length, zeros beyond; the initial
// chaining value is the same 32 bytes.
Bytes Encipher(const Case& c, const Bytes& plain)
{
    const std::string_view password = Password;
    std::array<std::uint8_t, 32> key{};
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (i < password.size())
            key[i] = static_cast<std::uint8_t>(password[i]);
        else if (i < static_cast<std::size_t>(c.keyBytes))
            key[i] = static_cast<std::uint8_t>(password[i % password.size()]);
    }
    CAesCore core(&Cipher(c.blockBytes));
    core.MakeEncKey(key, key, c.keyBytes, c.blockBytes);
    Bytes cipher(plain.size());
    core.Encrypt(plain, cipher, c.mode);
    return cipher;
}

class Sink : public MyStream {
public:
    void DoShow(const std::string&, int level) override { m_errors += level == LevelError; }
    void DoUpdate(const std::string&, int level) override { m_errors += level == LevelError; }
    bool IsBreakRequested() override { return false; }
    void AddProgress(float units) override
    {
        Require(std::isfinite(units) && units >= 0.0f, "progress reported a negative or non-finite amount");
    }
    int Errors() const { return m_errors; }

private:
    int m_errors = 0;
};

bool IsPlainName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

struct Folders {
    std::string work;
    std::string sibling;
};

// Builds a header stream per mode, key length and block size and has the
// codec's header check accept it: an enciphering that no longer matches the
// codec's key would turn every input into a plain refusal.
void CheckEnciphering(const std::string& folder)
{
    for (int m = 0; m < 3; ++m) {
        for (int k = 0; k < 3; ++k) {
            for (int b = 0; b < 3; ++b) {
                Bytes input(DataAt, 0);
                input[SettingsAt] = static_cast<std::uint8_t>(m | k << 2 | b << 4);
                std::memcpy(input.data() + Hunk1At, MagicCurrent, sizeof MagicCurrent);
                const Case c = Parse(input);
                const std::string path = folder + "/check";
                WriteFile(path, Encipher(c, PlainStream(c)));
                MyAesFiles codec(nullptr, &Cipher(c.blockBytes));
                const auto keyLength = static_cast<MyAesFiles::KeyLen>(c.keyBytes);
                const auto blockSize = static_cast<MyAesFiles::BlockSize>(c.blockBytes);
                if (c.mode == OperMode::CFB)
                    codec.MakeEncKey(Password, keyLength, blockSize);
                else
                    codec.MakeDecKey(Password, keyLength, blockSize);
                MyFile file(path, MyFile::OpenRead);
                if (codec.CheckHeader(file, c.mode) != MyAesFiles::HeaderCurrent)
                    Broken("the harness's enciphering does not match the codec (mode " + std::to_string(m) +
                           ", key " + std::to_string(c.keyBytes) + ", block " + std::to_string(c.blockBytes) + ")");
            }
        }
    }
    EmptyFolder(folder);
}

const Folders& Prepare()
{
    static const Folders folders = [] {
        const std::string root = ScratchRoot() + "/decrypt";
        Folders f{root + "/work", root + "/sibling"};
        MakeFolder(f.work);
        MakeFolder(f.sibling);
        for (const auto& file : SiblingFiles)
            WriteFile(f.sibling + "/" + file[0], std::string_view(file[1]));
        CheckEnciphering(f.work);
        return f;
    }();
    return folders;
}

void CheckSurroundings(const Folders& f)
{
    const std::string root = f.work.substr(0, f.work.rfind('/'));
    Require(ListFolder(root) == std::vector<std::string>{"sibling", "work"},
            "something was created or removed beside the work folder");
    std::vector<std::string> names;
    for (const auto& file : SiblingFiles)
        names.push_back(file[0]);
    std::sort(names.begin(), names.end());
    Require(ListFolder(f.sibling) == names, "the sibling folder's listing changed");
    for (const auto& file : SiblingFiles) {
        const Bytes bytes = ReadFile(f.sibling + "/" + file[0]);
        Require(std::string(bytes.begin(), bytes.end()) == file[1], "a file in the sibling folder changed");
    }
}

void CheckWorkFolder(const Folders& f, const Case& c, const Bytes& plain, const Bytes& container, bool ok)
{
    const std::vector<std::string> left = ListFolder(f.work);
    for (const std::string& name : left) {
        struct stat st {};
        Require(::lstat((f.work + "/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode),
                "the work folder holds something other than a regular file");
    }
    const std::string stored = c.StoredName();
    const int family = static_cast<int>(c.Filter() >> 16);
    const std::string suffix = SuffixOf(family);

    if (!ok) {
        for (const std::string& name : left)
            Require(name.rfind("~aes-", 0) != 0, "a temporary file was left after a failure");
        Require(left == std::vector<std::string>{ContainerName}, "a failure left a file other than the container");
        Require(ReadFile(f.work + "/" + ContainerName) == container, "a failure changed the container");
        return;
    }

    Require(IsPlainName(stored), "a header name that is no plain name was accepted");
    Require(stored.size() > suffix.size() && stored.compare(stored.size() - suffix.size(), suffix.size(), suffix) == 0,
            "a compressed content without its family's suffix was accepted");
    std::string output = stored.substr(0, stored.size() - suffix.size());
    Require(IsPlainName(output), "a compressed content whose name is a bare suffix was accepted");
    // A name longer than the file system takes is written shortened, in a
    // folder where nothing else holds that shorter name.
    const auto fits = [](const std::string& name) { return name.size() <= 255; };
    if (!fits(output))
        output = OutputName::Shortened(output, 0, fits);
    for (const std::string& name : left)
        Require(name == output || name == ContainerName, "a success left a file other than the container and its output");
    Require(std::find(left.begin(), left.end(), output) != left.end(), "a success left no output");
    if (output != ContainerName && std::find(left.begin(), left.end(), ContainerName) != left.end())
        Require(ReadFile(f.work + "/" + ContainerName) == container, "a success changed the container it kept");

    // The deciphered data that the length covers: it must lie in whole
    // blocks of what the container holds.
    const auto bs = static_cast<std::size_t>(c.blockBytes);
    const std::size_t wholeBlocks = container.size() / bs * bs;
    const std::size_t end = c.DataStart() + c.Length();
    Require(end <= wholeBlocks, "a container shorter than its recorded length was accepted");
    const auto content = std::span(plain).subspan(c.DataStart(), c.Length());
    const std::optional<Bytes> expected = Decompress(family, content);
    Require(expected.has_value(), "a compressed content that a reference decoder refuses was accepted");
    Require(ReadFile(f.work + "/" + output) == *expected, "the output differs from the content of the container");
}

} // namespace

std::uint8_t Settings(OperMode mode, int keyBytes, int blockBytes, std::uint8_t fixes)
{
    return static_cast<std::uint8_t>(static_cast<int>(mode) | SizeIndex(keyBytes) << 2 |
                                     SizeIndex(blockBytes) << 4 | fixes);
}

bool RunDecryption(std::span<const std::uint8_t> input)
{
    const Folders& f = Prepare();
    const Case c = Parse(input);
    const Bytes plain = PlainStream(c);
    Bytes container = Encipher(c, plain);
    if (c.options & CutEnd)
        container.resize(container.size() - std::min<std::size_t>(container.size(), ((c.options >> 5) & 7) + 1u));
    const std::string path = f.work + "/" + ContainerName;
    WriteFile(path, container);

    Sink sink;
    bool ok = false;
    {
        MyObjectAes object(&sink);
        object.SetModality(MyObjectAes::Decryption);
        object.SetMode(c.mode);
        object.SetWiping((c.options & Wiping) != 0);
        object.SetChangeExtention((c.options & ChangeExtension) != 0);
        object.SetDeleteOrig((c.options & DeleteOriginal) != 0);
        object.SetPasswd(Password, static_cast<MyAesFiles::KeyLen>(c.keyBytes),
                         static_cast<MyAesFiles::BlockSize>(c.blockBytes));
        try {
            object.LoadLibraryA(static_cast<unsigned>(c.blockBytes));
            object.LoadGzipLibrary();
            object.LoadBzip2Library();
        } catch (const ErrorHandler& e) {
            Broken("cannot load the pipeline's libraries: " + e.GetErrString());
        }
        CFileFind found;
        if (!found.FindEntry(path))
            Broken("the container just written is not found");
        found.FindNextFile();
        try {
            object.Run(found);
            ok = object.ResultOk();
        } catch (const ErrorHandler& e) {
            Violation("Run threw error " + std::to_string(e.GetErrCode()) + " though no break was asked for: " +
                      e.GetErrString());
        } catch (const std::exception& e) {
            Violation(std::string("Run threw a foreign exception: ") + e.what());
        } catch (...) {
            Violation("Run threw something that is no exception");
        }
    }
    Require(ok == (sink.Errors() == 0), "success and the error lines on the sink disagree");
    CheckSurroundings(f);
    CheckWorkFolder(f, c, plain, container, ok);
    EmptyFolder(f.work);
    return ok;
}

} // namespace tessarin::fuzz::container
