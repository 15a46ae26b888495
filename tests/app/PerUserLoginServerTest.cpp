// Per-user server accounts (#PU:1): the settings key, the login with the typed name and password
// as a server account over required TLS, the renewal of an expired password at login, and the
// account procedures called by User Administration.

#include "AppFixture.h"
#include "TestServer.h"
#include "session/Settings.h"

#include "db/DbErrors.h"
#include "db/TField.h"
#include "db/TmySQLDatabase.h"
#include "db/TmySQLQuery.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace vt::app;

TEST(PerUserSetting, ReadFromItsOwnKeyOnly)
{
    const struct {
        const char* name;
        QString line;
        bool perUser;
    } cases[] = {
        {"a file without the key", "UN:A#SQ:s#DB:d#DU:u#DP:p##", false},
        {"the key with TLS keys", "UN:A#SQ:s#DB:d#PU:1#TL:1#CA:/ca.pem##", true},
        {"PU: other than 1 is off", "UN:A#SQ:s#DB:d#PU:yes##", false},
        {"inside a value is no key", "UN:PU:1#SQ:s#DB:d##", false},
        {"a value ending in PU:1 is no key", "UN:A#SQ:s#DB:d#DP:xPU:1##", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(readPerUserSetting(c.line), c.perUser);
        EXPECT_EQ(readPerUserSetting("UN:#DP:" + perUserSettingText(c.perUser) + "##"), c.perUser);
    }
}

class PerUserLogin : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        m_db = vt::test::freshVeltranaDatabase("vt_peruser");
    }
    void TearDown() override
    {
        AppFixture::TearDown();
        for (const std::string& account : m_accounts)
            vt::test::runSql("DROP USER IF EXISTS '" + account + "'@'%'");
    }

    // A Users row and its server account (TLS required, the database's rights).
    void addAccount(const std::string& name, const std::string& password, const std::string& role, bool expired = false)
    {
        vt::test::runSql("DROP USER IF EXISTS '" + name + "'@'%'");
        vt::test::runSql("CREATE USER '" + name + "'@'%' IDENTIFIED BY '" + password + "' REQUIRE SSL" +
                         (expired ? " PASSWORD EXPIRE" : ""));
        vt::test::runSql("GRANT ALL PRIVILEGES ON `" + m_db + "`.* TO '" + name + "'@'%'");
        vt::test::runSql("INSERT INTO Users (Username, password, Role, Created) VALUES ('" + name + "', '', '" + role +
                             "', now())",
                         m_db);
        m_accounts.push_back(name);
    }

    // The settings file of a per-user workstation: no DU/DP, the CA that verifies the server.
    QByteArray settings(const QString& user = "") const
    {
        const auto& s = vt::test::testServer();
        return ("UN:" + user + "#SQ:localhost:" + QString::number(s.port) + "#DB:" + QString::fromStdString(m_db) +
                "#DU:#DP:#PU:1#CA:" + QString::fromStdString(s.caFile) + "##\r\n")
            .toUtf8();
    }

    void logIn(const QString& user, const QString& password)
    {
        loginChild<QLineEdit>("UserID").clear();
        loginChild<QLineEdit>("Password").clear();
        QTest::keyClicks(&loginChild<QLineEdit>("UserID"), user);
        QTest::keyClicks(&loginChild<QLineEdit>("Password"), password);
        loginChild<QPushButton>("Button1").click();
    }

    // Whether the server account accepts this password (a fresh protocol connection over TLS).
    bool serverAccepts(const std::string& name, const std::string& password) const
    {
        const auto& s = vt::test::testServer();
        TmySQLDatabase db("check");
        db.SetHost("localhost");
        db.SetPort(s.port);
        db.SetUserName(name);
        db.SetUserPassword(password);
        db.SetConnectOptions(connectOption(coSSL));
        db.Params().SetValue("TLSCA", s.caFile);
        try {
            db.SetConnected(true);
        } catch (const EDbError&) {
            return false;
        }
        return db.Connected();
    }

    std::string m_db;
    std::vector<std::string> m_accounts;
};

// The server checks the password; the role comes from the row; the connection is encrypted
// and the rewritten file keeps the key. A wrong password is the usual wrong-login message.
TEST_F(PerUserLogin, TypedNameAndPasswordAreTheServerAccount)
{
    addAccount("PU_ANNA", "SECRET", "ADMIN");
    writeFile("defaults.cfg", settings());
    startApp();

    logIn("PU_ANNA", "wrong");
    EXPECT_EQ(m_platform.messages(), QStringList{"Invalid User Name or Password. Try Again"});
    EXPECT_FALSE(session().isLoggedIn());
    EXPECT_TRUE(login().isVisible());

    m_platform.clear();
    logIn("PU_ANNA", "secret");
    EXPECT_EQ(m_platform.messages(), QStringList{});
    ASSERT_TRUE(session().isLoggedIn());
    EXPECT_TRUE(session().encrypted());
    EXPECT_EQ(session().CurrentUser, "PU_ANNA");
    EXPECT_EQ(session().UserRole, "ADMIN");
    EXPECT_EQ(QString::fromUtf8(readFile("defaults.cfg")), QString::fromUtf8(settings("PU_ANNA")));
}

// A server account without a Users row is no Veltrana user, even with the right password.
TEST_F(PerUserLogin, AccountWithoutAUsersRowIsRefused)
{
    addAccount("PU_GHOST", "SECRET", "USER");
    vt::test::runSql("DELETE FROM Users WHERE Username = 'PU_GHOST'", m_db);
    writeFile("defaults.cfg", settings());
    startApp();
    logIn("PU_GHOST", "secret");
    EXPECT_EQ(m_platform.messages(), QStringList{"Invalid User Name or Password. Try Again"});
    EXPECT_FALSE(session().isLoggedIn());
}

// An expired (one-time) password: the dialog asks twice until both entries agree, the server
// takes the new password, and the login goes on with it; the old one no longer opens the account.
TEST_F(PerUserLogin, ExpiredPasswordIsRenewedAtLogin)
{
    addAccount("PU_BEN", "ONCE", "USER", true);
    writeFile("defaults.cfg", settings());
    startApp();
    m_platform.newPasswords = {{"new'pw", "other"}, {"once", "once"}, {"new'pw -- \\", "NEW'PW -- \\"}};
    logIn("PU_BEN", "once");
    EXPECT_EQ(m_platform.messages(),
              (QStringList{"The two passwords differ. Try again.",
                           "The new password must differ from the one-time password. Try again."}));
    ASSERT_TRUE(session().isLoggedIn());
    EXPECT_EQ(session().UserRole, "USER");
    EXPECT_TRUE(session().encrypted());
    EXPECT_TRUE(serverAccepts("PU_BEN", "NEW'PW -- \\"));
    EXPECT_FALSE(serverAccepts("PU_BEN", "ONCE"));
}

// Cancel leaves the user logged off with the connection closed and the dialog usable.
TEST_F(PerUserLogin, CancelledRenewalLogsOffCleanly)
{
    addAccount("PU_CARL", "ONCE", "USER", true);
    writeFile("defaults.cfg", settings());
    startApp();
    logIn("PU_CARL", "once");
    EXPECT_EQ(m_platform.messages(), QStringList{});
    EXPECT_FALSE(session().isLoggedIn());
    EXPECT_FALSE(session().connection().Connected());
    EXPECT_TRUE(login().isVisible());
    EXPECT_TRUE(serverAccepts("PU_CARL", "ONCE")) << "the account still has its one-time password";
}

// Log Off and another user: the second log-in authenticates its own account, never the
// first user's connection.
TEST_F(PerUserLogin, NextUserAfterLogOffAuthenticatesAgain)
{
    addAccount("PU_DORA", "ONE", "ADMIN");
    addAccount("PU_EVE", "TWO", "USER");
    writeFile("defaults.cfg", settings());
    startApp();
    logIn("PU_DORA", "one");
    ASSERT_TRUE(session().isLoggedIn());
    session().logOff();
    logIn("PU_EVE", "one");
    EXPECT_EQ(m_platform.messages(), QStringList{"Invalid User Name or Password. Try Again"});
    EXPECT_FALSE(session().isLoggedIn());
    m_platform.clear();
    logIn("PU_EVE", "two");
    ASSERT_TRUE(session().isLoggedIn());
    EXPECT_EQ(session().UserRole, "USER");
    auto query = session().newQuery();
    query->SetSQL("select current_user() as who");
    query->Open();
    EXPECT_EQ(query->FieldByName("who").AsString(), "PU_EVE@%");
}
