#pragma once
// Checks containers without writing anything: the header under the current
// password and settings, then the whole data area deciphered and its CRC-32
// compared, and for a compressed content the decompression with its size
// check, exactly as a decryption would read them. The plain bytes go
// nowhere: no output, no temporary file, nothing deleted, and the container
// is opened for reading only, without updating its access time where the
// system lets us.
#include "EngineApi.h"
#include "cipher/MyAesFiles.h"
#include "foundation/MyFile.h"
#include "foundation/MyStream.h"
#include "processing/CipherSession.h"
#include "processing/CompressionFamily.h"
#include "selection/MyObject.h"

#include <cstdint>
#include <string>

namespace tessarin {

// What a container's header tells.
struct ContainerInfo {
    bool legacy = false;        // the older format without a second hunk
    std::string name;           // the stored name (with ".gz" or ".bz" when compressed)
    std::uint32_t length = 0;   // bytes that were encrypted (compressed size when compressed)
    std::uint32_t crc = 0;      // CRC-32 of those bytes
    std::uint32_t time = 0;     // when it was written: seconds since the Unix epoch
    std::uint32_t filter = 0;   // compression family (high 16 bits) and level (low 16 bits)
    std::uint32_t nfSize = 0;   // size before compression: the original file's length

    int Family() const { return CompressionFamily::NumberOf(filter); }
    int Level() const { return CompressionFamily::LevelOf(filter); }
};

class ENGINE_API ContainerCheck : public MyObject {
public:
    explicit ContainerCheck(MyStream* sink);  // the sink is not owned and must outlive the object
    ~ContainerCheck() override;
    ContainerCheck(const ContainerCheck&) = delete;
    ContainerCheck& operator=(const ContainerCheck&) = delete;

    // The password, the settings and the libraries containers are read with.
    CipherSession& Session() { return m_session; }
    void SetMode(OperMode mode) { m_session.SetMode(mode); }
    void SetPasswd(const std::string& password, MyAesFiles::KeyLen keyLength, MyAesFiles::BlockSize blockSize)
    {
        m_session.SetPasswd(password, keyLength, blockSize);
    }

    // As a decrypting batch needs them: the cipher module of the block size,
    // and both compression libraries. Loader errors pass on.
    void LoadLibraryA(unsigned blockBytes) { m_session.LoadLibraryA(blockBytes); }
    void LoadGzipLibrary() { m_session.LoadCompressionLibrary(CompressionFamily::Gzip); }
    void LoadBzip2Library() { m_session.LoadCompressionLibrary(CompressionFamily::Bzip2); }
    void CloseLibrary() { m_session.CloseLibrary(); }

    // The header of the container at path. Throws -20 when the file is no
    // container under this password and these settings, -35 for a
    // compression this program does not know, and the file's own errors.
    ContainerInfo ReadHeader(const std::string& path);

    // The whole check of one container; one line "Testing NAME " then
    // "[OK]", or the error line, on the sink. Throws only a user's break.
    void Run(const CFileFind& found) override;
    // The plain length of the last container checked (after decompression).
    std::uint32_t GetSize() const override { return m_size; }
    bool ResultOk() const override { return m_resultOk; }

    // Test throws what a decryption of the container would fail with, and
    // returns the length of the content it restores.
    std::uint64_t Test(const std::string& path);

private:
    MyFile OpenQuietly(const std::string& path) const;
    int ReadHeaderOf(MyAesFiles& codec, MyFile& file);

    CipherSession m_session;
    std::uint32_t m_size = 0;
    bool m_resultOk = false;
    std::string m_shortened;  // what a decryption will write under another name, told after the check
    MyStream* m_sink = nullptr;  // not owned
};

} // namespace tessarin
