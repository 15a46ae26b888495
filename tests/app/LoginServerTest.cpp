// Logging in against the private test server: the user check, the shared settings, the project
// selector, presence, Log Off, and the messages of every failure.

#include "AppFixture.h"
#include "TestServer.h"
#include "data/Schema.h"
#include "session/Passwords.h"
#include "windows/LogForm.h"

#include "db/TmySQLDatabase.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using namespace vt::app;

namespace {

QStringList items(const QComboBox* combo)
{
    QStringList result;
    for (int i = 0; i < combo->count(); ++i)
        result << combo->itemText(i);
    return result;
}

QStringList items(const QListWidget* list)
{
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        result << list->item(i)->text();
    return result;
}

}  // namespace

class Login : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        m_db = vt::test::freshVeltranaDatabase("vt_login");
        const auto& server = vt::test::testServer();
        m_server = QString::fromStdString(server.host) + ":" + QString::number(server.port);
        writeFile("defaults.cfg", ("UN:#SQ:" + m_server + "#DB:" + QString::fromStdString(m_db) +
                                   "#DU:" + QString::fromStdString(server.user) +
                                   "#DP:" + QString::fromStdString(server.password) + "##\r\n")
                                      .toUtf8());
        // Three projects, newest last; BOB is a member of the first and the third.
        sql("INSERT INTO Projects (ProjectName, ProjectManager) VALUES ('Alpha','ADMIN'),"
            "('Beta','ADMIN'),('Gamma','BOB')");
        sql("INSERT INTO Users (Username, password, Role) VALUES ('BOB','PW','user')");
        sql("INSERT INTO ProjectMembers (UserName, ProjectID) SELECT 'BOB', ProjectID FROM "
            "Projects WHERE ProjectName IN ('Alpha','Gamma')");
        startApp();
        m_platform.clear();
    }

    std::string sql(const std::string& statement) { return vt::test::runSql(statement, m_db); }

    void loginAs(const char* user, const char* password)
    {
        loginChild<QLineEdit>("UserID").clear();
        loginChild<QLineEdit>("Password").clear();
        QTest::keyClicks(&loginChild<QLineEdit>("UserID"), user);
        QTest::keyClicks(&loginChild<QLineEdit>("Password"), password);
        loginChild<QPushButton>("Button1").click();
    }

    void expectLoggedOut()
    {
        EXPECT_TRUE(login().isVisible());
        EXPECT_FALSE(mainChild<QFrame>("pan_Navigator").isVisible());
        EXPECT_EQ(mainChild<QComboBox>("Combo_projects").count(), 0);
    }

    std::string m_db;
    QString m_server;
};

TEST_F(Login, AdministratorSeesEveryProjectNewestFirst)
{
    sql("UPDATE global_settings SET commondir='/srv/att', documents='/srv/docs', SaveAsFiles=1");
    sql("INSERT INTO Projects (ProjectName, ProjectManager) VALUES ('Ünïcödé Café','ADMIN')");
    mainChild<QAction>("Console1").trigger();  // the console shows what the login writes
    loginAs("admin", "admin");                 // typed in lower case, sent in upper case

    EXPECT_EQ(m_platform.messages(), QStringList{});
    TVeltrana& w = mainWindow();
    EXPECT_EQ(session().CurrentUser, "ADMIN");
    EXPECT_EQ(session().UserRole, "ADMIN");
    EXPECT_EQ(session().CommonDir, "/srv/att");
    EXPECT_EQ(session().DocumentsFolder, "/srv/docs");
    EXPECT_TRUE(session().StoreDocumentsAsFiles);
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(mainChild<QFrame>("pan_Navigator").isVisible());
    EXPECT_FALSE(mainChild<QFrame>("Pan_Content").isVisible());
    EXPECT_FALSE(login().isVisible());
    EXPECT_EQ(items(&mainChild<QComboBox>("Combo_projects")),
              (QStringList{QString::fromUtf8("Ünïcödé Café"), "Gamma", "Beta", "Alpha"}));
    EXPECT_EQ(mainChild<QComboBox>("Combo_projects").currentText(), "Select a Project...");
    EXPECT_GE(m_platform.maxWaitDepth, 1);  // hourglass while checking the user
    EXPECT_EQ(m_platform.waitDepth, 0);
    EXPECT_TRUE(mainChild<QTimer>("Timer1").isActive());
    EXPECT_EQ(mainChild<QTimer>("Timer1").interval(), 30000);

    // The server keeps its packet limit read-only: the refusal is noted and the login goes on.
    const QStringList console = child<QPlainTextEdit>(*forms().Log_Form, "Memo1").toPlainText().split('\n');
    ASSERT_EQ(console.size(), 3);
    EXPECT_EQ(console[0], "Memo1");
    EXPECT_TRUE(console[1].contains("(1621)")) << console[1].toStdString();
    EXPECT_EQ(console[2], "Logged IN");
}

TEST_F(Login, MemberSeesOwnProjectsAndStorageFollowsSaveAsFiles)
{
    struct Case {
        int saveAsFiles;
        bool asFiles;
    };
    for (const Case c : {Case{-1, false}, Case{0, false}, Case{1, true}, Case{7, true}}) {
        SCOPED_TRACE(c.saveAsFiles);
        sql("UPDATE global_settings SET SaveAsFiles=" + std::to_string(c.saveAsFiles));
        loginAs("bob", "pw");
        ASSERT_EQ(m_platform.messages(), QStringList{});
        EXPECT_EQ(session().UserRole, "USER");
        EXPECT_EQ(session().StoreDocumentsAsFiles, c.asFiles);
        EXPECT_EQ(items(&mainChild<QComboBox>("Combo_projects")), (QStringList{"Gamma", "Alpha"}));
        EXPECT_EQ(mainChild<QComboBox>("Combo_projects").currentText(), "Select a Project...");
        mainChild<QAction>("Loggoff1").trigger();
    }
}

TEST_F(Login, UserWithoutProjectsSeesAnEmptySelector)
{
    sql("INSERT INTO Users (Username, password, Role) VALUES ('NOBODY','X','USER')");
    loginAs("nobody", "x");
    EXPECT_EQ(mainChild<QComboBox>("Combo_projects").count(), 0);
    EXPECT_EQ(mainChild<QComboBox>("Combo_projects").currentText(), "Select a Project...");
}

TEST_F(Login, MemberNameWithAQuoteReachesTheProjectListEscaped)
{
    sql("INSERT INTO Users (Username, password, Role) VALUES ('O\\'HARA','PW','USER')");
    sql("INSERT INTO ProjectMembers (UserName, ProjectID) SELECT 'O\\'HARA', ProjectID FROM Projects "
        "WHERE ProjectName = 'Beta'");
    loginAs("o'hara", "pw");
    EXPECT_EQ(m_platform.messages(), QStringList{});
    EXPECT_EQ(items(&mainChild<QComboBox>("Combo_projects")), QStringList{"Beta"});
}

TEST_F(Login, WrongNameOrPasswordIsRefused)
{
    const std::pair<const char*, const char*> attempts[] = {
        {"admin", "wrong"}, {"nosuchuser", "admin"}, {"admin' or '1'='1", "x' or '1'='1"}};
    for (const auto& [user, password] : attempts) {
        SCOPED_TRACE(user);
        m_platform.clear();
        loginAs(user, password);
        EXPECT_EQ(m_platform.messages(), QStringList{"Invalid User Name or Password. Try Again"});
        expectLoggedOut();
        EXPECT_EQ(session().UserRole, "USER");
        EXPECT_EQ(m_platform.waitDepth, 0);  // the hourglass is gone after a refusal too
    }
    // The dialog stays for the next attempt.
    m_platform.clear();
    loginAs("admin", "admin");
    EXPECT_EQ(m_platform.messages(), QStringList{});
    EXPECT_FALSE(login().isVisible());
}

TEST_F(Login, MissingGlobalSettingsRowEndsTheLoginWithBothMessages)
{
    sql("DELETE FROM global_settings");
    loginAs("admin", "admin");
    EXPECT_EQ(m_platform.messages(),
              (QStringList{"Cannot retrieve Global Settings", "Invalid User Name or Password. Try Again"}));
    expectLoggedOut();
    EXPECT_FALSE(mainChild<QTimer>("Timer1").isActive());
}

// A database of another schema version: refused with one message naming both versions, and
// for an older one the command that upgrades it; nothing else is read.
TEST_F(Login, DatabaseOfAnotherSchemaVersionIsRefused)
{
    const int version = vt::app::data::schema::kVersion;
    const struct {
        std::string change;
        QString message;
    } cases[] = {
        {"UPDATE schema_version SET Version = " + std::to_string(version + 1),
         QStringLiteral("The database has schema version %1, newer than version %2 that this program knows. Use a "
                        "newer version of Veltrana.")
             .arg(version + 1)
             .arg(version)},
        {"DROP TABLE schema_version",
         QStringLiteral("The database has schema version 1, older than version %1 that this program needs. Upgrade "
                        "it with scripts/setup-db.sh --upgrade on the database server.")
             .arg(version)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.change);
        sql(c.change);
        m_platform.clear();
        loginAs("admin", "admin");
        EXPECT_EQ(m_platform.messages(), QStringList{c.message});
        expectLoggedOut();
        EXPECT_FALSE(mainChild<QTimer>("Timer1").isActive());
        EXPECT_EQ(m_platform.waitDepth, 0);
    }
    // Brought to the program's version, the same dialog logs in.
    sql("CREATE TABLE schema_version (VersionID TINYINT NOT NULL PRIMARY KEY, Version INT NOT NULL);"
        "INSERT INTO schema_version VALUES (1, " +
        std::to_string(version) + ")");
    m_platform.clear();
    loginAs("admin", "admin");
    EXPECT_EQ(m_platform.messages(), QStringList{});
    EXPECT_FALSE(login().isVisible());
}

TEST_F(Login, ServerThatIsDownShowsTheConnectionErrorAndTheDialogStaysUsable)
{
    QTcpServer probe;  // a port on which nothing listens
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 closedPort = probe.serverPort();
    probe.close();

    loginChild<QLineEdit>("Edit2").setText("127.0.0.1:" + QString::number(closedPort));
    loginAs("admin", "admin");
    ASSERT_EQ(m_platform.messages().size(), 1);
    // A sentence for the user first, then the connection error as the client reported it.
    EXPECT_TRUE(m_platform.messages().front().startsWith("The database server cannot be reached."))
        << m_platform.messages().front().toStdString();
    EXPECT_TRUE(m_platform.messages().front().contains("\n\nmySQL Error Code: (20"))
        << m_platform.messages().front().toStdString();
    EXPECT_TRUE(m_platform.messages().front().contains("\r\n"));
    expectLoggedOut();
    EXPECT_FALSE(session().connection().Connected());

    // Nothing was connected, so the corrected field is taken.
    m_platform.clear();
    loginChild<QLineEdit>("Edit2").setText(m_server);
    loginAs("admin", "admin");
    EXPECT_EQ(m_platform.messages(), QStringList{});
    EXPECT_FALSE(login().isVisible());
}

TEST_F(Login, ServerFieldTakesAListAndNamesABadEntry)
{
    QTcpServer probe;  // a port on which nothing listens
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const QString down = "127.0.0.1:" + QString::number(probe.serverPort());
    probe.close();

    loginChild<QLineEdit>("Edit2").setText(m_server + ", db2:70000");
    loginAs("admin", "admin");
    EXPECT_EQ(m_platform.messages(),
              QStringList{"The server entry \"db2:70000\" is not valid: a port that is not 1 to 65535. Give the "
                          "servers as host or host:port, separated by commas."});
    expectLoggedOut();
    EXPECT_FALSE(session().connection().Connected());

    // The first server that answers is used; the list is kept in the settings file as typed.
    m_platform.clear();
    loginChild<QLineEdit>("Edit2").setText(down + " , " + m_server);
    loginAs("admin", "admin");
    EXPECT_EQ(m_platform.messages(), QStringList{});
    EXPECT_FALSE(login().isVisible());
    EXPECT_TRUE(readFile("defaults.cfg").contains(("#SQ:" + down + " , " + m_server + "#").toUtf8()));
}

TEST_F(Login, ChangedConnectionFieldAfterAFailedAttemptIsRefusedByTheOpenConnection)
{
    loginAs("admin", "wrong");
    ASSERT_TRUE(session().connection().Connected());

    m_platform.clear();
    loginChild<QLineEdit>("Edit2").setText("localhost:" + QString::number(vt::test::testServer().port));
    loginAs("admin", "admin");
    EXPECT_EQ(m_platform.messages(), QStringList{"mySQLDatabase1: Cannot perform this operation on an open database"});
    expectLoggedOut();
    EXPECT_EQ(session().connection().Host(), "127.0.0.1");
}

TEST_F(Login, LogOffReturnsToTheLoginDialogAndASecondLoginWorks)
{
    loginAs("admin", "admin");
    TVeltrana& w = mainWindow();
    new QTreeWidgetItem(&mainChild<QTreeWidget>("ProjectTree"), {"Gamma"});
    session().CurrentProjectID = 3;
    m_platform.clear();

    mainChild<QAction>("Loggoff1").trigger();
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(login().isVisible());
    EXPECT_EQ(login().windowTitle(), "Veltrana Login");
    EXPECT_EQ(loginChild<QLineEdit>("UserID").text(), "");
    EXPECT_EQ(loginChild<QLineEdit>("Password").text(), "");
    EXPECT_EQ(loginChild<QLineEdit>("Edit2").text(), m_server);  // read from the settings file again
    EXPECT_EQ(mainChild<QTreeWidget>("ProjectTree").topLevelItemCount(), 0);
    EXPECT_EQ(mainChild<QComboBox>("Combo_projects").count(), 0);
    EXPECT_EQ(session().CurrentUser, "");
    EXPECT_EQ(session().UserRole, "USER");
    EXPECT_EQ(session().CurrentProjectID, 0);
    EXPECT_FALSE(mainChild<QFrame>("pan_Navigator").isVisible());
    EXPECT_TRUE(session().connection().Connected());       // the connection stays open
    EXPECT_FALSE(mainChild<QTimer>("Timer1").isActive());  // nobody is left to stamp
    // The clean-up ran again: the batch file exists since the first start.
    ASSERT_EQ(m_platform.shown.size(), 1u);
    EXPECT_EQ(m_platform.shown.front().kind, "batch");

    loginAs("bob", "pw");
    EXPECT_EQ(m_platform.messages(), QStringList{});
    EXPECT_EQ(session().CurrentUser, "BOB");
    EXPECT_EQ(items(&mainChild<QComboBox>("Combo_projects")), (QStringList{"Gamma", "Alpha"}));
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(mainChild<QFrame>("pan_Navigator").isVisible());
}

TEST_F(Login, PresenceStampsTheUserAndListsWhoPolledWithinFiveMinutes)
{
    sql("INSERT INTO Users (Username, password, Role, lastPollRequest) VALUES "
        "('CAROL','X','USER', now() - INTERVAL 290 SECOND),"
        "('DAVE','X','USER', now() - INTERVAL 5 MINUTE),"  // exactly five minutes: not listed
        "('ERIN','X','USER', NULL),"
        "('frank','F','USER', NULL)");
    loginAs("frank", "f");  // stored in lower case: still stamped
    ASSERT_EQ(m_platform.messages(), QStringList{});

    EXPECT_EQ(sql("SELECT lastPollRequest IS NOT NULL AND lastPollRequest > now() - INTERVAL 1 MINUTE "
                  "FROM Users WHERE Username='frank'"),
              "1\n");
    EXPECT_EQ(items(&mainChild<QListWidget>("OnlineList")), (QStringList{"CAROL", "frank"}));

    // "Refresh" polls again at once.
    sql("UPDATE Users SET lastPollRequest = now() WHERE Username IN ('ERIN', 'DAVE')");
    mainChild<QAction>("Refresh1").trigger();
    EXPECT_EQ(items(&mainChild<QListWidget>("OnlineList")), (QStringList{"CAROL", "DAVE", "ERIN", "frank"}));

    // After Log Off the timer stops, and a tick that was already due stamps nobody.
    mainChild<QAction>("Loggoff1").trigger();
    EXPECT_FALSE(mainChild<QTimer>("Timer1").isActive());
    sql("UPDATE Users SET lastPollRequest = now() - INTERVAL 10 MINUTE WHERE Username='frank'");
    mainWindow().Timer1Timer();
    EXPECT_EQ(sql("SELECT lastPollRequest < now() - INTERVAL 9 MINUTE FROM Users WHERE Username='frank'"), "1\n");

    // The next login polls at once again and starts the timer.
    loginAs("frank", "f");
    EXPECT_TRUE(mainChild<QTimer>("Timer1").isActive());
    EXPECT_EQ(items(&mainChild<QListWidget>("OnlineList")), (QStringList{"CAROL", "DAVE", "ERIN", "frank"}));
}

// Passwords are kept as Argon2id hashes: a hashed row logs in by verification, a row an older
// client stored as typed logs in once and is rewritten as a hash in the same login, and a wrong
// password is refused either way without changing the row.
TEST_F(Login, PasswordsAreVerifiedAgainstHashesAndLegacyRowsAreUpgraded)
{
    const std::string hashed = passwords::hash("S3CRET").toStdString();
    sql("INSERT INTO Users (Username, password, Role) VALUES ('HASHED','" + hashed +
        "','USER'),"
        "('O\\'B\\\\LEGACY','PLAIN\\'PW\\\\','USER')");
    const auto stored = [&](const char* name) {
        return sql(std::string("SELECT password FROM Users WHERE Username='") + name + "'");
    };

    struct Case {
        const char* user;      // typed
        const char* password;  // typed
        const char* row;       // the account's name as stored, escaped for a literal
        bool accepted;
    } cases[] = {
        {"hashed", "wrong", "HASHED", false},
        {"hashed", "", "HASHED", false},
        {"hashed", "s3cret", "HASHED", true},
        {"o'b\\legacy", "PLAIN'PW", "O\\'B\\\\LEGACY", false},        // a prefix is not enough
        {"o'b\\legacy", "plain'pw\\", "O\\'B\\\\LEGACY", true},       // upgraded here
        {"o'b\\legacy", "plain'pw\\", "O\\'B\\\\LEGACY", true},       // and verified next time
        {"o'b\\legacy", "PLAIN\\'PW\\\\", "O\\'B\\\\LEGACY", false},  // nor the escaped text
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.user) + " / " + c.password);
        const std::string before = stored(c.row);
        m_platform.clear();
        loginAs(c.user, c.password);
        if (c.accepted) {
            EXPECT_EQ(m_platform.messages(), QStringList{});
            EXPECT_FALSE(login().isVisible());
            mainChild<QAction>("Loggoff1").trigger();
        } else {
            EXPECT_EQ(m_platform.messages(), QStringList{"Invalid User Name or Password. Try Again"});
            expectLoggedOut();
            EXPECT_EQ(stored(c.row), before);  // a refusal writes nothing
        }
        // After any accepted login the row holds a hash of what was typed, never the text.
        const QString now = QString::fromStdString(stored(c.row)).trimmed();
        if (c.accepted) {
            EXPECT_TRUE(passwords::isHash(now)) << now.toStdString();
            EXPECT_TRUE(passwords::matches(now, QString::fromUtf8(c.password).toUpper()));
        }
    }
    EXPECT_EQ(stored("HASHED"), hashed + "\n");
    // No account that has logged in keeps a plain password.
    EXPECT_EQ(sql("SELECT count(*) FROM Users WHERE Username IN ('HASHED','O\\'B\\\\LEGACY') AND "
                  "password NOT LIKE '$argon2id$v=19$m=%'"),
              "0\n");
}

// A legacy row that the server used to match without regard to case keeps working once.
TEST_F(Login, LegacyPasswordStoredInLowerCaseIsAcceptedAndRewritten)
{
    sql("INSERT INTO Users (Username, password, Role) VALUES ('CAROL','secret','USER')");
    loginAs("carol", "secret");
    EXPECT_EQ(m_platform.messages(), QStringList{});
    const QString now = QString::fromStdString(sql("SELECT password FROM Users WHERE Username='CAROL'")).trimmed();
    EXPECT_TRUE(passwords::matches(now, "SECRET"));
    EXPECT_FALSE(passwords::matches(now, "secret"));  // the hash is of what was typed: upper case
}
