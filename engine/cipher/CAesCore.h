#pragma once
#include "EngineApi.h"
#include "cipher/AESclass.h"
#include "platform/Module.h"

#include <array>
#include <cstdint>
#include <span>

namespace tessarin {

// Values are stored in settings and passed as plain integers.
enum class OperMode : std::int32_t { ECB = 0, CBC = 1, CFB = 2 };

// Block cipher with the ECB, CBC and CFB chaining modes. The chaining
// register carries from one call to the next, so a stream may be processed
// in several calls of whole blocks with the same result as in one.
class ENGINE_API CAesCore : public AESclass {
public:
    // Loads "aes<number>.dll" and fills the record. Throws -30 when the
    // module is missing, -29 when one of the four entry points is.
    static platform::ModuleHandle LoadLibraryA(unsigned number, AesCallBack* record);
    static void CloseLibrary(platform::ModuleHandle& module) { module.reset(); }

    explicit CAesCore(const AesCallBack* library) : AESclass(library) {}

    // key: the first keyLength bytes are used; chain: all 32 bytes are
    // copied into the register, of which blockSize are used.
    void MakeEncKey(std::span<const std::uint8_t, 32> key, std::span<const std::uint8_t, 32> chain,
                    int keyLength, int blockSize);
    void MakeDecKey(std::span<const std::uint8_t, 32> key, std::span<const std::uint8_t, 32> chain,
                    int keyLength, int blockSize);
    // The schedule the last MakeEncKey or MakeDecKey worked out, and the way
    // to install one again (with a fresh register) without that work.
    const Context& Schedule() const { return m_context; }
    void UseSchedule(const Context& schedule, std::span<const std::uint8_t, 32> chain, int blockSize);

    // Whole blocks of in (integer division) into out; in and out are
    // different buffers; out beyond the last whole block is untouched.
    // A mode outside the three processes nothing.
    void Encrypt(std::span<const std::uint8_t> in, std::span<std::uint8_t> out, OperMode mode);
    void Decrypt(std::span<const std::uint8_t> in, std::span<std::uint8_t> out, OperMode mode);

    int GetBlockSize() const { return m_blockSize; }

protected:
    void Xor(std::uint8_t* buffer, const std::uint8_t* data) const;

private:
    void EcbEncrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks);
    void EcbDecrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks);

    int m_blockSize = 0;
    std::array<std::uint8_t, 32> m_chain{};
};

} // namespace tessarin
