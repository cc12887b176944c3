// Keying a codec: the key made from the password, and the schedules of
// both directions, worked out once per key and shared by every codec of it.
#include "cipher/MyAesFiles.h"

#include "foundation/ErrorHandler.h"

#include <cstring>

namespace tessarin {

void MyAesFiles::MakeKey(const std::string& password, KeyLen keyLength, BlockSize blockSize,
                         std::shared_ptr<KeySchedules> schedules)
{
    if (password.size() > MaxPassword)
        throw ErrorHandler(errc::KeyTooLong, "Secret key's overtaking KeyLen size!");
    // The key is the password repeated to the key length, so an empty one
    // has nothing to repeat.
    if (password.empty())
        throw ErrorHandler(errc::EmptyPassword, "The password must not be empty!");

    m_password = password;
    m_keyLength = keyLength;
    m_blockSize = blockSize;
    m_key.fill(0);
    std::memcpy(m_key.data(), password.data(), password.size());
    for (std::size_t i = password.size(); i < static_cast<std::size_t>(keyLength); ++i)
        m_key[i] = static_cast<std::uint8_t>(password[i % password.size()]);
    m_chain = m_key;
    m_keyed = true;
    m_schedules = schedules ? std::move(schedules) : std::make_shared<KeySchedules>();
}

void MyAesFiles::MakeEncKey(const std::string& password, KeyLen keyLength, BlockSize blockSize,
                            std::shared_ptr<KeySchedules> schedules)
{
    MakeKey(password, keyLength, blockSize, std::move(schedules));
    ReMakeEncKey();
}

void MyAesFiles::MakeDecKey(const std::string& password, KeyLen keyLength, BlockSize blockSize,
                            std::shared_ptr<KeySchedules> schedules)
{
    MakeKey(password, keyLength, blockSize, std::move(schedules));
    ReMakeDecKey();
}

// Every pass starts the register from the initial chaining value; the
// schedule itself is the key's, worked out once per direction.
void MyAesFiles::ReMakeKey(bool encrypting)
{
    if (!m_schedules)
        m_schedules = std::make_shared<KeySchedules>();
    m_core.UseSchedule(m_schedules->Get(encrypting,
                                        [this, encrypting] {
                                            if (encrypting)
                                                m_core.MakeEncKey(m_key, m_chain, m_keyLength, m_blockSize);
                                            else
                                                m_core.MakeDecKey(m_key, m_chain, m_keyLength, m_blockSize);
                                            return m_core.Schedule();
                                        }),
                       m_chain, m_blockSize);
}

void MyAesFiles::ReMakeEncKey()
{
    ReMakeKey(true);
}

void MyAesFiles::ReMakeDecKey()
{
    ReMakeKey(false);
}

} // namespace tessarin
