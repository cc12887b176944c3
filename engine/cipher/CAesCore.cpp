#include "cipher/CAesCore.h"

#include "foundation/ErrorHandler.h"
#include "platform/Module.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace tessarin {

namespace {

// The version of the bulk functions' contract this engine was written for.
// A module declares the version of its own through "aes_bulk_abi"; any other
// answer, or no such export, and the engine keeps to the four documented
// entry points, so a stand-in Rijndael library whose extra exports happen to
// share a name is never called with a contract it does not keep.
constexpr unsigned kBulkAbi = 1;

using AbiFn = unsigned (*)();

} // namespace

platform::ModuleHandle CAesCore::LoadLibraryA(unsigned number, AesCallBack* record)
{
    const std::string name = "aes" + std::to_string(number) + ".dll";
    platform::ModuleHandle module = platform::Module::Load(name);
    if (!module)
        throw ErrorHandler(errc::LibraryNotFound, platform::Module::ShownNameFor(name) + " not found!");
    record->blockLength = number;

    const auto resolve = [&](const char* symbol) { return platform::Module::Symbol(module, symbol); };
    void* encBlk = resolve("aes_enc_blk");
    void* decBlk = resolve("aes_dec_blk");
    void* encKey = resolve("aes_enc_key");
    void* decKey = resolve("aes_dec_key");
    if (!encBlk || !decBlk || !encKey || !decKey)
        throw ErrorHandler(errc::LibraryFunctions, "Unable to load DLL functions!");
    record->aes_enc_blk = reinterpret_cast<BlockFn>(encBlk);
    record->aes_dec_blk = reinterpret_cast<BlockFn>(decBlk);
    record->aes_enc_key = reinterpret_cast<KeyFn>(encKey);
    record->aes_dec_key = reinterpret_cast<KeyFn>(decKey);

    record->aes_ecb_enc = nullptr;
    record->aes_ecb_dec = nullptr;
    record->aes_cbc_enc = nullptr;
    record->aes_cfb_enc = nullptr;
    record->aes_cbc_dec = nullptr;
    record->aes_cfb_dec = nullptr;
    const auto abi = reinterpret_cast<AbiFn>(resolve("aes_bulk_abi"));
    if (abi != nullptr && abi() == kBulkAbi) {
        record->aes_ecb_enc = reinterpret_cast<EcbFn>(resolve("aes_ecb_enc"));
        record->aes_ecb_dec = reinterpret_cast<EcbFn>(resolve("aes_ecb_dec"));
        record->aes_cbc_enc = reinterpret_cast<ChainFn>(resolve("aes_cbc_enc"));
        record->aes_cfb_enc = reinterpret_cast<ChainFn>(resolve("aes_cfb_enc"));
        record->aes_cbc_dec = reinterpret_cast<ChainFn>(resolve("aes_cbc_dec"));
        record->aes_cfb_dec = reinterpret_cast<ChainFn>(resolve("aes_cfb_dec"));
    }
    return module;
}

void CAesCore::MakeEncKey(std::span<const std::uint8_t, 32> key, std::span<const std::uint8_t, 32> chain,
                          int keyLength, int blockSize)
{
    enc_key(key.data(), static_cast<unsigned>(keyLength));
    std::copy(chain.begin(), chain.end(), m_chain.begin());
    m_blockSize = blockSize;
}

void CAesCore::MakeDecKey(std::span<const std::uint8_t, 32> key, std::span<const std::uint8_t, 32> chain,
                          int keyLength, int blockSize)
{
    dec_key(key.data(), static_cast<unsigned>(keyLength));
    std::copy(chain.begin(), chain.end(), m_chain.begin());
    m_blockSize = blockSize;
}

void CAesCore::UseSchedule(const Context& schedule, std::span<const std::uint8_t, 32> chain, int blockSize)
{
    m_context = schedule;
    std::copy(chain.begin(), chain.end(), m_chain.begin());
    m_blockSize = blockSize;
}

void CAesCore::Xor(std::uint8_t* buffer, const std::uint8_t* data) const
{
    for (int i = 0; i < m_blockSize; ++i)
        buffer[i] ^= data[i];
}

void CAesCore::EcbEncrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks)
{
    if (m_library->aes_ecb_enc) {
        m_library->aes_ecb_enc(in, out, blocks, &m_context);
        return;
    }
    const auto bs = static_cast<std::size_t>(m_blockSize);
    for (std::size_t i = 0; i < blocks; ++i)
        enc_blk(in + i * bs, out + i * bs);
}

void CAesCore::EcbDecrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks)
{
    if (m_library->aes_ecb_dec) {
        m_library->aes_ecb_dec(in, out, blocks, &m_context);
        return;
    }
    const auto bs = static_cast<std::size_t>(m_blockSize);
    for (std::size_t i = 0; i < blocks; ++i)
        dec_blk(in + i * bs, out + i * bs);
}

void CAesCore::Encrypt(std::span<const std::uint8_t> in, std::span<std::uint8_t> out, OperMode mode)
{
    if (m_blockSize <= 0)
        return;
    const auto bs = static_cast<std::size_t>(m_blockSize);
    const std::size_t blocks = std::min(in.size(), out.size()) / bs;
    if (blocks == 0)
        return;
    const std::uint8_t* src = in.data();
    std::uint8_t* dst = out.data();

    switch (mode) {
    case OperMode::ECB:
        EcbEncrypt(src, dst, blocks);
        break;
    case OperMode::CBC:
        if (m_library->aes_cbc_enc) {
            m_library->aes_cbc_enc(src, dst, blocks, m_chain.data(), &m_context);
            break;
        }
        for (std::size_t i = 0; i < blocks; ++i) {
            Xor(m_chain.data(), src + i * bs);
            enc_blk(m_chain.data(), dst + i * bs);
            std::memcpy(m_chain.data(), dst + i * bs, bs);
        }
        break;
    case OperMode::CFB:
        if (m_library->aes_cfb_enc) {
            m_library->aes_cfb_enc(src, dst, blocks, m_chain.data(), &m_context);
            break;
        }
        for (std::size_t i = 0; i < blocks; ++i) {
            enc_blk(m_chain.data(), dst + i * bs);
            Xor(dst + i * bs, src + i * bs);
            std::memcpy(m_chain.data(), dst + i * bs, bs);
        }
        break;
    }
}

void CAesCore::Decrypt(std::span<const std::uint8_t> in, std::span<std::uint8_t> out, OperMode mode)
{
    if (m_blockSize <= 0)
        return;
    const auto bs = static_cast<std::size_t>(m_blockSize);
    const std::size_t blocks = std::min(in.size(), out.size()) / bs;
    if (blocks == 0)
        return;
    const std::uint8_t* src = in.data();
    std::uint8_t* dst = out.data();

    // Deciphering CBC and CFB needs no serial chain: every block depends on
    // ciphertext only. A module with the chained decryption exports keeps
    // several blocks in flight itself; otherwise the whole buffer goes
    // through the block transform at once and the chaining is applied
    // afterwards.
    switch (mode) {
    case OperMode::ECB:
        EcbDecrypt(src, dst, blocks);
        break;
    case OperMode::CBC:
        if (m_library->aes_cbc_dec) {
            m_library->aes_cbc_dec(src, dst, blocks, m_chain.data(), &m_context);
            break;
        }
        EcbDecrypt(src, dst, blocks);
        Xor(dst, m_chain.data());
        for (std::size_t i = 1; i < blocks; ++i)
            Xor(dst + i * bs, src + (i - 1) * bs);
        std::memcpy(m_chain.data(), src + (blocks - 1) * bs, bs);
        break;
    case OperMode::CFB:
        if (m_library->aes_cfb_dec) {
            m_library->aes_cfb_dec(src, dst, blocks, m_chain.data(), &m_context);
            break;
        }
        EcbEncrypt(m_chain.data(), dst, 1);
        EcbEncrypt(src, dst + bs, blocks - 1);
        for (std::size_t i = 0; i < blocks; ++i)
            Xor(dst + i * bs, src + i * bs);
        std::memcpy(m_chain.data(), src + (blocks - 1) * bs, bs);
        break;
    }
}

} // namespace tessarin
