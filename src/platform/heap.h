// How the process's heap serves its threads.
#pragma once

namespace platform {

// One heap for every thread. The service's threads seldom allocate at the same moment, and
// with a heap per thread the memory a large message needed stayed with the thread that freed
// it, once per connection thread; with one heap the next large message reuses it. Call on
// the main thread before any other thread starts.
void UseOneHeapForAllThreads();

}  // namespace platform
