// The switch to TLS against the scripted fake server: the SSL request and the login packet
// around the handshake, certificates that must be refused, servers that do not offer TLS or
// answer garbage, and the explanation of a refusal received without TLS.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "FakeServer.h"
#include "protocol/TMysqlClient.h"

using namespace fake;

namespace {

constexpr uint16_t OffersTls = 0xA0AD | 0x0800;  // the default greeting plus CLIENT_SSL
constexpr uint16_t OffersTlsNoCompress = OffersTls & ~32;

// Test certificates, made once per run by the project's own script: a CA with a server
// certificate for localhost and 127.0.0.1, one of the same CA for another name, and one of
// another CA.
struct Certs {
    std::string dir, good, wrongName, untrusted;
    std::string ca() const { return good + "/ca.pem"; }
};

const Certs& certs()
{
    static const Certs c = [] {
        Certs c;
        c.dir = (std::filesystem::temp_directory_path() / ("vt-tls-" + std::to_string(::getpid()))).string();
        c.good = c.dir + "/good";
        c.wrongName = c.dir + "/wrong";
        c.untrusted = c.dir + "/other";
        const std::string script = std::string("bash ") + VT_SCRIPTS_DIR + "/tls-certs.sh ";
        std::filesystem::create_directories(c.wrongName);
        bool ok = std::system((script + c.good + " localhost 127.0.0.1 >/dev/null").c_str()) == 0;
        std::filesystem::copy_file(c.good + "/ca.pem", c.wrongName + "/ca.pem");
        std::filesystem::copy_file(c.good + "/ca-key.pem", c.wrongName + "/ca-key.pem");
        ok = ok && std::system((script + c.wrongName + " elsewhere.invalid 10.9.8.7 >/dev/null").c_str()) == 0;
        ok = ok && std::system((script + c.untrusted + " localhost 127.0.0.1 >/dev/null").c_str()) == 0;
        if (!ok) throw std::runtime_error("cannot make the test certificates");
        return c;
    }();
    return c;
}

class TlsCertsEnvironment : public testing::Environment {
public:
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(certs().dir, ignored);
    }
};
const auto* const kEnvironment = testing::AddGlobalTestEnvironment(new TlsCertsEnvironment);

std::string query(TMysqlClient& c, std::string_view sql)
{
    bool ok = false;
    auto r = c.Query(sql, true, ok);
    if (!ok || !r || !r->FieldValue(0)) return "<failed: " + c.ErrorText() + ">";
    return r->FieldValue(0);
}

std::string oneValueResult(uint8_t seq, const std::string& value)
{
    return packet(seq, lengthCoded(1)) + packet(seq + 1, columnPayload("", "v", 253, 20)) +
           packet(seq + 2, eofPayload()) + packet(seq + 3, lengthCodedString(value)) + packet(seq + 4, eofPayload());
}

TMysqlClient& tlsClient(TMysqlClient& c, bool compress)
{
    c.SetAutoReconnect(false);
    c.SetPreferCompression(compress);
    c.SetConnectTimeout(2);
    c.SetTlsCaFile(certs().ca());
    return c;
}

}  // namespace

// The SSL request is the login packet's first five bytes as packet 1; the handshake follows,
// then the unchanged login packet as packet 2 and every later packet inside TLS, compressed
// or not.
TEST(TlsFake, LogsInAndQueriesInsideTls)
{
    for (bool compress : {false, true}) {
        SCOPED_TRACE(compress ? "compressed" : "plain");
        GreetingOptions g;
        g.capabilities = compress ? OffersTls : OffersTlsNoCompress;
        const std::string rows = oneValueResult(1, "secret row");
        FakeServer s;
        s.send(packet(0, greeting(g)))
            .expect()
            .startTls(certs().good + "/server-cert.pem", certs().good + "/server-key.pem");
        s.expect().send(packet(3, okPayload()));
        if (compress)
            s.expectCompressed().send(compressedPacket(1, rows, 0));
        else
            s.expect().send(rows);
        s.start();

        TMysqlClient c;
        tlsClient(c, compress);
        ASSERT_TRUE(c.Connect("localhost", "alice", "pw", "", s.port(), MysqlFlags::CLIENT_SSL)) << c.ErrorText();
        EXPECT_TRUE(c.Encrypted());
        EXPECT_EQ(c.TlsVersion().rfind("TLSv1.", 0), 0u) << c.TlsVersion();
        EXPECT_FALSE(c.TlsCipher().empty());
        EXPECT_EQ(query(c, "select v"), "secret row");
        c.Close();
        EXPECT_FALSE(c.Encrypted());
        s.finish();
        ASSERT_FALSE(s.failed());

        const auto got = s.received();
        ASSERT_EQ(got.size(), 3u);
        const Received& request = got[0];
        const Received& login = got[1];
        EXPECT_EQ(request.seq, 1);
        ASSERT_EQ(request.payload.size(), 5u);
        EXPECT_EQ(login.seq, 2);
        EXPECT_EQ(login.payload.substr(0, 5), request.payload) << "flags and packet limit as in the login packet";
        const uint16_t flags = uint16_t(uint8_t(request.payload[0]) | (uint8_t(request.payload[1]) << 8));
        EXPECT_TRUE(flags & MysqlFlags::CLIENT_SSL);
        EXPECT_FALSE(flags & MysqlFlags::CLIENT_PROTOCOL_41) << "the pre-4.1 login packet";
        EXPECT_EQ(bool(flags & MysqlFlags::CLIENT_COMPRESS), compress);
        EXPECT_EQ(login.payload.substr(5, 6), std::string("alice\0", 6));
        EXPECT_EQ(got[2].payload.substr(compress ? 4 : 0), std::string("\x03select v"));
    }
}

// Every refusal before the login packet: the password never leaves the client, the client
// is left closed with one clear message, and a later connect is possible.
TEST(TlsFake, RefusesUnverifiedServersBeforeSendingThePassword)
{
    struct Case {
        const char* name;
        uint16_t capabilities;
        std::string certDir;  // empty: the server answers the SSL request with extra
        std::string extra;    // bytes instead of a handshake and hangs up (or sends them early)
        bool early = false;   // the extra bytes follow the greeting at once
        std::string host;
        std::string message;
    };
    const Certs& k = certs();
    const std::string hello = "HTTP/1.1 400 Bad Request\r\n\r\n";
    const Case cases[] = {
        {"not offered", 0xA0AD, "", "", false, "127.0.0.1",
         "SSL connection error: the connection settings require TLS, but the server 127.0.0.1 does not offer it"},
        {"untrusted CA", OffersTls, k.untrusted, "", false, "127.0.0.1",
         "SSL connection error: the server's certificate is not trusted: unable to get local issuer certificate"},
        {"other address", OffersTls, k.wrongName, "", false, "127.0.0.1",
         "SSL connection error: the server's certificate is not issued for the address 127.0.0.1"},
        {"other host name", OffersTls, k.wrongName, "", false, "localhost",
         "SSL connection error: the server's certificate is not issued for the host localhost"},
        {"garbage for a handshake", OffersTls, "", hello, false, "localhost",
         "SSL connection error: the TLS handshake failed: "},
        {"hangs up in the handshake", OffersTls, "", "\x16\x03\x01", false, "localhost",
         "SSL connection error: the server ended the connection during the TLS handshake"},
        {"data before the handshake", OffersTls, "", packet(1, okPayload()), true, "localhost",
         "SSL connection error: the server sent data before the TLS handshake"},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        FakeServer s;
        s.send(packet(0, greeting(GreetingOptions{.capabilities = t.capabilities})) + (t.early ? t.extra : ""));
        if (!t.early && t.capabilities & MysqlFlags::CLIENT_SSL) {
            s.expect();
            if (!t.certDir.empty())
                s.startTls(t.certDir + "/server-cert.pem", t.certDir + "/server-key.pem");
            else
                s.send(t.extra).closeConnection();
        }
        s.start();
        TMysqlClient c;
        tlsClient(c, false);
        EXPECT_FALSE(c.Connect(t.host, "alice", "pw", "", s.port(), MysqlFlags::CLIENT_SSL));
        EXPECT_EQ(c.ErrorCode(), 2026);
        EXPECT_EQ(c.ErrorText().substr(0, t.message.size()), t.message) << c.ErrorText();
        EXPECT_FALSE(c.Connected());
        EXPECT_FALSE(c.Encrypted());
        s.finish();
        for (const Received& r : s.received())
            EXPECT_EQ(r.payload.size(), 5u) << "only the SSL request went out";
        EXPECT_EQ(s.trailing().find("alice"), std::string::npos) << "no login packet in clear text";
    }
}

// A server that accepts the SSL request and then stays silent fails the connect after the
// timeout instead of hanging.
TEST(TlsFake, SilentServerInTheHandshakeTimesOut)
{
    FakeServer s;
    s.send(packet(0, greeting(GreetingOptions{.capabilities = OffersTls}))).expect().pause(2500);
    s.start();
    TMysqlClient c;
    tlsClient(c, false).SetConnectTimeout(1);
    EXPECT_FALSE(c.Connect("localhost", "alice", "pw", "", s.port(), MysqlFlags::CLIENT_SSL));
    EXPECT_EQ(c.ErrorCode(), 2026);
    EXPECT_EQ(c.ErrorText(), "SSL connection error: the TLS handshake with localhost timed out");
    s.finish();
}

// Access denied without TLS from a server that offers it may come from an account that
// requires TLS: the message says so. With TLS, or from a server without TLS, the server's
// text stands alone. Not asking for TLS sends no SSL request, whatever the server offers.
TEST(TlsFake, AccessDeniedWithoutTlsMentionsAccountsThatRequireIt)
{
    const std::string denied = "Access denied for user 'alice'@'localhost' (using password: YES)";
    struct Case {
        uint16_t capabilities;
        bool useTls;
        std::string text;
    };
    const Case cases[] = {
        {OffersTlsNoCompress, false,
         denied + " - without TLS, which a server or account that requires TLS refuses this way"},
        {0xA0AD & ~32, false, denied},
        {OffersTlsNoCompress, true, denied},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.text);
        FakeServer s;
        s.send(packet(0, greeting(GreetingOptions{.capabilities = t.capabilities}))).expect();
        if (t.useTls) s.startTls(certs().good + "/server-cert.pem", certs().good + "/server-key.pem").expect();
        s.send(packet(t.useTls ? 3 : 2, errorPayload(1045, denied)));
        s.start();
        TMysqlClient c;
        tlsClient(c, false);
        EXPECT_FALSE(c.Connect("127.0.0.1", "alice", "pw", "", s.port(), t.useTls ? MysqlFlags::CLIENT_SSL : 0));
        EXPECT_EQ(c.ErrorCode(), 1045);
        EXPECT_EQ(c.ErrorText(), t.text);
        s.finish();
        EXPECT_FALSE(s.failed());
        const auto got = s.received();
        ASSERT_FALSE(got.empty());
        EXPECT_EQ(got[0].seq, 1);
        EXPECT_EQ(got[0].payload.size() > 5, !t.useTls) << "a login packet, or the SSL request";
    }
}

// The server hangs up while the client is still sending a long statement inside TLS, and
// stays away: the command fails with a lost connection, and so do the next ones.
TEST(TlsFake, ServerHangingUpDuringAWriteFailsCommandsCleanly)
{
    FakeServer s;
    s.send(packet(0, greeting(GreetingOptions{.capabilities = OffersTlsNoCompress})))
        .expect()
        .startTls(certs().good + "/server-cert.pem", certs().good + "/server-key.pem")
        .expect()
        .send(packet(3, okPayload()))
        .pause(300)
        .closeConnection();
    s.start();
    TMysqlClient c;
    tlsClient(c, false);
    ASSERT_TRUE(c.Connect("127.0.0.1", "alice", "pw", "", s.port(), MysqlFlags::CLIENT_SSL)) << c.ErrorText();
    const std::string big(8u << 20, 'x');  // far more than the socket buffers take
    for (int i = 0; i < 3; ++i) {
        bool ok = true;
        EXPECT_EQ(c.Query("select '" + big + "'", true, ok), nullptr);
        EXPECT_FALSE(ok);
        EXPECT_TRUE(c.ErrorCode() == 2013 || c.ErrorCode() == 2006) << c.ErrorCode() << " " << c.ErrorText();
    }
    EXPECT_FALSE(c.Connected());
    s.finish();
}
