// Stored and streamed results against the private server, with values of every size class
// of the row store: each power of two from 1 byte to the largest row, and one byte either side.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "protocol/TMysqlClient.h"
#include "TestServer.h"

namespace {

// Two columns of two rows: n bytes and a short tail. The largest row that fits one packet
// (16,777,214 bytes) minus the value's 4-byte length and the tail's 6 bytes.
constexpr size_t LargestValue = 16777214 - 4 - 6;

std::vector<size_t> sweepSizes()
{
    std::vector<size_t> sizes{0};
    for (int k = 0; k <= 24; ++k) {
        size_t p = size_t(1) << k;
        for (size_t n : {p - 1, p, p + 1})
            if (n <= LargestValue) sizes.push_back(n);
    }
    sizes.push_back(LargestValue);
    std::sort(sizes.begin(), sizes.end());
    sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
    return sizes;
}

// The value of row r: n bytes, its first and last byte marked so a shifted or cut copy shows.
std::string expectedValue(size_t n, char fill)
{
    std::string v(n, fill);
    if (n > 0) v.front() = '<';
    if (n > 1) v.back() = '>';
    return v;
}

std::string valueSql(size_t n, char fill)
{
    if (n == 0) return "''";
    if (n == 1) return "'<'";
    return "concat('<', repeat('" + std::string(1, fill) + "', " + std::to_string(n - 2) + "), '>')";
}

class RowStoreSweep : public testing::TestWithParam<std::tuple<bool, bool>> {};

} // namespace

TEST_P(RowStoreSweep, EverySizeClassReadsBackExactly)
{
    const auto [compress, store] = GetParam();
    TMysqlClient c;
    c.SetPreferCompression(compress);
    c.SetConnectTimeout(20);
    const auto& s = vt::test::testServer();
    ASSERT_TRUE(c.Connect(s.host, s.user, s.password, "", s.port, 0)) << c.ErrorText();
    for (size_t n : sweepSizes()) {
        // Three rows: the size under test twice (the second lands after the first in the
        // store), then a short row that must not be disturbed by either.
        std::string sql = "select " + valueSql(n, 'x') + ", 'tail1' union all select " +
                          valueSql(n, 'y') + ", 'tail2' union all select 'z', 'tail3'";
        bool ok = false;
        auto r = c.Query(sql, store, ok);
        ASSERT_TRUE(ok && r) << n << ": " << c.ErrorText();
        const std::string values[] = {expectedValue(n, 'x'), expectedValue(n, 'y'), "z"};
        const char* tails[] = {"tail1", "tail2", "tail3"};
        for (int row = 0; row < 3; ++row) {
            if (store) r->Seek(row);
            r->FetchLengths();
            ASSERT_NE(r->FieldValue(0), nullptr) << n << " row " << row;
            ASSERT_EQ(r->FieldLength(0), values[row].size()) << n << " row " << row;
            EXPECT_TRUE(std::equal(values[row].begin(), values[row].end(), r->FieldValue(0)))
                << n << " row " << row;
            EXPECT_EQ(r->FieldValue(0)[values[row].size()], '\0') << n;
            EXPECT_STREQ(r->FieldValue(1), tails[row]) << n << " row " << row;
            if (!store) r->Next();
        }
        if (store) {
            EXPECT_EQ(r->RowCount(), 3);
            EXPECT_EQ(r->FieldDef(0)->MaxLength, uint32_t(std::max<size_t>(n, 1))) << n;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    ServerClient, RowStoreSweep, testing::Combine(testing::Bool(), testing::Bool()),
    [](const testing::TestParamInfo<std::tuple<bool, bool>>& info) {
        return std::string(std::get<0>(info.param) ? "Compressed" : "Plain") +
               (std::get<1>(info.param) ? "Buffered" : "Unbuffered");
    });
