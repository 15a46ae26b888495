#include "LoginForm.h"

#include "ErrorDisplay.h"
#include "Forms.h"
#include "MainWindow.h"
#include "Platform.h"
#include "Settings.h"
#include "TextCodec.h"

#include "TmySQLDatabase.h"

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QKeyEvent>
#include <QShowEvent>

#include <cstdint>
#include <stdexcept>

namespace vt::app {

namespace {

constexpr int kClientWidth = 379;
constexpr int kClientHeight = 157;

// Turns typed letters into upper case; text set by the program is kept as given.
void forceUpperCase(QLineEdit* edit)
{
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString& text) {
        const QString upper = text.toUpper();
        if (upper != text) {
            const int cursor = edit->cursorPosition();
            edit->setText(upper);
            edit->setCursorPosition(cursor);
        }
    });
}

QLabel* label(const QString& text, QWidget* parent, int x, int y, int w)
{
    auto* l = new QLabel(text, parent);
    l->setGeometry(x, y, w, 16);
    return l;
}

QLineEdit* edit(const char* name, QWidget* parent, int x, int y, int w)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setGeometry(x, y, w, 21);
    return e;
}

} // namespace

TLogin_Form::TLogin_Form(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("Login_Form"));
    move(271, 235);
    setFixedSize(kClientWidth, kClientHeight);

    titleLabel = new QLabel(this);
    titleLabel->setObjectName(QStringLiteral("Label1"));
    QFont big = titleLabel->font();
    big.setPointSize(16);
    big.setBold(true);
    titleLabel->setFont(big);
    titleLabel->setGeometry(16, 6, 347, 32);

    label(QStringLiteral("Username:"), this, 40, 50, 80);
    UserID = edit("UserID", this, 128, 47, 185);
    forceUpperCase(UserID);

    label(QStringLiteral("Password:"), this, 40, 79, 80);
    Password = edit("Password", this, 128, 76, 185);
    Password->setEchoMode(QLineEdit::Password);
    Password->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    forceUpperCase(Password);

    Button1 = new QPushButton(QStringLiteral("Login"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(128, 113, 75, 25);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Connect Options>>>"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(211, 113, 150, 25);

    // Below the visible area until "Connect Options>>>" enlarges the dialog.
    GroupBox1 = new QGroupBox(
        QStringLiteral("Central Server / mySQL Database Connectivity Settings:"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(8, 164, 363, 212);

    label(QStringLiteral("Server IP / ComputerName:"), GroupBox1, 12, 26, 300);
    Edit2 = edit("Edit2", GroupBox1, 12, 44, 339);
    Edit2->setText(QStringLiteral("localhost"));
    Edit2->setToolTip(QStringLiteral(
        "Enter the Computer Name or IP address of the computer hosting the Veltrana Database"));

    label(QStringLiteral("Database Name (Default: Veltrana)"), GroupBox1, 12, 72, 300);
    Edit1 = edit("Edit1", GroupBox1, 12, 90, 339);
    Edit1->setText(QStringLiteral("Veltrana"));
    Edit1->setEnabled(false);
    Edit1->setToolTip(QStringLiteral("Enter the name of the mySQL database "));

    label(QStringLiteral("Database UserName: (Default: vtran )"), GroupBox1, 12, 118, 300);
    Edit3 = edit("Edit3", GroupBox1, 12, 136, 339);
    Edit3->setText(QStringLiteral("vtran"));
    Edit3->setEnabled(false);
    Edit3->setToolTip(QStringLiteral("Enter the mySQL database User Name"));

    dbPasswordLabel = label(QStringLiteral("DB Password:"), GroupBox1, 12, 164, 100);
    dbPasswordLabel->setObjectName(QStringLiteral("Label6"));
    dbPasswordLabel->hide();
    Edit4 = edit("Edit4", GroupBox1, 12, 182, 339);
    Edit4->setEchoMode(QLineEdit::Password);
    Edit4->setToolTip(QStringLiteral("Enter the mySQL user password"));
    Edit4->hide();

    onEvent(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    onEvent(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
}

void TLogin_Form::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

int TLogin_Form::formHeight() const { return height() + kFrameHeight; }

void TLogin_Form::setFormHeight(int h) { setFixedSize(kClientWidth, h - kFrameHeight); }

void TLogin_Form::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        guarded([this] { FormShow(); });
    QDialog::showEvent(event);
}

void TLogin_Form::FormShow()
{
    const QString title = forms().Veltrana ? forms().Veltrana->AppTitle : QString();
    setWindowTitle(title + QStringLiteral(" Login"));
    titleLabel->setText(title);
    ReadSettings();
}

void TLogin_Form::ReadSettings()
{
    QString line;
    if (!readFirstLine(QString::fromLatin1(kSettingsFileName), line))
        return;
    UserID->setText(GetSettingValue(QStringLiteral("UN:"), line));
    Edit2->setText(GetSettingValue(QStringLiteral("SQ:"), line));
    Edit1->setText(GetSettingValue(QStringLiteral("DB:"), line));
    Edit3->setText(GetSettingValue(QStringLiteral("DU:"), line));
    Edit4->setText(GetSettingValue(QStringLiteral("DP:"), line));
}

void TLogin_Form::WriteSettings()
{
    QFile file(QString::fromLatin1(kSettingsFileName));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("Cannot create file " + std::string(kSettingsFileName) + ". "
                                 + file.errorString().toStdString());
    const QString line = QStringLiteral("UN:") + UserID->text() + QStringLiteral("#SQ:")
                         + Edit2->text() + QStringLiteral("#DB:") + Edit1->text()
                         + QStringLiteral("#DU:") + Edit3->text() + QStringLiteral("#DP:")
                         + Edit4->text() + QStringLiteral("##");
    const std::string bytes = bytesFromText(line) + "\r\n";
    if (file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()))
        throw std::runtime_error("Cannot write file " + std::string(kSettingsFileName) + ". "
                                 + file.errorString().toStdString());
}

void TLogin_Form::Button2Click() { setFormHeight(formHeight() >= 400 ? 186 : 412); }

void TLogin_Form::Button1Click()
{
    WriteSettings();
    if (Edit2->text().size() < 2 || Edit1->text().size() < 2 || Edit3->text().size() < 2) {
        setFormHeight(412);
        platform().showMessage(QStringLiteral("You must supply the connection parameters to the "
                                              "mySQL database - Please contact your system "
                                              "administrator"));
        return;
    }
    ConnectAndLogin();
}

void TLogin_Form::ConnectAndLogin()
{
    TVeltrana& main = *forms().Veltrana;
    main.CurrentUser = UserID->text().toUpper();

    // The server field may carry a port ("host:port"); without one the design port applies.
    QString host = Edit2->text();
    uint32_t port = 3306;
    if (const qsizetype colon = host.lastIndexOf(QLatin1Char(':')); colon > 0) {
        bool ok = false;
        const uint portValue = host.mid(colon + 1).toUInt(&ok);
        if (ok && portValue > 0 && portValue < 65536) {
            port = portValue;
            host.truncate(colon);
        }
    }
    TmySQLDatabase& db = *main.mySQLDatabase1;
    db.SetDatabaseName(bytesFromText(Edit1->text()));
    db.SetHost(bytesFromText(host));
    db.SetPort(port);
    db.SetUserName(bytesFromText(Edit3->text()));
    db.SetUserPassword(bytesFromText(Edit4->text()));
    db.SetConnected(true);

    if (main.LoginUser(UserID->text(), Password->text())) {
        main.show();
        main.LoadProjectList();
        hide();
    } else {
        platform().showMessage(QStringLiteral("Invalid User Name or Password. Try Again"));
    }
}

} // namespace vt::app
