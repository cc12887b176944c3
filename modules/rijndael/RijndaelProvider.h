#pragma once
// The internal seam between the exported C functions and the code that runs
// the cipher. A module may carry several providers (the portable one always,
// faster ones for particular CPUs); one is chosen per process, because each
// provider keeps round keys in RijndaelContext::schedule in its own layout and
// a context keyed by one must never be run by another.
#include "RijndaelContext.h"

#include <cstddef>
#include <cstdint>

#ifndef RIJNDAEL_BLOCK_BYTES
#error "RIJNDAEL_BLOCK_BYTES must be 16, 24 or 32"
#endif

namespace tessarin::rijndael {

inline constexpr unsigned kBlockBytes = RIJNDAEL_BLOCK_BYTES;
inline constexpr unsigned kBlockWords = kBlockBytes / 4;
static_assert(kBlockBytes == 16 || kBlockBytes == 24 || kBlockBytes == 32);

// rounds = max(Nb, Nk) + 6, so 10, 12 or 14 and never fewer than Nb + 6.
constexpr bool validRounds(std::uint32_t rounds)
{
    return rounds >= kBlockWords + 6 && rounds <= 14 && rounds % 2 == 0;
}

// Callers have already checked the arguments: keys are 4, 6 or 8 words,
// contexts hold a schedule with validRounds(), pointers are not null and
// "in" and "out" do not overlap. No alignment is assumed for byte buffers.
struct Provider {
    const char* name;
    bool (*available)();
    void (*setEncryptKey)(RijndaelContext& cx, const std::uint8_t* key, unsigned keyWords);
    void (*setDecryptKey)(RijndaelContext& cx, const std::uint8_t* key, unsigned keyWords);
    void (*encryptBlocks)(const RijndaelContext& cx, const std::uint8_t* in, std::uint8_t* out,
                          std::size_t blocks);
    void (*decryptBlocks)(const RijndaelContext& cx, const std::uint8_t* in, std::uint8_t* out,
                          std::size_t blocks);
    void (*cbcEncrypt)(const RijndaelContext& cx, const std::uint8_t* in, std::uint8_t* out,
                       std::size_t blocks, std::uint8_t* chain);
    void (*cfbEncrypt)(const RijndaelContext& cx, const std::uint8_t* in, std::uint8_t* out,
                       std::size_t blocks, std::uint8_t* chain);
    // Decryption of the chained modes: every block depends on ciphertext
    // only, so these may keep several blocks in flight. CBC needs the
    // decryption schedule, CFB the encryption schedule.
    void (*cbcDecrypt)(const RijndaelContext& cx, const std::uint8_t* in, std::uint8_t* out,
                       std::size_t blocks, std::uint8_t* chain);
    void (*cfbDecrypt)(const RijndaelContext& cx, const std::uint8_t* in, std::uint8_t* out,
                       std::size_t blocks, std::uint8_t* chain);
};

// Table-driven code in plain C++; runs everywhere.
const Provider& portableProvider();

// A hardware provider on another architecture: it keeps its name, so that a
// request for it falls back as on an x86 CPU without the instructions; its
// entries are the portable ones, never chosen.
Provider unavailableProvider(const char* name);

// AES-NI with SSE4.1 byte shuffles for the wider ShiftRows (RijndaelAesni.cpp).
const Provider& aesniProvider();

// VAES on 256/512-bit registers with AVX-512 byte permutes (RijndaelVaes.cpp).
const Provider& vaesProvider();

// Every provider of the module, fastest first; the last is the portable one.
inline constexpr std::size_t kProviderCount = 3;
const Provider* const* allProviders();

// The provider named by "requested" ("portable", "aesni", "vaes") when this
// CPU can run it, otherwise the fastest available one. The module passes the
// environment variable TESSARIN_RIJNDAEL_PROVIDER, which keeps the slower
// paths testable on fast machines.
const Provider& chooseProvider(const char* requested);

// The provider this process uses, picked on first use from the CPU features.
const Provider& activeProvider();

} // namespace tessarin::rijndael
