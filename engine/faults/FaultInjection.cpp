#include "faults/FaultInjection.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <string>

namespace tessarin {

namespace {

struct Plan {
    std::atomic<int> failAt{0};  // 0: not armed
    std::atomic<int> error{0};
    std::atomic<int> calls{0};
};

struct Aimed {
    std::string file;  // empty: not armed
    int error = 0;
};

using Fired = std::array<bool, static_cast<std::size_t>(FaultInjection::Operation::Count_)>;

std::array<Plan, static_cast<std::size_t>(FaultInjection::Operation::Count_)> g_plans;
std::array<Aimed, static_cast<std::size_t>(FaultInjection::Operation::Count_)> g_aimed;
std::mutex g_aimedLock;  // workers ask while a test may arm
std::atomic<bool> g_armed{false};
thread_local const std::string* t_atWork = nullptr;
// What has failed already in the current work on the file: each try at it
// meets its fault once, as a rerun of the same file would.
thread_local Fired t_fired{};

bool AimedFails(FaultInjection::Operation operation)
{
    if (t_atWork == nullptr)
        return false;
    const std::size_t at = static_cast<std::size_t>(operation);
    const std::lock_guard lock(g_aimedLock);
    const Aimed& aimed = g_aimed[at];
    if (t_fired[at] || aimed.file.empty() || aimed.file != *t_atWork)
        return false;
    t_fired[at] = true;
    errno = aimed.error;
    return true;
}

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

void FaultInjection::FailFor(Operation operation, const std::string& file, int error)
{
    {
        const std::lock_guard lock(g_aimedLock);
        g_aimed[static_cast<std::size_t>(operation)] = Aimed{file, error};
    }
    g_armed = true;
}

FaultInjection::AtWork::AtWork(const std::string& file) : m_previous(t_atWork), m_fired(t_fired)
{
    t_atWork = &file;
    t_fired = Fired{};
}

FaultInjection::AtWork::~AtWork()
{
    t_atWork = m_previous;
    t_fired = m_fired;
}

void FaultInjection::Reset()
{
    {
        const std::lock_guard lock(g_aimedLock);
        g_aimed.fill(Aimed{});
    }
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
    if (AimedFails(operation))
        return true;
    Plan& plan = PlanFor(operation);
    const int call = ++plan.calls;
    if (plan.failAt == 0 || call != plan.failAt)
        return false;
    errno = plan.error;
    return true;
}

} // namespace tessarin
