#include "AllocCounter.h"

#include <atomic>
#include <cstdlib>
#include <malloc.h>
#include <new>

// Global operator new/delete of the test program, tracking the bytes in use.
namespace {
std::atomic<long long> g_inUse{0};
std::atomic<long long> g_peak{0};
std::atomic<long long> g_base{0};

void* allocate(std::size_t n)
{
    void* p = std::malloc(n ? n : 1);
    if (!p) throw std::bad_alloc();
    long long now = g_inUse += (long long)malloc_usable_size(p);
    long long peak = g_peak.load();
    while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
    }
    return p;
}
void release(void* p)
{
    if (!p) return;
    g_inUse -= (long long)malloc_usable_size(p);
    std::free(p);
}
}  // namespace

void* operator new(std::size_t n) { return allocate(n); }
void* operator new[](std::size_t n) { return allocate(n); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }

namespace vt::rt::test {

PeakHeap::PeakHeap()
{
    g_base = g_inUse.load();
    g_peak = g_base.load();
}
PeakHeap::~PeakHeap() = default;
std::size_t PeakHeap::peak() const { return std::size_t(g_peak.load() - g_base.load()); }

}  // namespace vt::rt::test
