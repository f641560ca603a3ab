// Allocations that fail on demand, to test that running out of memory is
// reported rather than ending the program. FailingAllocations.cpp replaces
// the test program's global operator new; no limit is set until a test sets one.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

namespace failing_allocations {
// Requests larger than this many bytes throw std::bad_alloc.
inline std::size_t limit = static_cast<std::size_t>(-1);
} // namespace failing_allocations

// While it lives, every allocation above `bytes` fails.
class AllocationLimit {
public:
    explicit AllocationLimit(std::size_t bytes) { failing_allocations::limit = bytes; }
    ~AllocationLimit() { failing_allocations::limit = static_cast<std::size_t>(-1); }
    AllocationLimit(const AllocationLimit&) = delete;
    AllocationLimit& operator=(const AllocationLimit&) = delete;
};
