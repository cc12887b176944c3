#include "faults/FaultInjection.h"

#include <array>
#include <atomic>
#include <cerrno>

namespace tessarin {

namespace {

struct Plan {
    std::atomic<int> failAt{0};  // 0: not armed
    std::atomic<int> error{0};
    std::atomic<int> calls{0};
};

std::array<Plan, static_cast<std::size_t>(FaultInjection::Operation::Count_)> g_plans;
std::atomic<bool> g_armed{false};

Plan& PlanFor(FaultInjection::Operation operation)
{
    return g_plans[static_cast<std::size_t>(operation)];
}

} // namespace

void FaultInjection::FailAt(Operation operation, int call, int error)
{
    Plan& plan = PlanFor(operation);
    plan.calls = 0;
    plan.error = error;
    plan.failAt = call;
    g_armed = true;
}

int FaultInjection::CallsSince(Operation operation)
{
    return PlanFor(operation).calls;
}

void FaultInjection::Reset()
{
    for (Plan& plan : g_plans) {
        plan.failAt = 0;
        plan.error = 0;
        plan.calls = 0;
    }
    g_armed = false;
}

bool FaultInjection::ShouldFail(Operation operation)
{
    if (!g_armed.load(std::memory_order_relaxed))
        return false;
    Plan& plan = PlanFor(operation);
    const int call = ++plan.calls;
    if (plan.failAt == 0 || call != plan.failAt)
        return false;
    errno = plan.error;
    return true;
}

} // namespace tessarin
