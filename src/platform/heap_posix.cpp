#include <malloc.h>

#include "platform/heap.h"

namespace platform {

void UseOneHeapForAllThreads() { ::mallopt(M_ARENA_MAX, 1); }

}  // namespace platform
