// Window titles as the window manager reads them from the X server (run under Xvfb with the
// xcb platform): exactly the captions, with nothing appended by the toolkit.

#include "AppFixture.h"
#include "windows/LogForm.h"
#include "windows/OptionsForm.h"
#include "windows/RecentUpdForm.h"
#include "windows/UserAdminForm.h"

#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QWidget>

namespace {

// The window's _NET_WM_NAME and WM_NAME as xprop prints them.
QStringList windowManagerNames(const QWidget& window)
{
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window.winId()),
                                          QStringLiteral("_NET_WM_NAME"), QStringLiteral("WM_NAME")});
    if (!xprop.waitForFinished(10000))
        return {QStringLiteral("xprop did not finish")};
    QStringList names;
    static const QRegularExpression line(QStringLiteral("^\\w+\\([^)]*\\) = \"(.*)\"$"));
    for (const QString& text : QString::fromUtf8(xprop.readAllStandardOutput()).split('\n')) {
        const auto match = line.match(text.trimmed());
        names << (match.hasMatch() ? match.captured(1) : text.trimmed());
    }
    names.removeAll(QString());
    return names;
}

} // namespace

class WindowTitles : public AppFixture {};

TEST_F(WindowTitles, AreExactlyTheCaptionsAsTheWindowManagerSeesThem)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs an X server (runs under xvfb-run with QT_QPA_PLATFORM=xcb)";
    if (QStandardPaths::findExecutable(QStringLiteral("xprop")).isEmpty())
        GTEST_SKIP() << "xprop (x11-utils) is not installed";

    startApp();
    const std::pair<QWidget*, const char*> windows[] = {
        {&mainWindow(), "Veltrana"},
        {&login(), "Veltrana Login"},
        {vt::app::forms().Log_Form, "Log_Form"},
        {vt::app::forms().TOptions, "Options"},
        {vt::app::forms().Recent_upd_form, "Recent Updates"},
        {vt::app::forms().UserAdmin_form, "User Account Administration"},
    };
    for (const auto& [window, caption] : windows) {
        SCOPED_TRACE(caption);
        window->show();
        QCoreApplication::processEvents();
        EXPECT_EQ(windowManagerNames(*window), (QStringList{caption, caption}));
    }
}
