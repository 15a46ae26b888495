#include "platform/QtPlatform.h"

#include "platform/Cleanup.h"

#include <QApplication>
#include <QColorDialog>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>
#include <langinfo.h>

namespace vt::app {

namespace {
QString appTitle() { return QCoreApplication::applicationName(); }
}  // namespace

std::unique_ptr<QMessageBox> makeMessageBox(QMessageBox::Icon icon, const QString& title, const QString& text,
                                            QMessageBox::StandardButtons buttons)
{
    // The text arrives only after the format is set: a rich text would load its resources.
    auto box = std::make_unique<QMessageBox>(icon, title, QString(), buttons, QApplication::activeWindow());
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    return box;
}

void QtPlatform::showMessage(const QString& text)
{
    makeMessageBox(QMessageBox::Information, appTitle(), text, QMessageBox::Ok)->exec();
}

void QtPlatform::showErrorMessage(const QString& text)
{
    makeMessageBox(QMessageBox::Critical, appTitle(), text, QMessageBox::Ok)->exec();
}

bool QtPlatform::AskConfirmation(const QString& text)
{
    return makeMessageBox(QMessageBox::Question, appTitle(), text, QMessageBox::Yes | QMessageBox::No)->exec() ==
           QMessageBox::Yes;
}

bool QtPlatform::askOkCancel(const QString& text)
{
    return makeMessageBox(QMessageBox::Question, appTitle(), text, QMessageBox::Ok | QMessageBox::Cancel)->exec() ==
           QMessageBox::Ok;
}

std::optional<Platform::NewPassword> QtPlatform::askNewPassword(const QString& text)
{
    QDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(appTitle());
    auto* form = new QFormLayout(&dialog);
    auto* label = new QLabel(text, &dialog);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    form->addRow(label);
    auto* first = new QLineEdit(&dialog);
    auto* second = new QLineEdit(&dialog);
    first->setEchoMode(QLineEdit::Password);
    second->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("New password:"), first);
    form->addRow(QStringLiteral("Repeat it:"), second);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return NewPassword{first->text(), second->text()};
}

Platform::Answer QtPlatform::askYesNoCancel(const QString& text) { return askQuestion(appTitle(), text); }

Platform::Answer QtPlatform::askQuestion(const QString& title, const QString& text)
{
    // A lone carriage return separates lines in the program's texts; the box breaks at '\n'.
    QString shown = text;
    shown.replace(QRegularExpression(QStringLiteral("\r(?!\n)")), QStringLiteral("\n"));
    switch (
        makeMessageBox(QMessageBox::Question, title, shown, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)
            ->exec()) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: return Answer::Cancel;
    }
}

QString QtPlatform::openFileName(const QString& title, const QString& filter)
{
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), title, QString(), filter);
}

QString QtPlatform::saveFileName(const QString& title, const QString& filter, const QString& suggestedName)
{
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), title, suggestedName, filter);
}

bool QtPlatform::printDialog(QPrinter& printer)
{
    QPrintDialog dialog(&printer, QApplication::activeWindow());
    return dialog.exec() == QDialog::Accepted;
}

bool QtPlatform::printPagesDialog(QPrinter& printer, int minPage, int maxPage)
{
    QPrintDialog dialog(&printer, QApplication::activeWindow());
    dialog.setMinMax(minPage, maxPage);
    dialog.setFromTo(minPage, maxPage);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, true);
    dialog.setOption(QAbstractPrintDialog::PrintCollateCopies, true);
    return dialog.exec() == QDialog::Accepted;
}

bool QtPlatform::printSetupDialog(QPrinter& printer)
{
    QPageSetupDialog dialog(&printer, QApplication::activeWindow());
    return dialog.exec() == QDialog::Accepted;
}

std::optional<QFont> QtPlatform::fontDialog(const QFont& initial)
{
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, initial, QApplication::activeWindow());
    if (!ok) return std::nullopt;
    return font;
}

std::optional<QColor> QtPlatform::colorDialog(const QColor& initial)
{
    const QColor color = QColorDialog::getColor(initial, QApplication::activeWindow());
    if (!color.isValid()) return std::nullopt;
    return color;
}

bool QtPlatform::shellOpen(const QString& fileOrAddress)
{
    const QUrl url =
        QFileInfo::exists(fileOrAddress) ? QUrl::fromLocalFile(fileOrAddress) : QUrl::fromUserInput(fileOrAddress);
    return QDesktopServices::openUrl(url);
}

void QtPlatform::startBatch(const QString& batchFile, const QString& workFolder)
{
    // No shell runs batch files here: the program itself interprets the file in a detached
    // child process, so the caller never waits for the deletions. A process that was itself
    // started for a batch file never starts another, so a program that fails to handle the
    // switch cannot start copies of itself without end.
    if (QCoreApplication::arguments().contains(QString::fromLatin1(kRunBatchArgument))) return;
    QProcess::startDetached(QCoreApplication::applicationFilePath(),
                            {QString::fromLatin1(kRunBatchArgument), batchFile}, workFolder);
}

void QtPlatform::beginWait() { QApplication::setOverrideCursor(Qt::WaitCursor); }

void QtPlatform::endWait() { QApplication::restoreOverrideCursor(); }

QStringList QtPlatform::screenFonts() { return QFontDatabase::families(); }

QRect QtPlatform::availableScreen(const QPoint& point)
{
    QScreen* screen = QGuiApplication::screenAt(point);
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
}

// The desktop's per-account store ("~/.config/Veltrana/Veltrana.conf" on Linux).
QVariant QtPlatform::setting(const QString& key)
{
    return QSettings(QStringLiteral("Veltrana"), QStringLiteral("Veltrana")).value(key);
}

void QtPlatform::setSetting(const QString& key, const QVariant& value)
{
    QSettings(QStringLiteral("Veltrana"), QStringLiteral("Veltrana")).setValue(key, value);
}

int QtPlatform::codePage() { return codePageFromCodeset(QString::fromLatin1(nl_langinfo(CODESET))); }

int codePageFromCodeset(const QString& codeset)
{
    static const QRegularExpression pattern(QStringLiteral("^(?:CP|WINDOWS-?)(125[0-8])$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const auto match = pattern.match(codeset.trimmed());
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

namespace {
Platform* g_platform = nullptr;
}  // namespace

Platform& platform()
{
    if (!g_platform) {
        static QtPlatform desktop;
        g_platform = &desktop;
    }
    return *g_platform;
}

void setPlatform(Platform* p) { g_platform = p; }

std::optional<Platform::NewPassword> Platform::askNewPassword(const QString& text)
{
    (void)text;
    return std::nullopt;
}

int Platform::askChoice(const QString& title, const QString& text, const QStringList& buttons)
{
    // A platform without its own choice box: Yes, No and Cancel stand for the first, second and
    // last button.
    const int last = static_cast<int>(buttons.size()) - 1;
    switch (askQuestion(title, text)) {
    case Answer::Yes: return 0;
    case Answer::No: return std::min(1, last);
    default: return last;
    }
}

int QtPlatform::askChoice(const QString& title, const QString& text, const QStringList& buttons)
{
    auto box = makeMessageBox(QMessageBox::Question, title, text, QMessageBox::NoButton);
    QList<QAbstractButton*> added;
    for (qsizetype i = 0; i < buttons.size(); ++i)
        added << box->addButton(buttons.at(i),
                                i + 1 == buttons.size() ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
    box->exec();
    const qsizetype chosen = added.indexOf(box->clickedButton());
    return chosen < 0 ? static_cast<int>(buttons.size()) - 1 : static_cast<int>(chosen);
}

bool Platform::printPagesDialog(QPrinter& printer, int minPage, int maxPage)
{
    printer.setFromTo(minPage, maxPage);
    return printDialog(printer);
}

QString QtPlatform::userDataFolder() { return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation); }

}  // namespace vt::app
