// Threads that run jobs (the listener's connections), kept after a job ends so the next one
// starts at once instead of waiting for a new thread: thread start-up was a visible part of a
// connection's set-up. A thread that stays idle for `keep_idle` ends. No limit on how many
// run at a time: every job gets a thread without waiting.
//
// Thread contract: Run and Stop are called by one owner thread; the jobs run on the pool's.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

namespace transport {

class WorkerThreads {
public:
    explicit WorkerThreads(std::chrono::milliseconds keep_idle);
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;
    ~WorkerThreads();  // Stop()

    // Runs `job` on an idle thread or a new one. Raises std::system_error when no thread
    // can be started; the job is then dropped. A job must not raise.
    void Run(std::function<void()> job);

    // Waits for every job given so far to end and joins every thread.
    void Stop();

private:
    struct Worker {
        std::thread thread;
        bool exited = false;  // guarded by mutex_
    };

    void Loop(Worker& worker);
    // Joins the threads that ended after being idle too long.
    void JoinExited();

    const std::chrono::milliseconds keep_idle_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;  // guarded by mutex_
    size_t idle_ = 0;                         // guarded by mutex_
    bool stopping_ = false;                   // guarded by mutex_
    std::list<Worker> workers_;               // guarded by mutex_; threads joined by the owner
};

}  // namespace transport
