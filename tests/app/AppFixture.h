#pragma once
// Common ground of the application tests: a scratch folder that serves as the current folder
// (where "defaults.cfg" lives) and as the program's folder (where "vtcleanup.bat" and the
// temporary files live), and a scripted platform that records every message box.

#include "Application.h"
#include "ScriptedPlatform.h"
#include "session/Session.h"
#include "windows/LoginForm.h"
#include "windows/MainWindow.h"

#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>

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

// The child of parent with this object name and type; throws (failing the test) when there is
// none. Windows keep their widgets private: tests find them as a user would, by name.
template <class T>
T& child(const QObject& parent, const char* name)
{
    T* found = parent.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        throw std::runtime_error(std::string("no child named ") + name + " in " + parent.objectName().toStdString());
    return *found;
}

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

    // With VT_TEST_PER_USER=1: moves the database `db`, with the rows made so far, to per-user
    // mode (an account per Users row, see movePerUser) and points defaults.cfg at it with the
    // per-user switch over TLS; the database and its accounts go at the end of the test.
    // Returns whether it did. Call it after the fixture's rows, before startApp.
    bool movePerUserIfAsked(const std::string& db);
    bool perUser() const { return !m_perUserDb.empty(); }
    // In per-user mode, the server account of a Users row added after the move.
    void perUserAccount(const std::string& user, const std::string& password) const;
    // A workstation's connection values for `db` on the test server: the shared account, or
    // after movePerUserIfAsked the per-user switch over TLS (the login names the account).
    vt::app::ConnectionValues connectionValues(const std::string& db) const;

    vt::app::TVeltrana& mainWindow() const { return *vt::app::forms().Veltrana; }
    vt::app::TLogin_Form& login() const { return *vt::app::forms().Login_Form; }
    vt::app::Session& session() const { return m_app->session(); }

    // A control of the main window or the login dialog, by name.
    template <class T>
    T& mainChild(const char* name) const
    {
        return child<T>(mainWindow(), name);
    }
    template <class T>
    T& loginChild(const char* name) const
    {
        return child<T>(login(), name);
    }

    vt::app::ScriptedPlatform m_platform;
    std::unique_ptr<vt::app::PlatformScope> m_scope;
    std::unique_ptr<vt::app::VeltranaApp> m_app;
    QTemporaryDir m_dir;
    QString m_previousDir;
    std::string m_perUserDb;
};

// Skips the test in per-user mode: for tests that by their nature apply to the shared account.
#define VT_SHARED_MODE_ONLY(reason)                                   \
    do {                                                              \
        if (perUser()) GTEST_SKIP() << "shared-account mode only: " << reason; \
    } while (0)
