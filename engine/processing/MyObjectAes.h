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
// complete copy of the data.
#include "EngineApi.h"
#include "cipher/AESclass.h"
#include "cipher/CAesCore.h"
#include "cipher/MyAesFiles.h"
#include "foundation/MyStream.h"
#include "platform/TempFile.h"
#include "processing/MyCompressBzip2.h"
#include "processing/MyCompressGzip.h"
#include "selection/MyFilter.h"
#include "selection/MyObject.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tessarin {

namespace pipeline {
struct CompressFamily;  // a compression family's suffix, words and adapter
}

class ENGINE_API MyObjectAes : public MyObject {
public:
    enum Modality : int { Encryption = 0, Decryption = 1, Automatic = 2 };
    using KeyLen = MyAesFiles::KeyLen;
    using BlockSize = MyAesFiles::BlockSize;

    // Filter families: the high 16 bits of the filter word.
    static constexpr int FamilyNone = 0;
    static constexpr int FamilyGzip = 1;
    static constexpr int FamilyBzip2 = 2;
    static constexpr unsigned WipeRounds = 3;

    explicit MyObjectAes(MyStream* sink);  // the sink is not owned and must outlive the object
    // Copies share the loaded libraries; each is released once, by the last
    // copy that holds it.
    MyObjectAes(const MyObjectAes&) = default;
    MyObjectAes& operator=(const MyObjectAes&) = default;
    ~MyObjectAes() override;

    // Options.
    void SetMode(OperMode mode) { m_mode = mode; }
    OperMode GetMode() const { return m_mode; }
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
    int GetFilterFamily() const { return static_cast<int>(m_filter >> 16); }
    void SetFilterParam(int parameter);
    int GetFilterParam() const { return static_cast<int>(m_filter & 0xFFFFu); }
    void SetFilter(std::uint32_t filter) { m_filter = filter; }
    std::uint32_t GetFilter() const { return m_filter; }
    void SetFilterSensitive(bool on);
    bool GetFilterSensitive() const;
    void SetFilterParse(const std::string& list);  // the exclusion list: whitespace-separated patterns
    std::string GetFilterParse() const;
    KeyLen GetKeyLen() const { return m_keyLength; }
    BlockSize GetBlockSize() const { return m_blockSize; }

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

protected:
    std::uint32_t GetFilterFromHeader() const { return m_filter; }
    std::uint32_t GetNfSizeFromHeader() const { return m_nfSize; }

    // Direction detection: Decryption for a container under the current
    // password and settings, Encryption for anything else.
    Modality GetModality(const std::string& path);
    static std::string& GetFilename(const std::string& path, std::string& out);

    // The steps. Paths are full paths; a target given as a folder (ending in
    // the separator) receives the output's name.
    void Encrypt(const std::string& source, std::string& target, std::uint32_t filter, std::uint32_t nfSize);
    // held: where a compressed content that belongs under the container's
    // own name is handed back still in its temporary file, so that the
    // container stays untouched until the decompressed file is in place.
    void Decrypt(const std::string& source, std::string& target, std::optional<TempFile>* held = nullptr);
    std::uint64_t CompressGzip(const std::string& source, std::string& target, Modality detected,
                               std::uint64_t sourceSize);
    std::uint64_t CompressBzip2(const std::string& source, std::string& target, Modality detected,
                                std::uint64_t sourceSize);
    // decrypted: the compressed content when Decrypt held it back; source
    // then names the container it replaces, which is deleted on success and
    // untouched on failure.
    std::uint64_t DecompressGzip(const std::string& source, std::string& target, TempFile* decrypted = nullptr);
    std::uint64_t DecompressBzip2(const std::string& source, std::string& target, TempFile* decrypted = nullptr);
    void Delete(const std::string& path);
    // Puts the complete temporary file onto its final name. wipeReplaced:
    // the file it replaces holds plain data that must not survive in freed
    // blocks.
    void Move(TempFile& from, const std::string& to, bool wipeReplaced);
    void DeleteSource(const std::string& source, const std::string& result);

private:
    using SharedModule = std::shared_ptr<void>;
    using CompressFamily = pipeline::CompressFamily;

    void KeyCodec(MyAesFiles& codec) const;
    std::string EncryptedName(const MyFile& source) const;
    std::uint64_t CompressWith(const CompressFamily& family, const std::string& source, std::string& target,
                               Modality detected, std::uint64_t sourceSize);
    std::uint64_t DecompressWith(const CompressFamily& family, const std::string& source, std::string& target,
                                 TempFile* decrypted);
    void CheckStoredName(const std::string& container, const std::string& name, std::uint32_t filter) const;
    void DiscardTemp(TempFile& temp);
    void ShowLine(const std::string& text, int level);
    void UpdateLine(const std::string& text, int level);
    void Progress(double units);

    SharedModule m_cipherLibrary;
    SharedModule m_bzip2Library;
    SharedModule m_gzipLibrary;
    AESclass::AesCallBack m_callBack{};
    std::uint32_t m_processedSize = 0;
    std::uint32_t m_filter = 0;
    std::uint32_t m_nfSize = 0;
    Modality m_modality = Decryption;
    KeyLen m_keyLength = MyAesFiles::Key256;
    BlockSize m_blockSize = MyAesFiles::Block256;
    OperMode m_mode = OperMode::CBC;
    bool m_wiping = false;
    bool m_nameMangling = false;
    bool m_changeExtension = false;
    bool m_deleteOrig = true;
    bool m_resultOk = false;
    std::string m_password = "passwd";  // a placeholder until SetPasswd
    MyFilter m_exclusions;
    MyStream* m_sink = nullptr;  // not owned
};

} // namespace tessarin
