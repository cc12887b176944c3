#pragma once
#include "EngineApi.h"
#include "platform/Files.h"

#include <cstdint>
#include <span>
#include <string>

namespace tessarin {

// The engine's handle on one disk file: sequential reading or writing with
// failures thrown as ErrorHandler, the path split into folder and name, and
// the length and CRC-32 recorded for the container codec.
class ENGINE_API MyFile {
public:
    enum OpenMode : int {
        OpenRead = 0,       // existing file, sequential reading
        OpenWrite = 1,      // create, or empty an existing file
        OpenWipe = 2,       // existing file, keeps its bytes and length for Wipe
        OpenCreateNew = 3,  // create a file that must not exist yet
        OpenWriteNoFollow = 4,  // as OpenWrite, refusing a symbolic link at the name
    };
    enum SeekMode : int { SeekBegin = 0, SeekCurrent = 1, SeekEnd = 2 };

    MyFile() = default;
    MyFile(const std::string& name, OpenMode mode);
    ~MyFile();

    // A handle has one owner: moving hands it on, copying is not offered.
    MyFile(MyFile&& other) noexcept;
    MyFile& operator=(MyFile&& other) noexcept;
    MyFile(const MyFile&) = delete;
    MyFile& operator=(const MyFile&) = delete;

    void Open(const std::string& name, OpenMode mode);
    // Takes over a handle that is already open (a pipe, for one), shown
    // under name; the file closes it. Its length counts as 0.
    void Adopt(platform::NativeHandle handle, const std::string& name, OpenMode mode);
    std::size_t Read(std::span<std::uint8_t> buffer);
    std::size_t Write(std::span<const std::uint8_t> buffer);
    std::uint64_t Seek(std::int64_t distance, SeekMode origin);
    void Rewind() { Seek(0, SeekBegin); }
    void Close();
    void Sync();  // the written bytes reach the disk before this returns

    std::uint32_t CalcCrc();
    // How often a wipe overwrites a file before its blocks go: the user's
    // files and our own copies of their plain text alike.
    static constexpr unsigned WipeRounds = 3;
    void Wipe(unsigned rounds = WipeRounds);

    bool IsOpen() const { return m_handle != platform::InvalidHandle; }
    OpenMode GetMode() const { return m_mode; }
    platform::NativeHandle GetHandle() const { return m_handle; }

    const std::string& GetFileName() const { return m_name; }
    const std::string& GetFullFilename() const { return m_fullName; }
    const std::string& GetPath() const { return m_path; }
    std::uint64_t GetSize() const { return m_length; }
    std::uint32_t GetCrc() const { return m_crc; }
    void SetSize(std::uint64_t length) { m_length = length; }
    void SetCrc(std::uint32_t crc) { m_crc = crc; }
    void SetFileName(const std::string& name);

    std::string GetFileNameExt() const;
    std::string GetFileNameWithoutExt() const;

private:
    platform::NativeHandle m_handle = platform::InvalidHandle;
    std::string m_path;      // folder with its final separator, or empty
    std::string m_name;
    std::string m_fullName;
    OpenMode m_mode = OpenRead;
    std::uint32_t m_crc = 0;
    std::uint64_t m_length = 0;
    // Where the handle stands, when known (-1 otherwise): a seek to where
    // the file already is costs no call to the system.
    std::int64_t m_position = -1;
};

} // namespace tessarin
