// The protocol client against the scripted fake server: handshake variants, replies a
// real server will not produce, hostile packets and result navigation.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>
#include <thread>

#include <unistd.h>

#include "FakeServer.h"
#include "protocol/MysqlFunctions.h"
#include "protocol/TMysqlClient.h"

using namespace fake;

namespace {

constexpr uint16_t NoCompress = 0xA0AD & ~32;

std::string row(std::initializer_list<std::optional<std::string>> values)
{
    std::string s;
    for (const auto& v : values)
        s += v ? lengthCodedString(*v) : std::string("\xfb");
    return s;
}

// A result set's packets starting at sequence seq.
std::string resultSet(uint8_t seq, const std::vector<std::string>& columns, const std::vector<std::string>& rows)
{
    std::string s = packet(seq++, lengthCoded(columns.size()));
    for (const auto& c : columns)
        s += packet(seq++, c);
    s += packet(seq++, eofPayload());
    for (const auto& r : rows)
        s += packet(seq++, r);
    s += packet(seq++, eofPayload());
    return s;
}

struct Client {
    TMysqlClient c;
    explicit Client(bool autoReconnect = false, bool compress = false)
    {
        c.SetAutoReconnect(autoReconnect);
        c.SetPreferCompression(compress);
        c.SetConnectTimeout(2);
    }
    bool connect(FakeServer& s, const std::string& password = "secret", const std::string& db = "",
                 const std::string& user = "alice")
    {
        return c.Connect("127.0.0.1", user, password, db, s.port(), 0);
    }
    std::unique_ptr<TMysqlResult> query(std::string_view sql, bool store, bool* ok = nullptr)
    {
        bool succeeded = false;
        auto r = c.Query(sql, store, succeeded);
        if (ok) *ok = succeeded;
        return r;
    }
};

// The authentication packet split into its parts.
struct Auth {
    uint16_t flags = 0;
    std::string user;
    std::string response;  // password response as sent (with its length byte or terminator)
    std::string rest;      // database and terminator
};
Auth splitAuth(const std::string& p, bool secure)
{
    Auth a;
    a.flags = uint16_t(uint8_t(p[0]) | (uint8_t(p[1]) << 8));
    size_t z = p.find('\0', 5);
    a.user = p.substr(5, z - 5);
    size_t r = z + 1;
    size_t len = secure && p[r] != '\0' ? 21 : p.find('\0', r) - r + 1;
    a.response = p.substr(r, len);
    a.rest = p.substr(r + len);
    return a;
}

}  // namespace

TEST(Handshake, SecureConnectionSendsTheSha1ScrambleAndCompressionFollows)
{
    FakeServer s;
    GreetingOptions g;  // offers compression
    s.handshake(g).expectCompressed().send(compressedPacket(1, packet(1, okPayload()), 0));
    s.start();
    TMysqlClient c;
    c.SetAutoReconnect(false);
    ASSERT_TRUE(c.Connect("127.0.0.1", "alice", "secret", "", s.port(), 0)) << c.ErrorText();
    EXPECT_EQ(c.ServerVersion(), "5.0.99-fake");
    EXPECT_EQ(c.ClientFlags(), 41093u | 32u) << "compression chosen without being asked for";
    EXPECT_TRUE(c.Ping()) << c.ErrorText();
    c.Close();
    s.finish();
    ASSERT_FALSE(s.failed());
    auto got = s.received();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].seq, 1);
    Auth a = splitAuth(got[0].payload, true);
    EXPECT_EQ(a.flags, 41093 | 32);
    EXPECT_EQ(got[0].payload.substr(2, 3), std::string(3, '\0'));
    EXPECT_EQ(a.user, "alice");
    auto expected = ScrambleSha1(g.scramble, "secret");
    EXPECT_EQ(a.response, char(20) + std::string(expected.begin(), expected.end()));
    EXPECT_EQ(a.rest, std::string(1, '\0'));
    EXPECT_EQ(got[1].payload, packet(0, "\x0e")) << "ping inside a compressed packet";
}

TEST(Handshake, PasswordResponseFormatByGreeting)
{
    struct Case {
        const char* name;
        GreetingOptions greeting;
        std::string password;
        bool secure;
    };
    GreetingOptions plain;
    plain.capabilities = NoCompress;
    GreetingOptions old = plain;
    old.capabilities = NoCompress & ~32768;
    GreetingOptions cut = plain;  // reaches offset v+33 but not v+45
    cut.cutAt = 1 + cut.version.size() + 33 + 5;
    GreetingOptions v9 = plain;
    v9.protocol = 9;
    Case cases[] = {
        {"secure connection", plain, "pw", true},
        {"no secure connection", old, "pw", false},
        {"greeting stops before the second scramble part", cut, "pw", false},
        {"protocol 9", v9, "pw", true},
        {"empty password, secure", plain, "", true},
        {"empty password, old", old, "", false},
    };
    for (const Case& k : cases) {
        FakeServer s;
        s.handshake(k.greeting);
        s.start();
        Client c;
        ASSERT_TRUE(c.connect(s, k.password)) << k.name << ": " << c.c.ErrorText();
        c.c.Close();
        s.finish();
        auto got = s.received();
        ASSERT_EQ(got.size(), 1u) << k.name;
        Auth a = splitAuth(got[0].payload, k.secure);
        std::string expected;
        if (k.password.empty()) {
            expected = std::string(1, '\0');
        } else if (k.secure) {
            auto sha = ScrambleSha1(k.greeting.scramble, k.password);
            expected = char(20) + std::string(sha.begin(), sha.end());
        } else {
            expected = ScrambleOld(k.password, k.greeting.scramble.substr(0, 8)) + '\0';
        }
        EXPECT_EQ(a.response, expected) << k.name;
        EXPECT_EQ(a.rest, std::string(1, '\0')) << k.name;
        EXPECT_EQ(bool(c.c.ServerCapabilities() & 32768), false) << "reset by Close";
    }
}

TEST(Handshake, ServerAskingForThePre41ScrambleGetsPacket3AndAnswersWithPacket4)
{
    FakeServer s;
    GreetingOptions g;
    g.capabilities = NoCompress;
    s.send(packet(0, greeting(g))).expect().send(packet(2, "\xfe")).expect().send(packet(4, okPayload()));
    s.start();
    Client c;
    ASSERT_TRUE(c.connect(s, "old pass")) << c.c.ErrorText();
    c.c.Close();
    s.finish();
    auto got = s.received();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1].seq, 3);
    EXPECT_EQ(got[1].payload, ScrambleOld("old pass", g.scramble.substr(0, 8)) + '\0');
}

TEST(Handshake, RefusingTheOldScrambleNeverSendsIt)
{
    // A greeting without the 4.1 authentication: nothing of the password leaves the client.
    {
        FakeServer s;
        GreetingOptions g;
        g.capabilities = NoCompress & ~32768;
        s.send(packet(0, greeting(g)));
        s.start();
        Client c;
        c.c.SetRefuseOldScramble(true);
        EXPECT_FALSE(c.connect(s, "old pass"));
        EXPECT_EQ(c.c.ErrorCode(), 2049);
        EXPECT_NE(c.c.ErrorText().find("pre-4.1"), std::string::npos) << c.c.ErrorText();
        EXPECT_FALSE(c.c.Connected());
        s.finish();
        EXPECT_TRUE(s.received().empty());
    }
    // A 4.1 greeting, then a request for the old scramble: refused, no answer to it.
    {
        FakeServer s;
        GreetingOptions g;
        g.capabilities = NoCompress;
        s.send(packet(0, greeting(g))).expect().send(packet(2, "\xfe"));
        s.start();
        Client c;
        c.c.SetRefuseOldScramble(true);
        EXPECT_FALSE(c.connect(s, "old pass"));
        EXPECT_EQ(c.c.ErrorCode(), 2049);
        EXPECT_FALSE(c.c.Connected());
        s.finish();
        EXPECT_EQ(s.received().size(), 1u) << "only the login packet";
    }
}

TEST(Handshake, DatabaseTravelsInTheAuthPacketOrAsASeparateCommand)
{
    {
        FakeServer s;
        GreetingOptions g;
        g.capabilities = NoCompress;
        s.handshake(g);
        s.start();
        Client c;
        std::string longUser(40, 'u'), longDb(70, 'd');
        ASSERT_TRUE(c.connect(s, "pw", longDb, longUser)) << c.c.ErrorText();
        c.c.Close();
        s.finish();
        Auth a = splitAuth(s.received().at(0).payload, true);
        EXPECT_EQ(a.user, std::string(32, 'u'));
        EXPECT_EQ(a.rest, std::string(64, 'd') + '\0');
        EXPECT_TRUE(a.flags & 8);
    }
    {
        FakeServer s;
        GreetingOptions g;
        g.capabilities = NoCompress & ~8;
        s.handshake(g).expect().send(packet(1, okPayload()));
        s.start();
        Client c;
        ASSERT_TRUE(c.connect(s, "pw", "projects")) << c.c.ErrorText();
        EXPECT_EQ(c.c.Database(), "projects");
        c.c.Close();
        s.finish();
        auto got = s.received();
        ASSERT_EQ(got.size(), 2u);
        EXPECT_EQ(splitAuth(got[0].payload, true).rest, std::string(1, '\0'));
        EXPECT_EQ(got[1].payload, "\x02projects");
    }
}

TEST(Handshake, Failures)
{
    struct Case {
        const char* name;
        std::string wire;
        bool expectAuth;
        std::string reply;
        int code;
        std::string text;
    };
    GreetingOptions g;
    g.capabilities = NoCompress;
    GreetingOptions v11 = g;
    v11.protocol = 11;
    Case cases[] = {
        {"access denied", packet(0, greeting(g)), true, packet(2, errorPayload(1045, "Access denied for user 'alice'")),
         1045, "Access denied for user 'alice'"},
        {"error packet instead of a greeting", packet(0, errorPayload(1130, "Host is not allowed")), false, "", 1130,
         "Host is not allowed"},
        {"protocol 11", packet(0, greeting(v11)), false, "", 2007,
         "Protocol mismatch. Server Version = 11 Client Version = 10"},
        {"greeting too short",
         packet(0, std::string("\x0a"
                               "5.0\0\x01\x02",
                               7)),
         false, "", 2012, "Error in server handshake"},
        {"connection dropped after the auth packet", packet(0, greeting(g)), true, "", 2013,
         "Lost connection to MySQL server during query"},
    };
    for (const Case& k : cases) {
        FakeServer s;
        s.send(k.wire);
        if (k.expectAuth) s.expect();
        if (!k.reply.empty()) s.send(k.reply);
        s.closeConnection();
        s.start();
        Client c;
        EXPECT_FALSE(c.connect(s)) << k.name;
        EXPECT_EQ(c.c.ErrorCode(), k.code) << k.name;
        EXPECT_EQ(c.c.ErrorText(), k.text) << k.name;
        EXPECT_FALSE(c.c.Connected()) << k.name;
        EXPECT_EQ(c.c.Host(), "127.0.0.1") << "settings kept for a later connect";
    }
}

TEST(Transport, SilentServerFailsConnectWith2003AndReadWith2013)
{
    {
        FakeServer s;
        s.pause(1500);
        s.start();
        TMysqlClient c;
        c.SetConnectTimeout(1);
        auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(c.Connect("127.0.0.1", "alice", "pw", "", s.port(), 0));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        EXPECT_EQ(c.ErrorCode(), 2003);
        EXPECT_EQ(c.ErrorText().rfind("Can't connect to MySQL server on '127.0.0.1' (", 0), 0u) << c.ErrorText();
    }
    {
        FakeServer s;
        GreetingOptions g;
        g.capabilities = NoCompress;
        s.handshake(g).expect().pause(1500);
        s.start();
        TMysqlClient c;
        c.SetAutoReconnect(false);
        c.SetConnectTimeout(1);
        ASSERT_TRUE(c.Connect("127.0.0.1", "alice", "pw", "", s.port(), 0));
        auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(c.Ping());
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3500));
        EXPECT_EQ(c.ErrorCode(), 2013);
        EXPECT_FALSE(c.Connected());
    }
}

TEST(Transport, PingBeforeAStatementWaitsItsOwnTimeoutAndASilentServerIsNotConnectedAgain)
{
    FakeServer s;
    GreetingOptions g;
    g.capabilities = NoCompress;
    s.handshake(g).expect().pause(2500);  // reads the ping, never answers
    s.start();
    Client c(true);
    c.c.SetConnectTimeout(1);
    c.c.SetReadTimeout(5);
    c.c.SetPingTimeout(1);
    c.c.SetPingAfterIdle(0);
    ASSERT_TRUE(c.connect(s));
    const auto start = std::chrono::steady_clock::now();
    bool ok = true;
    c.query("update t set a = a + 1", true, &ok);
    // The ping's 1 s, not the read timeout (5 s), and no connect (1 s) to the same server.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1800));
    EXPECT_FALSE(ok);
    EXPECT_FALSE(c.c.StatementSent());
    EXPECT_EQ(c.c.ErrorCode(), 2013);
    EXPECT_TRUE(c.c.TimedOut());
    EXPECT_FALSE(c.c.Connected());
    EXPECT_EQ(c.c.PingTimeout(), 1);
    s.finish();
}

TEST(Transport, RefusedPortAndUnknownHost)
{
    TMysqlClient c;
    c.SetConnectTimeout(2);
    uint16_t port;
    {
        FakeServer s;  // listening socket closed again: nobody is on this port
        port = s.port();
    }
    EXPECT_FALSE(c.Connect("127.0.0.1", "u", "p", "", port, 0));
    EXPECT_EQ(c.ErrorCode(), 2003);
    EXPECT_FALSE(c.Connect("no-such-host.invalid", "u", "p", "", 3306, 0));
    EXPECT_EQ(c.ErrorCode(), 2005);
    EXPECT_EQ(c.ErrorText().rfind("Unknown MySQL Server Host 'no-such-host.invalid' (", 0), 0u) << c.ErrorText();
}

TEST(Commands, RepliesARealServerWillNotSend)
{
    struct Case {
        const char* name;
        std::string reply;
        int code;
        std::string text;
        bool connected;
    } cases[] = {
        {"wrong sequence number", packet(2, okPayload()), 2013, "Lost connection to MySQL server during query", false},
        {"empty packet", packet(1, ""), 2013, "Lost connection to MySQL server during query", false},
        {"error packet of 3 bytes", packet(1, std::string("\xff\x10\x04", 3)), 2000, "Unknown MySQL error", true},
        {"result header with a truncated column count", packet(1, "\xfe\x01\x02"), 2013,
         "Lost connection to MySQL server during query", false},
        {"truncated column definition",
         packet(1, "\x01") + packet(2, "\x03"
                                       "abc"),
         2013, "Lost connection to MySQL server during query", false},
        {"more column definitions than announced",
         packet(1, "\x01") + packet(2, columnPayload("t", "a", 3)) + packet(3, columnPayload("t", "b", 3)) +
             packet(4, eofPayload()),
         2013, "Lost connection to MySQL server during query", false},
        {"row value longer than the packet",
         packet(1, "\x01") + packet(2, columnPayload("t", "a", 253)) + packet(3, eofPayload()) +
             packet(4, "\x09"
                       "abc"),
         2013, "Lost connection to MySQL server during query", false},
        {"row with a value too many",
         packet(1, "\x01") + packet(2, columnPayload("t", "a", 253)) + packet(3, eofPayload()) +
             packet(4, row({"a", "b"})),
         2013, "Lost connection to MySQL server during query", false},
    };
    for (const Case& k : cases) {
        FakeServer s;
        GreetingOptions g;
        g.capabilities = NoCompress;
        s.handshake(g).expect().send(k.reply);
        s.start();
        Client c;
        ASSERT_TRUE(c.connect(s)) << k.name;
        bool ok = true;
        auto r = c.query("select 1", true, &ok);
        EXPECT_EQ(r, nullptr) << k.name;
        EXPECT_EQ(c.c.ErrorCode(), k.code) << k.name;
        EXPECT_EQ(c.c.ErrorText(), k.text) << k.name;
        EXPECT_EQ(c.c.Connected(), k.connected) << k.name;
        c.c.Close();
    }
}

TEST(Commands, OkPacketValuesIncludingNineByteAffectedRows)
{
    FakeServer s;
    GreetingOptions g;
    g.capabilities = NoCompress;
    s.handshake(g).expect().send(packet(1, okPayload(0x123456789abcull, 77, 3)));
    s.start();
    Client c;
    ASSERT_TRUE(c.connect(s));
    bool ok = false;
    EXPECT_EQ(c.query("update t set a = 1", true, &ok), nullptr);
    EXPECT_TRUE(ok);
    EXPECT_EQ(c.c.ErrorCode(), 0);
    EXPECT_EQ(c.c.AffectedRows(), 0x123456789abcull);
    EXPECT_EQ(c.c.InsertId(), 77u);
    EXPECT_EQ(c.c.ServerStatus(), 3u);
}

TEST(Commands, QueryPingsFirstAndCountsRoundTrips)
{
    FakeServer s;
    GreetingOptions g;
    g.capabilities = NoCompress;
    s.handshake(g).expect().send(packet(1, okPayload())).expect().send(packet(1, okPayload(1)));
    s.start();
    Client c(true);
    c.c.SetPingAfterIdle(0);  // a ping before every statement
    ASSERT_TRUE(c.connect(s));
    uint64_t before = c.c.RoundTrips();
    bool ok = false;
    c.query("delete from t", true, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(c.c.RoundTrips() - before, 2u);
    c.c.Close();
    s.finish();
    auto got = s.received();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[1].payload, "\x0e");
    EXPECT_EQ(got[2].payload, "\x03"
                              "delete from t");
}

TEST(Commands, LocalFileRequestIsRefusedByDefaultWithTheEmptyPacket)
{
    FakeServer s;
    GreetingOptions g;
    g.capabilities = NoCompress;
    s.handshake(g).expect().send(packet(1, "\xfb/etc/passwd")).expect().send(packet(3, okPayload()));
    s.start();
    Client c;
    ASSERT_TRUE(c.connect(s));
    EXPECT_FALSE(c.c.AllowLocalFiles());
    bool ok = true;
    EXPECT_EQ(c.query("load data local infile '/etc/passwd' into table t", true, &ok), nullptr);
    EXPECT_FALSE(ok);
    EXPECT_NE(c.c.ErrorCode(), 0);
    EXPECT_NE(c.c.ErrorText().find("/etc/passwd"), std::string::npos) << c.c.ErrorText();
    EXPECT_TRUE(c.c.Connected());
    c.c.Close();
    s.finish();
    auto got = s.received();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[2].seq, 2);
    EXPECT_EQ(got[2].payload, "");
    EXPECT_EQ(s.trailing(), packet(0, "\x01")) << "nothing but the quit command follows";
}

TEST(Commands, LocalFileIsSentWhenAllowed)
{
    char name[] = "/tmp/vt_localfileXXXXXX";
    int fd = ::mkstemp(name);
    ASSERT_GE(fd, 0);
    std::string content(70000, 'L');
    ASSERT_EQ(::write(fd, content.data(), content.size()), ssize_t(content.size()));
    ::close(fd);
    FakeServer s;
    GreetingOptions g;
    g.capabilities = NoCompress;
    s.handshake(g)
        .expect()
        .send(packet(1, std::string("\xfb") + name))
        .expect()
        .expect()
        .expect()
        .send(packet(5, okPayload(70000)));
    s.start();
    Client c;
    c.c.SetAllowLocalFiles(true);
    ASSERT_TRUE(c.connect(s));
    bool ok = false;
    c.query("load data local infile", true, &ok);
    EXPECT_TRUE(ok) << c.c.ErrorText();
    EXPECT_EQ(c.c.AffectedRows(), 70000u);
    c.c.Close();
    s.finish();
    ::unlink(name);
    auto got = s.received();
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(got[2].payload, content.substr(0, 61440));
    EXPECT_EQ(got[3].payload, content.substr(61440));
    EXPECT_EQ(got[4].payload, "");
    EXPECT_EQ(got[4].seq, 4);
}

TEST(Results, BufferedNavigationLengthsAndLocate)
{
    FakeServer s;
    GreetingOptions g;
    g.capabilities = NoCompress;
    std::vector<std::string> cols = {columnPayload("t", "id", 3, 11, 2 | 1 | 512), columnPayload("t", "name", 253, 40),
                                     columnPayload("t", "body", 252, 65535, 16)};
    std::vector<std::string> rows = {row({"1", "Alpha", "x"}), row({"2", std::nullopt, std::string("a\0b", 3)}),
                                     row({"3", "", "yy"}), row({"4", "GAMMA", "zzz"})};
    s.handshake(g).expect().send(resultSet(1, cols, rows));
    s.start();
    Client c;
    ASSERT_TRUE(c.connect(s));
    bool ok = false;
    auto r = c.query("select * from t", true, &ok);
    ASSERT_TRUE(ok);
    ASSERT_NE(r, nullptr) << c.c.ErrorText();
    EXPECT_EQ(c.c.AffectedRows(), 4u);
    EXPECT_TRUE(r->Buffered());
    ASSERT_EQ(r->FieldCount(), 3u);
    EXPECT_EQ(r->RowCount(), 4);
    const TMysqlFieldInfo* f = r->FieldDef(0);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Name, "id");
    EXPECT_EQ(f->Table, "t");
    EXPECT_EQ(f->FieldType, 3);
    EXPECT_EQ(f->Length, 11u);
    EXPECT_EQ(f->Flags, 515u);
    EXPECT_EQ(r->FieldDef(1)->MaxLength, 5u);
    EXPECT_EQ(r->FieldDef(2)->MaxLength, 3u);
    EXPECT_EQ(r->FieldDef(3), nullptr);

    EXPECT_EQ(r->RecNo(), 0);
    EXPECT_TRUE(r->Bof());
    EXPECT_FALSE(r->Eof());
    EXPECT_STREQ(r->FieldValue(1), "Alpha");
    EXPECT_EQ(r->FieldLength(1), 0u) << "lengths not fetched yet";
    r->Next();
    EXPECT_EQ(r->RecNo(), 1);
    EXPECT_EQ(r->FieldValue(1), nullptr) << "SQL NULL";
    r->FetchLengths();
    EXPECT_EQ(r->FieldLength(1), 0u);
    EXPECT_EQ(r->FieldLength(2), 3u) << "a value with a 0 byte keeps its length";
    EXPECT_EQ(std::string(r->FieldValue(2), 3), std::string("a\0b", 3));
    r->Seek(2);
    EXPECT_EQ(r->FieldLength(2), 0u) << "lengths of the previous row are no longer valid";
    r->FetchLengths();
    EXPECT_EQ(r->FieldLength(2), 2u);
    ASSERT_NE(r->FieldValue(1), nullptr) << "empty string is not NULL";
    EXPECT_STREQ(r->FieldValue(1), "");
    EXPECT_EQ(r->FieldValue(7), nullptr);
    r->Last();
    EXPECT_TRUE(r->Eof());
    EXPECT_EQ(r->RecNo(), 3);
    EXPECT_STREQ(r->FieldValue(0), "4");
    r->Next();
    EXPECT_TRUE(r->Eof());
    EXPECT_FALSE(r->Prior());
    EXPECT_EQ(r->RecNo(), 2);
    EXPECT_FALSE(r->Bof());
    EXPECT_FALSE(r->First());
    EXPECT_EQ(r->RecNo(), 0);
    r->Prior();
    EXPECT_TRUE(r->Bof());
    EXPECT_EQ(r->RecNo(), 0);
    r->Seek(99);
    EXPECT_EQ(r->RecNo(), 0);

    struct LocateCase {
        std::vector<int> cols;
        std::vector<std::string> keys;
        bool ci;
        int64_t expected;
    } cases[] = {
        {{0}, {"3"}, false, 2},        {{1}, {"gamma"}, true, 3},
        {{1}, {"gamma"}, false, -1},   {{1}, {""}, false, 1},  // NULL reads as the empty text
        {{0, 1}, {"3", ""}, false, 2}, {{0, 1}, {"1", "Beta"}, false, -1},
        {{2}, {"x"}, false, -1},  // BLOB/TEXT never match
        {{9}, {"x"}, false, -1},
    };
    for (const auto& k : cases) {
        EXPECT_EQ(r->Locate(k.cols.data(), k.keys.data(), int(k.cols.size()), k.ci), k.expected) << k.keys[0];
    }
    EXPECT_EQ(r->RecNo(), 0) << "Locate does not move the cursor";
}

TEST(Results, EmptyBufferedResult)
{
    FakeServer s;
    GreetingOptions g;
    g.capabilities = NoCompress;
    s.handshake(g).expect().send(resultSet(1, {columnPayload("t", "a", 3)}, {}));
    s.start();
    Client c;
    ASSERT_TRUE(c.connect(s));
    auto r = c.query("select a from t", true);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->RowCount(), 0);
    EXPECT_TRUE(r->Eof());
    EXPECT_TRUE(r->Bof());
    EXPECT_EQ(r->RecNo(), -1);
    EXPECT_EQ(r->FieldValue(0), nullptr);
    EXPECT_TRUE(r->First());
    r->FetchLengths();
    EXPECT_EQ(r->FieldLength(0), 0u);
}

TEST(Results, UnbufferedFetchOutOfSyncAndDrainOnDestroy)
{
    FakeServer s;
    GreetingOptions g;
    g.capabilities = NoCompress;
    std::vector<std::string> rows;
    for (int i = 0; i < 5; ++i)
        rows.push_back(row({std::to_string(i)}));
    s.handshake(g)
        .expect()
        .send(resultSet(1, {columnPayload("t", "a", 3)}, rows))
        .expect()
        .send(packet(1, okPayload()));
    s.start();
    Client c;
    ASSERT_TRUE(c.connect(s));
    bool ok = false;
    auto r = c.query("select a from t", false, &ok);
    ASSERT_NE(r, nullptr);
    EXPECT_FALSE(r->Buffered());
    EXPECT_EQ(r->RecNo(), 0);
    EXPECT_TRUE(r->Bof());
    EXPECT_STREQ(r->FieldValue(0), "0");
    EXPECT_EQ(r->FieldLength(0), 1u);
    r->Next();
    EXPECT_STREQ(r->FieldValue(0), "1");
    EXPECT_EQ(r->RowCount(), 2);

    EXPECT_FALSE(c.c.Ping());
    EXPECT_EQ(c.c.ErrorCode(), 2014);
    EXPECT_EQ(c.c.ErrorText(), "Commands out of sync;  You can't run this command now");
    r.reset();  // drains rows 2..4 and the end packet
    EXPECT_EQ(c.c.AffectedRows(), 2u);
    EXPECT_TRUE(c.c.Ping()) << c.c.ErrorText();
}

TEST(Results, UnbufferedLastReadsToTheEnd)
{
    FakeServer s;
    GreetingOptions g;
    g.capabilities = NoCompress;
    std::vector<std::string> rows;
    for (int i = 0; i < 4; ++i)
        rows.push_back(row({std::to_string(i)}));
    s.handshake(g).expect().send(resultSet(1, {columnPayload("t", "a", 3)}, rows));
    s.start();
    Client c;
    ASSERT_TRUE(c.connect(s));
    auto r = c.query("select a from t", false);
    ASSERT_NE(r, nullptr);
    r->Last();
    EXPECT_EQ(r->RowCount(), 4);
    EXPECT_EQ(r->RecNo(), 3);
    EXPECT_TRUE(r->Eof());
    EXPECT_STREQ(r->FieldValue(0), "3");
    EXPECT_EQ(c.c.AffectedRows(), 4u);
    r->Next();
    EXPECT_TRUE(r->Eof());
}

TEST(Results, CompressedResultStraddlingCompressedPackets)
{
    FakeServer s;
    std::vector<std::string> rows;
    for (int i = 0; i < 300; ++i)
        rows.push_back(row({"value number " + std::to_string(i), std::nullopt}));
    std::string inner = resultSet(1, {columnPayload("t", "a", 253), columnPayload("t", "b", 253)}, rows);
    std::string wire;
    uint8_t seq = 1;
    for (size_t i = 0; i < inner.size(); i += 1000) {
        std::string part = inner.substr(i, 1000);
        wire += (seq % 2) ? compressedPacket(seq, zlibCompress(part), uint32_t(part.size()))
                          : compressedPacket(seq, part, 0);
        ++seq;
    }
    s.handshake().expectCompressed().send(wire);
    s.start();
    TMysqlClient c;
    c.SetAutoReconnect(false);
    ASSERT_TRUE(c.Connect("127.0.0.1", "alice", "pw", "", s.port(), 0));
    bool ok = false;
    auto r = c.Query("select a, b from t", true, ok);
    ASSERT_NE(r, nullptr) << c.ErrorText();
    ASSERT_EQ(r->RowCount(), 300);
    r->Seek(299);
    EXPECT_STREQ(r->FieldValue(0), "value number 299");
    EXPECT_EQ(r->FieldValue(1), nullptr);
}

TEST(Results, ClosingTheClientDetachesAnOpenUnbufferedResult)
{
    FakeServer s;
    GreetingOptions g;
    g.capabilities = NoCompress;
    s.handshake(g).expect().send(resultSet(1, {columnPayload("t", "a", 3)}, {row({"1"}), row({"2"})}));
    s.start();
    auto c = std::make_unique<Client>();
    ASSERT_TRUE(c->connect(s));
    auto r = c->query("select a from t", false);
    ASSERT_NE(r, nullptr);
    c->c.Close();
    EXPECT_FALSE(c->c.Connected());
    c.reset();  // the result outlives its client
    r->Next();
    EXPECT_TRUE(r->Eof());
    EXPECT_STREQ(r->FieldValue(0), "1") << "the row fetched before stays readable";
}

TEST(Commands, PingPrecedesAStatementOnlyAfterTheIdleWindow)
{
    FakeServer s;
    GreetingOptions g;
    g.capabilities = NoCompress;
    s.handshake(g)
        .expect()
        .send(packet(1, okPayload(1)))  // right after connecting: no ping
        .expect()
        .send(packet(1, okPayload()))  // the ping after the idle window
        .expect()
        .send(packet(1, okPayload(1)));
    s.start();
    Client c(true);
    c.c.SetPingAfterIdle(100);
    ASSERT_TRUE(c.connect(s));
    bool ok = false;
    uint64_t before = c.c.RoundTrips();
    c.query("delete from t", true, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(c.c.RoundTrips() - before, 1u);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    before = c.c.RoundTrips();
    c.query("delete from t", true, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(c.c.RoundTrips() - before, 2u);
    c.c.Close();
    s.finish();
    auto got = s.received();
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[1].payload, "\x03"
                              "delete from t");
    EXPECT_EQ(got[2].payload, "\x0e");
    EXPECT_EQ(got[3].payload, "\x03"
                              "delete from t");
}

// The server closes the connection at some point; which statements run again on a new
// connection, and which report the loss.
TEST(Commands, LostConnectionRetriesOnlyWhatCannotRunTwice)
{
    const std::string inTransaction = packet(1, okPayload(0, 0, 3));
    struct Case {
        const char* name;
        bool startTransaction;    // a "begin" answered with the in-transaction status first
        bool closeBeforeSending;  // closed while idle (else: after reading the statement)
        const char* sql;
        bool succeeds;
        int code;               // when failing
        size_t statementsSent;  // statements the server read (the begin not counted)
    } cases[] = {
        {"idle close, write", false, true, "insert into t values (1)", true, 0, 1},
        {"idle close, read", false, true, "select a from t", true, 0, 1},
        {"lost answer, read", false, false, "select a from t", true, 0, 2},
        {"lost answer, read after a comment", false, false, "/* x */ (select a from t)", true, 0, 2},
        {"lost answer, write", false, false, "insert into t values (1)", false, 2013, 1},
        {"lost answer, select into a file", false, false, "select a into outfile '/tmp/x' from t", false, 2013, 1},
        {"lost answer, locking select", false, false, "select a from t for update", false, 2013, 1},
        {"idle close in a transaction", true, true, "select a from t", false, 2006, 0},
        {"lost answer in a transaction", true, false, "select a from t", false, 2013, 1},
    };
    for (const Case& k : cases) {
        FakeServer s;
        GreetingOptions g;
        g.capabilities = NoCompress;
        s.handshake(g);
        if (k.startTransaction) s.expect().send(inTransaction);
        if (!k.closeBeforeSending) s.expect();
        const bool reconnects = k.succeeds;
        if (reconnects)
            s.closeConnection().handshake(g).expect().send(
                std::string(k.sql).rfind("insert", 0) == 0
                    ? packet(1, okPayload(1))
                    : resultSet(1, {columnPayload("t", "a", 253)}, {row({"x"})}));
        else
            s.closeConnection();
        s.start();
        Client c(true);
        ASSERT_TRUE(c.connect(s)) << k.name;
        bool ok = false;
        if (k.startTransaction) {
            c.query("begin", true, &ok);
            ASSERT_TRUE(ok) << k.name;
        }
        // Let the server's close arrive while the client is idle.
        if (k.closeBeforeSending) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        auto r = c.query(k.sql, true, &ok);
        EXPECT_EQ(ok, k.succeeds) << k.name;
        if (k.succeeds) {
            EXPECT_EQ(c.c.ErrorCode(), 0) << k.name;
            const bool read = std::string(k.sql).rfind("insert", 0) != 0;
            ASSERT_EQ(r != nullptr, read) << k.name;
            if (read) {
                EXPECT_STREQ(r->FieldValue(0), "x") << k.name;
            }
        } else {
            EXPECT_EQ(c.c.ErrorCode(), k.code) << k.name;
            EXPECT_FALSE(c.c.TimedOut()) << k.name << ": a closed connection is not a silent one";
            EXPECT_EQ(c.c.TransactionLost(), k.startTransaction) << k.name;
            EXPECT_FALSE(c.c.Connected()) << k.name;
            if (k.startTransaction) {
                // Nothing reconnects silently after a lost transaction.
                c.query("select 1", true, &ok);
                EXPECT_FALSE(ok) << k.name;
                EXPECT_EQ(c.c.ErrorCode(), 2006) << k.name;
            }
        }
        c.c.Close();
        s.finish();
        EXPECT_FALSE(s.failed()) << k.name;
        size_t statements = 0;
        for (const Received& p : s.received())
            if (!p.payload.empty() && p.payload[0] == '\x03' && p.payload != std::string("\x03") + "begin")
                ++statements;
        EXPECT_EQ(statements, k.statementsSent) << k.name;
    }
}

TEST(Commands, ReadOnlyStatements)
{
    struct Case {
        const char* sql;
        bool read;
    } cases[] = {
        {"select 1", true},
        {"  SELECT a FROM t", true},
        {"show variables", true},
        {"DESCRIBE `t` 'a'", true},
        {"desc t", true},
        {"explain select 1", true},
        {"-- note\nselect 1", true},
        {"# note\nselect 1", true},
        {"((select 1))", true},
        {"select 'x' as updated_at", true},
        {"selectx from t", false},
        {"insert into t values (1)", false},
        {"update t set a = 1", false},
        {"delete from t", false},
        {"start transaction", false},
        {"select a from t for update", false},
        {"select a from t lock in share mode", false},
        {"select get_lock('x', 1)", false},
        {"select 1 into @v", false},
        {"/*!40000 insert into t values (1) */ select 1", false},
        {"/* unterminated select 1", false},
        {"", false},
    };
    for (const Case& k : cases)
        EXPECT_EQ(IsReadOnlyStatement(k.sql), k.read) << k.sql;
}

TEST(Commands, StatementsAnsweredWithoutRows)
{
    struct Case {
        const char* sql;
        bool withoutRows;
    } cases[] = {
        {"insert into t values (1)", true},
        {"  UPDATE t set a = 1", true},
        {"-- why\ndelete from t", true},
        {"replace into t values (1)", true},
        {"START TRANSACTION", true},
        {"commit", true},
        {"insert into t select * from u", true},
        {"delete from t returning a", false},
        {"insert into t values (1) RETURNING id", false},
        {"select 1", false},
        {"show tables", false},
        {"call p()", false},
        {"inserted", false},
        {"/*!40000 insert into t values (1) */", false},
        {"", false},
    };
    for (const Case& k : cases)
        EXPECT_EQ(AnswersWithoutRows(k.sql), k.withoutRows) << k.sql;
}

namespace {

// One statement of each kind of answer: a change, a refused statement, rows.
const std::vector<std::string> kMixedBatch = {"insert into t values (1)", "insert into t values (1)", "select a from t"};

void expectMixedAnswers(const std::vector<TMysqlBatchAnswer>& a)
{
    ASSERT_EQ(a.size(), 3u);
    EXPECT_TRUE(a[0].Succeeded());
    EXPECT_EQ(a[0].AffectedRows, 1u);
    EXPECT_EQ(a[0].InsertId, 5u);
    EXPECT_TRUE(a[1].sent && a[1].answered);
    EXPECT_EQ(a[1].ErrorCode, 1062);
    EXPECT_EQ(a[1].ErrorText, "Duplicate entry '1'");
    ASSERT_TRUE(a[2].Succeeded()) << a[2].ErrorText;
    ASSERT_NE(a[2].Result, nullptr);
    ASSERT_EQ(a[2].Result->RowCount(), 2);
    a[2].Result->Seek(1);
    EXPECT_STREQ(a[2].Result->FieldValue(0), "second");
}

}  // namespace

TEST(Pipelining, StatementsGoOutBeforeAnyAnswerIsReadAndAnErrorInTheMiddleKeepsTheConnectionInStep)
{
    // The script reads all three statements before it answers any: a client that waited for
    // the first answer would stall here.
    FakeServer s;
    GreetingOptions g;
    g.capabilities = NoCompress;
    s.handshake(g)
        .expect()
        .expect()
        .expect()
        .send(packet(1, okPayload(1, 5)) + packet(1, errorPayload(1062, "Duplicate entry '1'")) +
              resultSet(1, {columnPayload("t", "a", 253)}, {row({"first"}), row({"second"})}))
        .expect()
        .send(packet(1, okPayload(2)));
    s.start();
    Client c(true);
    ASSERT_TRUE(c.connect(s));
    const uint64_t before = c.c.RoundTrips();
    std::vector<TMysqlBatchAnswer> answers;
    EXPECT_FALSE(c.c.QueryBatch(kMixedBatch, answers));
    EXPECT_EQ(c.c.RoundTrips() - before, 1u) << "three statements, one turnaround";
    EXPECT_EQ(c.c.ErrorCode(), 1062) << "the first failure is the connection's error";
    expectMixedAnswers(answers);
    bool ok = false;
    c.query("delete from t", true, &ok);
    EXPECT_TRUE(ok) << c.c.ErrorText();
    EXPECT_EQ(c.c.AffectedRows(), 2u);
    c.c.Close();
    s.finish();
    ASSERT_FALSE(s.failed());
    auto got = s.received();
    ASSERT_EQ(got.size(), 5u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(got[1 + i].seq, 0) << "every statement is a command of its own";
        EXPECT_EQ(got[1 + i].payload, "\x03" + kMixedBatch[i]);
    }
}

TEST(Pipelining, CompressedAnswersEachStartTheirOwnSequence)
{
    FakeServer s;
    // The second answer straddles two compressed packets (1 and 2); the third starts at 1 again.
    const std::string error = packet(1, errorPayload(1062, "Duplicate entry '1'"));
    const std::string rows = resultSet(1, {columnPayload("t", "a", 253)}, {row({"first"}), row({"second"})});
    s.handshake()
        .expectCompressed()
        .expectCompressed()
        .expectCompressed()
        .send(compressedPacket(1, packet(1, okPayload(1, 5)), 0) + compressedPacket(1, error.substr(0, 6), 0) +
              compressedPacket(2, error.substr(6), 0) +
              compressedPacket(1, zlibCompress(rows), uint32_t(rows.size())));
    s.start();
    Client c(false, true);
    ASSERT_TRUE(c.connect(s));
    ASSERT_TRUE(c.c.ClientFlags() & MysqlFlags::CLIENT_COMPRESS);
    std::vector<TMysqlBatchAnswer> answers;
    EXPECT_FALSE(c.c.QueryBatch(kMixedBatch, answers));
    expectMixedAnswers(answers);
    EXPECT_TRUE(c.c.Connected());
    c.c.Close();
    s.finish();
    EXPECT_FALSE(s.failed());
}

TEST(Pipelining, AConnectionLostInTheMiddleLosesTheTransactionAndNothingIsSentAgain)
{
    FakeServer s;
    GreetingOptions g;
    g.capabilities = NoCompress;
    s.handshake(g)
        .expect()
        .expect()
        .expect()
        .send(packet(1, okPayload(0, 0, 3)) + packet(1, okPayload(1, 0, 3)))  // in a transaction from here
        .closeConnection();
    s.start();
    Client c(true);  // reconnecting is allowed: the batch must still not run again
    ASSERT_TRUE(c.connect(s));
    std::vector<TMysqlBatchAnswer> answers;
    EXPECT_FALSE(c.c.QueryBatch({"start transaction", "update t set a = 2", "insert into t values (3)"}, answers));
    ASSERT_EQ(answers.size(), 3u);
    EXPECT_TRUE(answers[0].Succeeded());
    EXPECT_TRUE(answers[1].Succeeded());
    EXPECT_EQ(answers[1].AffectedRows, 1u);
    EXPECT_TRUE(answers[2].sent);
    EXPECT_FALSE(answers[2].answered) << "its outcome is unknown";
    EXPECT_EQ(answers[2].ErrorCode, 2013);
    EXPECT_TRUE(c.c.TransactionLost());
    EXPECT_FALSE(c.c.Connected());
    // A later batch fails at once instead of running on a new connection.
    EXPECT_FALSE(c.c.QueryBatch({"commit"}, answers));
    EXPECT_FALSE(answers[0].sent);
    EXPECT_EQ(answers[0].ErrorCode, 2006);
    c.c.Close();
    s.finish();
    EXPECT_FALSE(s.failed());
    size_t statements = 0;
    for (const Received& p : s.received())
        statements += !p.payload.empty() && p.payload[0] == '\x03';
    EXPECT_EQ(statements, 3u);
}

TEST(Pipelining, NothingIsSentBehindAStatementThatMayAskForALocalFile)
{
    FakeServer s;
    GreetingOptions g;
    g.capabilities = NoCompress;
    s.handshake(g)
        .expect()
        .send(packet(1, "\xfb/etc/passwd"))
        .expect()
        .send(packet(3, okPayload()))
        .expect()
        .send(packet(1, okPayload(1)));
    s.start();
    Client c(true);
    ASSERT_TRUE(c.connect(s));
    std::vector<TMysqlBatchAnswer> answers;
    EXPECT_FALSE(c.c.QueryBatch({"load data local infile '/etc/passwd' into table t", "delete from t"}, answers));
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_NE(answers[0].ErrorText.find("/etc/passwd"), std::string::npos) << answers[0].ErrorText;
    EXPECT_TRUE(answers[1].Succeeded()) << answers[1].ErrorText;
    c.c.Close();
    s.finish();
    ASSERT_FALSE(s.failed());
    auto got = s.received();
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[2].payload, "") << "the refusal comes before the next statement";
    EXPECT_EQ(got[3].payload, std::string("\x03") + "delete from t");
}
