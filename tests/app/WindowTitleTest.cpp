// Window titles as the window manager reads them from the X server (run under Xvfb with the
// xcb platform): exactly the captions, with nothing appended by the toolkit.

#include "AppFixture.h"

#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QWidget>

#include <iterator>

namespace {

// The window's _NET_WM_NAME and WM_NAME as xprop prints them.
QStringList windowManagerNames(const QWidget& window)
{
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window.winId()),
                                          QStringLiteral("_NET_WM_NAME"), QStringLiteral("WM_NAME")});
    if (!xprop.waitForFinished(10000)) return {QStringLiteral("xprop did not finish")};
    QStringList names;
    static const QRegularExpression line(QStringLiteral("^\\w+\\([^)]*\\) = \"(.*)\"$"));
    for (const QString& text : QString::fromUtf8(xprop.readAllStandardOutput()).split('\n')) {
        const auto match = line.match(text.trimmed());
        names << (match.hasMatch() ? match.captured(1) : text.trimmed());
    }
    names.removeAll(QString());
    return names;
}

}  // namespace

class WindowTitles : public AppFixture {};

TEST_F(WindowTitles, AreExactlyTheCaptionsAsTheWindowManagerSeesThem)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs an X server (runs under xvfb-run with QT_QPA_PLATFORM=xcb)";
    if (QStandardPaths::findExecutable(QStringLiteral("xprop")).isEmpty())
        GTEST_SKIP() << "xprop (x11-utils) is not installed";

    startApp();
    // Every window in creation order. The About box has no caption and no title bar (the
    // toolkit names such a window after the application, which no user sees).
    const char* const captions[] = {"Veltrana",
                                    "Create a New Discussion Item",
                                    "Discussion Item Reply Entry Form",
                                    "Create New Project Form",
                                    "Create Document",
                                    "Veltrana Login",
                                    "User Account Administration",
                                    "Log_Form",
                                    nullptr,
                                    "Attachment Add/Edit",
                                    "Update User Account",
                                    "Create New User Account",
                                    "Recent Updates",
                                    "Options"};
    const auto& windows = m_app->windows();
    ASSERT_EQ(windows.size(), std::size(captions));
    for (size_t i = 0; i < windows.size(); ++i) {
        if (!captions[i]) continue;
        QWidget* window = windows[i];
        const char* caption = captions[i];
        SCOPED_TRACE(caption);
        window->show();
        QCoreApplication::processEvents();
        EXPECT_EQ(windowManagerNames(*window), (QStringList{caption, caption}));
    }
}
