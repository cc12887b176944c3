// A batch's list with several files at work at once, committed, logged and
// counted as one file at a time would be.
#include "processing/ParallelRun.h"

#include "foundation/ErrorHandler.h"
#include "selection/FileFind.h"
#include "selection/MyFileFound.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <optional>
#include <string>
#include <utility>

namespace tessarin {

namespace {

// How often the batch's thread looks at the sink while no file finishes:
// often enough for a display to stay responsive and a break to be quick.
constexpr std::chrono::milliseconds PollEvery{25};

// Below this a file takes about as long as the system calls on its folder:
// this thread may make it while it would otherwise wait, and still looks at
// the sink often enough.
constexpr std::uint64_t LendBelow = 256 * 1024;

// The files at work in this process (1 outside a parallel batch).
std::atomic<unsigned> g_filesAtWork{1};

} // namespace

unsigned ParallelRun::CoresPerFile()
{
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    return std::max(1u, cores / std::max(1u, g_filesAtWork.load()));
}

struct ParallelRun::Task {
    Task(CaptureSink::Shared& shared, std::size_t place) : index(place), sink(shared, place) {}

    std::size_t index;
    std::uint64_t bytes = 0;  // its length when listed
    std::unique_ptr<CFileFind> found;
    std::string folder;
    CaptureSink sink;
    // Written by the worker before done is set, read by the batch's thread
    // after it has seen done.
    bool done = false;
    bool ok = false;
    bool pending = false;
    std::uint32_t size = 0;
    // The filter word the run started with and ended with, and the way it
    // went: see Redo.
    std::uint32_t filterIn = 0;
    std::uint32_t filterOut = 0;
    MyObjectAes::Modality direction = MyObjectAes::Automatic;
    GroupCommit::Handed handed;
    std::optional<ErrorHandler> broke;  // the break the file told
    std::exception_ptr failure;         // anything else that ended its run
};

// Whichever way ForEach ends: no worker outlives it, files after the last
// one adopted are rolled back (their temporaries go with them), and what
// was adopted is committed and counted.
class ParallelRun::Finish {
public:
    explicit Finish(ParallelRun& run) : m_run(run) { m_run.m_action.ShareWork(true); }
    ~Finish()
    {
        m_run.Stop();
        m_run.m_action.SetFilter(m_run.m_filterNow);
        try {
            m_run.m_action.ShareWork(false);
        } catch (...) {
            // The action reports its own failures; an unwinding break must
            // reach the caller as it is.
        }
        m_run.CountSettled();
    }
    Finish(const Finish&) = delete;
    Finish& operator=(const Finish&) = delete;

private:
    ParallelRun& m_run;
};

ParallelRun::ParallelRun(MyObjectAes& action, MyStream* sink, int jobs)
    : m_action(action), m_sink(sink), m_jobs(static_cast<std::size_t>(jobs < 1 ? 1 : jobs))
{
}

ParallelRun::~ParallelRun()
{
    Stop();
}

void ParallelRun::ForEach(MyFileTable& list)
{
    m_nextIndex = 0;
    m_listDone = false;
    m_shared.cancelled = false;
    m_shared.brokenAt = CaptureSink::Shared::NoBreak;
    m_filterNow = m_action.GetFilter();
    const Finish finish(*this);
    for (;;) {
        const bool more = HandOut(list);
        if (m_inFlight.empty()) {
            if (!more)
                break;
            continue;
        }
        Task& front = *m_inFlight.front();
        // Rather than wait, this thread makes the next small file itself.
        if (TakeSmall()) {
            Poll();
            AdoptFront();
            continue;
        }
        {
            std::unique_lock lock(m_lock);
            m_awaited = &front;
            m_finished.wait_for(lock, PollEvery, [&] { return front.done; });
            m_awaited = nullptr;
        }
        Poll();
        AdoptFront();
    }
}

bool ParallelRun::HandOut(MyFileTable& list)
{
    // A break stops the handing out. After the user's break every file in
    // flight may still finish; the next one is then started alone, as one
    // file at a time would have started it, to tell the break itself.
    if (m_shared.brokenAt.load() != CaptureSink::Shared::NoBreak)
        return false;
    // Every worker busy, and a commit's worth of finished files beyond: a
    // finished file holds its handles until it is committed.
    const std::size_t most = m_shared.cancelled.load() ? 1 : 2 * m_jobs + GroupCommit::MostPutOff();
    std::vector<std::unique_ptr<Task>> handed;
    std::string line;
    while (!m_listDone && m_inFlight.size() + handed.size() < most) {
        if (list.ReadLine(line, false) == 0) {
            m_listDone = true;
            break;
        }
        auto found = std::make_unique<CFileFind>();
        if (line.empty() || !found->FindEntry(line))
            continue;
        found->FindNextFile();
        // Between the two passes a listed file may have been replaced by a
        // link, a folder or a FIFO; only a regular file is worked on.
        if (!found->IsRegularFile())
            continue;
        auto task = std::make_unique<Task>(m_shared, m_nextIndex++);
        task->filterIn = m_filterNow;
        task->folder = MyFileFound(*found).GetAbsPath();
        task->bytes = MyFileFound(*found).GetFileSize64();
        task->found = std::move(found);
        handed.push_back(std::move(task));
        // Small files come by the hundred: handed out together, they cost
        // one wake-up, not one each.
        if (handed.size() >= m_jobs)
            Queue(handed);
    }
    Queue(handed);
    return !m_listDone;
}

void ParallelRun::Queue(std::vector<std::unique_ptr<Task>>& tasks)
{
    if (tasks.empty())
        return;
    if (!m_own)
        StartWorkers();
    // A large file is made by a worker only: the last one starts with the
    // first of them.
    if (m_threads.size() < m_jobs) {
        for (const auto& task : tasks) {
            if (task->bytes >= LendBelow) {
                AddWorkers(m_jobs - m_threads.size());
                break;
            }
        }
    }
    std::size_t idle = 0;
    {
        const std::lock_guard lock(m_lock);
        for (const auto& task : tasks)
            m_queue.push_back(task.get());
        idle = m_idle;
    }
    for (auto& task : tasks)
        m_inFlight.push_back(std::move(task));
    if (idle > 1 && tasks.size() > 1)
        m_work.notify_all();
    else if (idle > 0)
        m_work.notify_one();
    tasks.clear();
}

void ParallelRun::StartWorkers()
{
    // Made here, on the batch's thread: the first clears what killed runs
    // left behind, and that is told before any file. This thread is one of
    // the files at work: it makes small files while it would wait, so a
    // thread fewer keeps every core busy without taking turns on them.
    m_own.emplace(m_action.MakeWorker(nullptr));
    g_filesAtWork = static_cast<unsigned>(m_jobs);
    AddWorkers(m_jobs - 1);
}

void ParallelRun::AddWorkers(std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        m_workers.push_back(*m_own);
        MyObjectAes& worker = m_workers.back();
        m_threads.emplace_back([this, &worker] { Work(worker); });
    }
}

void ParallelRun::Work(MyObjectAes& worker)
{
    for (;;) {
        Task* task = nullptr;
        {
            std::unique_lock lock(m_lock);
            if (!m_stopping && m_queue.empty()) {
                ++m_idle;
                m_work.wait(lock, [&] { return m_stopping || !m_queue.empty(); });
                --m_idle;
            }
            if (m_stopping)
                return;
            task = m_queue.front();
            m_queue.pop_front();
        }
        RunTask(worker, *task);
    }
}

void ParallelRun::RunTask(MyObjectAes& worker, Task& task)
{
    worker.SetSink(&task.sink);
    worker.SetFilter(task.filterIn);
    try {
        worker.Run(*task.found);
        task.ok = worker.ResultOk();
        task.pending = worker.ResultPending();
        task.size = worker.GetSize();
    } catch (const ErrorHandler& e) {
        // Only a break passes a run: no file after this one is wanted.
        task.broke = e;
        std::size_t at = m_shared.brokenAt.load();
        while (task.index < at && !m_shared.brokenAt.compare_exchange_weak(at, task.index)) {
        }
    } catch (...) {
        task.failure = std::current_exception();
        std::size_t at = m_shared.brokenAt.load();
        while (task.index < at && !m_shared.brokenAt.compare_exchange_weak(at, task.index)) {
        }
    }
    task.filterOut = worker.GetFilter();
    task.direction = worker.GetLastDirection();
    task.handed = worker.HandOff();
    worker.SetSink(nullptr);
    bool awaited = false;
    {
        const std::lock_guard lock(m_lock);
        task.done = true;
        awaited = &task == m_awaited;
    }
    if (awaited)
        m_finished.notify_one();
}

bool ParallelRun::TakeSmall()
{
    // Once every worker has started, this thread is no longer one of the
    // files at work: with it there would be one more than asked for.
    if (m_threads.size() >= m_jobs)
        return false;
    Task* task = nullptr;
    {
        const std::lock_guard lock(m_lock);
        if (m_queue.empty() || m_queue.front()->bytes >= LendBelow)
            return false;
        task = m_queue.front();
        m_queue.pop_front();
    }
    RunTask(*m_own, *task);
    return true;
}

void ParallelRun::Poll()
{
    if (m_sink == nullptr)
        return;
    float units = 0.0f;
    for (const auto& task : m_inFlight)
        units += task->sink.TakeProgress();
    // The step of the first file not finished: the one the batch waits for.
    for (const auto& task : m_inFlight) {
        bool done = false;
        {
            const std::lock_guard lock(m_lock);
            done = task->done;
        }
        if (done)
            continue;
        std::string text;
        int level = 0;
        if (task->sink.TakePreview(text, level))
            m_sink->DoPreview(text, level);
        break;
    }
    // Also when nothing moved: the display is kept alive and asked.
    m_sink->AddProgress(units);
    if (m_sink->IsBreakRequested())
        m_shared.cancelled = true;
}

void ParallelRun::AdoptFront()
{
    while (!m_inFlight.empty()) {
        Task& task = *m_inFlight.front();
        {
            const std::lock_guard lock(m_lock);
            if (!task.done)
                return;
        }
        if (task.failure)
            std::rethrow_exception(task.failure);
        if (task.direction == MyObjectAes::Encryption && task.filterIn != m_filterNow) {
            Redo(task);
            return;
        }
        // A run leaves the filter word as it found it, or takes its
        // container's.
        if (task.filterOut != task.filterIn)
            m_filterNow = task.filterOut;
        m_action.Adopt(std::move(task.handed), task.folder);
        // The break is told by its file's lines, then ends the batch; the
        // files before it are committed on the way out.
        if (task.broke)
            throw *task.broke;
        if (task.ok && !task.pending) {
            m_totalBytes += task.size;
            ++m_totalFiles;
        } else if (!task.ok) {
            ++m_totalErrors;
        }
        CountSettled();
        m_inFlight.pop_front();
    }
}

void ParallelRun::Redo(Task& task)
{
    // Encrypted with the filter word the batch had when the file was handed
    // out, while an earlier file decrypted since has replaced it for the
    // files after it, as one at a time does: what the run made goes without
    // a word, and the file is run again, first of all, with the right one.
    task.handed = GroupCommit::Handed{};
    task.ok = task.pending = false;
    task.size = 0;
    task.broke.reset();
    task.filterIn = m_filterNow;
    task.direction = MyObjectAes::Automatic;
    {
        const std::lock_guard lock(m_lock);
        task.done = false;
        m_queue.push_front(&task);
    }
    m_work.notify_one();
}

void ParallelRun::Stop()
{
    {
        const std::lock_guard lock(m_lock);
        m_stopping = true;
        m_queue.clear();
    }
    // Files still at work are not wanted any more: they stop at their next
    // look at the sink and roll back.
    m_shared.cancelled = true;
    m_work.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
    m_threads.clear();
    m_workers.clear();
    m_own.reset();
    g_filesAtWork = 1;
    // Outputs not adopted go with their temporary files, without a word.
    m_inFlight.clear();
    {
        const std::lock_guard lock(m_lock);
        m_stopping = false;
    }
}

void ParallelRun::CountSettled()
{
    const MyObject::Settled settled = m_action.TakeSettled();
    m_totalFiles += settled.files;
    m_totalBytes += settled.bytes;
    m_totalErrors += settled.errors;
}

} // namespace tessarin
