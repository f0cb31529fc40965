#include "printing/print_queue_slot.h"

#include <mutex>

namespace printing {

void PrintQueueSlot::Put(std::unique_ptr<TPrintQueue> queue) {
    std::unique_ptr<TPrintQueue> previous = Take();
    std::unique_lock lock(mutex_);
    queue_ = std::move(queue);
}

std::unique_ptr<TPrintQueue> PrintQueueSlot::Take() {
    std::unique_lock lock(mutex_);
    return std::move(queue_);
}

bool PrintQueueSlot::Use(const std::function<void(TPrintQueue&)>& action) {
    std::shared_lock lock(mutex_);
    if (!queue_) return false;
    action(*queue_);
    return true;
}

}  // namespace printing
