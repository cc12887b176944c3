#pragma once
// The engine's per-file action. For every file a finder hands it, it decides
// the direction (a container under the current password and settings is
// decrypted, anything else encrypted, unless the user forces one), compresses
// before encrypting and decompresses after decrypting, names the output,
// deletes or wipes what is no longer wanted, reports each step through the
// sink and undoes its partial outputs when a step fails.
//
// Every output is written completely to a temporary file beside its target,
// flushed to disk and renamed onto its name: a failure or a break never
// leaves a half-written file under a user's name and never removes the only
// complete copy of the data. Compressed intermediates are such temporary
// files too, never put under a name of their own. An output replaces no
// file but the one it is made from, unless the caller asks for that; and
// the pipeline acts only on the file that was listed, never on a link, FIFO
// or other file put under its name since.
#include "EngineApi.h"
#include "cipher/MyAesFiles.h"
#include "foundation/MyFile.h"
#include "foundation/MyStream.h"
#include "scratch/TempFile.h"
#include "processing/CipherSession.h"
#include "processing/CompressionFamily.h"
#include "processing/GroupCommit.h"
#include "selection/MyFilter.h"
#include "selection/MyObject.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tessarin {

class ENGINE_API MyObjectAes : public MyObject {
public:
    enum Modality : int { Encryption = 0, Decryption = 1, Automatic = 2 };
    using KeyLen = MyAesFiles::KeyLen;
    using BlockSize = MyAesFiles::BlockSize;

    // Filter families: the high 16 bits of the filter word.
    static constexpr int FamilyNone = CompressionFamily::None;
    static constexpr int FamilyGzip = CompressionFamily::Gzip;
    static constexpr int FamilyBzip2 = CompressionFamily::Bzip2;

    explicit MyObjectAes(MyStream* sink);  // the sink is not owned and must outlive the object
    // Copies share the loaded libraries; each is released once, by the last
    // copy that holds it.
    MyObjectAes(const MyObjectAes&) = default;
    MyObjectAes& operator=(const MyObjectAes&) = default;
    ~MyObjectAes() override;

    // Options.
    void SetMode(OperMode mode) { m_session.SetMode(mode); }
    OperMode GetMode() const { return m_session.GetMode(); }
    void SetModality(Modality modality) { m_modality = modality; }
    Modality GetModality() const { return m_modality; }
    void SetWiping(bool on) { m_wiping = on; }
    bool GetWiping() const { return m_wiping; }
    void SetDeleteOrig(bool on) { m_deleteOrig = on; }
    bool GetDeleteOrig() const { return m_deleteOrig; }
    void SetNameMangling(bool on) { m_nameMangling = on; }
    bool GetNameMangling() const { return m_nameMangling; }
    void SetChangeExtention(bool on) { m_changeExtension = on; }
    bool GetChangeExtention() const { return m_changeExtension; }
    void SetFilterFamily(int family);
    int GetFilterFamily() const { return CompressionFamily::NumberOf(m_filter); }
    void SetFilterParam(int parameter);
    int GetFilterParam() const { return CompressionFamily::LevelOf(m_filter); }
    void SetFilter(std::uint32_t filter) { m_filter = filter; }
    std::uint32_t GetFilter() const { return m_filter; }
    void SetFilterSensitive(bool on);
    bool GetFilterSensitive() const;
    void SetFilterParse(const std::string& list);  // the exclusion list: whitespace-separated patterns
    std::string GetFilterParse() const;
    // Outputs may replace existing files of their names (otherwise such a
    // file fails with an error naming the existing file).
    void SetReplaceExisting(bool on) { m_replaceExisting = on; }
    bool GetReplaceExisting() const { return m_replaceExisting; }
    KeyLen GetKeyLen() const { return m_session.GetKeyLen(); }
    BlockSize GetBlockSize() const { return m_session.GetBlockSize(); }

    // Stores the password and key settings; a password that cannot make a
    // key fails every file in Run (-22 longer than 32 bytes, -21 empty).
    void SetPasswd(const std::string& password, KeyLen keyLength, BlockSize blockSize);

    // Libraries, loaded once per batch. The cipher module must be the one of
    // the block size given to SetPasswd; both compression libraries are
    // needed by any run that may decrypt. Loader errors (-30, -29) pass on.
    void LoadLibraryA(unsigned blockBytes);
    void LoadGzipLibrary();
    void LoadBzip2Library();
    void CloseLibrary();

    // MyObject. Run returns after success and after an ordinary failure of
    // the file (reported on the sink at level 1); it throws only for a
    // user's break (-28), after reporting it.
    void Run(const CFileFind& found) override;
    std::uint32_t GetSize() const override { return m_processedSize; }
    bool ResultOk() const override { return m_resultOk; }
    // While sharing, the finished outputs of a folder's files wait under
    // their temporary names and are made durable together (GroupCommit),
    // when the run moves to another folder, when MaxPutOff files wait, and
    // when sharing is turned off. Their lines wait with them, and such a
    // file is counted once its commit has settled it.
    void ShareWork(bool on) override;
    bool ResultPending() const override { return m_resultPending; }
    Settled TakeSettled() override { return m_commit.TakeSettled(); }
    static constexpr std::size_t MaxPutOff = GroupCommit::MaxPutOff;

    // A worker for a batch that runs several files at once: a copy with
    // these settings and libraries that reports to its own sink and hands
    // every file off (see HandOff) instead of committing it. The first
    // call clears what killed runs left behind, as a first Run would.
    MyObjectAes MakeWorker(MyStream* sink);
    // Changes the sink of a worker between two files.
    void SetSink(MyStream* sink);
    // The direction the last Run took (Automatic when it failed before it
    // knew): an encryption depends on the filter word it started with,
    // which a decryption replaces by its container's for the next files.
    Modality GetLastDirection() const { return m_lastDirection; }
    // A worker's last file: its lines, and its output complete under its
    // temporary name, waiting (with what is left to do for the file, the
    // deletion of what it was made from included) when the file succeeded.
    // Whatever failed has been rolled back by the run already.
    GroupCommit::Handed HandOff() { return m_commit.TakeHanded(); }
    // Takes a worker's file after every file adopted before it, as if this
    // object had just run it in folder; its output is committed with the
    // others of its folder, as ShareWork describes.
    void Adopt(GroupCommit::Handed handed, const std::string& folder);

protected:
    std::uint32_t GetFilterFromHeader() const { return m_filter; }
    std::uint32_t GetNfSizeFromHeader() const { return m_nfSize; }

    // Direction detection: Decryption for a container under the current
    // password and settings, Encryption for anything else.
    Modality GetModality(const std::string& path);
    static std::string& GetFilename(const std::string& path, std::string& out);

    // The steps. Paths are full paths; a target given as a folder (ending in
    // the separator) receives the output's name.
    // intermediate: the compressed content to encrypt in place of source,
    // whose name it stands for (source + ".gz" or ".bz").
    void Encrypt(const std::string& source, std::string& target, std::uint32_t filter, std::uint32_t nfSize,
                 TempFile* intermediate = nullptr);
    // held: where a compressed content is handed back in its temporary
    // file; it never takes a name of its own. Without it, a compressed
    // content is put under its stored name like any other output.
    void Decrypt(const std::string& source, std::string& target, std::optional<TempFile>* held = nullptr);
    // intermediate: receives the compressed content in its temporary file;
    // without it, the content is put under target's name.
    std::uint64_t CompressGzip(const std::string& source, std::string& target, Modality detected,
                               std::uint64_t sourceSize, std::optional<TempFile>* intermediate = nullptr);
    std::uint64_t CompressBzip2(const std::string& source, std::string& target, Modality detected,
                                std::uint64_t sourceSize, std::optional<TempFile>* intermediate = nullptr);
    // decrypted: the compressed content when Decrypt held it back; source
    // then names what it stands for. It is removed either way.
    std::uint64_t DecompressGzip(const std::string& source, std::string& target, TempFile* decrypted = nullptr);
    std::uint64_t DecompressBzip2(const std::string& source, std::string& target, TempFile* decrypted = nullptr);
    void Delete(const std::string& path);
    void DeleteSource(const std::string& source, const std::string& result);

private:
    std::uint64_t CompressWith(const CompressionFamily& family, const std::string& source, std::string& target,
                               Modality detected, std::uint64_t sourceSize, std::optional<TempFile>* intermediate);
    std::uint64_t DecompressWith(const CompressionFamily& family, const std::string& source, std::string& target,
                                 TempFile* decrypted);
    // Removes a temporary file in a rollback and tells it: as shownAs, or
    // by default as the folder's temporary file.
    void DiscardTemp(TempFile& temp, const std::string& shownAs = {});
    static constexpr const char* TempShownName = TempFile::ShownAs;
    // A finished output takes what it can of the listed file's owner,
    // group, mode, access list and attributes (status: as it was read);
    // what it could not take is told once the run is done.
    void TakeListedAttributes(TempFile& temp, const platform::FileStatus& status);
    void ShowDropped(const std::string& original);
    // Removes a temporary file that stood for a file of the given name, as
    // the log tells it. Throws what failed, unless rollingBack: the error
    // being rolled back is the one to tell then.
    void DiscardIntermediate(TempFile& temp, const std::string& standsFor, bool rollingBack);

    // The listed file, opened for reading only if the name still holds the
    // regular file that was listed; status receives what it is now.
    // The listed file itself is opened once per run: a step that takes it
    // gets that handle, rewound, and a step that only looks hands it back.
    MyFile OpenListed(const std::string& path, platform::FileStatus& status);
    void HandBack(MyFile& file, const std::string& path);
    // Fails when the open file is no longer as it was when opened.
    static void CheckUnchanged(const MyFile& file, const platform::FileStatus& before, const std::string& shown);
    // Deletes path only if it still is the file read, as it was read (when
    // read.identity is valid): a file changed since keeps its new content.
    void DeleteFile(const std::string& path, const platform::FileStatus& read);
    // Tells that a name too long for the file system was written shortened.
    void ShowShortened(const std::string& wanted, const std::string& used);
    // Checks early that an output can take its name; with name mangling a
    // taken name moves on to the next free number.
    void ClaimOutputName(std::string& target, const std::string& madeFrom, bool mangled) const;
    // Puts the complete temporary file under target, the output of the file
    // madeFrom. wipeReplaced: the file it replaces holds plain data that
    // must not survive in freed blocks; it is handed back still open, for
    // WipeReplaced once the step has told its end.
    struct Replaced {
        MyFile file;
        std::uint64_t links = 0;  // names it had, the replaced one included
    };
    std::optional<Replaced> Move(TempFile& temp, std::string& target, const std::string& madeFrom,
                                 const platform::FileStatus& madeFromStatus, bool mangled, bool wipeReplaced);
    void WipeReplaced(MyFile& replaced, const std::string& path, std::uint64_t links);

    // Keeps the finished temporary file of the current run for a shared
    // commit; false when the run is to commit it itself. okText ends the
    // step's line once the output is in place.
    bool PutOffCommit(std::optional<TempFile>& temp, const std::string& target, bool mangled, bool wipeReplaced,
                      MyFile& source, const std::string& okText);
    // Commits everything put off, as ShareWork describes.
    void CommitPutOff();
    void ReportFailure(const ErrorHandler& e);
    void ClearLeftovers();
    void ShowLine(const std::string& text, int level);
    void UpdateLine(const std::string& text, int level);
    void Progress(double units);

    CipherSession m_session;  // password, key, mode and the loaded libraries
    std::uint32_t m_processedSize = 0;
    std::uint32_t m_filter = 0;
    std::uint32_t m_nfSize = 0;
    Modality m_modality = Decryption;
    bool m_wiping = false;
    bool m_nameMangling = false;
    bool m_changeExtension = false;
    bool m_deleteOrig = true;
    bool m_resultOk = false;
    bool m_replaceExisting = false;
    // The file of the current Run as it was listed and as it was first
    // opened: every later step acts only on that file.
    std::string m_listedPath;
    platform::FileIdentity m_listedIdentity;
    platform::FileStatus m_listedStatus;
    platform::ExtendedAttributes m_listedAttributes;
    platform::AttributesDropped m_dropped;
    // Open during a run until a step consumes it. A copy of the object
    // starts without one: a handle has one owner.
    struct ListedHandle {
        MyFile file;
        ListedHandle() = default;
        ListedHandle(const ListedHandle&) {}
        ListedHandle& operator=(const ListedHandle&)
        {
            file.Close();
            return *this;
        }
    };
    ListedHandle m_listed;
    // Outputs waiting for their shared commit, all of one folder, and the
    // lines of their files.
    GroupCommit m_commit{nullptr};
    bool m_resultPending = false;
    Modality m_lastDirection = Automatic;
    bool m_handOff = false;  // a worker: every finished output is put off, never committed here
    bool m_clearedLeftovers = false;  // of runs that are gone, once per batch
    MyFilter m_exclusions;
    MyStream* m_sink = nullptr;  // not owned
};

} // namespace tessarin
