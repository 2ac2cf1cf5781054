// Test-side view of the heap calls that library objects make: the test program is linked with
// --wrap=malloc --wrap=free, so those calls come here first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct FreedBlock {
    const void* address;
    std::vector<uint8_t> contents;  // what the block held when it was freed
};

// Starts recording allocations and frees (and forgets earlier records).
void HeapProbeStart();
// The blocks freed since HeapProbeStart that had been allocated since then.
const std::vector<FreedBlock>& HeapProbeFreed();
// Number of blocks allocated since HeapProbeStart and not yet freed.
size_t HeapProbeLive();
// Makes the next n allocations fail.
void HeapProbeFailNext(int n);
