// The test program's global operator new and delete: as the standard ones,
// but for a request above the limit a test set (FailingAllocations.h).
#include "FailingAllocations.h"

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
