#include "AppFixture.h"

#include "PerUserDatabase.h"

#include "TestServer.h"

#include <QFile>

void AppFixture::SetUp()
{
    ASSERT_TRUE(m_dir.isValid());
    m_previousDir = QDir::currentPath();
    QDir::setCurrent(m_dir.path());
    vt::app::Session::programFolderOverride = m_dir.path();
    m_platform.dataFolder = m_dir.filePath(QStringLiteral("userdata"));
    m_scope = std::make_unique<vt::app::PlatformScope>(m_platform);
}

void AppFixture::TearDown()
{
    stopApp();
    m_scope.reset();
    vt::app::Session::programFolderOverride.clear();
    QDir::setCurrent(m_previousDir);
    if (!m_perUserDb.empty()) {
        vt::test::dropPerUserDatabase({m_perUserDb, m_perUserDb + "_store", "veltrana_user_" + m_perUserDb});
        m_perUserDb.clear();
    }
}

bool AppFixture::movePerUserIfAsked(const std::string& db)
{
    if (!vt::test::perUserTests()) return false;
    vt::test::movePerUser(db);
    m_perUserDb = db;
    writeFile("defaults.cfg", QByteArray::fromStdString(vt::test::perUserDefaultsLine(db)));
    return true;
}

void AppFixture::startApp()
{
    m_app = std::make_unique<vt::app::VeltranaApp>();
    m_app->start();
}

void AppFixture::stopApp() { m_app.reset(); }

void AppFixture::writeFile(const QString& name, const QByteArray& bytes) const
{
    QFile file(path(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray AppFixture::readFile(const QString& name) const
{
    QFile file(path(name));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

void AppFixture::perUserAccount(const std::string& user, const std::string& password) const
{
    if (perUser())
        vt::test::createUserAccount({m_perUserDb, m_perUserDb + "_store", "veltrana_user_" + m_perUserDb}, user, password);
}

vt::app::ConnectionValues AppFixture::connectionValues(const std::string& db) const
{
    const auto& server = vt::test::testServer();
    vt::app::ConnectionValues values{QString::fromStdString(db),
                                     QString::fromStdString(server.host + ":" + std::to_string(server.port)),
                                     QString::fromStdString(server.user), QString::fromStdString(server.password)};
    if (perUser()) {
        values.perUser = true;
        values.tlsCaFile = QString::fromStdString(server.caFile);
    }
    return values;
}
