// Per-user server accounts made by the test support, reached through the connection component:
// names with quotes, backslashes, comment markers and multibyte text log in; a one-time password
// refuses every statement with 1820 until SET PASSWORD; an account that requires TLS is refused
// on a plain connection.

#include <gtest/gtest.h>

#include <functional>

#include "DbTestHelpers.h"
#include "db/DbErrors.h"
#include "db/TNativeConnect.h"
#include "db/TmySQLQuery.h"

using namespace dbtest;

namespace {

std::unique_ptr<TmySQLDatabase> accountSession(const std::string& name, const std::string& password, bool tls)
{
    auto db = connectTo("", false);
    db->SetUserName(name);
    db->SetUserPassword(password);
    if (tls) {
        db->SetConnectOptions(connectOption(coSSL));
        db->Params().SetValue("TLSCA", vt::test::testServer().caFile);
    }
    db->SetConnected(true);
    return db;
}

std::string scalar(TmySQLDatabase& db, const std::string& sql)
{
    TmySQLQuery q;
    q.SetDatabase(&db);
    q.SQL().SetText("SELECT (" + sql + ") AS v");
    q.Open();
    return q.FieldByName("v").AsString();
}

int errorCode(const std::function<void()>& f)
{
    try {
        f();
    } catch (const EmySQLDatabaseError& e) {
        return e.ServerError() ? e.ServerError() : e.ErrorCode();
    }
    return 0;
}

}  // namespace

TEST(PerUserAccount, HostileNamesLogInAsThemselves)
{
    const std::string names[] = {"o'brien", "back\\slash", "dash--#x/*y*/", "Zoë \xe4\xb8\xad", "\"dq\""};
    for (const std::string& name : names) {
        vt::test::createServerAccount(name, "pw'" + name);
        auto db = accountSession(name, "pw'" + name, true);
        const std::string user = scalar(*db, "USER()");
        EXPECT_EQ(user.substr(0, user.rfind('@')), name);
        db->SetConnected(false);
        vt::test::dropServerAccount(name);
        EXPECT_EQ(
            vt::test::runSql("SELECT COUNT(*) FROM mysql.user WHERE user = '" + vt::test::sqlLiteralBody(name) + "'"),
            "0\n");
    }
}

TEST(PerUserAccount, OneTimePasswordRefusesStatementsUntilSetPassword)
{
    vt::test::createServerAccount("vt_once", "first", true);
    {
        auto db = accountSession("vt_once", "first", true);
        EXPECT_EQ(errorCode([&] { scalar(*db, "1"); }), 1820);
        TmySQLQuery set;
        set.SetDatabase(db.get());
        set.SQL().SetText("SET PASSWORD = PASSWORD('second')");
        set.ExecSQL();
        EXPECT_EQ(scalar(*db, "1"), "1");
    }
    EXPECT_EQ(errorCode([] { accountSession("vt_once", "first", true); }), 1045);
    auto again = accountSession("vt_once", "second", true);
    EXPECT_EQ(scalar(*again, "2"), "2");
    again->SetConnected(false);
    vt::test::dropServerAccount("vt_once");
}

TEST(PerUserAccount, PlainConnectionIsRefused)
{
    vt::test::createServerAccount("vt_tlsonly", "pw");
    EXPECT_EQ(errorCode([] { accountSession("vt_tlsonly", "pw", false); }), 1045);
    EXPECT_EQ(scalar(*accountSession("vt_tlsonly", "pw", true), "3"), "3");
    vt::test::dropServerAccount("vt_tlsonly");
}
