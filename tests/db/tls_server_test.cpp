// Connect options and TLS through the connection component, on the test server (which offers
// TLS with a certificate of the test CA).

#include <gtest/gtest.h>

#include "DbTestHelpers.h"
#include "db/DbErrors.h"
#include "db/TNativeConnect.h"
#include "db/TmySQLQuery.h"

using namespace dbtest;

namespace {

std::string sessionStatus(TmySQLDatabase& db, const std::string& name)
{
    TmySQLQuery q;
    q.SetDatabase(&db);
    q.SQL().SetText("SHOW SESSION STATUS LIKE '" + name + "'");
    q.Open();
    return q.FieldByName("Value").AsString();
}

}  // namespace

// Each option becomes its protocol flag; the two whose ordinals differ from their flags'
// bits (coInteractive would otherwise ask for the 4.1 protocol, coSSL for an interactive
// session) land where they belong.
TEST(ConnectOptions, BecomeTheProtocolsNamedFlags)
{
    // The protocol's capability flags, by value.
    enum : uint32_t {
        CLIENT_LONG_PASSWORD = 1,
        CLIENT_FOUND_ROWS = 2,
        CLIENT_LONG_FLAG = 4,
        CLIENT_CONNECT_WITH_DB = 8,
        CLIENT_NO_SCHEMA = 16,
        CLIENT_COMPRESS = 32,
        CLIENT_ODBC = 64,
        CLIENT_LOCAL_FILES = 128,
        CLIENT_IGNORE_SPACE = 256,
        CLIENT_PROTOCOL_41 = 512,
        CLIENT_INTERACTIVE = 1024,
        CLIENT_SSL = 2048
    };
    struct Case {
        TConnectOption option;
        uint32_t flag;
    };
    const Case cases[] = {
        {coLongPassword, CLIENT_LONG_PASSWORD},
        {coFoundRows, CLIENT_FOUND_ROWS},
        {coLongFlag, CLIENT_LONG_FLAG},
        {coConnectDatabase, CLIENT_CONNECT_WITH_DB},
        {coNoSchema, CLIENT_NO_SCHEMA},
        {coCompress, CLIENT_COMPRESS},
        {coODBC, CLIENT_ODBC},
        {coLocalFiles, CLIENT_LOCAL_FILES},
        {coIgnoreSpaces, CLIENT_IGNORE_SPACE},
        {coInteractive, CLIENT_INTERACTIVE},
        {coSSL, CLIENT_SSL},
    };
    uint16_t all = 0;
    uint32_t allFlags = 0;
    for (const Case& c : cases) {
        EXPECT_EQ(ClientFlagsFromOptions(connectOption(c.option)), c.flag) << int(c.option);
        all |= connectOption(c.option);
        allFlags |= c.flag;
    }
    EXPECT_EQ(ClientFlagsFromOptions(all), allFlags);
    EXPECT_EQ(ClientFlagsFromOptions(0), 0u);
    EXPECT_FALSE(ClientFlagsFromOptions(all) & CLIENT_PROTOCOL_41);
}

// With coInteractive the session still speaks the pre-4.1 protocol that the client reads.
TEST(ConnectOptions, InteractiveKeepsThePre41Protocol)
{
    auto db = connectTo("", false);
    db->SetConnectOptions(connectOption(coInteractive) | connectOption(coFoundRows));
    db->SetConnected(true);
    TmySQLQuery q;
    q.SetDatabase(db.get());
    q.SQL().SetText("select 'pre-4.1' as answer, 42 as n");
    q.Open();
    EXPECT_EQ(q.FieldByName("answer").AsString(), "pre-4.1");
    EXPECT_EQ(q.FieldByName("n").AsInteger(), 42);
    EXPECT_FALSE(db->Encrypted());
}

// coSSL with the CA file in Params: an encrypted, verified connection as the server sees it.
// Without a CA that knows the server's certificate the connect is refused with one message.
TEST(ConnectOptions, SslGivesAVerifiedEncryptedConnection)
{
    const auto& s = vt::test::testServer();
    auto db = connectTo("", false);
    db->SetConnectOptions(connectOption(coSSL));
    db->Params().SetValue("TLSCA", s.caFile);
    db->SetConnected(true);
    EXPECT_TRUE(db->Encrypted());
    EXPECT_EQ(db->TlsVersion().rfind("TLSv1.", 0), 0u) << db->TlsVersion();
    EXPECT_EQ(sessionStatus(*db, "Ssl_version"), db->TlsVersion());
    EXPECT_EQ(sessionStatus(*db, "Ssl_cipher"), db->TlsCipher());
    db->SetConnected(false);
    EXPECT_FALSE(db->Encrypted());
    EXPECT_EQ(db->TlsVersion(), "");

    auto untrusted = connectTo("", false);
    untrusted->SetConnectOptions(connectOption(coSSL));
    try {
        untrusted->SetConnected(true);
        FAIL() << "connected without a CA that knows the server";
    } catch (const EmySQLDatabaseError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("mySQL Error Code: (2026)\r\nSSL connection error: the server's "
                                              "certificate is not trusted",
                                              0),
                  0u)
            << e.what();
    }
    EXPECT_FALSE(untrusted->Connected());
}
