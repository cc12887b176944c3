#pragma once
// Test hooks for the file seam: a chosen call of an operation fails with a
// chosen error number, as a full disk, a failing device or a refused rename
// would. The seam's calls ask here before they call the system; nothing is
// armed unless a test arms it, and an unarmed check costs one atomic load.
// It sits below the seam and calls nothing itself.
#include "EngineApi.h"

#include <array>
#include <string>

namespace tessarin {

class ENGINE_API FaultInjection {
public:
    // Open: opening an existing file (Create: making a new one). Break: the
    // engine asking whether the user wants it to stop (error unused).
    enum class Operation { Write, Rename, Sync, Remove, Create, List, Open, Break, Count_ };

    // The call-th call of the operation from now on (1 = the next one) fails
    // with the error number; every later call succeeds again.
    static void FailAt(Operation operation, int call, int error);
    // Calls made since the operation was last armed or reset.
    static int CallsSince(Operation operation);
    static void Reset();

    // The first call of the operation in each work on the listed file of
    // this full path (see AtWork) fails with the error number.
    // Aimed by file, as the n-th call overall is not, when several files
    // are at work at once.
    static void FailFor(Operation operation, const std::string& file, int error);
    // Marks the calling thread as working on a listed file for its life.
    class ENGINE_API AtWork {
    public:
        explicit AtWork(const std::string& file);
        ~AtWork();
        AtWork(const AtWork&) = delete;
        AtWork& operator=(const AtWork&) = delete;

    private:
        const std::string* m_previous;
        std::array<bool, static_cast<std::size_t>(Operation::Count_)> m_fired;
    };

    // Used by the seam: true when this call is to fail (errno is then set).
    static bool ShouldFail(Operation operation);
};

} // namespace tessarin
