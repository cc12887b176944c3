// The file operations the pipeline's steps share: delete or wipe a file,
// put a finished temporary file under its name (wiping what it replaces when
// that held plain data), discard temporary files, and tell what a finished
// output could not take of the listed file.
#include "processing/MyObjectAes.h"

#include "foundation/ErrorHandler.h"
#include "foundation/MyFile.h"
#include "foundation/ShownName.h"
#include "platform/Files.h"
#include "scratch/TempFile.h"
#include "processing/OutputName.h"

#include <cerrno>
#include <optional>
#include <string>

namespace tessarin {

namespace {

// A deletion the system refused, with its reason.
ErrorHandler CannotDelete(const std::string& shown)
{
    return ErrorHandler(errc::DeleteFailed,
                        "Unable to delete '" + shown + "' (Read only file?)",
                        platform::ErrorText(platform::LastError()));
}

} // namespace

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
        file.Wipe();
    }
    file.Close();
    UpdateLine("[OK]\r\n", MyStream::LevelDetail);
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
    if (!m_replaceExisting)
        OutputName::Claim(target, madeFrom, mangled, platform::PathExists);
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
            if (!mangled || platform::LastError() != EEXIST || tries == OutputName::MaxMangledTries || !temp.IsPending())
                throw;
            target = OutputName::NextMangled(target);
        }
    }
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
        replaced.Wipe();
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
    const std::string shown = shownAs.empty() ? temp.ShownPath() : shownAs;
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
