#pragma once
// The context the engine hands to every call of a cipher module. The layout
// is fixed: the engine allocates it and presets the block length.
#include <cstdint>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct RijndaelContext {
    std::uint32_t schedule[128]; // round keys, module's own layout
    std::uint32_t rounds;        // filled by the key functions
    std::uint32_t blockLength;   // bytes per block, preset by the caller
} RijndaelContext;

#ifdef __cplusplus
}
#endif
