// The session and the data modules against the private test server, without any window:
// logging in, the project list, presence, the server's error numbers, and text columns as
// long as users type them.

#include "AppFixture.h"
#include "TestServer.h"

#include "data/Login.h"
#include "data/Outline.h"
#include "data/Presence.h"
#include "data/Projects.h"
#include "data/SqlText.h"
#include "session/Session.h"

#include "db/DbErrors.h"
#include "db/TmySQLDatabase.h"
#include "db/TmySQLQuery.h"

#include <functional>

using namespace vt::app;

namespace {

// The server error number of what op throws; 0 when it throws nothing.
int serverErrorOf(const std::function<void()>& op)
{
    try {
        op();
    } catch (const EmySQLDatabaseError& error) {
        return error.ServerError();
    }
    return 0;
}

}  // namespace

class Data : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_db = vt::test::freshVeltranaDatabase("vt_data");
        const auto& server = vt::test::testServer();
        m_values = {QString::fromStdString(m_db),
                    QString::fromStdString(server.host) + ":" + QString::number(server.port),
                    QString::fromStdString(server.user), QString::fromStdString(server.password)};
        m_session.connect(m_values);
    }

    std::string sql(const std::string& statement) { return vt::test::runSql(statement, m_db); }

    // Runs a statement that returns no rows on a query of the session.
    void execute(const std::string& statement)
    {
        auto query = m_session.newQuery();
        query->SetSQL(statement);
        query->Execute();
    }

    // The first row's value of a text column.
    QString readText(const std::string& statement, const char* column)
    {
        auto query = m_session.newQuery();
        query->SetSQL(statement);
        query->Open();
        const QString text = data::textOf(*query, column);
        query->Close();
        return text;
    }

    std::string m_db;
    ConnectionValues m_values;
    Session m_session;
};

TEST_F(Data, LoginUserRoleNeedsTheExactNameAndPassword)
{
    sql("INSERT INTO Users (Username, password, Role) VALUES ('O\\'HARA','P\\\\W','admin'), "
        "('BOB','PW','USER')");
    struct Case {
        const char* user;
        const char* password;
        const char* role;  // nullptr: no account matches
    };
    const Case cases[] = {
        {"ADMIN", "ADMIN", "ADMIN"},
        {"O'HARA", "P\\W", "admin"},  // quote and backslash reach the server escaped
        {"BOB", "PW", "USER"},        // stored as typed: now replaced by a hash
        {"BOB", "pw", nullptr},       // a hash is verified exactly
        {"BOB", "WRONG", nullptr},
        {"NOSUCHUSER", "PW", nullptr},
        {"BOB' or '1'='1", "x' or '1'='1", nullptr},  // stays a value, never becomes SQL
        {"BOB' -- ", "", nullptr},
        // Comment markers inside the values are text: nobody logs in as ADMIN without its
        // password.
        {"ADMIN/*", "*/", nullptr},
        {"ADMIN'/*", "*/", nullptr},
        {"ADMIN#", "\n", nullptr},
        {"ADMIN--", "\r\n", nullptr},
        {"ADMIN\\", "' or 1=1 #", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.user);
        const auto role = data::login::userRole(m_session, c.user, c.password);
        ASSERT_EQ(role.has_value(), c.role != nullptr);
        if (role) {
            EXPECT_EQ(*role, c.role);
        }
    }
    // Every account that logged in holds a hash now.
    EXPECT_EQ(sql("SELECT count(*) FROM Users WHERE password NOT LIKE '$argon2id$%'"), "0\n");
}

TEST_F(Data, GlobalSettingsComeFromTheFirstRow)
{
    const QString longPath = "/srv/" + QString(3000, 'p');
    sql("UPDATE global_settings SET commondir='/srv/att', attachments='x', documents='" + longPath.toStdString() + "'");
    struct Case {
        int saveAsFiles;
        bool asFiles;
    };
    for (const Case c : {Case{-1, false}, Case{0, false}, Case{1, true}, Case{7, true}}) {
        SCOPED_TRACE(c.saveAsFiles);
        sql("UPDATE global_settings SET SaveAsFiles=" + std::to_string(c.saveAsFiles));
        const auto settings = data::login::globalSettings(m_session);
        ASSERT_TRUE(settings);
        EXPECT_EQ(settings->commonDir, "/srv/att");
        EXPECT_EQ(settings->documents, longPath);
        EXPECT_EQ(settings->saveAsFiles, c.asFiles);
    }
    sql("DELETE FROM global_settings");
    EXPECT_FALSE(data::login::globalSettings(m_session));
}

TEST_F(Data, SessionLogsInAndOffAndTellsItsObservers)
{
    Session session;
    QStringList events;
    session.whenLoggedIn([&] { events << "in:" + session.CurrentUser + "/" + session.UserRole; });
    session.whenLoggedOff([&] { events << "off:" + session.CurrentUser + "/" + session.UserRole; });

    EXPECT_EQ(session.logIn(m_values, "admin", "WRONG"), Session::LoginResult::UnknownUser);
    EXPECT_TRUE(events.isEmpty());
    EXPECT_EQ(session.CurrentUser, "ADMIN");  // taken before the check, as typed upper-cased
    EXPECT_EQ(session.UserRole, "USER");

    sql("UPDATE global_settings SET commondir='/c', documents='/d', SaveAsFiles=1");
    sql("UPDATE Users SET Role='admin'");
    ASSERT_EQ(session.logIn(m_values, "ADMIN", "ADMIN"), Session::LoginResult::LoggedIn);
    EXPECT_EQ(events, QStringList{"in:ADMIN/ADMIN"});
    EXPECT_TRUE(session.isAdministrator());
    EXPECT_EQ(session.CommonDir, "/c");
    EXPECT_EQ(session.DocumentsFolder, "/d");
    EXPECT_TRUE(session.StoreDocumentsAsFiles);

    session.CurrentProjectID = 7;
    session.logOff();
    EXPECT_EQ(events, (QStringList{"in:ADMIN/ADMIN", "off:/USER"}));
    EXPECT_EQ(session.CurrentProjectID, 0);
    EXPECT_TRUE(session.connection().Connected());  // the connection stays open
    EXPECT_TRUE(session.StoreDocumentsAsFiles);     // shared settings are kept

    sql("DELETE FROM global_settings");
    EXPECT_EQ(session.logIn(m_values, "ADMIN", "ADMIN"), Session::LoginResult::NoGlobalSettings);
    EXPECT_EQ(events.size(), 2);
}

TEST_F(Data, FailuresCarryTheServersErrorNumber)
{
    EXPECT_EQ(serverErrorOf([&] { execute("insert into NoSuchTable values (1)"); }), 1146);
    EXPECT_EQ(serverErrorOf([&] { execute("selec 1"); }), 1064);
    EXPECT_EQ(serverErrorOf([&] { execute("set @x = 1"); }), 0);

    // A client failure carries the client's number.
    Session offline;
    ConnectionValues closed = m_values;
    closed.host = "127.0.0.1:1";
    EXPECT_EQ(serverErrorOf([&] { offline.connect(closed); }), 2003);
}

TEST_F(Data, ReadOnlyPacketLimitIsRecognisedByItsNumberAlone)
{
    struct Case {
        const char* message;
        uint16_t serverError;
        bool tolerated;
    };
    const Case cases[] = {
        {"mySQL Error Code: (1621)\r\nSESSION variable 'max_allowed_packet' is read-only", 1621, true},
        {"mySQL Error Code: (1621)\r\nlooks the same", 1064, false},  // the text does not count
        {"some other wording", 1621, true},
        {"DBI Error Code: (1001)\r\n \r\nUnknown error", 0, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(data::login::isReadOnlyPacketLimit(EmySQLDatabaseError(1001, c.message, c.serverError)), c.tolerated)
            << c.message;

    // This server keeps the session's limit read-only: the refusal is tolerated and reported.
    const int refusal = serverErrorOf([&] { execute("set max_allowed_packet=16000000"); });
    const QString note = data::login::setPacketLimit(m_session);
    if (refusal == 0) {
        EXPECT_TRUE(note.isEmpty());
    } else {
        EXPECT_EQ(refusal, data::login::kPacketLimitReadOnly);
        EXPECT_TRUE(note.contains("(1621)")) << note.toStdString();
    }
}

TEST_F(Data, ProjectListShowsAllToAdministratorsAndOwnProjectsToMembers)
{
    sql("INSERT INTO Projects (ProjectName) VALUES ('Alpha'),('Beta'),('Ünïcödé Café'),('Delta')");
    sql("INSERT INTO ProjectMembers (UserName, ProjectID) SELECT 'BOB', ProjectID FROM Projects "
        "WHERE ProjectName IN ('Alpha','Ünïcödé Café')");
    sql("INSERT INTO ProjectMembers (UserName, ProjectID) SELECT 'O\\'HARA', ProjectID FROM Projects "
        "WHERE ProjectName = 'Beta'");
    struct Case {
        const char* user;
        bool everyProject;
        QStringList names;
    };
    const Case cases[] = {
        {"ADMIN", true, {"Delta", QString::fromUtf8("Ünïcödé Café"), "Beta", "Alpha"}},
        {"BOB", false, {QString::fromUtf8("Ünïcödé Café"), "Alpha"}},
        {"O'HARA", false, {"Beta"}},
        {"NOBODY", false, {}},
        {"BOB' or '1'='1", false, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(data::projects::projectNames(m_session, c.user, c.everyProject), c.names) << c.user;
}

TEST_F(Data, PresenceStampsInUpperCaseAndListsStampsYoungerThanFiveMinutes)
{
    sql("INSERT INTO Users (Username, password, lastPollRequest) VALUES "
        "('carol','X', now() - INTERVAL 290 SECOND),"
        "('DAVE','X', now() - INTERVAL 5 MINUTE),"  // exactly five minutes: not listed
        "('ERIN','X', NULL), ('frank','X', NULL)");
    EXPECT_EQ(data::presence::usersOnline(m_session), QStringList{"carol"});

    data::presence::stamp(m_session, "FRANK");   // stored in lower case: still stamped
    data::presence::stamp(m_session, "NOBODY");  // stamps nobody
    data::presence::stamp(m_session, "X' or '1'='1");
    EXPECT_EQ(data::presence::usersOnline(m_session), (QStringList{"carol", "frank"}));
    EXPECT_EQ(sql("SELECT count(*) FROM Users WHERE lastPollRequest > now() - INTERVAL 1 MINUTE"), "1\n");
}

// Text as long as users type it is stored whole and read back as text; longer text is refused.
TEST_F(Data, LongTextsAreStoredWholeOrRefused)
{
    const QString topic = QString::fromUtf8("Ü") + QString(399, 't');  // 400 characters
    execute("insert into Requirements (hash, Level, ParentID, RequirementName) values (4242, 2, 1, " +
            data::sqlQuoted(topic) + ")");
    const auto id = data::outline::findDocumentId(m_session, topic, 4242);
    ASSERT_TRUE(id);
    EXPECT_EQ(readText("select * from Requirements where RequirementID = " + std::to_string(*id), "RequirementName"),
              topic);

    const QString link = "https://example.org/" + QString(3980, 'l');  // 4000 characters
    execute("insert into Attachments (RequirementID, Link, Description, Filetype) values (1, " + data::sqlQuoted(link) +
            ", " + data::sqlQuoted(QString(1000, 'd')) + ", 0)");
    EXPECT_EQ(readText("select * from Attachments", "Link"), link);
    EXPECT_EQ(readText("select * from Attachments", "Description"), QString(1000, 'd'));

    QString description;
    for (int i = 0; description.size() < 70000; ++i)
        description += QString::fromUtf8("Zeile %1: café, 'quoted', back\\slash.\n").arg(i);
    description.truncate(70000);
    execute("insert into Catagories (ProjectID, CatagoryName, Description) values (1, 'Long', " +
            data::sqlQuoted(description) + ")");
    EXPECT_EQ(readText("select * from Catagories", "Description"), description);

    // One character more than the column holds: an error, and nothing stored cut.
    struct TooLong {
        const char* table;
        const char* column;
        int length;
    };
    for (const TooLong t : {TooLong{"Requirements", "RequirementName", 401}, TooLong{"Attachments", "Link", 4001},
                            TooLong{"Users", "Username", 401}}) {
        SCOPED_TRACE(t.column);
        const std::string count = sql(std::string("select count(*) from ") + t.table);
        EXPECT_EQ(serverErrorOf([&] {
                      execute(std::string("insert into ") + t.table + " (" + t.column + ") values (" +
                              data::sqlQuoted(QString(t.length, 'x')) + ")");
                  }),
                  1406);  // data too long for the column
        EXPECT_EQ(sql(std::string("select count(*) from ") + t.table), count);
    }
}
