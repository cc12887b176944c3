// Keying and the libraries of a batch.
#include "processing/CipherSession.h"

#include "cipher/CAesCore.h"
#include "foundation/ErrorHandler.h"
#include "platform/Module.h"
#include "processing/CompressionFamily.h"

namespace tessarin {

void CipherSession::SetPasswd(const std::string& password, KeyLen keyLength, BlockSize blockSize)
{
    m_password = password;
    m_keyLength = keyLength;
    m_blockSize = blockSize;
    m_schedules = std::make_shared<MyAesFiles::KeySchedules>();
}

void CipherSession::LoadLibraryA(unsigned blockBytes)
{
    AESclass::AesCallBack record{};
    platform::ModuleHandle module = CAesCore::LoadLibraryA(blockBytes, &record);
    m_cipherLibrary = std::shared_ptr<void>(module.release(), platform::ModuleCloser{});
    m_callBack = record;
    m_schedules = std::make_shared<MyAesFiles::KeySchedules>();
}

void CipherSession::LoadCompressionLibrary(int family)
{
    const CompressionFamily* known = CompressionFamily::Of(family);
    if (!known || static_cast<std::size_t>(family) >= m_compressionLibraries.size())
        return;
    m_compressionLibraries[static_cast<std::size_t>(family)] =
        std::shared_ptr<void>(known->loadLibrary().release(), platform::ModuleCloser{});
}

void CipherSession::CloseLibrary()
{
    // A copy that still holds a library keeps it loaded, and with it the
    // entry points its own record points to.
    m_callBack = AESclass::AesCallBack{};
    m_cipherLibrary.reset();
    m_schedules = std::make_shared<MyAesFiles::KeySchedules>();
    for (auto library = m_compressionLibraries.rbegin(); library != m_compressionLibraries.rend(); ++library)
        library->reset();
}

void CipherSession::KeyCodec(MyAesFiles& codec) const
{
    // Without the cipher module of the block size in use there is nothing to
    // key; a module of another block size would cipher the wrong lengths.
    if (!m_cipherLibrary || m_callBack.blockLength != static_cast<unsigned>(m_blockSize))
        throw ErrorHandler(errc::LibraryNotFound,
                           platform::Module::ShownNameFor("aes" + std::to_string(static_cast<int>(m_blockSize)) + ".dll") +
                               " not found!");
    // Cipher feedback deciphers with the forward direction of the block
    // cipher, so its header check needs the encryption schedule.
    if (m_mode == OperMode::CFB)
        codec.MakeEncKey(m_password, m_keyLength, m_blockSize, m_schedules);
    else
        codec.MakeDecKey(m_password, m_keyLength, m_blockSize, m_schedules);
}

} // namespace tessarin
