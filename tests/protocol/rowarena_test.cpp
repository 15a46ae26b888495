// The row store of buffered results: every block handed out lies wholly inside one chunk,
// whatever the sequence of row sizes around each chunk growth step.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "protocol/MysqlClientImpl.h"

namespace {

std::vector<size_t> sizesAroundPowersOfTwo()
{
    std::vector<size_t> sizes;
    for (int k = 0; k <= 24; ++k) {
        size_t p = size_t(1) << k;
        sizes.insert(sizes.end(), {p - 1, p, p + 1});
    }
    return sizes;
}

} // namespace

TEST(RowStore, EveryBlockFitsItsChunkForEverySizeAndOrder)
{
    const std::vector<size_t> sizes = sizesAroundPowersOfTwo();
    // A size alone first, after a small row, after a row of the same size, and before the
    // next size: each puts the growth step at another place.
    for (size_t n : sizes) {
        for (size_t before : {size_t(0), size_t(10), n, size_t(16384), size_t(40000)}) {
            RowArena arena;
            for (size_t m : {before, n, n, size_t(7)}) {
                if (m == 0) continue;
                uint8_t* p = arena.allocate(m);
                ASSERT_GE(arena.roomAt(p), m) << "row of " << m << " after " << before;
                std::memset(p, 0xAB, m);
            }
        }
    }
}

TEST(RowStore, ShrinkingTheLastBlockLetsTheNextOneFollowIt)
{
    RowArena arena;
    uint8_t* a = arena.allocate(1000);
    arena.shrinkLast(a, 10);
    uint8_t* b = arena.allocate(8);
    EXPECT_EQ(b, a + 12) << "10 bytes rounded up to 4-byte alignment";
    EXPECT_GE(arena.roomAt(b), 8u);
}
