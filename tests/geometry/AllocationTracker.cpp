// Replaces the global operator new of the geometry test program. It lives in its own
// file so that no caller sees the malloc/free pair through inlining.
#include "AllocationTracker.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<bool> Tracking{false};
std::atomic<std::size_t> Largest{0};
} // namespace

void* operator new(std::size_t Size) {
    if (Tracking.load(std::memory_order_relaxed)) {
        std::size_t Prev = Largest.load(std::memory_order_relaxed);
        while (Size > Prev && !Largest.compare_exchange_weak(Prev, Size)) {
        }
    }
    if (void* Ptr = std::malloc(Size ? Size : 1))
        return Ptr;
    throw std::bad_alloc();
}

void operator delete(void* Ptr) noexcept {
    std::free(Ptr);
}

void operator delete(void* Ptr, std::size_t) noexcept {
    std::free(Ptr);
}

namespace kalvex::test {

void StartTrackingAllocations() {
    Largest = 0;
    Tracking = true;
}

std::size_t StopTrackingAllocations() {
    Tracking = false;
    return Largest.load();
}

} // namespace kalvex::test
