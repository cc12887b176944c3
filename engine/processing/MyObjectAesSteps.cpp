// The steps of the per-file pipeline: encryption and decryption through a
// temporary file, compression before encryption and decompression after
// decryption, and the file operations they share. A failing step undoes what
// it created before it passes the error on.
#include "processing/MyObjectAes.h"

#include "foundation/ErrorHandler.h"
#include "foundation/MyFile.h"
#include "foundation/ShownName.h"
#include "platform/Files.h"
#include "platform/TempFile.h"
#include "processing/OutputName.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string>
#include <vector>

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

// The next name after a taken mangled one: the number counts on, the rest
// of the name stays.
std::string NextMangled(const std::string& path)
{
    const auto slash = path.rfind(platform::PathSeparator);
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    std::size_t end = start;
    while (end < path.size() && path[end] >= '0' && path[end] <= '9')
        ++end;
    const std::uint32_t number =
        end > start ? static_cast<std::uint32_t>(std::stoull(path.substr(start, end - start)) & 0xFFFFFFFFu) : 0;
    return path.substr(0, start) + std::to_string(static_cast<std::uint32_t>(number + 1u)) + path.substr(end);
}

constexpr int MaxMangledTries = 100000;

// A deletion the system refused, with its reason.
ErrorHandler CannotDelete(const std::string& shown)
{
    return ErrorHandler(errc::DeleteFailed,
                        "Unable to delete '" + shown + "' (" + platform::ErrorText(platform::LastError()) + ")");
}

} // namespace

void MyObjectAes::Encrypt(const std::string& source, std::string& target, std::uint32_t filter,
                          std::uint32_t nfSize, TempFile* intermediate)
{
    MyAesFiles codec(m_sink, &m_callBack);
    KeyCodec(codec);

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
        MyAesFiles::CheckEncryptable(in.GetSize(), m_blockSize, m_listedPath);
        target += EncryptedName(in.GetFullFilename());
        ClaimOutputName(target, m_listedPath, m_nameMangling);
        ShowLine("Encrypting " + ShownName(source) + " to " + ShownName(GetFilename(target, name)) + " ",
                 MyStream::LevelStep);
        // Created like every temporary file of a wiping run: what a
        // rollback removes is overwritten first.
        temp.emplace(TempFile::CreateBeside(target, m_wiping));
        m_processedSize = static_cast<std::uint32_t>(codec.Encode(in, temp->File(), m_mode, filter, nfSize));
        if (!intermediate)
            CheckUnchanged(in, before, source);
        TakeListedAttributes(*temp, m_listedStatus);
        if (!intermediate && PutOffCommit(temp, target, m_nameMangling, true, own, "[OK]\r\n"))
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
    MyAesFiles codec(m_sink, &m_callBack);
    KeyCodec(codec);

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
        if (codec.CheckHeader(in, m_mode) == MyAesFiles::HeaderNone)
            throw ErrorHandler(errc::NotAesFile, "Not AES file or wrong passwd!");
        const std::uint32_t filter = codec.GetFilterFromHeader();
        const std::uint32_t family = filter >> 16;
        if (family != FamilyNone && family != FamilyGzip && family != FamilyBzip2)
            throw ErrorHandler(errc::UnknownFilter, "This file was processed using an unknown filter!");
        // The stored name comes from the file, not from the user: it must
        // not lead outside the container's folder, and a compressed content
        // must carry its family's suffix.
        const std::string stored = codec.GetNameFromHeader();
        CheckStoredName(source, stored, filter);
        target += stored;
        const bool compressed = family != FamilyNone;
        const std::size_t suffix = compressed ? 3 : 0;  // ".gz", ".bz"
        // A name this file system does not take is shortened, never the
        // reason to fail (a compressed content is shortened as it is
        // decompressed).
        std::string final = target.substr(0, target.size() - suffix);
        const std::string wanted = final;
        const bool shortened = FitName(final);
        if (!compressed)
            target = final;
        ClaimOutputName(final, m_listedPath, false);

        const std::uint32_t length = codec.Decode(in, temp->File(), m_mode);

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

void MyObjectAes::CheckStoredName(const std::string& container, const std::string& name,
                                  std::uint32_t filter) const
{
    const std::string where = "Unsafe name '" + ShownName(name) + "' stored in '" + ShownName(container) + "'";
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
                                        std::uint64_t sourceSize, std::optional<TempFile>* intermediate)
{
    return CompressWith(GzipFamily, source, target, detected, sourceSize, intermediate);
}

std::uint64_t MyObjectAes::CompressBzip2(const std::string& source, std::string& target, Modality detected,
                                         std::uint64_t sourceSize, std::optional<TempFile>* intermediate)
{
    return CompressWith(Bzip2Family, source, target, detected, sourceSize, intermediate);
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
                                        std::string& target, Modality detected, std::uint64_t sourceSize,
                                        std::optional<TempFile>* intermediate)
{
    target = source + family.suffix;
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
        temp.emplace(TempFile::CreateBeside(target, m_wiping));
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

std::uint64_t MyObjectAes::DecompressWith(const CompressFamily& family, const std::string& source,
                                          std::string& target, TempFile* decrypted)
{
    // Decryption has refused such names already; without the suffix the
    // output would be the input itself.
    std::string name;
    if (!EndsWith(source, family.suffix) ||
        !IsPlainName(GetFilename(source.substr(0, source.size() - std::string(family.suffix).size()), name)))
        throw ErrorHandler(errc::UnsafeStoredName, "Unsafe name '" + ShownName(GetFilename(source, name)) +
                                                       "': it lacks the suffix '" + family.suffix +
                                                       "' of its compression!");
    target = source.substr(0, source.size() - std::string(family.suffix).size());
    const std::string wanted = target;
    const bool shortened = FitName(target);
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
        Move(*temp, target, m_listedPath, m_listedStatus, false, false);
        UpdateLine("[OK]\r\n", MyStream::LevelStep);
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

void MyObjectAes::Delete(const std::string& path)
{
    DeleteFile(path, platform::FileStatus{});
}

void MyObjectAes::DeleteFile(const std::string& path, const platform::FileStatus& read)
{
    const std::string shown = ShownName(path);
    const platform::FileIdentity& identity = read.identity;
    const auto refuse = [&] {
        return ErrorHandler(errc::DeleteFailed,
                            "Unable to delete '" + shown + "': it is no longer the file that was processed!");
    };
    // Checked at the last moment: an edit saved since the file was read is
    // the user's newest content, and it stays.
    const auto check = [&](const platform::FileStatus& now) {
        if (!identity.valid)
            return;
        if (!(now.identity == identity))
            throw refuse();
        if (!now.SameContentAs(read))
            throw SourceChangedError(path);
    };
    if (!m_wiping) {
        ShowLine("Deleting " + shown + " ", MyStream::LevelDetail);
        platform::FileStatus now;
        if (identity.valid && !platform::StatPath(path, now))
            throw refuse();
        check(now);
        if (!platform::RemoveFile(path))
            throw CannotDelete(shown);
        UpdateLine("[OK]\r\n", MyStream::LevelDetail);
        return;
    }
    // Only the file itself is overwritten: never what a link at its name
    // points to, never a file put in its place. The name goes first and the
    // content is overwritten through the handle that stays open: the blocks
    // are freed only at the close, after the overwrite. A deletion that
    // fails has touched nothing, and a wipe that fails leaves no damaged
    // file under the user's name.
    platform::FileStatus status;
    {
        MyFile probe(path, MyFile::OpenRead);
        platform::StatHandle(probe.GetHandle(), status);
        check(status);
        platform::MakeWritable(probe.GetHandle());
    }
    MyFile file(path, MyFile::OpenWipe);
    platform::FileStatus opened;
    if (!platform::StatHandle(file.GetHandle(), opened) || !(opened.identity == status.identity))
        throw refuse();
    if (opened.links > 1) {
        // Its content lives on under the other names, which the user did
        // not ask us to touch.
        ShowLine("Deleting " + shown + " (not wiped: the file has " + std::to_string(opened.links - 1) +
                     " other name(s)) ",
                 MyStream::LevelDetail);
        if (!platform::RemoveFile(path))
            throw CannotDelete(shown);
    } else {
        ShowLine("Wiping " + shown + " ", MyStream::LevelDetail);
        if (!platform::RemoveFile(path))
            throw CannotDelete(shown);
        file.Wipe(WipeRounds);
    }
    file.Close();
    UpdateLine("[OK]\r\n", MyStream::LevelDetail);
}

bool MyObjectAes::FitName(std::string& path)
{
    const auto slash = path.rfind(platform::PathSeparator);
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    bool shortened = false;
    const std::string name = OutputName::In(folder, path.substr(folder.size()), shortened);
    path = folder + name;
    return shortened;
}

void MyObjectAes::ShowShortened(const std::string& wanted, const std::string& used)
{
    std::string wantedName, usedName;
    GetFilename(wanted, wantedName);
    GetFilename(used, usedName);
    ShowLine("Name '" + ShownName(wantedName) + "' is too long for this file system: written as '" +
                 ShownName(usedName) + "'\r\n",
             MyStream::LevelStep);
}

void MyObjectAes::ClaimOutputName(std::string& target, const std::string& madeFrom, bool mangled) const
{
    if (m_replaceExisting)
        return;
    for (int tries = 0; target != madeFrom && platform::PathExists(target); ++tries) {
        if (!mangled || tries == MaxMangledTries)
            throw NameTakenError(target);
        target = NextMangled(target);
    }
}

std::optional<MyObjectAes::Replaced> MyObjectAes::Move(TempFile& temp, std::string& target,
                                                       const std::string& madeFrom,
                                                       const platform::FileStatus& madeFromStatus, bool mangled,
                                                       bool wipeReplaced)
{
    if (target == madeFrom) {
        if (!(wipeReplaced && m_wiping)) {
            temp.CommitOver(target, madeFromStatus);
            return std::nullopt;
        }
        // The replaced file is held open across the rename: its blocks stay
        // allocated until it is closed, so they are overwritten before
        // anything can reuse them, and a rename that fails leaves it
        // untouched. Checked before it is made writable, which changes its
        // times; from then on it is checked as it is after that.
        platform::FileStatus expected = madeFromStatus;
        {
            MyFile probe(target, MyFile::OpenRead);
            platform::FileStatus now;
            if (platform::StatHandle(probe.GetHandle(), now) && now.identity == madeFromStatus.identity &&
                !now.SameContentAs(madeFromStatus))
                throw SourceChangedError(target);
            platform::MakeWritable(probe.GetHandle());
        }
        Replaced replaced{MyFile(target, MyFile::OpenWipe), 0};
        platform::FileStatus opened;
        platform::StatHandle(replaced.file.GetHandle(), opened);
        // Another file in its place is not the one to wipe: it counts as
        // kept elsewhere.
        replaced.links = opened.identity == madeFromStatus.identity ? opened.links : 2;
        if (opened.identity == madeFromStatus.identity)
            expected = opened;
        temp.CommitOver(target, expected);
        return replaced;
    }
    if (m_replaceExisting) {
        temp.CommitAs(target);
        return std::nullopt;
    }
    for (int tries = 0;; ++tries) {
        try {
            temp.CommitAsNew(target);
            return std::nullopt;
        } catch (const ErrorHandler&) {
            // Taken since it was claimed: a mangled name moves on.
            if (!mangled || platform::LastError() != EEXIST || tries == MaxMangledTries || !temp.IsPending())
                throw;
            target = NextMangled(target);
        }
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

void MyObjectAes::WipeReplaced(MyFile& replaced, const std::string& path, std::uint64_t links)
{
    // links counts the name just replaced: other names keep the content.
    if (links > 1) {
        ShowLine("Not wiping " + ShownName(path) + ": the file it replaced has " + std::to_string(links - 1) +
                     " other name(s) ",
                 MyStream::LevelDetail);
    } else {
        ShowLine("Wiping " + ShownName(path) + " ", MyStream::LevelDetail);
        replaced.Wipe(WipeRounds);
    }
    replaced.Close();
    UpdateLine("[OK]\r\n", MyStream::LevelDetail);
}

void MyObjectAes::DeleteSource(const std::string& source, const std::string& result)
{
    if (source != result)
        DeleteFile(source, source == m_listedPath ? m_listedStatus : platform::FileStatus{});
}

void MyObjectAes::TakeListedAttributes(TempFile& temp, const platform::FileStatus& status)
{
    const platform::AttributesDropped dropped = temp.TakeAttributesOf(status, m_listedAttributes);
    m_dropped.setIdBits |= dropped.setIdBits;
    m_dropped.accessList |= dropped.accessList;
}

void MyObjectAes::ShowDropped(const std::string& original)
{
    if (m_dropped.setIdBits)
        ShowLine("Dropping the set-user-ID and set-group-ID bits of '" + ShownName(original) +
                     "': its owner or group cannot be kept\r\n",
                 MyStream::LevelDetail);
    if (m_dropped.accessList)
        ShowLine("Dropping the access list of '" + ShownName(original) +
                     "': it cannot be set here, and the permissions keep what all its entries allowed\r\n",
                 MyStream::LevelDetail);
    m_dropped = {};
}

void MyObjectAes::DiscardTemp(TempFile& temp, const std::string& shownAs)
{
    // Told by the name the log knows it under: the folder's temporary file
    // ("~aes.tmp"), or the file it stood for.
    std::string shown = shownAs;
    if (shown.empty()) {
        const auto slash = temp.Path().rfind(platform::PathSeparator);
        shown = (slash == std::string::npos ? std::string() : temp.Path().substr(0, slash + 1)) + TempShownName;
    }
    ShowLine((m_wiping ? "Wiping " : "Deleting ") + ShownName(shown) + " ", MyStream::LevelDetail);
    temp.File().Close();
    const bool removed = temp.Discard();
    UpdateLine(removed ? "[OK]\r\n" : "[FAILED]\r\n", MyStream::LevelDetail);
}

void MyObjectAes::DiscardIntermediate(TempFile& temp, const std::string& standsFor, bool rollingBack)
{
    // It never had a name of its own; it is told as the file it stands
    // for, unless that is the listed file itself, which stays (or whose own
    // deletion is told).
    const bool tell = standsFor != m_listedPath;
    if (tell)
        ShowLine((m_wiping ? "Wiping " : "Deleting ") + ShownName(standsFor) + " ", MyStream::LevelDetail);
    if (rollingBack) {
        const bool removed = temp.Discard();
        if (tell)
            UpdateLine(removed ? "[OK]\r\n" : "[FAILED]\r\n", MyStream::LevelDetail);
        return;
    }
    temp.Remove();
    if (tell)
        UpdateLine("[OK]\r\n", MyStream::LevelDetail);
}

} // namespace tessarin
