// Counts the heap allocations that the test program makes while counting is on. The global
// operator new and delete are replaced for the whole program; C allocations (malloc and its
// kin) are counted too where no sanitizer has taken them over.
#pragma once

#include <cstdint>

void StartCountingAllocations();
// The allocations made since StartCountingAllocations; counting stops.
int64_t StopCountingAllocations();
// Whether this build counts malloc, calloc, realloc and the aligned forms as well.
bool CountsCAllocations();
