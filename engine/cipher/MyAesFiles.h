#pragma once
#include "EngineApi.h"
#include "cipher/CAesCore.h"
#include "foundation/MyFile.h"
#include "foundation/MyStream.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tessarin {

// Turns one plain file into one encrypted container and back. Every byte of
// a container is enciphered: a first hunk (magic, length, CRC, time, name),
// a second hunk (filter word, size before the filter), then the data padded
// to whole blocks, all one cipher stream under one key and one register.
// Mode, key length and block size are not stored: a reader must be given
// the writer's settings and password.
class ENGINE_API MyAesFiles {
public:
    using OperMode = tessarin::OperMode;
    enum KeyLen : int { Key128 = 16, Key192 = 24, Key256 = 32 };
    enum BlockSize : int { Block128 = 16, Block192 = 24, Block256 = 32 };

    static constexpr std::size_t ChunkSize = 147456;  // a multiple of every block size
    static constexpr std::size_t Hunk1Size = 1048;
    static constexpr std::size_t Hunk2Size = 24;
    static constexpr std::size_t NameFieldSize = 1024;
    static constexpr std::size_t MaxPassword = 32;
    // The one size rule of every path. Lengths are stored in 32 bits, and no
    // file larger than that is read as a container, by a decryption or a
    // check alike; so a file is encrypted only when its whole container,
    // header and filler included, stays within it.
    static constexpr std::uint64_t MaxContainerLength = 0xFFFFFFFFull;
    // Length of the container (current format) of plainLength bytes.
    static std::uint64_t ContainerLength(std::uint64_t plainLength, int blockSize);
    // The largest plain length whose container is read back.
    static std::uint64_t MaxPlainLength(int blockSize);
    // Throw -24 with the limit, naming the file at path, unless a content of
    // that length can be encrypted / a file of that length can be decrypted.
    static void CheckEncryptable(std::uint64_t plainLength, int blockSize, const std::string& path);
    static void CheckDecryptable(std::uint64_t containerLength, const std::string& path);

    // Results of CheckHeader.
    static constexpr int HeaderCurrent = 2;
    static constexpr int HeaderLegacy = 1;
    static constexpr int HeaderNone = -1;

    MyAesFiles(MyStream* sink, const AESclass::AesCallBack* library);

    // The schedules of one key in both directions, worked out once by the
    // first codec that needs each and taken from here by every later one:
    // a batch keys a codec per file and step. Shared by codecs of one
    // password, key length, block size and module only; safe to use from
    // several threads at once.
    class KeySchedules {
    public:
        // The schedule of a direction, made by make() when not there yet.
        template <class Make>
        const AESclass::Context& Get(bool encrypting, Make make)
        {
            const std::lock_guard<std::mutex> guard(m_mutex);
            std::optional<AESclass::Context>& slot = encrypting ? m_enc : m_dec;
            if (!slot)
                slot = make();
            return *slot;
        }

    private:
        std::mutex m_mutex;
        std::optional<AESclass::Context> m_enc, m_dec;
    };

    // schedules: shared with other codecs of the same key (see above);
    // without, the codec keeps its own.
    void MakeEncKey(const std::string& password, KeyLen keyLength, BlockSize blockSize,
                    std::shared_ptr<KeySchedules> schedules = {});
    void MakeDecKey(const std::string& password, KeyLen keyLength, BlockSize blockSize,
                    std::shared_ptr<KeySchedules> schedules = {});

    int CheckHeader(MyFile& source, OperMode mode);
    std::uint64_t Encode(MyFile& source, MyFile& destination, OperMode mode, std::uint32_t filter,
                         std::uint32_t nfSize);
    std::uint32_t Decode(MyFile& source, MyFile& destination, OperMode mode);

    std::uint32_t GetFilterFromHeader() const;
    std::uint32_t GetNfSizeFromHeader() const;
    // The other fields of the header last read or built.
    std::uint32_t GetLengthFromHeader() const;
    std::uint32_t GetCrcFromHeader() const;
    std::uint32_t GetTimeFromHeader() const;
    std::string GetNameFromHeader() const;

    // Stored length of a hunk of n content bytes: always at least one byte
    // of filler, so a whole block is added when n is a multiple.
    static constexpr std::size_t CalcHeader(std::size_t contentBytes, int blockSize)
    {
        const auto bs = static_cast<std::size_t>(blockSize);
        return (contentBytes / bs + 1) * bs;
    }
    static float CalcReductKoeff(std::uint32_t filter);
    static float CalcFullKoeff(std::uint32_t length, std::uint32_t filter, std::uint32_t nfSize);

    // Test hook: filler bytes and the time field are random and the clock's,
    // so two containers of one file never match. While a fixed filler is
    // set, filler is a counter sequence started from the seed for each
    // codec, and the time field holds the given time, so that containers
    // can be compared byte for byte. Not for use outside tests.
    struct FixedFiller {
        std::uint8_t seed = 0;
        std::uint32_t time = 0;
    };
    static void SetFixedFillerForTesting(const FixedFiller* filler);

protected:
    void MakeKey(const std::string& password, KeyLen keyLength, BlockSize blockSize,
                 std::shared_ptr<KeySchedules> schedules);
    void ReMakeEncKey();
    void ReMakeDecKey();
    void ReMakeKey(bool encrypting);
    // Reads and deciphers the hunk stored at offset; false when the file
    // ends first.
    bool ReadHunks(MyFile& source, std::uint64_t offset, std::span<std::uint8_t> content, OperMode mode);
    // Enciphers the two hunks in turn, each padded to whole blocks, into
    // the start of out (as long as the header or longer); returns their
    // stored length.
    std::size_t EncipherHunks(std::span<const std::uint8_t> first, std::span<const std::uint8_t> second,
                              OperMode mode, std::vector<std::uint8_t>& out);
    // Stored length of the header in the current format: for this codec,
    // and the most any block size takes.
    std::size_t HeaderStored() const
    {
        return CalcHeader(Hunk1Size, m_blockSize) + CalcHeader(Hunk2Size, m_blockSize);
    }
    static constexpr std::size_t MaxHeaderStored()
    {
        std::size_t most = 0;
        for (const int bs : {Block128, Block192, Block256})
            most = std::max(most, CalcHeader(Hunk1Size, bs) + CalcHeader(Hunk2Size, bs));
        return most;
    }
    void Fill_Hunk1(MyFile& source);
    void Fill_Hunk2(std::uint32_t filter, std::uint32_t nfSize);

private:
    void FillFiller(std::span<std::uint8_t> bytes);
    // A file of one chunk at most, kept whole by its reader: header and
    // data are enciphered from those bytes and written with one call.
    std::uint64_t EncodeKept(const std::vector<std::uint8_t>& plain, MyFile& destination, OperMode mode,
                             float koeff);
    std::uint32_t DecodeKept(std::span<const std::uint8_t> data, MyFile& destination, OperMode mode, float koeff);
    std::uint32_t Now() const;

    CAesCore m_core;
    std::array<std::uint8_t, Hunk1Size> m_hunk1{};
    std::array<std::uint8_t, Hunk2Size> m_hunk2{};
    std::string m_password = "tupoz";
    std::array<std::uint8_t, 32> m_key{};
    std::array<std::uint8_t, 32> m_chain{};
    KeyLen m_keyLength = Key256;
    BlockSize m_blockSize = Block256;
    bool m_keyed = false;
    std::shared_ptr<KeySchedules> m_schedules;
    std::uint8_t m_fillerNext = 0;  // the next byte of a fixed filler
    MyStream* m_sink = nullptr;  // not owned
};

} // namespace tessarin
