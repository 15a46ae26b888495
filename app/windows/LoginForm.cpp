#include "windows/LoginForm.h"

#include "ErrorDisplay.h"
#include "platform/Platform.h"
#include "session/Session.h"
#include "session/Settings.h"
#include "session/TextCodec.h"
#include "ui/Ui.h"

#include "db/DbErrors.h"

#include <QCloseEvent>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <stdexcept>

namespace vt::app {

using ui::named;

namespace {

constexpr int kClientWidth = 379;
constexpr int kClientHeight = 157;
// Form heights of the two states of "Connect Options>>>".
constexpr int kShortFormHeight = 186;
constexpr int kTallFormHeight = 412;

}  // namespace

TLogin_Form::TLogin_Form(Session& session, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint), m_session(session)
{
    setObjectName(QStringLiteral("Login_Form"));
    move(271, 235);
    setFixedSize(kClientWidth, kClientHeight);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 6, 16, 12);
    column->setSpacing(6);

    m_titleLabel = named(new QLabel(this), "Label1");
    m_titleLabel->setTextFormat(Qt::PlainText);
    QFont big = m_titleLabel->font();
    big.setPointSize(16);
    big.setBold(true);
    m_titleLabel->setFont(big);
    column->addWidget(m_titleLabel);

    auto* fields = new QGridLayout;
    fields->setContentsMargins(24, 0, 34, 0);
    UserID = ui::lineEdit(this, "UserID");
    ui::forceUpperCase(UserID);
    Password = ui::lineEdit(this, "Password");
    Password->setEchoMode(QLineEdit::Password);
    ui::maskWithAsterisks(Password);
    ui::forceUpperCase(Password);
    fields->addWidget(new QLabel(QStringLiteral("Username:"), this), 0, 0);
    fields->addWidget(UserID, 0, 1);
    fields->addWidget(new QLabel(QStringLiteral("Password:"), this), 1, 0);
    fields->addWidget(Password, 1, 1);
    column->addLayout(fields);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    Button1 = named(new QPushButton(QStringLiteral("Login"), this), "Button1");
    Button1->setDefault(true);
    Button2 = named(new QPushButton(QStringLiteral("Connect Options>>>"), this), "Button2");
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    column->addLayout(buttons);

    // Shown only while "Connect Options>>>" has enlarged the dialog.
    m_connectionGroup = named(
        new QGroupBox(QStringLiteral("Central Server / mySQL Database Connectivity Settings:"), this), "GroupBox1");
    auto* connection = new QVBoxLayout(m_connectionGroup);
    connection->setSpacing(2);
    Edit2 = ui::lineEdit(
        m_connectionGroup, "Edit2",
        QStringLiteral("Enter the Computer Name or IP address of the computer hosting the Veltrana Database"));
    Edit2->setText(QStringLiteral("localhost"));
    Edit1 = ui::lineEdit(m_connectionGroup, "Edit1", QStringLiteral("Enter the name of the mySQL database "));
    Edit1->setText(QStringLiteral("Veltrana"));
    Edit1->setEnabled(false);
    Edit3 = ui::lineEdit(m_connectionGroup, "Edit3", QStringLiteral("Enter the mySQL database User Name"));
    Edit3->setText(QStringLiteral("vtran"));
    Edit3->setEnabled(false);
    m_dbPasswordLabel = named(new QLabel(QStringLiteral("DB Password:"), m_connectionGroup), "Label6");
    m_dbPasswordLabel->hide();
    Edit4 = ui::lineEdit(m_connectionGroup, "Edit4", QStringLiteral("Enter the mySQL user password"));
    Edit4->setEchoMode(QLineEdit::Password);
    ui::maskWithAsterisks(Edit4);
    Edit4->hide();
    connection->addWidget(new QLabel(QStringLiteral("Server IP / ComputerName:"), m_connectionGroup));
    connection->addWidget(Edit2);
    // The field takes a list of servers too (a cluster, or a spare server): say how.
    auto* serverListHint = named(new QLabel(QStringLiteral("Several servers: host[:port], separated by commas; "
                                                           "the first that answers and is ready is used."),
                                            m_connectionGroup),
                                 "ServerListHint");
    serverListHint->setWordWrap(true);
    connection->addWidget(serverListHint);
    connection->addWidget(new QLabel(QStringLiteral("Database Name (Default: Veltrana)"), m_connectionGroup));
    connection->addWidget(Edit1);
    connection->addWidget(new QLabel(QStringLiteral("Database UserName: (Default: vtran )"), m_connectionGroup));
    connection->addWidget(Edit3);
    connection->addWidget(m_dbPasswordLabel);
    connection->addWidget(Edit4);
    connection->addStretch(1);
    m_connectionGroup->hide();
    column->addWidget(m_connectionGroup, 1);

    onEvent(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    onEvent(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    ui::onShow(this, [this] { FormShow(); });

    m_session.whenLoggedOff([this] {
        if (isVisible())
            FormShow();  // showing it again would not run its show step
        else
            show();
        raise();
        UserID->clear();
        Password->clear();
    });
}

void TLogin_Form::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TLogin_Form::closeEvent(QCloseEvent* event)
{
    QDialog::closeEvent(event);
    if (event->isAccepted()) emit closedByUser();
}

int TLogin_Form::formHeight() const { return height() + kFrameHeight; }

void TLogin_Form::setFormHeight(int h)
{
    setFixedSize(kClientWidth, h - kFrameHeight);
    m_connectionGroup->setVisible(h >= 400);
}

void TLogin_Form::FormShow()
{
    setWindowTitle(m_session.AppTitle + QStringLiteral(" Login"));
    m_titleLabel->setText(m_session.AppTitle);
    ReadSettings();
}

void TLogin_Form::ReadSettings()
{
    QString line;
    if (!readFirstLine(QString::fromLatin1(kSettingsFileName), line)) return;
    UserID->setText(GetSettingValue(QStringLiteral("UN:"), line));
    Edit2->setText(GetSettingValue(QStringLiteral("SQ:"), line));
    Edit1->setText(GetSettingValue(QStringLiteral("DB:"), line));
    Edit3->setText(GetSettingValue(QStringLiteral("DU:"), line));
    Edit4->setText(GetSettingValue(QStringLiteral("DP:"), line));
    const TlsSettings tls = readTlsSettings(line);
    m_tlsRequired = tls.required;
    m_tlsCaFile = tls.caFile;
    m_perUser = readPerUserSetting(line);
}

void TLogin_Form::WriteSettings()
{
    QFile file(QString::fromLatin1(kSettingsFileName));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("Cannot create file " + std::string(kSettingsFileName) + ". " +
                                 file.errorString().toStdString());
    const QString line = QStringLiteral("UN:") + UserID->text() + QStringLiteral("#SQ:") + Edit2->text() +
                         QStringLiteral("#DB:") + Edit1->text() + QStringLiteral("#DU:") + Edit3->text() +
                         QStringLiteral("#DP:") + Edit4->text() + perUserSettingText(m_perUser) +
                         tlsSettingsText({m_tlsRequired, m_tlsCaFile}) + QStringLiteral("##");
    const std::string bytes = bytesFromText(line) + "\r\n";
    if (file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()))
        throw std::runtime_error("Cannot write file " + std::string(kSettingsFileName) + ". " +
                                 file.errorString().toStdString());
}

void TLogin_Form::Button2Click() { setFormHeight(formHeight() >= 400 ? kShortFormHeight : kTallFormHeight); }

void TLogin_Form::Button1Click()
{
    WriteSettings();
    // Per-user accounts need no database account: the login's own name connects.
    if (Edit2->text().size() < 2 || Edit1->text().size() < 2 || (!m_perUser && Edit3->text().size() < 2)) {
        setFormHeight(kTallFormHeight);
        platform().showMessage(QStringLiteral("You must supply the connection parameters to the "
                                              "mySQL database - Please contact your system "
                                              "administrator"));
        return;
    }
    ConnectAndLogin();
}

ConnectionValues TLogin_Form::connectionValues() const
{
    return {Edit1->text(), Edit2->text(), Edit3->text(), Edit4->text(), m_tlsRequired, m_tlsCaFile, m_perUser};
}

bool TLogin_Form::renewExpiredPassword()
{
    const QString prompt = QStringLiteral("The password of %1 has expired or was set by an administrator. "
                                          "Enter a new password twice.")
                               .arg(UserID->text());
    for (;;) {
        const std::optional<Platform::NewPassword> answer = platform().askNewPassword(prompt);
        if (!answer) {
            // Cancel: the account stays logged off; the next log-in connects afresh.
            m_session.abandonLogin();
            Password->clear();
            return false;
        }
        // Passwords are typed in upper case at the login, so the new one is kept the same way.
        const QString first = answer->first.toUpper();
        if (first != answer->second.toUpper()) {
            platform().showMessage(QStringLiteral("The two passwords differ. Try again."));
            continue;
        }
        if (first.isEmpty()) {
            platform().showMessage(QStringLiteral("The new password must not be empty. Try again."));
            continue;
        }
        if (first == Password->text()) {
            platform().showMessage(
                QStringLiteral("The new password must differ from the one-time password. Try again."));
            continue;
        }
        try {
            m_session.changeOwnPassword(first);
        } catch (const EDbError& error) {
            // A password the server's rules refuse: say why and ask again.
            platform().showErrorMessage(textFromBytes(error.what()));
            continue;
        }
        Password->setText(first);
        return true;
    }
}

void TLogin_Form::ConnectAndLogin()
{
    Session::LoginResult result;
    {
        HourglassCursor hourglass;
        result = m_session.logIn(connectionValues(), UserID->text(), Password->text());
    }
    if (result == Session::LoginResult::PasswordExpired) {
        if (!renewExpiredPassword()) return;
        HourglassCursor hourglass;
        result = m_session.logIn(connectionValues(), UserID->text(), Password->text());
    }
    if (result == Session::LoginResult::LoggedIn) {
        hide();
        return;
    }
    if (result == Session::LoginResult::WrongSchemaVersion) {
        platform().showMessage(m_session.schemaRefusal());
        return;
    }
    if (result == Session::LoginResult::PasswordExpired) {
        platform().showMessage(QStringLiteral("The server still reports the password as expired."));
        return;
    }
    if (result == Session::LoginResult::NoGlobalSettings)
        platform().showMessage(QStringLiteral("Cannot retrieve Global Settings"));
    platform().showMessage(QStringLiteral("Invalid User Name or Password. Try Again"));
}

}  // namespace vt::app
