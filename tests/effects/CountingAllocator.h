#pragma once
// Counts the allocations the test program makes while counting is on (main thread and
// any other; the effects run on the main thread alone).
#include <cstdint>

namespace zt_test {
void StartCountingAllocations();
// Stops and returns how many allocations were made since the start.
int64_t StopCountingAllocations();
}  // namespace zt_test
