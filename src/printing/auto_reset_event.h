// An event that wakes one waiter and then resets itself. A signal given while nobody waits
// is kept for the next wait; several signals before a wait count as one. Thread-safe.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace printing {

class AutoResetEvent {
public:
    void Signal();
    void Wait();
    // False when `timeout` passed without a signal.
    bool WaitFor(std::chrono::milliseconds timeout);

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_ = false;  // guarded by mutex_
};

}  // namespace printing
