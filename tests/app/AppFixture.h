#pragma once
// Common ground of the application tests: a scratch folder that serves as the current folder
// (where "defaults.cfg" lives) and as the program's folder (where "vtcleanup.bat" and the
// temporary files live), and a scripted platform that records every message box.

#include "Application.h"
#include "LoginForm.h"
#include "MainWindow.h"
#include "ScriptedPlatform.h"

#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

// Readable failure output for Qt strings.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QStringList& list, std::ostream* os)
{
    *os << '{';
    for (const QString& text : list)
        *os << " \"" << text.toStdString() << '"';
    *os << " }";
}
QT_END_NAMESPACE

class AppFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the program: creates the windows as at start-up.
    void startApp();
    void stopApp();

    QString path(const QString& name) const { return m_dir.filePath(name); }
    void writeFile(const QString& name, const QByteArray& bytes) const;
    QByteArray readFile(const QString& name) const;

    vt::app::TVeltrana& mainWindow() const { return *vt::app::forms().Veltrana; }
    vt::app::TLogin_Form& login() const { return *vt::app::forms().Login_Form; }

    vt::app::ScriptedPlatform m_platform;
    std::unique_ptr<vt::app::PlatformScope> m_scope;
    std::unique_ptr<vt::app::VeltranaApp> m_app;
    QTemporaryDir m_dir;
    QString m_previousDir;
};
