// The steps of the per-file pipeline: encryption and decryption through a
// temporary file, compression before encryption and decompression after
// decryption. A failing step undoes what it created before it passes the
// error on. The file operations they share are in MyObjectAesFileOps.cpp.
#include "processing/MyObjectAes.h"

#include "foundation/ErrorHandler.h"
#include "foundation/MyFile.h"
#include "foundation/ShownName.h"
#include "platform/Files.h"
#include "scratch/TempFile.h"
#include "processing/OutputName.h"
#include "processing/StoredName.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string>
#include <vector>

namespace tessarin {

namespace {

// The compressed output is the adapter's stream: a file that cannot be made
// for it is told in the adapter's words, with the system's reason beside.
TempFile CompressedOutput(const std::string& target, bool wipe)
{
    try {
        return TempFile::CreateBeside(target, wipe);
    } catch (const ErrorHandler& e) {
        if (e.GetErrCode() != errc::OpenFailed)
            throw;
        throw ErrorHandler(errc::StreamOpenFailed, "Unable to open '" + ShownName(target) + "'", e.GetReason());
    }
}

} // namespace

void MyObjectAes::Encrypt(const std::string& source, std::string& target, std::uint32_t filter,
                          std::uint32_t nfSize, TempFile* intermediate)
{
    MyAesFiles codec(m_sink, m_session.Binding());
    m_session.KeyCodec(codec);

    MyFile own;
    MyFile& in = intermediate ? intermediate->File() : own;
    platform::FileStatus before;
    std::optional<TempFile> temp;
    std::string name;
    try {
        if (intermediate) {
            // The compressed content stands for a file of the name source:
            // that name is stored and gives the output its name.
            in.Rewind();
            in.SetSize(static_cast<std::uint64_t>(platform::FileSize(in.GetHandle())));
            in.SetFileName(GetFilename(source, name));
        } else {
            own = OpenListed(source, before);
        }
        // A container that no decryption would take back is not written.
        MyAesFiles::CheckEncryptable(in.GetSize(), GetBlockSize(), m_listedPath);
        target += OutputName::Encrypted(in.GetFullFilename(), m_nameMangling, m_changeExtension);
        ClaimOutputName(target, m_listedPath, m_nameMangling);
        ShowLine("Encrypting " + ShownName(source) + " to " + ShownName(GetFilename(target, name)) + " ",
                 MyStream::LevelStep);
        // Created like every temporary file of a wiping run: what a
        // rollback removes is overwritten first.
        temp.emplace(TempFile::CreateBeside(target, m_wiping));
        m_processedSize = static_cast<std::uint32_t>(codec.Encode(in, temp->File(), GetMode(), filter, nfSize));
        if (!intermediate)
            CheckUnchanged(in, before, source);
        TakeListedAttributes(*temp, m_listedStatus);
        // Made from a compressed intermediate or not, the output waits for
        // its folder's shared commit.
        if (PutOffCommit(temp, target, m_nameMangling, true, own, "[OK]\r\n"))
            return;
        if (!intermediate)
            in.Close();
        // A file encrypted under its own name is replaced by its container:
        // its plain bytes must not stay behind in freed blocks.
        std::optional<Replaced> replaced = Move(*temp, target, m_listedPath, m_listedStatus, m_nameMangling, true);
        UpdateLine("[OK]\r\n", MyStream::LevelStep);
        if (replaced)
            WipeReplaced(replaced->file, target, replaced->links);
    } catch (const ErrorHandler&) {
        Progress(static_cast<double>(in.GetSize()) / (filter != 0 ? 2048.0 : 1024.0));
        if (!intermediate)
            in.Close();
        if (temp)
            temp->File().Close();
        const bool tempPending = temp && temp->IsPending();
        const bool intermediatePending = intermediate && intermediate->IsPending();
        if (tempPending || intermediatePending)
            ShowLine("\r\nRollback: ", MyStream::LevelDetail);
        if (tempPending)
            DiscardTemp(*temp);
        // The compressed intermediate is of no use without its container,
        // whatever stopped the encryption.
        if (intermediatePending)
            DiscardIntermediate(*intermediate, source, true);
        throw;
    }
}

void MyObjectAes::Decrypt(const std::string& source, std::string& target, std::optional<TempFile>* held)
{
    MyAesFiles codec(m_sink, m_session.Binding());
    m_session.KeyCodec(codec);

    MyFile in;
    std::optional<TempFile> temp;
    try {
        platform::FileStatus status;
        in = OpenListed(source, status);
        // The plain content is wiped with the rest when it is not kept. The
        // temporary file is there before the header is read, so that a file
        // that turns out to be no container is rolled back like any other.
        temp.emplace(TempFile::CreateBeside(target + TempShownName, m_wiping));
        ShowLine("Decrypting " + ShownName(source) + " ", MyStream::LevelStep);
        // The header tells what the container holds and where it goes: all
        // of that is checked before anything is written.
        if (codec.CheckHeader(in, GetMode()) == MyAesFiles::HeaderNone)
            throw ErrorHandler(errc::NotAesFile, "Not AES file or wrong passwd!");
        const std::uint32_t filter = codec.GetFilterFromHeader();
        CompressionFamily::CheckKnown(filter);
        const std::string stored = codec.GetNameFromHeader();
        StoredName::Check(source, stored, filter);
        const bool compressed = CompressionFamily::OfFilter(filter) != nullptr;
        // A name this file system does not take is shortened, never the
        // reason to fail (a compressed content is shortened as it is
        // decompressed).
        std::string final = target + StoredName::Final(stored, filter);
        target += stored;
        const std::string wanted = final;
        const bool shortened = OutputName::Fit(final);
        if (!compressed)
            target = final;
        ClaimOutputName(final, m_listedPath, false);

        const std::uint32_t length = codec.Decode(in, temp->File(), GetMode());

        m_processedSize = length;
        m_filter = filter;
        m_nfSize = codec.GetNfSizeFromHeader();
        if (compressed && held) {
            in.Close();
            // Still compressed: it is decompressed from here, never put
            // under a name of its own.
            UpdateLine("to " + ShownName(stored) + " [OK]\r\n", MyStream::LevelStep);
            held->emplace(std::move(*temp));
            return;
        }
        TakeListedAttributes(*temp, m_listedStatus);
        if (!compressed && PutOffCommit(temp, target, false, false, in, "to " + ShownName(stored) + " [OK]\r\n")) {
            if (shortened)
                ShowShortened(wanted, target);
            return;
        }
        in.Close();
        Move(*temp, target, m_listedPath, m_listedStatus, false, false);
        UpdateLine("to " + ShownName(stored) + " [OK]\r\n", MyStream::LevelStep);
        if (shortened)
            ShowShortened(wanted, target);
    } catch (const ErrorHandler&) {
        Progress(static_cast<double>(in.GetSize()) / 1024.0);
        in.Close();
        if (temp)
            temp->File().Close();
        if (temp && temp->IsPending()) {
            ShowLine("\r\nRollback: ", MyStream::LevelDetail);
            DiscardTemp(*temp);
        }
        throw;
    }
}

std::uint64_t MyObjectAes::CompressGzip(const std::string& source, std::string& target, Modality detected,
                                        std::uint64_t sourceSize, std::optional<TempFile>* intermediate)
{
    return CompressWith(*CompressionFamily::Of(FamilyGzip), source, target, detected, sourceSize, intermediate);
}

std::uint64_t MyObjectAes::CompressBzip2(const std::string& source, std::string& target, Modality detected,
                                         std::uint64_t sourceSize, std::optional<TempFile>* intermediate)
{
    return CompressWith(*CompressionFamily::Of(FamilyBzip2), source, target, detected, sourceSize, intermediate);
}

std::uint64_t MyObjectAes::DecompressGzip(const std::string& source, std::string& target, TempFile* decrypted)
{
    return DecompressWith(*CompressionFamily::Of(FamilyGzip), source, target, decrypted);
}

std::uint64_t MyObjectAes::DecompressBzip2(const std::string& source, std::string& target, TempFile* decrypted)
{
    return DecompressWith(*CompressionFamily::Of(FamilyBzip2), source, target, decrypted);
}

std::uint64_t MyObjectAes::CompressWith(const CompressionFamily& family, const std::string& source,
                                        std::string& target, Modality detected, std::uint64_t sourceSize,
                                        std::optional<TempFile>* intermediate)
{
    target = family.Suffixed(source);
    std::string name;
    ShowLine(family.compressWord + ShownName(source) + " to " + ShownName(GetFilename(target, name)) + " ",
             MyStream::LevelStep);

    MyFile in;
    std::optional<TempFile> temp;
    try {
        if (detected == Decryption)
            throw ErrorHandler(errc::AlreadyEncrypted, "Already encrypted!");
        platform::FileStatus before;
        in = OpenListed(source, before);
        // Compressed plain text: wiped when it goes, whichever way.
        temp.emplace(CompressedOutput(target, m_wiping));
        const std::uint64_t length = family.compress(in, temp->File(), m_sink, GetFilterParam());
        if (length != before.size)
            throw ErrorHandler(errc::SourceChanged, "File '" + ShownName(source) + "' changed while it was read!");
        CheckUnchanged(in, before, source);
        in.Close();
        UpdateLine("[OK]\r\n", MyStream::LevelStep);
        if (intermediate) {
            intermediate->emplace(std::move(*temp));
        } else {
            TakeListedAttributes(*temp, before);
            temp->CommitAsNew(target);
        }
        return length;
    } catch (const ErrorHandler& e) {
        in.Close();
        if (temp)
            temp->File().Close();
        // A break takes back the compressed file; after another failure it
        // is of no use either, and goes without a word.
        if (temp && temp->IsPending()) {
            if (e.GetErrCode() == errc::BreakByUser) {
                ShowLine("\r\nRollback: ", MyStream::LevelDetail);
                DiscardTemp(*temp, target);
            } else {
                temp->Discard();
            }
        }
        Progress(static_cast<double>(sourceSize) / 1024.0 / 2.0);
        throw;
    }
}

std::uint64_t MyObjectAes::DecompressWith(const CompressionFamily& family, const std::string& source,
                                          std::string& target, TempFile* decrypted)
{
    // Decryption has refused such names already.
    StoredName::CheckCompressed(source, family);
    target = source.substr(0, source.size() - family.SuffixLength());
    const std::string wanted = target;
    const bool shortened = OutputName::Fit(target);
    std::string name;
    ShowLine(family.decompressWord + ShownName(source) + " to " + ShownName(GetFilename(target, name)) + " ",
             MyStream::LevelStep);

    MyFile own;
    MyFile& in = decrypted ? decrypted->File() : own;
    std::optional<TempFile> temp;
    try {
        if (decrypted) {
            // Read back from its start, under the name it stands for, so
            // that messages name that file.
            in.Rewind();
            in.SetSize(static_cast<std::uint64_t>(platform::FileSize(in.GetHandle())));
            in.SetFileName(GetFilename(source, name));
        } else {
            platform::FileStatus status;
            own = OpenListed(source, status);
        }
        ClaimOutputName(target, m_listedPath, false);
        temp.emplace(TempFile::CreateBeside(target, m_wiping));
        const std::uint64_t length = family.decompress(in, temp->File(), m_sink, m_nfSize);
        if (!decrypted)
            in.Close();
        TakeListedAttributes(*temp, m_listedStatus);
        MyFile none;  // the listed file stays with the run that opened it
        if (!PutOffCommit(temp, target, false, false, none, "[OK]\r\n")) {
            Move(*temp, target, m_listedPath, m_listedStatus, false, false);
            UpdateLine("[OK]\r\n", MyStream::LevelStep);
        }
        if (shortened)
            ShowShortened(wanted, target);
        // The compressed input is gone either way: under its own name, or
        // as the temporary file it was held in.
        if (decrypted)
            DiscardIntermediate(*decrypted, source, false);
        else
            Delete(source);
        return length;
    } catch (const ErrorHandler& e) {
        if (!decrypted)
            in.Close();
        if (temp)
            temp->File().Close();
        Progress(static_cast<double>(m_processedSize) / 1024.0 / 2.0);
        ShowLine("Rollback: ", MyStream::LevelDetail);
        if (decrypted && decrypted->IsPending())
            DiscardIntermediate(*decrypted, source, true);
        // The partial output never had its name: after a break it is told
        // as the file it would have been, after another failure it goes
        // without a word.
        if (temp && temp->IsPending()) {
            if (e.GetErrCode() == errc::BreakByUser)
                DiscardTemp(*temp, target);
            else
                temp->Discard();
        }
        throw;
    }
}

bool MyObjectAes::PutOffCommit(std::optional<TempFile>& temp, const std::string& target, bool mangled,
                               bool wipeReplaced, MyFile& source, const std::string& okText)
{
    if (!m_commit.IsSharing() || !temp || !temp->IsPending())
        return false;
    const auto slash = target.rfind(platform::PathSeparator);
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    if (!m_commit.IsEmpty() && folder != m_commit.Folder())
        CommitPutOff();
    m_commit.PutOff(GroupCommit::Item{std::move(*temp), std::move(source), target, m_listedPath, m_listedStatus,
                                      mangled, wipeReplaced},
                    folder, okText);
    temp.reset();
    return true;
}

void MyObjectAes::CommitPutOff()
{
    GroupCommit::Steps steps;
    steps.putInPlace = [this](GroupCommit::Item& item) {
        std::optional<Replaced> replaced =
            Move(item.temp, item.target, item.madeFrom, item.madeFromStatus, item.mangled, item.wipeReplaced);
        if (replaced)
            WipeReplaced(replaced->file, item.target, replaced->links);
    };
    steps.deleteOriginal = [this](GroupCommit::Item& item) {
        try {
            DeleteFile(item.madeFrom, item.madeFromStatus);
        } catch (const ErrorHandler&) {
            // As when the run deletes it itself: while the original is
            // there and whole, the new output can go.
            if (platform::IdentifyFile(item.madeFrom) == item.madeFromStatus.identity) {
                ShowLine("Rollback: ", MyStream::LevelDetail);
                Delete(item.target);
            }
            throw;
        }
    };
    steps.discard = [this](TempFile& temp) {
        ShowLine("\r\nRollback: ", MyStream::LevelDetail);
        DiscardTemp(temp);
    };
    m_commit.Commit(m_wiping, steps);
}

} // namespace tessarin
