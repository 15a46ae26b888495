#include "windows/OptionsForm.h"

#include "ErrorDisplay.h"
#include "data/FieldLimits.h"
#include "session/Rights.h"
#include "session/Session.h"
#include "ui/Ui.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace vt::app {

using ui::named;

TTOptions::TTOptions(Session& session, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint), m_session(session)
{
    setObjectName(QStringLiteral("TOptions"));
    setWindowTitle(QStringLiteral("Options"));
    move(303, 191);
    setFixedSize(503, 238);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(8, 8, 8, 8);

    AdminPanel = named(new QGroupBox(QStringLiteral("Shared File Areas ( Admin Only )"), this), "AdminPanel");
    auto* admin = new QVBoxLayout(AdminPanel);
    admin->setSpacing(2);
    CommonPath = ui::lineEdit(AdminPanel, "CommonPath",
                              QStringLiteral("Direct to a common work folder for Veltrana Attachments"));
    ui::limitLength(CommonPath, data::limits::kSharedFolder);
    CommonPath->setEnabled(false);
    admin->addWidget(new QLabel(QStringLiteral("Attachment Default Path:"), AdminPanel));
    admin->addWidget(CommonPath);

    RadioGroup1 = named(new QGroupBox(QStringLiteral("Saved Documents:"), AdminPanel), "RadioGroup1");
    RadioGroup1->setToolTip(QStringLiteral("Optionally store Veltrana Documents as Files instead of database Records"));
    RadioGroup1->setEnabled(false);
    auto* choices = new QHBoxLayout(RadioGroup1);
    m_inDatabase = named(new QRadioButton(QStringLiteral("In Database (Default)"), RadioGroup1), "inDatabase");
    m_inSharedFolder = named(new QRadioButton(QStringLiteral("In Shared Folder"), RadioGroup1), "inSharedFolder");
    choices->addWidget(m_inDatabase);
    choices->addWidget(m_inSharedFolder);
    auto* group = new QButtonGroup(RadioGroup1);
    group->addButton(m_inDatabase, 0);
    group->addButton(m_inSharedFolder, 1);
    admin->addWidget(RadioGroup1);

    Edit1 = ui::lineEdit(AdminPanel, "Edit1",
                         QStringLiteral("Shared Network Folder for storage of Veltrana RTF Documents "));
    ui::limitLength(Edit1, data::limits::kSharedFolder);
    admin->addWidget(new QLabel(QStringLiteral("Path to Shared Document Folder:"), AdminPanel));
    admin->addWidget(Edit1);
    column->addWidget(AdminPanel, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    Button1 = named(new QPushButton(QStringLiteral("OK"), this), "Button1");
    Button2 = named(new QPushButton(QStringLiteral("Cancel"), this), "Button2");
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    column->addLayout(buttons);

    onEvent(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    onEvent(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    ui::onShow(this, [this] { FormShow(); });
}

void TTOptions::FormShow()
{
    if (!rights::isAdministrator(m_session.UserRole)) {
        AdminPanel->setEnabled(false);
        return;
    }
    AdminPanel->setEnabled(true);
    CommonPath->setText(m_session.CommonDir);
    Edit1->setText(m_session.DocumentsFolder);
    if (m_session.StoreDocumentsAsFiles) {
        m_inSharedFolder->setChecked(true);
        Edit1->setEnabled(true);
    } else {
        m_inDatabase->setChecked(true);
        Edit1->setEnabled(false);
    }
}

void TTOptions::Button1Click() { hide(); }

void TTOptions::Button2Click() { hide(); }

}  // namespace vt::app
