#pragma once
// Counts heap bytes in use while a scope is measured: the peak above the level at its start.
#include <cstddef>

namespace vt::rt::test {

class PeakHeap {
public:
    PeakHeap();
    ~PeakHeap();
    std::size_t peak() const;  // bytes above the starting level at the highest point so far
};

}  // namespace vt::rt::test
