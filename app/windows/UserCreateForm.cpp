#include "windows/UserCreateForm.h"

#include "data/FieldLimits.h"
#include "data/Users.h"
#include "platform/Platform.h"
#include "session/Rights.h"
#include "session/Session.h"
#include "ui/Ui.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace vt::app {

using namespace ui;

TForm_UserCreate::TForm_UserCreate(Session& session, QWidget* parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("Form_UserCreate"));
    setWindowTitle(QStringLiteral("Create New User Account"));
    setWindowFlag(Qt::WindowStaysOnTopHint);

    auto* profile = named(new QGroupBox(QStringLiteral("Profile"), this), "GroupBox1");
    auto* form = new QFormLayout(profile);
    UserName = lineEdit(profile, "UserName");
    forceUpperCase(UserName);
    FirstName = lineEdit(profile, "FirstName");
    LastName = lineEdit(profile, "LastName");
    Email = lineEdit(profile, "Email");
    Position = lineEdit(profile, "Position");
    ui::limitLength(UserName, data::limits::kUserName);
    for (QLineEdit* detail : {FirstName, LastName, Email, Position})
        ui::limitLength(detail, data::limits::kUserDetail);
    Password = lineEdit(profile, "Password");
    Password2 = lineEdit(profile, "Password2");
    for (QLineEdit* secret : {Password, Password2}) {
        secret->setEchoMode(QLineEdit::Password);
        ui::maskWithAsterisks(secret);
        forceUpperCase(secret);
    }
    form->addRow(QStringLiteral("User Name:"), UserName);
    form->addRow(QStringLiteral("First name:"), FirstName);
    form->addRow(QStringLiteral("Last Name:"), LastName);
    form->addRow(QStringLiteral("Email:"), Email);
    form->addRow(QStringLiteral("Position:"), Position);
    form->addRow(QStringLiteral("Password:"), Password);
    form->addRow(QStringLiteral("Re-Enter Password"), Password2);

    auto* roles = named(new QGroupBox(QStringLiteral("Role"), profile), "RadioGroup1");
    auto* roleLayout = new QHBoxLayout(roles);
    m_roles = new QButtonGroup(roles);
    int id = 0;
    for (const char* item : {"User", "Admin"}) {
        auto* button = new QRadioButton(QString::fromLatin1(item), roles);
        button->setObjectName(QStringLiteral("RadioGroup1_") + QString::fromLatin1(item));
        m_roles->addButton(button, id++);
        roleLayout->addWidget(button);
    }
    form->addRow(roles);
    Button2 = named(new QPushButton(QStringLiteral("Create User"), profile), "Button2");
    form->addRow(Button2);
    (new QVBoxLayout(this))->addWidget(profile);

    connect(UserName, &QLineEdit::textEdited, this, [this] { Button2->setEnabled(true); });
    onEvent(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    onShow(this, [this] { FormShow(); });
    ui::focusOnShow(this, UserName);
    Button2->setEnabled(false);
}

void TForm_UserCreate::FormShow()
{
    for (QLineEdit* edit : {UserName, FirstName, LastName, Email, Position, Password, Password2})
        edit->clear();
    m_roles->button(0)->setChecked(true);
    Button2->setEnabled(false);
}

void TForm_UserCreate::Button2Click()
{
    // The right is tested when the command runs, not only when the window opened.
    if (!m_session.isAdministrator()) {
        platform().showMessage(rights::userAdministrationRefusal());
        return;
    }
    const QString name = UserName->text();
    {
        HourglassCursor wait;
        if (data::users::nameInUse(m_session, name)) {
            platform().showMessage(QStringLiteral("Username Already in use - try another"));
            return;
        }
    }
    if (Password->text() != Password2->text()) {
        platform().showMessage(QStringLiteral("Password entries are not identical. Try Again"));
        return;
    }
    data::users::Profile profile{FirstName->text(), LastName->text(), Email->text(), Position->text(),
                                 m_roles->checkedId() == 1 ? QStringLiteral("ADMIN") : QStringLiteral("USER")};
    {
        HourglassCursor wait;
        data::users::create(m_session, name, Password->text(), profile);
    }
    emit accountsChanged();
    Button2->setEnabled(false);
    hide();
}

}  // namespace vt::app
