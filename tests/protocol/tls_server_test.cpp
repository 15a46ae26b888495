// TLS against the private MariaDB test server, which offers TLS with a certificate of the
// test CA for localhost and 127.0.0.1.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "TestServer.h"
#include "protocol/MysqlFunctions.h"
#include "protocol/TMysqlClient.h"

using vt::test::runSql;
using vt::test::testServer;

namespace {

bool connectTls(TMysqlClient& c, const std::string& host, const std::string& user, const std::string& password,
                bool compress = false, const std::string& caFile = testServer().caFile)
{
    c.SetPreferCompression(compress);
    c.SetConnectTimeout(10);
    c.SetTlsCaFile(caFile);
    return c.Connect(host, user, password, "", testServer().port, MysqlFlags::CLIENT_SSL);
}

std::string value(TMysqlClient& c, std::string_view sql)
{
    bool ok = false;
    auto r = c.Query(sql, true, ok);
    if (!ok || !r) return "<failed: " + c.ErrorText() + ">";
    r->FetchLengths();
    return r->FieldValue(0) ? std::string(r->FieldValue(0), r->FieldLength(0)) : "<null>";
}

// The server's own view of the session's transport.
std::string serverCipher(TMysqlClient& c)
{
    bool ok = false;
    auto r = c.Query("SHOW SESSION STATUS LIKE 'Ssl_cipher'", true, ok);
    if (!ok || !r || !r->FieldValue(1)) return "<failed: " + c.ErrorText() + ">";
    return r->FieldValue(1);
}

void createUser(const std::string& name, const std::string& how, const std::string& require = "")
{
    runSql("DROP USER IF EXISTS '" + name + "'@'%'");
    runSql("CREATE USER '" + name + "'@'%' " + how + (require.empty() ? "" : " REQUIRE " + require));
    runSql("GRANT SELECT ON *.* TO '" + name + "'@'%'");
}

}  // namespace

// Native and pre-4.1 authentication, with and without compression, by host name and by
// address: the session is encrypted as the server sees it, and statements work.
TEST(TlsServer, LogsInOverVerifiedTls)
{
    auto [a, b] = HashPasswordOld("oldpw");
    char hash[17];
    std::snprintf(hash, sizeof hash, "%08x%08x", a, b);
    createUser("tls_old", std::string("IDENTIFIED VIA mysql_old_password USING '") + hash + "'");
    createUser("tls_native", "IDENTIFIED BY 'nativepw'");
    struct Case {
        std::string user, password, host;
        bool compress;
    };
    const Case cases[] = {
        {"tls_native", "nativepw", "localhost", false},
        {"tls_native", "nativepw", "127.0.0.1", true},
        {"tls_old", "oldpw", "127.0.0.1", false},
        {"tls_old", "oldpw", "localhost", true},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.user + "@" + t.host + (t.compress ? " compressed" : ""));
        TMysqlClient c;
        ASSERT_TRUE(connectTls(c, t.host, t.user, t.password, t.compress)) << c.ErrorText();
        EXPECT_TRUE(c.Encrypted());
        EXPECT_EQ(bool(c.ClientFlags() & MysqlFlags::CLIENT_COMPRESS), t.compress);
        EXPECT_EQ(serverCipher(c), c.TlsCipher());
        EXPECT_EQ(value(c, "select current_user()"), t.user + "@%");
        EXPECT_EQ(value(c, "select repeat('tls', 20000)").size(), 60000u) << "several TLS records in one packet";
        TMysqlClient wrong;
        EXPECT_FALSE(connectTls(wrong, t.host, t.user, "other", t.compress));
        EXPECT_EQ(wrong.ErrorCode(), 1045);
    }
}

// The server's certificate is of the test CA: the system's store does not know it.
TEST(TlsServer, SystemStoreDoesNotTrustThePrivateCa)
{
    const auto& s = testServer();
    TMysqlClient c;
    EXPECT_FALSE(connectTls(c, "localhost", s.user, s.password, false, ""));
    EXPECT_EQ(c.ErrorCode(), 2026);
    EXPECT_NE(c.ErrorText().find("not trusted"), std::string::npos) << c.ErrorText();
    TMysqlClient missing;
    EXPECT_FALSE(connectTls(missing, "localhost", s.user, s.password, false, s.dir + "/no-such-ca.pem"));
    EXPECT_EQ(missing.ErrorText().rfind("SSL connection error: cannot read the CA file '", 0), 0u)
        << missing.ErrorText();
}

// An account that requires TLS: refused without it, with a message that says why it may
// have been; accepted with it.
TEST(TlsServer, AccountThatRequiresTls)
{
    createUser("tls_required", "IDENTIFIED BY 'reqpw'", "SSL");
    const auto& s = testServer();
    TMysqlClient plain;
    plain.SetConnectTimeout(10);
    EXPECT_FALSE(plain.Connect(s.host, "tls_required", "reqpw", "", s.port, 0));
    EXPECT_EQ(plain.ErrorCode(), 1045);
    EXPECT_NE(plain.ErrorText().find("without TLS, which a server or account that requires TLS refuses this way"),
              std::string::npos)
        << plain.ErrorText();
    TMysqlClient tls;
    ASSERT_TRUE(connectTls(tls, s.host, "tls_required", "reqpw")) << tls.ErrorText();
    EXPECT_EQ(value(tls, "select current_user()"), "tls_required@%");
}

// A connection the server dropped is replaced by an encrypted one again.
TEST(TlsServer, ReconnectKeepsTls)
{
    const auto& s = testServer();
    TMysqlClient c;
    ASSERT_TRUE(connectTls(c, s.host, s.user, s.password, true)) << c.ErrorText();
    c.SetPingAfterIdle(0);
    const std::string id = value(c, "select connection_id()");
    runSql("KILL " + id);
    EXPECT_EQ(value(c, "select 'again'"), "again");
    EXPECT_NE(value(c, "select connection_id()"), id);
    EXPECT_TRUE(c.Encrypted());
    EXPECT_EQ(serverCipher(c), c.TlsCipher());
}

// A million rows over TLS, with and without compression, arrive complete and in order.
TEST(TlsServer, MillionRowFetchIsComplete)
{
    const auto& s = testServer();
    for (bool compress : {false, true}) {
        SCOPED_TRACE(compress ? "compressed" : "plain");
        TMysqlClient c;
        ASSERT_TRUE(connectTls(c, s.host, s.user, s.password, compress)) << c.ErrorText();
        bool ok = false;
        auto r = c.Query("select seq, concat('row ', seq) from mysql.seq_1_to_1000000", true, ok);
        ASSERT_TRUE(ok && r) << c.ErrorText();
        ASSERT_EQ(r->RowCount(), 1000000);
        uint64_t sum = 0;
        bool inOrder = true;
        for (int64_t i = 0; i < r->RowCount(); ++i) {
            r->Seek(i);
            const uint64_t n = std::stoull(r->FieldValue(0));
            sum += n;
            inOrder = inOrder && n == uint64_t(i + 1) && std::string(r->FieldValue(1)) == "row " + std::to_string(n);
        }
        EXPECT_TRUE(inOrder);
        EXPECT_EQ(sum, 500000500000u);
        EXPECT_TRUE(c.Encrypted());
    }
}

// setup-db.sh --tls on a server of its own: certificates of a new team CA, TLS required of
// every connection after a restart. Clients without TLS are refused with the explanation,
// clients with the team's CA get in, the CA the server used before is no longer accepted.
TEST(TlsServer, TeamSetupRequiresVerifiedTls)
{
    const std::string scripts = VT_SCRIPTS_DIR;
    const std::string dir = std::filesystem::absolute(testServer().dir + "-team").string();
    auto run = [&](const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; };
    ASSERT_TRUE(run("bash " + scripts + "/db-server.sh start " + dir));
    struct Stop {
        std::string command;
        ~Stop() { (void)!std::system(command.c_str()); }
    } stop{"bash " + scripts + "/db-server.sh stop " + dir + " >/dev/null 2>&1; rm -rf " + dir};
    ASSERT_TRUE(run("bash " + scripts + "/setup-db.sh --tls " + dir +
                    "/team --tls-name localhost --tls-name 127.0.0.1" + " --tls-config " + dir + "/team.cnf --socket " +
                    dir + "/mysqld.sock"));
    std::ofstream(dir + "/my.cnf", std::ios::app) << "!include " << dir << "/team.cnf\n";
    ASSERT_TRUE(run("bash " + scripts + "/db-server.sh resume " + dir));
    unsigned port = 0;
    FILE* f = std::fopen((dir + "/port").c_str(), "r");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fscanf(f, "%u", &port), 1);
    std::fclose(f);

    const auto& s = testServer();
    TMysqlClient plain;
    plain.SetConnectTimeout(10);
    EXPECT_FALSE(plain.Connect("127.0.0.1", s.user, s.password, "", port, 0));
    EXPECT_EQ(plain.ErrorCode(), 1045);
    EXPECT_NE(plain.ErrorText().find("without TLS, which a server or account that requires TLS refuses this way"),
              std::string::npos)
        << plain.ErrorText();

    for (const char* host : {"localhost", "127.0.0.1"}) {
        TMysqlClient c;
        c.SetConnectTimeout(10);
        c.SetTlsCaFile(dir + "/team/ca.pem");
        ASSERT_TRUE(c.Connect(host, s.user, s.password, "", port, MysqlFlags::CLIENT_SSL)) << c.ErrorText();
        EXPECT_EQ(value(c, "select @@require_secure_transport"), "1");
        EXPECT_EQ(serverCipher(c), c.TlsCipher());
    }
    TMysqlClient oldCa;
    oldCa.SetConnectTimeout(10);
    oldCa.SetTlsCaFile(dir + "/tls/ca.pem");
    EXPECT_FALSE(oldCa.Connect("localhost", s.user, s.password, "", port, MysqlFlags::CLIENT_SSL));
    EXPECT_EQ(oldCa.ErrorCode(), 2026);
}

// Statements pipelined inside TLS, plain and compressed: the records of several commands and
// answers follow one another, a long statement among them.
TEST(TlsServer, PipelinedStatementsAnswerInOrder)
{
    const auto& s = testServer();
    for (bool compress : {false, true}) {
        SCOPED_TRACE(compress ? "compressed" : "plain");
        TMysqlClient c;
        ASSERT_TRUE(connectTls(c, "localhost", s.user, s.password, compress)) << c.ErrorText();
        const std::string longOne = "select length('" + std::string(200000, 'p') + "')";
        std::vector<TMysqlBatchAnswer> a;
        const uint64_t before = c.RoundTrips();
        EXPECT_FALSE(c.QueryBatch({"select repeat('tls', 20000)", "select no_such_function()", longOne, "select 7"}, a));
        EXPECT_EQ(c.RoundTrips() - before, 1u);
        ASSERT_EQ(a.size(), 4u);
        ASSERT_TRUE(a[0].Succeeded() && a[0].Result) << a[0].ErrorText;
        a[0].Result->FetchLengths();
        EXPECT_EQ(a[0].Result->FieldLength(0), 60000u);
        EXPECT_TRUE(a[1].answered);
        EXPECT_EQ(a[1].ErrorCode, 1305) << a[1].ErrorText;
        ASSERT_TRUE(a[2].Succeeded() && a[2].Result) << a[2].ErrorText;
        EXPECT_STREQ(a[2].Result->FieldValue(0), "200000");
        ASSERT_TRUE(a[3].Succeeded() && a[3].Result) << a[3].ErrorText;
        EXPECT_STREQ(a[3].Result->FieldValue(0), "7");
        EXPECT_EQ(value(c, "select 'still in step'"), "still in step");
    }
}
