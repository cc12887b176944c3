#pragma once
// One fuzz input as one decryption by the per-file pipeline.
//
// Every byte of a container is enciphered under a key made from the
// password, so random bytes would never get past the header check. An input
// is therefore the PLAIN cipher stream: two settings bytes, then the content
// of the first header hunk, of the second one and the data. The harness adds
// the filler that takes each hunk to its stored length, enciphers the whole
// stream under a fixed password with the mode, key length and block size
// the settings byte picks, writes the container into an empty folder and
// decrypts it there with MyObjectAes. A short input counts as padded with
// zero bytes.
#include "cipher/CAesCore.h"
#include "cipher/MyAesFiles.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tessarin::fuzz::container {

// Where the parts of an input start.
inline constexpr std::size_t SettingsAt = 0;
inline constexpr std::size_t OptionsAt = 1;
inline constexpr std::size_t Hunk1At = 2;
inline constexpr std::size_t Hunk2At = Hunk1At + MyAesFiles::Hunk1Size;
inline constexpr std::size_t DataAt = Hunk2At + MyAesFiles::Hunk2Size;

// Fields of the first hunk (magic, length, CRC-32, time, name) and of the
// second (filter word, size before compression), little-endian.
inline constexpr std::size_t LengthAt = 12;
inline constexpr std::size_t CrcAt = 16;
inline constexpr std::size_t TimeAt = 20;
inline constexpr std::size_t NameAt = 24;
inline constexpr std::size_t FilterAt = 0;
inline constexpr std::size_t NfSizeAt = 4;
inline constexpr char MagicCurrent[9] = {'T', 'e', 's', 's', 'a', 'r', 'i', 'n', '\0'};
inline constexpr char MagicLegacy[9] = {'R', 'i', 'j', 'n', 'd', 'a', 'e', 'l', '\0'};

// The settings byte: bits 0-1 the mode (ECB, CBC, CFB, and CBC again),
// bits 2-3 the key length and bits 4-5 the block size (16, 24, 32, and 32
// again), and two fix-ups that let mutated inputs still reach the later
// steps: the length field is set to the data's length, the CRC field to the
// CRC-32 of the data the length covers.
inline constexpr std::uint8_t FixLength = 0x40;
inline constexpr std::uint8_t FixCrc = 0x80;

// The options byte: the pipeline's wiping, extension-change and
// delete-original options; a fix-up of the size before compression (set to
// what a reference decoder gets from the data); and a cut of the container's
// last 1 to 8 bytes (bits 5-7 plus one) after enciphering.
inline constexpr std::uint8_t Wiping = 0x01;
inline constexpr std::uint8_t ChangeExtension = 0x02;
inline constexpr std::uint8_t DeleteOriginal = 0x04;
inline constexpr std::uint8_t FixNfSize = 0x08;
inline constexpr std::uint8_t CutEnd = 0x10;

// The size before compression is capped, so that no input makes the
// pipeline write more than this.
inline constexpr std::uint32_t NfSizeCap = 1u << 20;

inline constexpr char ContainerName[] = "box.aes";
inline constexpr char Password[] = "fuzzing secret";

std::uint8_t Settings(OperMode mode, int keyBytes, int blockBytes, std::uint8_t fixes);

// Decrypts the container an input stands for in a fresh folder and checks
// what the pipeline left behind:
// - Run returns (it may throw only the user's break, and nothing asks for one);
// - nothing changes outside that folder: its parent holds only it and a
//   sibling folder whose files stay byte-identical;
// - no temporary or other unexpected file stays: on failure the container
//   alone, byte-identical; on success at most the container and the output
//   named in the header (less its compression suffix), a plain name, whose
//   content is the data the header's length covers (decompressed by a
//   reference decoder for gzip and bzip2);
// - success and the error line on the sink agree, and progress stays finite.
// A violated check stops the process. Everything is removed afterwards.
// Returns whether the pipeline reported success.
bool RunDecryption(std::span<const std::uint8_t> input);

} // namespace tessarin::fuzz::container
