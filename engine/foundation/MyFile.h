#pragma once
#include "EngineApi.h"
#include "platform/Files.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

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
    // Hands the open handle over, as Close leaves the file otherwise: the
    // caller closes it.
    platform::NativeHandle Detach();
    void Sync();  // the written bytes reach the disk before this returns

    std::uint32_t CalcCrc();

    // A file of at most limit bytes that is read, not written, is read whole
    // in one call the first time it is asked for and kept: the header
    // check, the CRC and the cipher then take those bytes, and none of them
    // goes to the system again. Null for a larger file, or one that cannot
    // be read so (a pipe, a file the user gave us to write). A temporary
    // file of our own is asked only once it is written and read back.
    // Reading or seeking the handle is not affected.
    const std::vector<std::uint8_t>* KeepWhole(std::size_t limit);
    // Frees what KeepWhole kept, once its reader is done.
    void DropKept();
    // Reads at offset from what is kept, or from the file without moving
    // its position; fills the buffer unless the end comes first.
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer);
    // How often a wipe overwrites a file before its blocks go: the user's
    // files and our own copies of their plain text alike.
    static constexpr unsigned WipeRounds = 3;
    void Wipe(unsigned rounds = WipeRounds);

    // What the open saw of a file opened for reading: the file as it is
    // now, without another look. False when the open saw none.
    bool StatusAtOpen(platform::FileStatus& status) const
    {
        if (!m_statusAtOpen.identity.valid || !IsOpen())
            return false;
        status = m_statusAtOpen;
        return true;
    }

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
    bool m_positional = false;  // a regular file, read at offsets
    platform::FileStatus m_statusAtOpen;
    bool m_hasKept = false;
    std::vector<std::uint8_t> m_kept;
};

} // namespace tessarin
