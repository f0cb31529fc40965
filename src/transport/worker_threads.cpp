#include "transport/worker_threads.h"

namespace transport {

WorkerThreads::WorkerThreads(std::chrono::milliseconds keep_idle) : keep_idle_(keep_idle) {}

WorkerThreads::~WorkerThreads() { Stop(); }

void WorkerThreads::Run(std::function<void()> job) {
    JoinExited();
    std::unique_lock lock(mutex_);
    jobs_.push_back(std::move(job));
    if (idle_ >= jobs_.size()) {
        // Woken once the lock is free: woken under it, the worker would run only to wait for
        // the lock and be woken a second time.
        lock.unlock();
        wake_.notify_one();
        return;
    }
    Worker& worker = workers_.emplace_back();
    try {
        worker.thread = std::thread(&WorkerThreads::Loop, this, std::ref(worker));
    } catch (...) {
        workers_.pop_back();
        jobs_.pop_back();
        throw;
    }
}

void WorkerThreads::Loop(Worker& worker) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (jobs_.empty()) {
            if (stopping_) break;
            ++idle_;
            const bool woken =
                wake_.wait_for(lock, keep_idle_, [this] { return stopping_ || !jobs_.empty(); });
            --idle_;
            if (!woken) break;
            continue;
        }
        std::function<void()> job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        job();
        job = nullptr;  // whatever the job holds goes before the thread waits again
        lock.lock();
    }
    worker.exited = true;
}

void WorkerThreads::JoinExited() {
    std::list<Worker> exited;
    {
        std::lock_guard lock(mutex_);
        for (auto it = workers_.begin(); it != workers_.end();) {
            auto next = std::next(it);
            if (it->exited) exited.splice(exited.end(), workers_, it);
            it = next;
        }
    }
    for (Worker& worker : exited) worker.thread.join();
}

void WorkerThreads::Stop() {
    std::list<Worker> all;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        wake_.notify_all();
        all.splice(all.end(), workers_);
    }
    for (Worker& worker : all) worker.thread.join();
    std::lock_guard lock(mutex_);
    stopping_ = false;
}

}  // namespace transport
