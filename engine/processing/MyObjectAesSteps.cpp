// The steps of the per-file pipeline: encryption and decryption through a
// temporary file, compression before encryption and decompression after
// decryption, and the file operations they share. A failing step undoes what
// it created before it passes the error on.
#include "processing/MyObjectAes.h"

#include "foundation/ErrorHandler.h"
#include "foundation/MyFile.h"
#include "platform/Files.h"
#include "platform/TempFile.h"

#include <optional>
#include <string>

namespace tessarin {

struct pipeline::CompressFamily {
    const char* suffix;
    const char* compressWord;
    const char* decompressWord;
    std::uint64_t (*compress)(MyFile&, MyFile&, MyStream*, int);
    std::uint64_t (*decompress)(MyFile&, MyFile&, MyStream*, std::uint32_t);
};

namespace {

std::uint64_t GzipCompress(MyFile& s, MyFile& t, MyStream* sink, int level)
{
    return MyCompressGzip::Compress(s, t, sink, level);
}
std::uint64_t GzipDecompress(MyFile& s, MyFile& t, MyStream* sink, std::uint32_t nf)
{
    return MyCompressGzip::Decompress(s, t, sink, nf);
}
std::uint64_t Bzip2Compress(MyFile& s, MyFile& t, MyStream* sink, int level)
{
    return MyCompressBzip2::Compress(s, t, sink, level);
}
std::uint64_t Bzip2Decompress(MyFile& s, MyFile& t, MyStream* sink, std::uint32_t nf)
{
    return MyCompressBzip2::Decompress(s, t, sink, nf);
}

const pipeline::CompressFamily GzipFamily{".gz", "Deflating ", "Inflating ", GzipCompress, GzipDecompress};
const pipeline::CompressFamily Bzip2Family{".bz", "BZipping ", "BUnzipping ", Bzip2Compress, Bzip2Decompress};

bool EndsWith(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// A name fit to be created in the container's own folder: no folder part,
// nothing that names the folder itself or its parent.
bool IsPlainName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find(platform::PathSeparator) == std::string::npos &&
           name.find('\0') == std::string::npos;
}

// Names from a container are shown in messages; control bytes in them must
// not break the log's lines.
std::string Printable(const std::string& name)
{
    std::string shown = name;
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    }
    return shown;
}

ErrorHandler NameTaken(const std::string& path)
{
    return ErrorHandler(errc::OpenFailed,
                        "Unable to create '" + path + "': a file of that name already exists!");
}

} // namespace

void MyObjectAes::Encrypt(const std::string& source, std::string& target, std::uint32_t filter,
                          std::uint32_t nfSize)
{
    MyAesFiles codec(m_sink, &m_callBack);
    KeyCodec(codec);

    MyFile in;
    std::optional<TempFile> temp;
    try {
        in.Open(source, MyFile::OpenRead);
        target += EncryptedName(in);
        temp.emplace(TempFile::CreateBeside(target));
        std::string name;
        ShowLine("Encrypting " + source + " to " + GetFilename(target, name) + " ", MyStream::LevelStep);
        m_processedSize = static_cast<std::uint32_t>(codec.Encode(in, temp->File(), m_mode, filter, nfSize));
        UpdateLine("[OK]\r\n", MyStream::LevelStep);
        in.Close();
        temp->TakePermissionsOf(source);
        // A file encrypted under its own name is replaced by its container:
        // its plain bytes must not stay behind in freed blocks.
        Move(*temp, target, target == source);
    } catch (const ErrorHandler&) {
        Progress(static_cast<double>(in.GetSize()) / (filter != 0 ? 2048.0 : 1024.0));
        in.Close();
        if (temp)
            temp->File().Close();
        ShowLine("\r\nRollback: ", MyStream::LevelDetail);
        if (temp && temp->IsPending())
            DiscardTemp(*temp);
        // The compressed intermediate is of no use without its container,
        // whatever stopped the encryption.
        if (filter != 0 && platform::PathExists(source))
            Delete(source);
        throw;
    }
}

void MyObjectAes::Decrypt(const std::string& source, std::string& target, std::optional<TempFile>* held)
{
    MyAesFiles codec(m_sink, &m_callBack);
    KeyCodec(codec);

    MyFile in;
    std::optional<TempFile> temp;
    try {
        in.Open(source, MyFile::OpenRead);
        temp.emplace(TempFile::CreateBeside(target));
        ShowLine("Decrypting " + source + " ", MyStream::LevelStep);
        const std::uint32_t length = codec.Decode(in, temp->File(), m_mode);
        const std::uint32_t filter = codec.GetFilterFromHeader();
        in.Close();

        // The stored name comes from the file, not from the user: it must
        // not lead outside the container's folder, and a compressed content
        // must carry its family's suffix so that decompressing it cannot
        // write onto itself.
        const std::string stored = temp->File().GetFileName();
        CheckStoredName(source, stored, filter);
        target += stored;
        // A compressed content is an intermediate that is deleted after
        // decompression: it may replace the container, never a user's file.
        if ((filter >> 16) != FamilyNone && target != source && platform::PathExists(target))
            throw NameTaken(target);

        m_processedSize = length;
        m_filter = filter;
        m_nfSize = codec.GetNfSizeFromHeader();
        UpdateLine("to " + stored + " [OK]\r\n", MyStream::LevelStep);
        temp->TakePermissionsOf(source);
        if (held && (filter >> 16) != FamilyNone && target == source) {
            // Put in place now, the compressed content would take the
            // container's place before the decompression has succeeded.
            temp->File().Close();
            held->emplace(std::move(*temp));
            return;
        }
        Move(*temp, target, false);
    } catch (const ErrorHandler&) {
        Progress(static_cast<double>(in.GetSize()) / 1024.0);
        in.Close();
        if (temp)
            temp->File().Close();
        ShowLine("\r\nRollback: ", MyStream::LevelDetail);
        if (temp && temp->IsPending())
            DiscardTemp(*temp);
        throw;
    }
}

void MyObjectAes::CheckStoredName(const std::string& container, const std::string& name,
                                  std::uint32_t filter) const
{
    const std::string where = "Unsafe name '" + Printable(name) + "' stored in '" + container + "'";
    if (!IsPlainName(name))
        throw ErrorHandler(errc::UnsafeStoredName, where + "!");
    const CompressFamily* family = nullptr;
    if ((filter >> 16) == FamilyGzip)
        family = &GzipFamily;
    else if ((filter >> 16) == FamilyBzip2)
        family = &Bzip2Family;
    if (family && (!EndsWith(name, family->suffix) ||
                   !IsPlainName(name.substr(0, name.size() - std::string(family->suffix).size()))))
        throw ErrorHandler(errc::UnsafeStoredName,
                           where + ": it lacks the suffix '" + family->suffix + "' of its compression!");
}


std::uint64_t MyObjectAes::CompressGzip(const std::string& source, std::string& target, Modality detected,
                                        std::uint64_t sourceSize)
{
    return CompressWith(GzipFamily, source, target, detected, sourceSize);
}

std::uint64_t MyObjectAes::CompressBzip2(const std::string& source, std::string& target, Modality detected,
                                         std::uint64_t sourceSize)
{
    return CompressWith(Bzip2Family, source, target, detected, sourceSize);
}

std::uint64_t MyObjectAes::DecompressGzip(const std::string& source, std::string& target, TempFile* decrypted)
{
    return DecompressWith(GzipFamily, source, target, decrypted);
}

std::uint64_t MyObjectAes::DecompressBzip2(const std::string& source, std::string& target, TempFile* decrypted)
{
    return DecompressWith(Bzip2Family, source, target, decrypted);
}

std::uint64_t MyObjectAes::CompressWith(const CompressFamily& family, const std::string& source,
                                        std::string& target, Modality detected, std::uint64_t sourceSize)
{
    target = source + family.suffix;
    std::string name;
    ShowLine(family.compressWord + source + " to " + GetFilename(target, name) + " ", MyStream::LevelStep);

    MyFile in;
    std::optional<TempFile> temp;
    try {
        if (detected == Decryption)
            throw ErrorHandler(errc::AlreadyEncrypted, "Already encrypted!");
        // The intermediate is deleted after encryption: it must never take
        // the place of a file the user already has.
        if (platform::PathExists(target))
            throw NameTaken(target);
        in.Open(source, MyFile::OpenRead);
        temp.emplace(TempFile::CreateBeside(target));
        const std::uint64_t length = family.compress(in, temp->File(), m_sink, GetFilterParam());
        in.Close();
        temp->TakePermissionsOf(source);
        temp->CommitAsNew(target);
        UpdateLine("[OK]\r\n", MyStream::LevelStep);
        return length;
    } catch (const ErrorHandler& e) {
        in.Close();
        if (temp)
            temp->File().Close();
        if (e.GetErrCode() == errc::BreakByUser) {
            ShowLine("\r\nRollback: ", MyStream::LevelDetail);
            if (temp && temp->IsPending())
                DiscardTemp(*temp);
        }
        Progress(static_cast<double>(sourceSize) / 1024.0 / 2.0);
        throw;
    }
}

std::uint64_t MyObjectAes::DecompressWith(const CompressFamily& family, const std::string& source,
                                          std::string& target, TempFile* decrypted)
{
    // Decryption has refused such names already; without the suffix the
    // output would be the input itself.
    std::string name;
    if (!EndsWith(source, family.suffix) ||
        !IsPlainName(GetFilename(source.substr(0, source.size() - std::string(family.suffix).size()), name)))
        throw ErrorHandler(errc::UnsafeStoredName, "Unsafe name '" + Printable(GetFilename(source, name)) +
                                                       "': it lacks the suffix '" + family.suffix +
                                                       "' of its compression!");
    target = source.substr(0, source.size() - std::string(family.suffix).size());
    ShowLine(family.decompressWord + source + " to " + GetFilename(target, name) + " ", MyStream::LevelStep);

    MyFile in;
    std::optional<TempFile> temp;
    try {
        in.Open(decrypted ? decrypted->Path() : source, MyFile::OpenRead);
        temp.emplace(TempFile::CreateBeside(target));
        const std::uint64_t length = family.decompress(in, temp->File(), m_sink, m_nfSize);
        in.Close();
        temp->TakePermissionsOf(decrypted ? decrypted->Path() : source);
        Move(*temp, target, false);
        UpdateLine("[OK]\r\n", MyStream::LevelStep);
        // The compressed input is gone either way: under its own name, or
        // as the container whose place it would have taken.
        Delete(source);
        if (decrypted)
            decrypted->Discard();
        return length;
    } catch (const ErrorHandler& e) {
        in.Close();
        if (temp)
            temp->File().Close();
        Progress(static_cast<double>(m_processedSize) / 1024.0 / 2.0);
        ShowLine("Rollback: ", MyStream::LevelDetail);
        if (decrypted) {
            if (decrypted->IsPending())
                DiscardTemp(*decrypted);
        } else if (platform::PathExists(source)) {
            Delete(source);
        }
        if (e.GetErrCode() == errc::BreakByUser && temp && temp->IsPending())
            DiscardTemp(*temp);
        throw;
    }
}

void MyObjectAes::Delete(const std::string& path)
{
    platform::MakeWritable(path);
    if (!m_wiping) {
        ShowLine("Deleting " + path + " ", MyStream::LevelDetail);
        if (!platform::RemoveFile(path))
            throw ErrorHandler(errc::DeleteFailed, "Unable to delete '" + path + "' (Read only file?)");
    } else {
        // The name goes first and the content is overwritten through the
        // handle that stays open: the blocks are freed only at the close,
        // after the overwrite. A deletion that fails has touched nothing,
        // and a wipe that fails leaves no damaged file under the user's name.
        MyFile file(path, MyFile::OpenWipe);
        ShowLine("Wiping " + path + " ", MyStream::LevelDetail);
        if (!platform::RemoveFile(path))
            throw ErrorHandler(errc::DeleteFailed, "Unable to delete '" + path + "' (Read only file?)");
        file.Wipe(WipeRounds);
        file.Close();
    }
    UpdateLine("[OK]\r\n", MyStream::LevelDetail);
}

void MyObjectAes::Move(TempFile& from, const std::string& to, bool wipeReplaced)
{
    if (!(wipeReplaced && m_wiping)) {
        from.CommitAs(to);
        return;
    }
    // The replaced file is held open across the rename: its blocks stay
    // allocated until it is closed, so they are overwritten before anything
    // can reuse them, and a rename that fails leaves it untouched.
    platform::MakeWritable(to);
    MyFile replaced(to, MyFile::OpenWipe);
    from.CommitAs(to);
    ShowLine("Wiping " + to + " ", MyStream::LevelDetail);
    replaced.Wipe(WipeRounds);
    replaced.Close();
    UpdateLine("[OK]\r\n", MyStream::LevelDetail);
}

void MyObjectAes::DeleteSource(const std::string& source, const std::string& result)
{
    if (source != result)
        Delete(source);
}

void MyObjectAes::DiscardTemp(TempFile& temp)
{
    temp.File().Close();
    Delete(temp.Path());
    temp.Forget();
}

} // namespace tessarin
