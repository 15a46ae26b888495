#include "AppFixture.h"

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
