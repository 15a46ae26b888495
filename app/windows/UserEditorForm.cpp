#include "windows/UserEditorForm.h"

#include "data/FieldLimits.h"
#include "platform/Platform.h"
#include "session/Rights.h"
#include "session/Session.h"
#include "ui/Ui.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace vt::app {

using namespace ui;

namespace {

// The role selector "Role" with the items "User" (0) and "Admin" (1).
QGroupBox* roleSelector(QWidget* parent, QButtonGroup*& group)
{
    auto* box = named(new QGroupBox(QStringLiteral("Role"), parent), "RadioGroup1");
    auto* layout = new QHBoxLayout(box);
    group = new QButtonGroup(box);
    int id = 0;
    for (const char* item : {"User", "Admin"}) {
        auto* button = new QRadioButton(QString::fromLatin1(item), box);
        button->setObjectName(QStringLiteral("RadioGroup1_") + QString::fromLatin1(item));
        group->addButton(button, id++);
        layout->addWidget(button);
    }
    group->button(0)->setChecked(true);
    return box;
}

}  // namespace

TForm_UserEditor::TForm_UserEditor(Session& session, QWidget* parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("Form_UserEditor"));
    setWindowTitle(QStringLiteral("Update User Account"));
    setWindowFlag(Qt::WindowStaysOnTopHint);

    Lab_Username = named(new QLabel(this), "Lab_Username");
    ui::dataLabel(Lab_Username);
    QFont big = Lab_Username->font();
    big.setBold(true);
    big.setPointSize(big.pointSize() + 6);
    Lab_Username->setFont(big);

    auto* profile = named(new QGroupBox(QStringLiteral("Profile"), this), "GroupBox1");
    auto* form = new QFormLayout(profile);
    FirstName = lineEdit(profile, "FirstName");
    LastName = lineEdit(profile, "LastName");
    Email = lineEdit(profile, "Email");
    Position = lineEdit(profile, "Position");
    for (QLineEdit* detail : {FirstName, LastName, Email, Position})
        ui::limitLength(detail, data::limits::kUserDetail);
    form->addRow(QStringLiteral("First name:"), FirstName);
    form->addRow(QStringLiteral("Last Name:"), LastName);
    form->addRow(QStringLiteral("Email:"), Email);
    form->addRow(QStringLiteral("Position:"), Position);
    RadioGroup1 = roleSelector(profile, m_roles);
    form->addRow(RadioGroup1);
    Button2 = named(new QPushButton(QStringLiteral("Update"), profile), "Button2");
    form->addRow(Button2);

    auto* reset = named(new QGroupBox(QStringLiteral("Reset Password"), this), "GroupBox2");
    auto* resetForm = new QFormLayout(reset);
    Password = lineEdit(reset, "Password");
    Password->setEchoMode(QLineEdit::Password);
    ui::maskWithAsterisks(Password);
    forceUpperCase(Password);
    resetForm->addRow(QStringLiteral("Password:"), Password);
    Button1 = named(new QPushButton(QStringLiteral("Set Password"), reset), "Button1");
    resetForm->addRow(Button1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Lab_Username);
    layout->addWidget(profile);
    layout->addWidget(reset);
    Button1->setEnabled(false);
    Button2->setEnabled(false);

    for (QLineEdit* edit : {FirstName, LastName, Email, Position})
        connect(edit, &QLineEdit::textEdited, this, [this] { Button2->setEnabled(true); });
    connect(m_roles, &QButtonGroup::buttonClicked, this, [this] { Button2->setEnabled(true); });
    connect(Password, &QLineEdit::textEdited, this, [this] { Button1->setEnabled(true); });
    onEvent(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    onEvent(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    focusOnShow(this, FirstName);
}

void TForm_UserEditor::editAccount(const QString& userName, const data::users::Profile& profile)
{
    show();
    Lab_Username->setText(userName);
    FirstName->setText(profile.firstName);
    LastName->setText(profile.lastName);
    Email->setText(profile.email);
    Position->setText(profile.position);
    m_roles->button(profile.role.toUpper() == QLatin1String("ADMIN") ? 1 : 0)->setChecked(true);
    RadioGroup1->setEnabled(!data::users::isMasterAccount(userName));
    Button2->setEnabled(false);
    raise();
}

QString TForm_UserEditor::chosenRole() const
{
    return m_roles->checkedId() == 1 ? QStringLiteral("ADMIN") : QStringLiteral("USER");
}

void TForm_UserEditor::Button2Click()
{
    // The right is tested when the command runs, not only when the window opened.
    if (!m_session.isAdministrator()) {
        platform().showMessage(rights::userAdministrationRefusal());
        return;
    }
    data::users::Profile profile{FirstName->text(), LastName->text(), Email->text(), Position->text(), chosenRole()};
    {
        HourglassCursor wait;
        data::users::updateProfile(m_session, Lab_Username->text(), profile);
    }
    emit accountsChanged();
    hide();
    Button2->setEnabled(false);
}

void TForm_UserEditor::Button1Click()
{
    if (!m_session.isAdministrator()) {
        platform().showMessage(rights::userAdministrationRefusal());
        return;
    }
    {
        HourglassCursor wait;
        data::users::setPassword(m_session, Lab_Username->text(), Password->text().toUpper());
    }
    Password->clear();
    Button1->setEnabled(false);
}

void TForm_UserEditor::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    if (event->spontaneous()) return;
    Password->clear();
    Button1->setEnabled(false);
    Button2->setEnabled(false);
}

}  // namespace vt::app
