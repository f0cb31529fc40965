#include "platform/heap.h"

namespace platform {

// The C runtime allocates from the process heap, which every thread already shares.
void UseOneHeapForAllThreads() {}

}  // namespace platform
