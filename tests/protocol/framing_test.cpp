// Packet layer over a socket pair: framing, sequence numbers, limits, compressed format,
// error packets, and the bounds-checked packet reader.

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <thread>

#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include "FakeServer.h"
#include "protocol/MysqlPackets.h"
#include "protocol/TMysqlNet.h"
#include "protocol/TMysqlVio.h"

using namespace fake;
using mysqlpkt::PacketReader;

namespace {

// A TMysqlNet on one end of a socket pair; the test plays the server on the other end.
struct Pair {
    TMysqlNet net;
    int peer = -1;
    explicit Pair(int timeout = 2)
    {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) std::abort();
        net.Adopt(fds[0], timeout);
        peer = fds[1];
    }
    ~Pair()
    {
        if (peer >= 0) ::close(peer);
    }
    void serve(const std::string& bytes)
    {
        size_t sent = 0;
        while (sent < bytes.size()) {
            ssize_t n = ::send(peer, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            ASSERT_GT(n, 0);
            sent += size_t(n);
        }
    }
    // Everything the client wrote so far (waits briefly for it).
    std::string drain()
    {
        std::string out;
        char buf[65536];
        for (;;) {
            ssize_t n = ::recv(peer, buf, sizeof buf, MSG_DONTWAIT);
            if (n <= 0) break;
            out.append(buf, size_t(n));
        }
        return out;
    }
    std::string payload(long n) const { return std::string(reinterpret_cast<const char*>(net.ReadPos()), size_t(n)); }
};

std::string inflate(std::string_view body, size_t plain)
{
    std::string out(plain, '\0');
    uLongf n = plain;
    EXPECT_EQ(::uncompress(reinterpret_cast<Bytef*>(out.data()), &n,
                           reinterpret_cast<const Bytef*>(body.data()), uLong(body.size())),
              Z_OK);
    return out;
}

} // namespace

TEST(LengthCodedNumber, DecodesEveryForm)
{
    struct Case {
        std::string bytes;
        uint64_t value;
        size_t used;
    } cases[] = {
        {std::string(1, '\0'), 0, 1},
        {"\xfa", 250, 1},
        {"\xfb", mysqlpkt::NullLength, 1},
        {"\xfc\x01\x02", 0x0201, 3},
        {"\xfc\xff\xff", 0xffff, 3},
        {"\xfd\x01\x02\x03", 0x030201, 4},
        {"\xfe\x01\x02\x03\x04\x05\x06\x07\x08", 0x0807060504030201ull, 9},
        {"\xff\xff\xff\xff\xff\xff\xff\xff\xff", 0xffffffffffffffffull, 9},
    };
    for (const Case& c : cases) {
        PacketReader r(c.bytes);
        EXPECT_EQ(r.lengthCoded(), c.value) << testing::PrintToString(c.bytes);
        EXPECT_FALSE(r.failed());
        EXPECT_EQ(r.position(), c.used);
    }
}

TEST(LengthCodedNumber, TruncatedFormsFailWithoutReadingPastTheEnd)
{
    for (std::string bytes : {std::string(), std::string("\xfc\x01"), std::string("\xfd\x01\x02"),
                              std::string("\xfe\x01\x02\x03\x04\x05\x06\x07")}) {
        PacketReader r(bytes);
        EXPECT_EQ(r.lengthCoded(), 0u);
        EXPECT_TRUE(r.failed());
        EXPECT_EQ(r.remaining(), 0u);
    }
    // A string whose declared length exceeds the payload.
    std::string s = "\x05" "abc";
    PacketReader r(s);
    EXPECT_TRUE(r.lengthCodedString().empty());
    EXPECT_TRUE(r.failed());
}

TEST(LengthCodedNumber, WrittenFormsReadBack)
{
    for (uint64_t v : {0ull, 250ull, 251ull, 0xffffull, 0x10000ull, 0xffffffull, 0x1000000ull,
                       0xffffffffffffffffull}) {
        std::string out;
        mysqlpkt::appendLengthCoded(out, v);
        PacketReader r(out);
        EXPECT_EQ(r.lengthCoded(), v);
        EXPECT_TRUE(r.atEnd());
    }
}

TEST(PlainFraming, ReadsPacketsThatArriveTogetherEachFollowedByAZeroByte)
{
    Pair p;
    p.serve(packet(0, "first") + packet(1, "second packet") + packet(2, "x"));
    long n = p.net.ReadPacket();
    ASSERT_EQ(n, 5);
    EXPECT_EQ(p.payload(n), "first");
    EXPECT_EQ(p.net.ReadPos()[n], 0);
    n = p.net.ReadPacket();
    ASSERT_EQ(n, 13);
    EXPECT_EQ(p.payload(n), "second packet");
    EXPECT_EQ(p.net.ReadPos()[n], 0);
    n = p.net.ReadPacket();
    ASSERT_EQ(n, 1);
    EXPECT_EQ(p.payload(n), "x");
    EXPECT_EQ(p.net.Sequence(), 3);
}

TEST(PlainFraming, PacketSplitAcrossManySendsIsReassembled)
{
    Pair p;
    std::string payload(20000, 'q');
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = char('a' + i % 26);
    std::string wire = packet(0, payload);
    std::thread writer([&] {
        for (size_t i = 0; i < wire.size(); i += 3001) {
            p.serve(wire.substr(i, 3001));
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    long n = p.net.ReadPacket();
    writer.join();
    ASSERT_EQ(n, long(payload.size()));
    EXPECT_EQ(p.payload(n), payload);
    EXPECT_GE(p.net.BufferSize(), payload.size() + 1);
    EXPECT_EQ(p.net.BufferSize() % 4096, 0u);
    EXPECT_TRUE(p.net.ShrinkBuffer());
    EXPECT_EQ(p.net.BufferSize(), 8192u);
}

TEST(PlainFraming, SequenceCounterWrapsFrom255To0)
{
    Pair p;
    p.net.SetSequence(255);
    p.serve(packet(255, "a") + packet(0, "b"));
    EXPECT_EQ(p.net.ReadPacket(), 1);
    EXPECT_EQ(p.net.Sequence(), 0);
    EXPECT_EQ(p.net.ReadPacket(), 1);
    EXPECT_EQ(p.net.Sequence(), 1);
}

TEST(ReplyRead, LostConnectionCases)
{
    struct Case {
        const char* name;
        std::string wire;
        int code;
    } cases[] = {
        {"wrong sequence number", packet(3, "abc"), 2013},
        {"empty packet", packet(0, ""), 2013},
        {"peer closed mid-header", std::string("\x05\x00", 2), 2013},
        {"peer closed mid-body", packet(0, "abcdef").substr(0, 7), 2013},
    };
    for (const Case& c : cases) {
        Pair p;
        p.serve(c.wire);
        ::shutdown(p.peer, SHUT_WR);
        EXPECT_EQ(p.net.ReadReply(), -1) << c.name;
        EXPECT_EQ(p.net.ErrorCode(), c.code) << c.name;
        EXPECT_EQ(p.net.ErrorText(), "Lost connection to MySQL server during query") << c.name;
        EXPECT_FALSE(p.net.Connected()) << c.name;
    }
}

TEST(ReplyRead, SilentPeerFailsAfterTheTimeout)
{
    Pair p(1);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(p.net.ReadReply(), -1);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(p.net.ErrorCode(), 2013);
    EXPECT_GE(waited, std::chrono::milliseconds(900));
    EXPECT_LT(waited, std::chrono::seconds(4));
}

TEST(ReplyRead, ErrorPacketsByProtocolVersion)
{
    struct Case {
        int protocol;
        std::string payload;
        int code;
        std::string text;
    } cases[] = {
        {10, errorPayload(1045, "Access denied"), 1045, "Access denied"},
        {10, errorPayload(1064, std::string("stops\0here", 10)), 1064, "stops"},
        {10, errorPayload(1146, std::string(300, 'm')), 1146, std::string(199, 'm')},
        {9, std::string("\xff") + "Old style message", 2000, "Old style message"},
        {10, std::string("\xff\x15\x04", 3), 2000, "Unknown MySQL error"},
        {10, std::string("\xff"), 2000, "Unknown MySQL error"},
    };
    for (const Case& c : cases) {
        Pair p;
        p.net.SetProtocolVersion(c.protocol);
        p.serve(packet(0, c.payload));
        EXPECT_EQ(p.net.ReadReply(), -1);
        EXPECT_EQ(p.net.ErrorCode(), c.code);
        EXPECT_EQ(p.net.ErrorText(), c.text);
        EXPECT_TRUE(p.net.Connected()) << "an error packet keeps the connection";
    }
}

TEST(SizeLimits, LargestPayloadIsReadAndOneMoreIsRefused)
{
    const size_t largest = 16777214;
    {
        Pair p(5);
        std::string payload(largest, 'z');
        payload[largest - 1] = 'E';
        std::thread writer([&] { p.serve(packet(0, payload)); });
        long n = p.net.ReadReply();
        writer.join();
        ASSERT_EQ(n, long(largest));
        EXPECT_EQ(p.net.ReadPos()[largest - 1], 'E');
        EXPECT_EQ(p.net.ReadPos()[largest], 0);
    }
    {
        Pair p;
        p.serve(le(largest + 1, 3) + char(0));
        EXPECT_EQ(p.net.ReadReply(), -1);
        EXPECT_EQ(p.net.ErrorCode(), 2020);
        EXPECT_EQ(p.net.ErrorText(), "Got packet bigger than 'max_allowed_packet'");
        EXPECT_FALSE(p.net.Connected());
    }
}

TEST(SizeLimits, LimitIsAParameterForReadingAndWriting)
{
    Pair p;
    p.net.SetMaxBufferSize(64 * 1024);
    const size_t largest = 64 * 1024 - 2;
    EXPECT_EQ(p.net.WritePacket(std::string(largest, 'w').data(), largest), 0);
    EXPECT_NE(p.net.WritePacket(std::string(largest + 1, 'w').data(), largest + 1), 0);
    EXPECT_EQ(p.net.ErrorCode(), 1153);
    EXPECT_TRUE(p.net.Connected());
    EXPECT_NE(p.net.WriteCommand(3, std::string(largest, 'c').data(), largest), 0);
    EXPECT_EQ(p.net.ErrorCode(), 1153);
    EXPECT_EQ(p.net.Flush(), 0);
    std::string wire;
    std::thread reader([&] {
        while (wire.size() < largest + 4) {
            char buf[65536];
            ssize_t n = ::recv(p.peer, buf, sizeof buf, 0);
            if (n <= 0) break;
            wire.append(buf, size_t(n));
        }
    });
    reader.join();
    EXPECT_EQ(wire, packet(0, std::string(largest, 'w')));

    p.serve(packet(1, std::string(largest, 'r')));
    EXPECT_EQ(p.net.ReadPacket(), long(largest));
    p.serve(packet(2, std::string(largest + 1, 'r')));
    EXPECT_EQ(p.net.ReadReply(), -1);
    EXPECT_EQ(p.net.ErrorCode(), 2020);
}

TEST(Writing, PacketsAreFramedWithAdvancingSequenceAndCommandsFlush)
{
    Pair p;
    p.net.Clear();
    ASSERT_EQ(p.net.WritePacket("abc", 3), 0);
    ASSERT_EQ(p.net.WritePacket("", 0), 0);
    EXPECT_EQ(p.drain(), "") << "packets wait for Flush";
    ASSERT_EQ(p.net.Flush(), 0);
    EXPECT_EQ(p.drain(), packet(0, "abc") + packet(1, ""));
    p.net.Clear();
    ASSERT_EQ(p.net.WriteCommand(3, "select 1", 8), 0);
    EXPECT_EQ(p.drain(), packet(0, "\x03select 1"));
    EXPECT_EQ(p.net.RoundTrips(), 2u);
}

TEST(Writing, OutputLargerThanTheBufferGoesOutWholeAndPartialWritesContinue)
{
    Pair p(5);
    std::string big(3 * 1024 * 1024 + 17, '\0');
    std::mt19937 rng(7);
    for (char& c : big) c = char(rng());
    std::string wire;
    std::thread reader([&] {
        const size_t want = big.size() + 4 + 5 + 4;
        char buf[4096];
        while (wire.size() < want) {
            ssize_t n = ::recv(p.peer, buf, sizeof buf, 0);  // slow reader: small receives
            if (n <= 0) break;
            wire.append(buf, size_t(n));
        }
    });
    p.net.Clear();
    ASSERT_EQ(p.net.WritePacket("hello", 5), 0);
    ASSERT_EQ(p.net.WritePacket(big.data(), big.size()), 0);
    ASSERT_EQ(p.net.WritePacket("", 0), 0);
    ASSERT_EQ(p.net.Flush(), 0);
    reader.join();
    EXPECT_TRUE(wire == packet(0, "hello") + packet(1, big) + packet(2, ""));
}

TEST(CompressedFraming, InnerPacketStraddlingTwoCompressedPacketsIsReassembled)
{
    Pair p;
    p.net.SetCompress(true);
    std::string inner = packet(0, "hello world, this inner packet is split") + packet(0, "next");
    std::string a = inner.substr(0, 10), b = inner.substr(10);
    // First part stored, second part deflated.
    p.serve(compressedPacket(0, a, 0) + compressedPacket(1, zlibCompress(b), uint32_t(b.size())));
    long n = p.net.ReadReply();
    ASSERT_EQ(n, 39);
    EXPECT_EQ(p.payload(n), "hello world, this inner packet is split");
    EXPECT_EQ(p.net.ReadPos()[n], 0);
    n = p.net.ReadReply();
    ASSERT_EQ(n, 4);
    EXPECT_EQ(p.payload(n), "next");
    EXPECT_EQ(p.net.Sequence(), 2) << "the counter counts compressed packets";
}

TEST(CompressedFraming, SeveralInnerPacketsInOneCompressedPacket)
{
    Pair p;
    p.net.SetCompress(true);
    std::string inner;
    for (int i = 0; i < 50; ++i) inner += packet(uint8_t(i), "row " + std::to_string(i));
    p.serve(compressedPacket(0, zlibCompress(inner), uint32_t(inner.size())));
    for (int i = 0; i < 50; ++i) {
        long n = p.net.ReadReply();
        ASSERT_GT(n, 0);
        EXPECT_EQ(p.payload(n), "row " + std::to_string(i));
    }
}

TEST(CompressedFraming, BrokenCompressedInputLosesTheConnection)
{
    struct Case {
        const char* name;
        std::string wire;
        int code;
    } cases[] = {
        {"wrong sequence", compressedPacket(5, packet(0, "abc"), 0), 2013},
        {"corrupt zlib body", compressedPacket(0, "not zlib at all", 100), 2013},
        {"declared length wrong", compressedPacket(0, zlibCompress(packet(0, "abc")), 50), 2013},
        // The largest declared length is within the limit; its body does not inflate.
        {"largest declared length, body not zlib", compressedPacket(0, "x", 16777215), 2013},
    };
    for (const Case& c : cases) {
        Pair p;
        p.net.SetCompress(true);
        p.serve(c.wire);
        ::shutdown(p.peer, SHUT_WR);
        EXPECT_EQ(p.net.ReadReply(), -1) << c.name;
        EXPECT_EQ(p.net.ErrorCode(), c.code) << c.name;
        EXPECT_FALSE(p.net.Connected()) << c.name;
    }
}

TEST(CompressedFraming, LimitCapsEachCompressedPacketButAnInnerPacketMayStraddleLargeOnes)
{
    const uint32_t limit = 64 * 1024;
    {
        // An inner packet near the limit split over two compressed packets that together
        // exceed the limit: the start of the first is buffered while the second arrives.
        Pair p;
        p.net.SetMaxBufferSize(limit);
        p.net.SetCompress(true);
        std::string inner = packet(0, std::string(limit - 2, 'i')) + packet(1, "after");
        std::string a = inner.substr(0, 1000), b = inner.substr(1000);
        ASSERT_GT(a.size() + b.size(), limit);
        p.serve(compressedPacket(0, a, 0) + compressedPacket(1, b, 0));
        EXPECT_EQ(p.net.ReadReply(), long(limit - 2)) << p.net.ErrorText();
        EXPECT_EQ(p.net.ReadReply(), 5);
        EXPECT_EQ(p.payload(5), "after");
    }
    for (uint32_t declared : {limit, limit + 1}) {
        Pair p;
        p.net.SetMaxBufferSize(limit);
        p.net.SetCompress(true);
        p.serve(compressedPacket(0, "x", declared));
        ::shutdown(p.peer, SHUT_WR);
        EXPECT_EQ(p.net.ReadReply(), -1);
        EXPECT_EQ(p.net.ErrorCode(), declared > limit ? 2020 : 2013) << declared;
    }
}

TEST(CompressedFraming, ShortBlocksAreStoredAndLongOnesDeflatedUnlessZlibCannotShrinkThem)
{
    struct Case {
        std::string payload;
        bool deflated;
    };
    std::string random(200, '\0');
    std::mt19937 rng(1);
    for (char& c : random) c = char(rng());
    Case cases[] = {
        {std::string(45, 'a'), false},   // 49 bytes with the header
        {std::string(46, 'a'), true},    // 50 bytes
        {random, false},
    };
    for (const Case& c : cases) {
        Pair p;
        p.net.SetCompress(true);
        p.net.Clear();
        ASSERT_EQ(p.net.WritePacket(c.payload.data(), c.payload.size()), 0);
        ASSERT_EQ(p.net.Flush(), 0);
        std::string wire = p.drain();
        ASSERT_GE(wire.size(), 7u);
        PacketReader r(wire);
        size_t body = r.u24();
        EXPECT_EQ(r.u8(), 0);
        size_t plain = r.u24();
        std::string_view b = r.bytes(body);
        ASSERT_FALSE(r.failed());
        EXPECT_EQ(plain != 0, c.deflated) << c.payload.size();
        std::string inner = plain ? inflate(b, plain) : std::string(b);
        EXPECT_EQ(inner, packet(0, c.payload)) << "inner packets carry sequence 0";
    }
}

TEST(Writing, InputAlreadyReceivedSurvivesACommandWrittenInBetween)
{
    Pair p;
    p.serve(packet(0, "greeting") + packet(2, "sent ahead"));
    ASSERT_EQ(p.net.ReadPacket(), 8);
    ASSERT_EQ(p.net.WritePacket("reply", 5), 0);
    ASSERT_EQ(p.net.Flush(), 0);
    long n = p.net.ReadPacket();
    ASSERT_EQ(n, 10);
    EXPECT_EQ(p.payload(n), "sent ahead");
    EXPECT_EQ(p.drain(), packet(1, "reply"));
}

TEST(Transport, EmptyHostMeansLocalhostAndZeroTimeoutMeans30Seconds)
{
    FakeServer server;
    server.send(std::string("\x01\x00\x00\x00\x0a", 5)).start();
    TMysqlVio vio;
    ASSERT_EQ(vio.Connect("", server.port(), 0), 0) << vio.ErrorText();
    EXPECT_TRUE(vio.IsOpen());
    EXPECT_EQ(vio.TimeoutSeconds(), 30);
    EXPECT_EQ(vio.ErrorCode(), 0);
    EXPECT_EQ(vio.Close(), 0);
    EXPECT_FALSE(vio.IsOpen());
    server.finish();
}
