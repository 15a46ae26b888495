// The connection-settings file: reading the first line into the login dialog, writing it on
// every Login click, and refusing incomplete connection fields.

#include "session/Settings.h"
#include "AppFixture.h"

#include "db/TmySQLDatabase.h"

#include <QLineEdit>
#include <QPushButton>

using vt::app::GetSettingValue;

namespace {

struct Fields {
    QString user, server, database, dbUser, dbPassword;
};

struct ReadCase {
    const char* name;
    const char* file;  // nullptr: no settings file
    Fields expected;
};

const QString k255(255, QLatin1Char('a'));
const QString k256(256, QLatin1Char('b'));

std::vector<ReadCase> readCases()
{
    static const QByteArray long255 = "UN:U#SQ:" + k255.toLatin1() + "#DB:D#DU:DU#DP:P##\r\n";
    static const QByteArray long256 = "UN:U#SQ:" + k256.toLatin1() + "#DB:D#DU:DU#DP:P##\r\n";
    return {
        {"no file keeps the design defaults", nullptr, {"", "localhost", "Veltrana", "vtran", ""}},
        {"all five keys",
         "UN:BOB#SQ:db.example#DB:vdb#DU:acct#DP:secret##\r\n",
         {"BOB", "db.example", "vdb", "acct", "secret"}},
        {"missing key empties its field", "UN:BOB#SQ:srv#DU:acct#DP:pw##\r\n", {"BOB", "srv", "", "acct", "pw"}},
        {"key followed by # is empty", "UN:#SQ:srv#DB:vdb#DU:acct#DP:##\r\n", {"", "srv", "vdb", "acct", ""}},
        {"255 characters read back whole", long255.constData(), {"U", k255, "D", "DU", "P"}},
        {"256 characters read back empty", long256.constData(), {"U", "", "D", "DU", "P"}},
        {"SQ: inside the user name wins",
         "UN:XSQ:EVIL#SQ:srv#DB:vdb#DU:acct#DP:pw##\r\n",
         {"XSQ:EVIL", "EVIL", "vdb", "acct", "pw"}},
        {"lines after the first are ignored",
         "UN:FIRST#SQ:one#DB:db1#DU:u1##\r\nUN:SECOND#SQ:two#DB:db2#DU:u2#DP:p2##\r\n",
         {"FIRST", "one", "db1", "u1", ""}},
        {"a line without line end", "UN:A#SQ:s#DB:d#DU:u#DP:p##", {"A", "s", "d", "u", "p"}},
        {"empty file empties every field", "", {"", "", "", "", ""}},
    };
}

}  // namespace

TEST(GetSettingValue, TakesTheValueUpToTheNextHashWithin256Characters)
{
    struct Case {
        const char* key;
        QString line;
        QString expected;
    };
    const std::vector<Case> cases = {
        {"SQ:", "UN:A#SQ:host#DB:x##", "host"},
        {"DP:", "UN:A#SQ:host#DB:x##", ""},        // key missing
        {"UN:", "UN:A", ""},                       // no # after the value
        {"SQ:", "SQ:" + k255 + "#", k255},         // 255 characters and the #
        {"SQ:", "SQ:" + k256 + "#", ""},           // the # is the 257th character
        {"DB:", "XDB:first#DB:second#", "first"},  // first occurrence wins
        {"UN:", "UN:#", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetSettingValue(QString::fromLatin1(c.key), c.line), c.expected)
            << c.key << " in " << c.line.left(40).toStdString();
}

class SettingsFile : public AppFixture {};

TEST_F(SettingsFile, StartUpFillsTheLoginFieldsFromTheFirstLine)
{
    for (const ReadCase& c : readCases()) {
        SCOPED_TRACE(c.name);
        QFile::remove(path("defaults.cfg"));
        if (c.file) writeFile("defaults.cfg", QByteArray(c.file));
        startApp();
        EXPECT_EQ(loginChild<QLineEdit>("UserID").text(), c.expected.user);
        EXPECT_EQ(loginChild<QLineEdit>("Edit2").text(), c.expected.server);
        EXPECT_EQ(loginChild<QLineEdit>("Edit1").text(), c.expected.database);
        EXPECT_EQ(loginChild<QLineEdit>("Edit3").text(), c.expected.dbUser);
        EXPECT_EQ(loginChild<QLineEdit>("Edit4").text(), c.expected.dbPassword);
        stopApp();
    }
}

TEST_F(SettingsFile, EveryLoginClickRewritesTheFileEvenWhenRefused)
{
    startApp();
    loginChild<QLineEdit>("UserID").setText("ALICE");
    loginChild<QLineEdit>("Edit2").setText("x");  // too short: refused after writing
    loginChild<QLineEdit>("Edit4").setText("dbpw");
    loginChild<QPushButton>("Button1").click();
    EXPECT_EQ(readFile("defaults.cfg"), QByteArray("UN:ALICE#SQ:x#DB:Veltrana#DU:vtran#DP:dbpw##\r\n"));

    loginChild<QLineEdit>("UserID").setText("BOB");
    loginChild<QLineEdit>("Edit1").setText("");
    loginChild<QPushButton>("Button1").click();
    EXPECT_EQ(readFile("defaults.cfg"), QByteArray("UN:BOB#SQ:x#DB:#DU:vtran#DP:dbpw##\r\n"));

    // What was written reads back the same at the next start.
    stopApp();
    startApp();
    EXPECT_EQ(loginChild<QLineEdit>("UserID").text(), "BOB");
    EXPECT_EQ(loginChild<QLineEdit>("Edit2").text(), "x");
    EXPECT_EQ(loginChild<QLineEdit>("Edit1").text(), "");
    EXPECT_EQ(loginChild<QLineEdit>("Edit4").text(), "dbpw");
}

TEST_F(SettingsFile, ShortConnectionFieldsAreRefusedWithTheConnectionGroupShown)
{
    const QString refusal = "You must supply the connection parameters to the mySQL database - "
                            "Please contact your system administrator";
    struct Case {
        const char* name;
        const char* server;
        const char* database;
        const char* dbUser;
    };
    const Case cases[] = {{"one-character server", "x", "Veltrana", "vtran"},
                          {"empty database", "localhost", "", "vtran"},
                          {"one-character account", "localhost", "Veltrana", "v"}};
    startApp();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_platform.clear();
        login().setFormHeight(186);
        loginChild<QLineEdit>("UserID").setText("ADMIN");
        loginChild<QLineEdit>("Password").setText("ADMIN");
        loginChild<QLineEdit>("Edit2").setText(c.server);
        loginChild<QLineEdit>("Edit1").setText(c.database);
        loginChild<QLineEdit>("Edit3").setText(c.dbUser);
        loginChild<QPushButton>("Button1").click();
        EXPECT_EQ(m_platform.messages(), QStringList{refusal});
        EXPECT_EQ(login().formHeight(), 412);
        EXPECT_TRUE(login().isVisible());
        EXPECT_EQ(session().CurrentUser, QString());
        EXPECT_FALSE(session().connection().Connected());  // nothing was sent
    }
}

TEST_F(SettingsFile, UnwritableFileEndsTheLoginThroughTheErrorDisplay)
{
    startApp();
    QDir().mkdir(path("defaults.cfg"));  // a folder where the file should be
    loginChild<QLineEdit>("Edit2").setText("x");
    loginChild<QPushButton>("Button1").click();
    ASSERT_EQ(m_platform.messages().size(), 1);
    EXPECT_TRUE(m_platform.messages().front().startsWith("Cannot create file defaults.cfg"))
        << m_platform.messages().front().toStdString();
    EXPECT_TRUE(login().isVisible());
}
