// Where the service keeps its print queue while the queue exists, so that request threads
// can use it without ever reaching a destroyed one: Use runs its action under a shared lock,
// and Take, which hands the queue over for destruction, waits under the exclusive lock until
// the actions in progress have returned. After Take, Use finds no queue and says so at once,
// also while the queue taken out is still being destroyed (which may take a print job long).
//
// Thread contract: any thread. Actions must be short (queueing a file, setting the print
// settings); they must not call Put or Take.
#pragma once

#include <functional>
#include <memory>
#include <shared_mutex>

#include "printing/print_queue.h"

namespace printing {

class PrintQueueSlot {
public:
    PrintQueueSlot() = default;
    PrintQueueSlot(const PrintQueueSlot&) = delete;
    PrintQueueSlot& operator=(const PrintQueueSlot&) = delete;
    // Destroys a queue still held, joining its worker.
    ~PrintQueueSlot() = default;

    // Holds `queue` from now on; a queue held before is destroyed (outside the lock).
    void Put(std::unique_ptr<TPrintQueue> queue);

    // Empties the slot and returns what it held (nullptr when empty).
    std::unique_ptr<TPrintQueue> Take();

    // Runs `action` with the queue and returns true; false, without running it, when the
    // slot is empty.
    bool Use(const std::function<void(TPrintQueue&)>& action);

private:
    std::shared_mutex mutex_;
    std::unique_ptr<TPrintQueue> queue_;  // guarded by mutex_
};

}  // namespace printing
