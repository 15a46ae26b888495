// Error texts, escaping, field-flag tests, SHA-1 and the password scrambles.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "protocol/MysqlFunctions.h"
#include "protocol/TMysqlResult.h"

namespace {

std::string hex(const uint8_t* p, size_t n)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}
template <size_t N> std::string hex(const std::array<uint8_t, N>& a) { return hex(a.data(), N); }

std::string hashHex(std::string_view text)
{
    auto [a, b] = HashPasswordOld(text);
    char buf[17];
    std::snprintf(buf, sizeof buf, "%08x%08x", a, b);
    return buf;
}

} // namespace

TEST(ClientErrorText, HoldsTheTwentyOneTextsOfTheTable)
{
    const std::vector<std::pair<int, const char*>> cases = {
        {2000, "Unknown MySQL error"},
        {2001, "Can't create UNIX socket (%d)"},
        {2002, "Can't connect to local MySQL server through socket '%-.64s' (%d)"},
        {2003, "Can't connect to MySQL server on '%-.64s' (%d)"},
        {2004, "Can't create TCP/IP socket (%d)"},
        {2005, "Unknown MySQL Server Host '%-.64s' (%d)"},
        {2006, "MySQL server has gone away"},
        {2007, "Protocol mismatch. Server Version = %d Client Version = %d"},
        {2008, "MySQL client run out of memory"},
        {2009, "Wrong host info"},
        {2010, "Localhost via UNIX socket"},
        {2011, "%-.64s via TCP/IP"},
        {2012, "Error in server handshake"},
        {2013, "Lost connection to MySQL server during query"},
        {2014, "Commands out of sync;  You can't run this command now"},
        {2015, "%-.64s via named pipe"},
        {2016, "Can't wait for named pipe to host: %-.64s  pipe: %-.32s (%lu)"},
        {2017, "Can't open named pipe to host: %-.64s  pipe: %-.32s (%u)"},
        {2018, "Can't set state of named pipe to host: %-.64s  pipe: %-.32s (%lu)"},
        {2019, "Can't initialize character set %-.64s (path: %-.64s)"},
        {2020, "Got packet bigger than 'max_allowed_packet'"},
    };
    for (auto [code, text] : cases)
        EXPECT_STREQ(MysqlClientErrorText(code), text) << code;
    for (int code : {0, 1153, 1999, 2021, -1})
        EXPECT_STREQ(MysqlClientErrorText(code), "") << code;
}

TEST(EscapeString, EscapesTheSevenBytesAndNothingElse)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", ""},
        {"plain text 123", "plain text 123"},
        {"O'Brien", "O\\'Brien"},
        {"say \"hi\"", "say \\\"hi\\\""},
        {"C:\\dir\\", "C:\\\\dir\\\\"},
        {"a\tb\nc\rd", "a\\tb\\nc\\rd"},
        {std::string("x\0y", 3), "x\\0y"},
        {"\x1a", "\x1a"},                                  // Ctrl-Z is left alone
        {"\x80\xff\xc3\xa9", "\x80\xff\xc3\xa9"},          // high bytes pass unchanged
        {"\\'", "\\\\\\'"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(EscapeString(in), out) << in;
}

TEST(EscapeString, AllSevenSpecialBytesDoubleTheLength)
{
    const std::string in("'\"\\\t\n\r\0", 7);
    const std::string out = EscapeString(in);
    EXPECT_EQ(out, "\\'\\\"\\\\\\t\\n\\r\\0");
    EXPECT_EQ(out.size(), 2 * in.size());
}

TEST(FieldFlags, EachTestReadsItsOwnBitAndIsFalseWithoutADescription)
{
    using Test = bool (*)(const TMysqlFieldInfo*);
    const std::vector<std::pair<Test, uint32_t>> tests = {
        {IsNotNull, 1},  {IsPrimaryKey, 2}, {IsUniqueKey, 4},        {IsBlob, 16},
        {IsUnsigned, 32}, {IsZerofill, 64}, {IsBinary, 128},          {IsEnum, 256},
        {IsAutoIncrement, 512}, {IsSet, 2048},
    };
    TMysqlFieldInfo f;
    for (size_t i = 0; i < tests.size(); ++i) {
        auto [test, bit] = tests[i];
        EXPECT_FALSE(test(nullptr)) << bit;
        f.Flags = bit;
        EXPECT_TRUE(test(&f)) << bit;
        f.Flags = ~bit;  // every other bit set
        EXPECT_FALSE(test(&f)) << bit;
    }
}

TEST(Sha1, MatchesThePublishedTestVectors)
{
    EXPECT_EQ(hex(Sha1::Of("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(hex(Sha1::Of("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    EXPECT_EQ(hex(Sha1::Of(std::string(1000000, 'a'))),
              "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
    EXPECT_EQ(hex(Sha1::Of("")), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
}

TEST(Sha1, PiecewiseInputAcrossBlockAndPaddingBoundariesEqualsOneShot)
{
    // Lengths around 55/56/64 bytes exercise the one- and two-block padding paths.
    for (size_t n : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 1000u}) {
        std::string data(n, '\0');
        for (size_t i = 0; i < n; ++i)
            data[i] = static_cast<char>(i * 7 + 3);
        Sha1 sha;
        for (size_t pos = 0; pos < n; pos += 13)
            sha.Input(data.data() + pos, std::min<size_t>(13, n - pos));
        EXPECT_EQ(sha.Result(), Sha1::Of(data)) << n;
    }
}

TEST(Sha1, ResetStartsOverAndResultIsStable)
{
    Sha1 sha;
    sha.Input("garbage", 7);
    sha.Reset();
    sha.Input("abc", 3);
    const auto first = sha.Result();
    EXPECT_EQ(hex(first), "a9993e364706816aba3e25717850c26c9cd0d89d");
    sha.Input("more", 4);  // ignored once the result is taken
    EXPECT_EQ(sha.Result(), first);
}

// Expected hashes are the server's own OLD_PASSWORD() results (MariaDB 10.11), which print
// nr and nr2 as two 8-digit hex numbers.
TEST(HashPasswordOld, MatchesTheServersOldPasswordFunction)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"vttest", "44f5f17058c4753b"},
        {"ADMIN", "45b07dcb6b0e20fb"},
        {"mypass", "6f8c114b58f2ce9e"},
        {"my pass", "6f8c114b58f2ce9e"},   // spaces are skipped
        {"a\tb c", "7cd2b5942be28759"},   // tabs too
        {"\xe4\xf6\xfc\xff\xe4\xf6\xfc\xff\xe4\xf6\xfc\xff", "32e4c58516cde919"},  // high bytes unsigned
        {"", "5030573512345671"},          // the initial values, masked to 31 bits
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(hashHex(text), expected) << text;
}

// Expected values from an independent Python implementation of the algorithm (unbounded
// integers masked to 32 bits, float division). That implementation logged in to MariaDB
// 10.11 as an account with an old-style password, and was refused with a wrong password.
TEST(ScrambleOld, ProducesTheKnownResponses)
{
    struct Case { std::string password, message, expected; };
    const std::vector<Case> cases = {
        {"vttest", "12345678", "SU@GSKYS"},
        {"ADMIN", "ABCDEFGH", "HLK]ZBFR"},
        {"", "abcdefgh", "F\\IGU^RO"},
        {"pass word", "%;X\\aB7q", "]P^KREWI"},
        {"password", "12345678901234567890", "V_Y\\^GNF@RZXNBNMQY\\^"},  // any length
    };
    for (const auto& c : cases) {
        const std::string r = ScrambleOld(c.password, c.message);
        EXPECT_EQ(r, c.expected) << c.password << " / " << c.message;
        EXPECT_EQ(r.size(), c.message.size());
    }
    EXPECT_EQ(ScrambleOld("pass word", "12345678"), ScrambleOld("password", "12345678"));
    EXPECT_EQ(ScrambleOld("x", ""), "");
}

// Expected values from Python's hashlib: sha1(s + sha1(sha1(p))) xor sha1(p). The same
// Python code logged in to MariaDB 10.11 with a native-password account.
TEST(ScrambleSha1, ProducesTheKnownResponses)
{
    std::string s2(20, '\0');
    for (int i = 0; i < 20; ++i)
        s2[i] = static_cast<char>(i + 1);
    struct Case { std::string scramble, password, expected; };
    const std::vector<Case> cases = {
        {"12345678901234567890", "vttest", "d028bc66c69a4f1dd0bb035030f186301647a04b"},
        {s2, "secret", "b32bb3a583e1340c0a1108d58b1be49781ad8c2f"},
        {"ABCDEFGHIJKLMNOPQRST", "p\xe4ss w\tord", "09863504f8b3cb2745e06cea866bceb122817a94"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(hex(ScrambleSha1(c.scramble, c.password)), c.expected) << c.password;
}

TEST(ScrambleSha1, DoubleHashOfThePasswordIsWhatTheServerStores)
{
    // The server's PASSWORD('vttest') is "*" + hex(sha1(sha1('vttest'))).
    const auto stage1 = Sha1::Of("vttest");
    const auto stage2 = Sha1::Of(std::string_view(reinterpret_cast<const char*>(stage1.data()), 20));
    EXPECT_EQ(hex(stage2), "7295731de35385a42c39ee2842c240ba95431fdf");
}
