#pragma once
// Runs the per-file action over a batch's list with several files at work
// at once, and keeps every promise of one file at a time: the files are
// committed in the order of the list (a file's output only after every
// earlier file's), the log and the display get the same lines in the same
// order, and the counts are the same.
//
// Each worker thread runs its own copy of the action, which hands every
// file off instead of committing it. This thread reads the list, hands the
// files out in order, passes progress and the current step on to the sink,
// asks the sink for a break, and adopts the finished files one after the
// other into the action's own shared commit. The workers run ahead of the
// commit by as many files as one commit takes: while this thread renames
// and deletes a group's files, they make the next group's outputs, mostly
// in the next folder, where the kernel does not make them wait. A break
// rolls back the first file of the list not finished when it is seen,
// which tells it as it would alone, and silently every file after it: the
// folder ends as one file at a time would have left it.
#include "EngineApi.h"
#include "processing/CaptureSink.h"
#include "processing/MyObjectAes.h"
#include "selection/MyFileTable.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace tessarin {

class ENGINE_API ParallelRun {
public:
    // Neither the action nor the sink (the action's) is owned; jobs: the
    // files at work at once, at least 2 to be worth it.
    ParallelRun(MyObjectAes& action, MyStream* sink, int jobs);
    ~ParallelRun();
    ParallelRun(const ParallelRun&) = delete;
    ParallelRun& operator=(const ParallelRun&) = delete;

    // As MyFinder's: every regular file the list (opened for reading)
    // names. Throws the break (-28) once the files before it are settled;
    // no worker outlives it, whichever way it ends.
    void ForEach(MyFileTable& list);

    // The processors one file may keep busy: all of them, or its share
    // while a parallel batch runs, so that threads within a file (a
    // compressor's) do not multiply by the files at work.
    static unsigned CoresPerFile();

    std::uint32_t GetTotalFiles() const { return m_totalFiles; }
    std::uint32_t GetTotalBytes() const { return m_totalBytes; }
    std::uint32_t GetTotalErrors() const { return m_totalErrors; }

private:
    struct Task;
    class Finish;

    bool HandOut(MyFileTable& list);
    // Puts the tasks in flight and on the workers' queue.
    void Queue(std::vector<std::unique_ptr<Task>>& tasks);
    void StartWorkers();
    void AddWorkers(std::size_t count);
    void Work(MyObjectAes& worker);
    void RunTask(MyObjectAes& worker, Task& task);
    // Runs the next file on the queue here when it is small; false if none.
    bool TakeSmall();
    void Poll();
    void AdoptFront();
    void Redo(Task& task);
    void Stop();
    void CountSettled();

    MyObjectAes& m_action;
    MyStream* m_sink;
    std::size_t m_jobs;
    CaptureSink::Shared m_shared;
    std::deque<std::unique_ptr<Task>> m_inFlight;  // in list order; this thread's
    std::size_t m_nextIndex = 0;
    std::uint32_t m_filterNow = 0;  // the action's filter word after the files adopted
    bool m_listDone = false;

    std::mutex m_lock;  // guards what follows, and each task's done
    std::condition_variable m_work;
    std::condition_variable m_finished;
    std::deque<Task*> m_queue;
    bool m_stopping = false;
    std::size_t m_idle = 0;  // workers waiting for a file
    // The task this thread waits for: only its end is worth waking it.
    const Task* m_awaited = nullptr;
    std::deque<MyObjectAes> m_workers;
    std::optional<MyObjectAes> m_own;  // this thread's, for the small files it takes
    std::vector<std::thread> m_threads;

    std::uint32_t m_totalFiles = 0;
    std::uint32_t m_totalBytes = 0;
    std::uint32_t m_totalErrors = 0;
};

} // namespace tessarin
