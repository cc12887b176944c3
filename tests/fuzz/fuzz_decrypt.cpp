// libFuzzer target: the decryption path of one container, from the plain
// cipher stream an input stands for (see ContainerCase.h).
#include "ContainerCase.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tessarin::fuzz::container::RunDecryption({data, size});
    return 0;
}
