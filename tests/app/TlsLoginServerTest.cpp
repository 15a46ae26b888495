// The TLS keys of the settings file: read, kept when the login dialog writes the file, and a
// login over a verified, encrypted connection to the private test server (which offers TLS).

#include "AppFixture.h"
#include "TestServer.h"
#include "session/Settings.h"

#include "db/TmySQLDatabase.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace vt::app;

TEST(TlsSettings, ReadFromTheirOwnKeysOnly)
{
    struct Case {
        const char* name;
        QString line;
        bool required;
        QString caFile;
    };
    const QString ca = QString::fromUtf8("/home/Ünï cödé/ca.pem");
    const Case cases[] = {
        {"a file without the keys", "UN:A#SQ:s#DB:d#DU:u#DP:p##", false, ""},
        {"both keys", "UN:A#SQ:s#DB:d#DU:u#DP:p#TL:1#CA:" + ca + "##", true, ca},
        {"after an empty password", "UN:#SQ:s#DB:d#DU:u#DP:#TL:1##", true, ""},
        {"TL: other than 1 is off", "UN:A#SQ:s#DB:d#DU:u#DP:p#TL:yes#CA:/ca.pem##", false, "/ca.pem"},
        {"TL: 0 is off", "UN:A#SQ:s#DB:d#DU:u#DP:p#TL:0##", false, ""},
        {"inside the first value is no key", "UN:TL:1CA:/x#SQ:s#DB:d#DU:u#DP:p##", false, ""},
        {"a value ending in TL:1 is no key", "UN:A#SQ:s#DB:d#DU:u#DP:xTL:1##", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TlsSettings tls = readTlsSettings(c.line);
        EXPECT_EQ(tls.required, c.required);
        EXPECT_EQ(tls.caFile, c.caFile);
        // What is written reads back the same.
        const TlsSettings again = readTlsSettings("UN:#DP:" + tlsSettingsText(tls) + "##");
        EXPECT_EQ(again.required, tls.required);
        EXPECT_EQ(again.caFile, tls.caFile);
    }
    EXPECT_EQ(tlsSettingsText({}), QString());
    EXPECT_EQ(tlsSettingsText({true, "/ca.pem"}), "#TL:1#CA:/ca.pem");
}

class TlsLogin : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        m_db = vt::test::freshVeltranaDatabase("vt_tlslogin");
    }

    // The settings line for the test server with the TLS keys given.
    QByteArray settings(const QString& tlsKeys, const QString& user = "") const
    {
        const auto& s = vt::test::testServer();
        return ("UN:" + user + "#SQ:localhost:" + QString::number(s.port) + "#DB:" + QString::fromStdString(m_db) +
                "#DU:" + QString::fromStdString(s.user) + "#DP:" + QString::fromStdString(s.password) + tlsKeys +
                "##\r\n")
            .toUtf8();
    }

    void loginAsAdmin()
    {
        QTest::keyClicks(&loginChild<QLineEdit>("UserID"), "ADMIN");
        QTest::keyClicks(&loginChild<QLineEdit>("Password"), "ADMIN");
        loginChild<QPushButton>("Button1").click();
    }

    std::string m_db;
};

// TL:1 with the test CA: the session is encrypted, and the rewritten file keeps both keys.
TEST_F(TlsLogin, RequiredTlsLogsInEncryptedAndKeepsTheKeys)
{
    const QString keys = "#TL:1#CA:" + QString::fromStdString(vt::test::testServer().caFile);
    writeFile("defaults.cfg", settings(keys));
    startApp();
    loginAsAdmin();
    EXPECT_EQ(m_platform.messages(), QStringList{});
    EXPECT_TRUE(session().isLoggedIn());
    EXPECT_TRUE(session().encrypted());
    EXPECT_TRUE(session().tlsVersion().startsWith("TLSv1.")) << session().tlsVersion().toStdString();
    EXPECT_FALSE(session().tlsCipher().isEmpty());
    // The status bar says so.
    const QString panel = child<QLabel>(mainWindow(), "connectionPanel").text();
    EXPECT_TRUE(panel.endsWith(QStringLiteral("encrypted (") + session().tlsVersion() + ")")) << panel.toStdString();
    EXPECT_EQ(QString::fromUtf8(readFile("defaults.cfg")), QString::fromUtf8(settings(keys, "ADMIN")));
}

// Without TLS keys the connection stays in clear text, as before.
TEST_F(TlsLogin, FileWithoutKeysLogsInWithoutTls)
{
    writeFile("defaults.cfg", settings(""));
    startApp();
    loginAsAdmin();
    EXPECT_TRUE(session().isLoggedIn());
    EXPECT_FALSE(session().encrypted());
    EXPECT_EQ(session().tlsVersion(), QString());
}

// TL:1 without a CA file: the system's store does not know the test CA, so the login stops
// with one message and nothing else happens.
TEST_F(TlsLogin, UntrustedServerIsRefusedWithOneMessage)
{
    writeFile("defaults.cfg", settings("#TL:1"));
    startApp();
    loginAsAdmin();
    ASSERT_EQ(m_platform.messages().size(), 1);
    EXPECT_TRUE(m_platform.messages().front().startsWith(
        "mySQL Error Code: (2026)\r\nSSL connection error: the server's certificate is not trusted"))
        << m_platform.messages().front().toStdString();
    EXPECT_FALSE(session().isLoggedIn());
    EXPECT_FALSE(session().connection().Connected());
    EXPECT_TRUE(login().isVisible());
}
