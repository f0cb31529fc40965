#include "transport/worker_threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;
using transport::WorkerThreads;

// Counts arrivals; a waiter is released once `expected` have arrived (or after a bound).
class Gate {
public:
    explicit Gate(int expected) : expected_(expected) {}
    bool ArriveAndWait() {
        std::unique_lock lock(mutex_);
        ++arrived_;
        changed_.notify_all();
        return changed_.wait_for(lock, 10s, [this] { return arrived_ >= expected_; });
    }
    bool WaitFor(int count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 10s, [&] { return arrived_ >= count; });
    }
    void Arrive() {
        std::lock_guard lock(mutex_);
        ++arrived_;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    const int expected_;
    int arrived_ = 0;
};

TEST(WorkerThreads, JobsRunAtTheSameTimeWithoutWaitingForEachOther) {
    // Each job waits for all the others: a job queued behind a busy thread would never come.
    constexpr int kJobs = 4;
    Gate all(kJobs);
    std::atomic<int> released{0};
    {
        WorkerThreads threads(30s);
        for (int i = 0; i < kJobs; ++i)
            threads.Run([&] { released += all.ArriveAndWait() ? 1 : 0; });
    }
    EXPECT_EQ(released, kJobs);
}

TEST(WorkerThreads, StopWaitsForTheJobsStillRunning) {
    std::atomic<bool> finished{false};
    Gate started(1);
    WorkerThreads threads(30s);
    threads.Run([&] {
        started.Arrive();
        std::this_thread::sleep_for(50ms);
        finished = true;
    });
    ASSERT_TRUE(started.WaitFor(1));
    threads.Stop();
    EXPECT_TRUE(finished);
}

TEST(WorkerThreads, JobsKeepRunningAfterIdleThreadsEnded) {
    WorkerThreads threads(1ms);
    Gate done(3);
    for (int i = 0; i < 3; ++i) {
        threads.Run([&] { done.Arrive(); });
        ASSERT_TRUE(done.WaitFor(i + 1)) << "job " << i;
        // Long enough for the thread to give up waiting, so the next job needs a new one.
        std::this_thread::sleep_for(20ms);
    }
}

}  // namespace
