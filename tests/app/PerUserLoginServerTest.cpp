// Per-user server accounts (#PU:1): the settings key, the login with the typed name and password
// as a server account over required TLS, the renewal of an expired password at login, and the
// account procedures called by User Administration, on a database set up with per-user accounts.

#include "AppFixture.h"
#include "PerUserDatabase.h"
#include "TestServer.h"
#include "session/Settings.h"

#include "db/DbErrors.h"
#include "db/TField.h"
#include "db/TmySQLDatabase.h"
#include "db/TmySQLQuery.h"

#include "data/Users.h"
#include "windows/Forms.h"
#include "windows/UserAdminForm.h"
#include "windows/UserCreateForm.h"
#include "windows/UserEditorForm.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
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
        m_perUser = vt::test::perUserVeltranaDatabase("vt_peruser");
        m_db = m_perUser.name;
    }
    void TearDown() override
    {
        AppFixture::TearDown();
        // Every account holding the database's role goes with it.
        vt::test::dropPerUserDatabase(m_perUser);
    }

    // A Users row and its server account, as the set-up makes them (TLS required, the role of
    // the database's users).
    void addAccount(const std::string& name, const std::string& password, const std::string& role, bool expired = false)
    {
        vt::test::dropServerAccount(name);
        vt::test::runSql("INSERT INTO Users (Username, password, Role, Created) VALUES ('" + name + "', '', '" + role +
                             "', now())",
                         m_perUser.store);
        vt::test::createUserAccount(m_perUser, name, password, expired);
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

    std::string sql(const std::string& statement) { return vt::test::runSql(statement, m_db); }
    int accounts(const std::string& escapedName)
    {
        return std::stoi(vt::test::runSql("SELECT count(*) FROM mysql.user WHERE User = '" + escapedName + "'"));
    }
    void openAdministration()
    {
        mainChild<QAction>("UserManagement1").trigger();
        ASSERT_TRUE(forms().UserAdmin_form->isVisible());
    }
    void selectUser(const QString& name)
    {
        auto& grid = child<QTableView>(*forms().UserAdmin_form, "DBGrid1");
        auto* model = grid.model();
        for (int r = 0; r < model->rowCount(); ++r)
            if (model->data(model->index(r, 1)).toString() == name) {
                grid.setCurrentIndex(model->index(r, 0));
                return;
            }
        FAIL() << "no row " << name.toStdString();
    }

    vt::test::PerUserDatabase m_perUser;
    std::string m_db;
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

// Create, set password and delete through the windows: the Users row and the server account
// change together, no hash is stored, and a new or reset password is a one-time password.
TEST_F(PerUserLogin, AdministrationManagesTheServerAccounts)
{
    addAccount("PU_BOSS", "BOSS", "ADMIN");
    writeFile("defaults.cfg", settings());
    startApp();
    logIn("PU_BOSS", "boss");
    ASSERT_TRUE(session().isLoggedIn());
    openAdministration();
    child<QAction>(*forms().UserAdmin_form, "AddUser1").trigger();
    auto& creator = *forms().Form_UserCreate;
    auto type = [&](const char* name, const QString& text) {
        auto& edit = child<QLineEdit>(creator, name);
        edit.clear();
        QTest::keyClicks(&edit, text);
    };
    type("UserName", "pu_n'e\\w");
    type("Password", "s'3\\");
    type("Password2", "s'3\\");
    child<QPushButton>(creator, "Button2").click();
    EXPECT_EQ(m_platform.messages(), QStringList{});
    EXPECT_EQ(sql("SELECT concat('[', password, ']') FROM Users WHERE Username = 'PU_N\\'E\\\\W'"), "[]\n");
    EXPECT_EQ(accounts("PU_N\\'E\\\\W"), 1);
    EXPECT_TRUE(serverAccepts("PU_N'E\\W", "S'3\\"));
    EXPECT_EQ(vt::test::runSql("SELECT password_expired FROM mysql.user WHERE User = 'PU_N\\'E\\\\W'"), "Y\n");

    // Set password: the server account's, expired again; the row keeps no hash.
    vt::test::runSql("ALTER USER 'PU_N\\'E\\\\W'@'%' PASSWORD EXPIRE NEVER");
    auto& editor = *forms().Form_UserEditor;
    editor.editAccount("PU_N'E\\W", {});
    QTest::keyClicks(&child<QLineEdit>(editor, "Password"), "n-2");
    child<QPushButton>(editor, "Button1").click();
    EXPECT_EQ(m_platform.messages(), QStringList{});
    EXPECT_TRUE(serverAccepts("PU_N'E\\W", "N-2"));
    EXPECT_FALSE(serverAccepts("PU_N'E\\W", "S'3\\"));
    EXPECT_EQ(vt::test::runSql("SELECT password_expired FROM mysql.user WHERE User = 'PU_N\\'E\\\\W'"), "Y\n");
    EXPECT_EQ(sql("SELECT concat('[', password, ']') FROM Users WHERE Username = 'PU_N\\'E\\\\W'"), "[]\n");

    // Delete: row and account go; the grid's own delete takes the same path.
    m_platform.answers = {Platform::Answer::Yes};
    selectUser("PU_N'E\\W");
    child<QAction>(*forms().UserAdmin_form, "DeleteUser1").trigger();
    EXPECT_EQ(m_platform.messages(), QStringList{});
    EXPECT_EQ(sql("SELECT count(*) FROM Users WHERE Username = 'PU_N\\'E\\\\W'"), "0\n");
    EXPECT_EQ(accounts("PU_N\\'E\\\\W"), 0);

    addAccount("PU_GONE", "X", "USER");
    child<QAction>(*forms().UserAdmin_form, "Refresh1").trigger();
    m_platform.answers = {Platform::Answer::Yes};
    selectUser("PU_GONE");
    QTest::keyClick(&child<QTableView>(*forms().UserAdmin_form, "DBGrid1"), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(m_platform.messages(), QStringList{});
    EXPECT_EQ(sql("SELECT count(*) FROM Users WHERE Username = 'PU_GONE'"), "0\n");
    EXPECT_EQ(accounts("PU_GONE"), 0);
}

// An ordinary user past the client's check (the data layer called directly): the server refuses
// each Users row change or procedure, one error reaches the user, and no change remains.
TEST_F(PerUserLogin, OrdinaryUserIsRefusedByTheServerAndNothingHalfDoneRemains)
{
    addAccount("PU_USER", "PW", "USER");
    addAccount("PU_OTHER", "PW", "USER");
    writeFile("defaults.cfg", settings());
    startApp();
    logIn("PU_USER", "pw");
    ASSERT_TRUE(session().isLoggedIn());
    const auto refused = [](const std::function<void()>& command) {
        try {
            command();
        } catch (const EDbError& error) {
            return std::string(error.what());
        }
        return std::string();
    };
    const data::users::Profile profile{"F", "L", "e", "p", "ADMIN"};
    EXPECT_NE(refused([&] {
                  data::users::create(session(), "PU_SNEAK", "X", profile);
              }).find("Only an administrator may add users."),
              std::string::npos)
        << "the Users row is refused before the account";
    EXPECT_EQ(sql("SELECT count(*) FROM Users WHERE Username = 'PU_SNEAK'"), "0\n");
    EXPECT_EQ(accounts("PU_SNEAK"), 0);

    EXPECT_NE(
        refused([&] { data::users::remove(session(), "PU_OTHER"); }).find("Only an administrator may delete users."),
        std::string::npos);
    EXPECT_EQ(sql("SELECT count(*) FROM Users WHERE Username = 'PU_OTHER'"), "1\n");
    EXPECT_EQ(accounts("PU_OTHER"), 1);

    EXPECT_NE(refused([&] {
                  data::users::setPassword(session(), "PU_OTHER", "MINE");
              }).find("Only an administrator may manage accounts."),
              std::string::npos);
    EXPECT_TRUE(serverAccepts("PU_OTHER", "PW"));
    // The session goes on: a later statement works.
    EXPECT_EQ(data::users::nameInUse(session(), "PU_OTHER"), true);
}

// An administrator's creation the account procedure refuses (an account of that name exists
// already without a row): the new row does not remain, the existing account is untouched.
TEST_F(PerUserLogin, RefusedAccountCreationLeavesNoRow)
{
    addAccount("PU_BOSS", "BOSS", "ADMIN");
    addAccount("PU_TAKEN", "X", "USER");
    sql("DELETE FROM Users WHERE Username = 'PU_TAKEN'");
    writeFile("defaults.cfg", settings());
    startApp();
    logIn("PU_BOSS", "boss");
    ASSERT_TRUE(session().isLoggedIn());
    EXPECT_THROW(data::users::create(session(), "PU_TAKEN", "Y", {}), EDbError);
    EXPECT_EQ(sql("SELECT count(*) FROM Users WHERE Username = 'PU_TAKEN'"), "0\n");
    EXPECT_TRUE(serverAccepts("PU_TAKEN", "X")) << "the existing account is untouched";
}
