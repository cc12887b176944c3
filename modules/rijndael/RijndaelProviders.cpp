// The list of providers and the choice among them.
#include "RijndaelProvider.h"

#include <cstring>

namespace tessarin::rijndael {

const Provider* const* allProviders()
{
    static const Provider* const providers[kProviderCount] = {&vaesProvider(), &aesniProvider(),
                                                              &portableProvider()};
    return providers;
}

const Provider& chooseProvider(const char* requested)
{
    const Provider* const* providers = allProviders();
    if (requested != nullptr && *requested != '\0') {
        for (std::size_t i = 0; i < kProviderCount; ++i) {
            if (std::strcmp(providers[i]->name, requested) == 0 && providers[i]->available())
                return *providers[i];
        }
        // A provider the CPU cannot run, or an unknown name: a library has
        // nobody to tell, so it runs the best it can. aes_provider() shows
        // what was chosen.
    }
    for (std::size_t i = 0; i < kProviderCount; ++i) {
        if (providers[i]->available())
            return *providers[i];
    }
    return portableProvider();
}

} // namespace tessarin::rijndael
