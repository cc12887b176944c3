#include "processing/MyObjectAes.h"

#include "faults/FaultInjection.h"
#include "foundation/ErrorHandler.h"
#include "scratch/LeftoverSweep.h"
#include "foundation/MyFile.h"
#include "scratch/RunJournal.h"
#include "foundation/ShownName.h"
#include "platform/Files.h"
#include "scratch/TempFile.h"
#include "processing/OutputName.h"
#include "selection/MyFileFound.h"

#include <algorithm>
#include <string>
#include <utility>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace tessarin {

namespace {

// Every file's codec takes its chunk buffers afresh. With the allocator's
// defaults a batch of small files hands those pages back to the system
// after each file and faults them in again for the next one, which costs
// more than the cipher itself; a few MiB kept for reuse stop that.
void KeepBuffersForReuse()
{
#if defined(__GLIBC__)
    static const bool once = [] {
        ::mallopt(M_MMAP_THRESHOLD, 1 << 20);
        ::mallopt(M_TRIM_THRESHOLD, 8 << 20);
        return true;
    }();
    (void)once;
#endif
}

} // namespace

MyObjectAes::MyObjectAes(MyStream* sink) : m_commit(sink), m_sink(sink)
{
    KeepBuffersForReuse();
}

MyObjectAes::~MyObjectAes()
{
    try {
        // A worker's outputs are the batch's to commit, or to drop.
        if (!m_handOff)
            CommitPutOff();
    } catch (...) {
        // Whatever could not be committed stays a temporary file, removed
        // by its own destructor: the files it was made from are untouched.
    }
    CloseLibrary();
}

void MyObjectAes::ShareWork(bool on)
{
    if (!on)
        CommitPutOff();
    m_commit.SetSharing(on);
}

MyObjectAes MyObjectAes::MakeWorker(MyStream* sink)
{
    ClearLeftovers();
    MyObjectAes worker(*this);
    worker.SetSink(sink);
    worker.m_handOff = true;
    worker.m_commit.SetHandOff(true);
    return worker;
}

void MyObjectAes::SetSink(MyStream* sink)
{
    m_sink = sink;
    m_commit.SetSink(sink);
}

void MyObjectAes::Adopt(GroupCommit::Handed handed, const std::string& folder)
{
    // As Run and PutOffCommit would: outputs of another folder wait for no
    // commit of this one.
    if (!m_commit.IsEmpty() && (folder != m_commit.Folder() || (handed.item && handed.folder != m_commit.Folder())))
        CommitPutOff();
    m_commit.Adopt(std::move(handed));
    if (m_commit.IsFull())
        CommitPutOff();
}

void MyObjectAes::SetFilterFamily(int family)
{
    m_filter = CompressionFamily::FilterWord(family, m_filter);
}

void MyObjectAes::SetFilterParam(int parameter)
{
    m_filter = CompressionFamily::FilterWord(GetFilterFamily(), static_cast<std::uint32_t>(parameter));
}

void MyObjectAes::SetFilterSensitive(bool on)
{
    m_exclusions.SetSensitive(on);
}

bool MyObjectAes::GetFilterSensitive() const
{
    return m_exclusions.GetSensitive();
}

void MyObjectAes::SetFilterParse(const std::string& list)
{
    m_exclusions.Parse(list);
}

std::string MyObjectAes::GetFilterParse() const
{
    return m_exclusions.GetPattern();
}

void MyObjectAes::SetPasswd(const std::string& password, KeyLen keyLength, BlockSize blockSize)
{
    m_session.SetPasswd(password, keyLength, blockSize);
}

void MyObjectAes::LoadLibraryA(unsigned blockBytes)
{
    m_session.LoadLibraryA(blockBytes);
}

void MyObjectAes::LoadGzipLibrary()
{
    m_session.LoadCompressionLibrary(FamilyGzip);
}

void MyObjectAes::LoadBzip2Library()
{
    m_session.LoadCompressionLibrary(FamilyBzip2);
}

void MyObjectAes::CloseLibrary()
{
    m_session.CloseLibrary();
}

MyObjectAes::Modality MyObjectAes::GetModality(const std::string& path)
{
    MyAesFiles codec(m_sink, m_session.Binding());
    m_session.KeyCodec(codec);
    platform::FileStatus status;
    MyFile file = OpenListed(path, status);
    const bool plain = codec.CheckHeader(file, GetMode()) == MyAesFiles::HeaderNone;
    HandBack(file, path);
    return plain ? Encryption : Decryption;
}

MyFile MyObjectAes::OpenListed(const std::string& path, platform::FileStatus& status)
{
    if (path == m_listedPath && m_listed.file.IsOpen()) {
        // The handle opened at the start of the run: every step reads the
        // very file that was checked then, and none opens it again.
        MyFile file = std::move(m_listed.file);
        file.Rewind();
        status = m_listedStatus;
        return file;
    }
    // Opened without following a link and without waiting on a FIFO: only a
    // regular file opens at all.
    MyFile file(path, MyFile::OpenRead);
    if (!file.StatusAtOpen(status))
        throw ErrorHandler(errc::OpenFailed, "Unable to open file '" + ShownName(path) + "'");
    if (path == m_listedPath && m_listedIdentity.valid && !(status.identity == m_listedIdentity))
        throw ErrorHandler(errc::OpenFailed, "Unable to open file '" + ShownName(path) + "'",
                           "another file has taken its name since it was listed");
    return file;
}

void MyObjectAes::HandBack(MyFile& file, const std::string& path)
{
    if (path == m_listedPath && file.IsOpen() && !m_listed.file.IsOpen())
        m_listed.file = std::move(file);
}

void MyObjectAes::CheckUnchanged(const MyFile& file, const platform::FileStatus& before, const std::string& shown)
{
    platform::FileStatus after;
    if (!platform::StatHandle(file.GetHandle(), after) || !after.SameContentAs(before))
        throw ErrorHandler(errc::SourceChanged, "File '" + ShownName(shown) + "' changed while it was read!");
}

std::string& MyObjectAes::GetFilename(const std::string& path, std::string& out)
{
    out = OutputName::NameOf(path);
    return out;
}

void MyObjectAes::ClearLeftovers()
{
    // Runs that were killed leave their own files behind, recorded in their
    // journals; the first file of a batch clears away those no run holds any
    // more, wherever they are.
    if (std::exchange(m_clearedLeftovers, true))
        return;
    LeftoverSweep::Clear(RunJournal::DefaultFolder(), m_wiping, m_sink);
}

void MyObjectAes::Run(const CFileFind& found)
{
    const MyFileFound file(found);
    const std::string& original = file.GetPathFile();
    const std::string& folder = file.GetAbsPath();
    m_resultOk = false;
    m_processedSize = 0;
    m_listedPath = original;
    const FaultInjection::AtWork atWork(m_listedPath);
    m_listedIdentity = file.GetIdentity();
    m_listedStatus = platform::FileStatus{};
    m_listedAttributes.clear();
    m_dropped = {};
    m_listed.file.Close();
    m_resultPending = false;
    m_lastDirection = Automatic;
    // Outputs wait for their shared commit only as long as the run stays in
    // their folder.
    if (!m_commit.IsEmpty() && folder != m_commit.Folder())
        CommitPutOff();
    ClearLeftovers();
    m_commit.BeginFile();
    // Whatever way the run ends, the handle goes with it.
    struct CloseListed {
        MyFile& file;
        ~CloseListed() { file.Close(); }
    } closeListed{m_listed.file};
    try {
        // The container records 32-bit lengths: nothing larger is either a
        // container or a file to encrypt. Refused before reading, writing or
        // deleting anything; the encryption step refuses a content whose
        // container would be too large before it writes.
        MyAesFiles::CheckDecryptable(file.GetFileSize64(), original);
        // Every later step acts on this file: the one listed, as it is now,
        // read through this one handle.
        m_listed.file = OpenListed(original, m_listedStatus);
        m_listedIdentity = m_listedStatus.identity;
        // Another run's temporary file, listed while that run is at work in
        // the same folder, is no user's file: taking it up would break that
        // run's commit.
        if (platform::LockedByOthers(m_listed.file.GetHandle()) &&
            LeftoverSweep::RecordedByRunAtWork(RunJournal::DefaultFolder(), m_listedIdentity))
            throw ErrorHandler(errc::OpenFailed, "Unable to open file '" + ShownName(original) + "'",
                               "it is a temporary file of another run at work");
        m_listedAttributes = platform::ReadExtendedAttributes(m_listed.file.GetHandle());
        std::string source = original;
        std::string target = folder;
        const Modality detected = GetModality(source);
        const Modality direction = m_modality == Automatic ? detected : m_modality;
        m_lastDirection = direction;

        if (direction == Encryption) {
            const CompressionFamily* family = CompressionFamily::OfFilter(m_filter);
            if (GetFilterFamily() == FamilyNone || (family && m_exclusions.Search(file.GetFileName()))) {
                Encrypt(source, target, 0, 0);
            } else if (family) {
                // Refused before any work when the output could not take its
                // name: the compressed content stands for original + suffix.
                std::string output =
                    folder + OutputName::Encrypted(family->Suffixed(original), m_nameMangling, m_changeExtension);
                ClaimOutputName(output, original, m_nameMangling);
                std::optional<TempFile> intermediate;
                const std::uint64_t nfSize =
                    CompressWith(*family, source, target, detected, file.GetFileSize64(), &intermediate);
                const std::string compressed = target;
                target = folder;
                Encrypt(compressed, target, m_filter, static_cast<std::uint32_t>(nfSize), &*intermediate);
                DiscardIntermediate(*intermediate, compressed, false);
            } else {
                throw ErrorHandler(errc::UnknownFilter, "This file was processed using an unknown filter!");
            }
            if (GroupCommit::Item* putOff = m_commit.Current()) {
                putOff->deleteOriginal = m_deleteOrig && original != target;
            } else if (m_deleteOrig) {
                try {
                    DeleteSource(original, target);
                } catch (...) {
                    // While the original is still there it is whole (a
                    // wiping deletion overwrites only after the name is
                    // gone), and the new output can go. Otherwise the output
                    // is the only copy and stays.
                    if (platform::IdentifyFile(original) == m_listedIdentity) {
                        ShowLine("Rollback: ", MyStream::LevelDetail);
                        Delete(target);
                    }
                    throw;
                }
            }
            m_resultOk = true;
        } else if (direction == Decryption) {
            std::optional<TempFile> held;
            Decrypt(source, target, &held);
            bool containerGone = false;
            if (const CompressionFamily* family = CompressionFamily::OfFilter(m_filter)) {
                const std::string compressed = target;
                target = folder;
                const std::uint64_t length = DecompressWith(*family, compressed, target, &*held);
                m_processedSize = static_cast<std::uint32_t>(length);
                // A container that held its compressed content under its own
                // name gives way to the content, as one decrypted under its
                // own name is replaced by it.
                if (compressed == original && target != original) {
                    if (GroupCommit::Item* putOff = m_commit.Current())
                        putOff->deleteOriginal = true;
                    else
                        DeleteFile(original, m_listedStatus);
                    containerGone = true;
                }
            }
            if (GroupCommit::Item* putOff = m_commit.Current()) {
                if (!containerGone)
                    putOff->deleteOriginal = m_changeExtension && m_deleteOrig && original != target;
            } else if (m_changeExtension && m_deleteOrig && !containerGone)
                DeleteSource(original, target);
            m_resultOk = true;
        }
        ShowDropped(original);
        if (GroupCommit::Item* putOff = m_commit.Current()) {
            putOff->counted = m_processedSize;
            m_resultPending = true;
        }
    } catch (const ErrorHandler& e) {
        m_resultOk = false;
        // An output put off before the failure stays as the run left it,
        // and the file counts as failed.
        if (GroupCommit::Item* putOff = m_commit.Current())
            putOff->failed = true;
        ReportFailure(e);
        if (e.GetErrCode() == errc::BreakByUser) {
            m_commit.EndFile();
            throw;
        }
    }
    m_commit.EndFile();
    if (!m_handOff && m_commit.IsFull())
        CommitPutOff();
}

void MyObjectAes::ShowLine(const std::string& text, int level)
{
    m_commit.Show(text, level);
}

void MyObjectAes::UpdateLine(const std::string& text, int level)
{
    m_commit.Update(text, level);
}

void MyObjectAes::ReportFailure(const ErrorHandler& e)
{
    m_commit.Fail(e);
}

void MyObjectAes::Progress(double units)
{
    if (m_sink)
        m_sink->AddProgress(static_cast<float>(units));
}

} // namespace tessarin
