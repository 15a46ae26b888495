#include "EditScript.h"

#include "ErrorDisplay.h"
#include "windows/Forms.h"
#include "windows/LoginForm.h"
#include "windows/MainWindow.h"

#include "richtext/RichEditor.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <thread>

namespace vt::app {

namespace {

template <class T>
T& named(QWidget* window, const char* name)
{
    T* found = window ? window->findChild<T*>(QString::fromLatin1(name)) : nullptr;
    if (!found) throw std::runtime_error(std::string("edit script: no control ") + name);
    return *found;
}

void typeInto(QWidget& target, const QString& text)
{
    target.setFocus();
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(&target, &press);
        QApplication::sendEvent(&target, &release);
    }
}

void runCommand(const QString& line)
{
    const QString command = line.section(QLatin1Char(' '), 0, 0);
    const QString rest = line.section(QLatin1Char(' '), 1);
    if (command == QLatin1String("login")) {
        TLogin_Form* login = forms().Login_Form;
        named<QLineEdit>(login, "UserID").setText(rest.section(QLatin1Char(' '), 0, 0));
        named<QLineEdit>(login, "Password").setText(rest.section(QLatin1Char(' '), 1));
        named<QPushButton>(login, "Button1").click();
    } else if (command == QLatin1String("open")) {
        TVeltrana* main = forms().Veltrana;
        const QString project = rest.section(QLatin1Char(' '), 1);
        main->SelectDocumentInProject(main->GetProjectID(project), project,
                                      rest.section(QLatin1Char(' '), 0, 0).toInt());
    } else if (command == QLatin1String("type")) {
        auto& editor = named<vt::rt::RichEditor>(forms().Veltrana, "RichEdit1");
        editor.moveCursor(QTextCursor::End);
        typeInto(editor, rest);
    } else if (command == QLatin1String("wait")) {
        QEventLoop loop;
        QTimer::singleShot(rest.toInt(), &loop, &QEventLoop::quit);
        loop.exec();
    } else if (command == QLatin1String("touch")) {
        QFile marker(rest);
        if (!marker.open(QIODevice::WriteOnly)) throw std::runtime_error("edit script: cannot create marker");
    } else if (command == QLatin1String("hang")) {
        for (;;)
            std::this_thread::sleep_for(std::chrono::hours(1));
    } else if (!command.isEmpty()) {
        throw std::runtime_error("edit script: unknown command " + command.toStdString());
    }
}

}  // namespace

void scheduleEditScript()
{
    const QString path = qEnvironmentVariable("VELTRANA_EDIT_SCRIPT");
    if (path.isEmpty()) return;
    QTimer::singleShot(0, qApp, [path] {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "edit script: cannot read %s\n", qPrintable(path));
            return;
        }
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        for (QString line : lines) {
            if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
            guarded([&] { runCommand(line); });
        }
    });
}

}  // namespace vt::app
