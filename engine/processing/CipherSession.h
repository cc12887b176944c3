#pragma once
// What every reader and writer of containers in a batch shares: the
// password with its key length and block size, the chaining mode, the
// loaded cipher module with its entry points, and the compression
// libraries. It keys each file's codec the one way a container is read.
// Copies share the loaded libraries; each is released once, by the last
// copy that holds it.
#include "EngineApi.h"
#include "cipher/AESclass.h"
#include "cipher/MyAesFiles.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace tessarin {

class ENGINE_API CipherSession {
public:
    using KeyLen = MyAesFiles::KeyLen;
    using BlockSize = MyAesFiles::BlockSize;

    void SetMode(OperMode mode) { m_mode = mode; }
    OperMode GetMode() const { return m_mode; }
    // No check here: a password that cannot make a key fails when a codec is
    // keyed (-22 longer than 32 bytes, -21 empty).
    void SetPasswd(const std::string& password, KeyLen keyLength, BlockSize blockSize);
    KeyLen GetKeyLen() const { return m_keyLength; }
    BlockSize GetBlockSize() const { return m_blockSize; }

    // The cipher module of a block size; loader errors (-30, -29) pass on.
    void LoadLibraryA(unsigned blockBytes);
    // The library of a compression family (CompressionFamily's numbers).
    void LoadCompressionLibrary(int family);
    void CloseLibrary();

    // The entry points a codec of this session is bound to.
    const AESclass::AesCallBack* Binding() const { return &m_callBack; }
    // Installs the key in a codec bound to Binding(). Fails with -30 when the
    // cipher module of the block size in use is not loaded.
    void KeyCodec(MyAesFiles& codec) const;

private:
    std::shared_ptr<void> m_cipherLibrary;
    std::array<std::shared_ptr<void>, 3> m_compressionLibraries;  // by family number
    AESclass::AesCallBack m_callBack{};
    OperMode m_mode = OperMode::CBC;
    KeyLen m_keyLength = MyAesFiles::Key256;
    BlockSize m_blockSize = MyAesFiles::Block256;
    std::string m_password = "passwd";  // a placeholder until SetPasswd
    // The key's schedules, shared by every codec this session keys (and by
    // copies made since): new with every password and every module.
    std::shared_ptr<MyAesFiles::KeySchedules> m_schedules = std::make_shared<MyAesFiles::KeySchedules>();
};

} // namespace tessarin
