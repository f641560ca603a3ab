// Allocations that fail on demand, to test that running out of memory is
// reported rather than ending the program. Include in one file of a test
// executable only: it replaces the global operator new.
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

// Kept out of line: inlined into their callers, GCC 14 takes the free() in a
// replaced operator delete for a mismatch with operator new
// (-Wmismatched-new-delete), which is a false positive.
#define NV815_OUT_OF_LINE __attribute__((noinline))

NV815_OUT_OF_LINE void* operator new(std::size_t n) {
    if (n > failing_allocations::limit)
        throw std::bad_alloc();
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
NV815_OUT_OF_LINE void* operator new[](std::size_t n) {
    return operator new(n);
}
NV815_OUT_OF_LINE void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    return n > failing_allocations::limit ? nullptr : std::malloc(n ? n : 1);
}
NV815_OUT_OF_LINE void* operator new[](std::size_t n, const std::nothrow_t& tag) noexcept {
    return operator new(n, tag);
}
NV815_OUT_OF_LINE void operator delete(void* p) noexcept {
    std::free(p);
}
NV815_OUT_OF_LINE void operator delete[](void* p) noexcept {
    std::free(p);
}
NV815_OUT_OF_LINE void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
NV815_OUT_OF_LINE void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
NV815_OUT_OF_LINE void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
NV815_OUT_OF_LINE void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
