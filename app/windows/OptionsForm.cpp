#include "OptionsForm.h"

#include "ErrorDisplay.h"
#include "Forms.h"
#include "MainWindow.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace vt::app {

TTOptions::TTOptions(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("TOptions"));
    setWindowTitle(QStringLiteral("Options"));
    move(303, 191);
    setFixedSize(503, 238);

    AdminPanel = new QGroupBox(QStringLiteral("Shared File Areas ( Admin Only )"), this);
    AdminPanel->setObjectName(QStringLiteral("AdminPanel"));
    AdminPanel->setGeometry(8, 8, 487, 185);

    auto* commonLabel = new QLabel(QStringLiteral("Attachment Default Path:"), AdminPanel);
    commonLabel->setGeometry(12, 24, 200, 16);
    CommonPath = new QLineEdit(AdminPanel);
    CommonPath->setObjectName(QStringLiteral("CommonPath"));
    CommonPath->setToolTip(QStringLiteral("Direct to a common work folder for Veltrana Attachments"));
    CommonPath->setGeometry(12, 42, 463, 21);
    CommonPath->setEnabled(false);

    RadioGroup1 = new QGroupBox(QStringLiteral("Saved Documents:"), AdminPanel);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    RadioGroup1->setToolTip(
        QStringLiteral("Optionally store Veltrana Documents as Files instead of database Records"));
    RadioGroup1->setGeometry(12, 70, 463, 48);
    RadioGroup1->setEnabled(false);
    inDatabase = new QRadioButton(QStringLiteral("In Database (Default)"), RadioGroup1);
    inDatabase->setGeometry(10, 20, 200, 20);
    inSharedFolder = new QRadioButton(QStringLiteral("In Shared Folder"), RadioGroup1);
    inSharedFolder->setGeometry(240, 20, 200, 20);
    auto* group = new QButtonGroup(RadioGroup1);
    group->addButton(inDatabase, 0);
    group->addButton(inSharedFolder, 1);

    auto* docsLabel = new QLabel(QStringLiteral("Path to Shared Document Folder:"), AdminPanel);
    docsLabel->setGeometry(12, 126, 250, 16);
    Edit1 = new QLineEdit(AdminPanel);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setToolTip(QStringLiteral("Shared Network Folder for storage of Veltrana RTF Documents "));
    Edit1->setGeometry(12, 144, 463, 21);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(334, 204, 75, 25);
    Button2 = new QPushButton(QStringLiteral("Cancel"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(418, 204, 75, 25);
    onEvent(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    onEvent(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
}

void TTOptions::showEvent(QShowEvent* event)
{
    guarded([this] { FormShow(); });
    QDialog::showEvent(event);
}

void TTOptions::FormShow()
{
    const TVeltrana* main = forms().Veltrana;
    if (!main || main->UserRole.toUpper() != QLatin1String("ADMIN")) {
        AdminPanel->setEnabled(false);
        return;
    }
    AdminPanel->setEnabled(true);
    CommonPath->setText(main->CommonDir);
    Edit1->setText(main->DocumentsFolder);
    if (main->StoreDocumentsAsFiles) {
        inSharedFolder->setChecked(true);
        Edit1->setEnabled(true);
    } else {
        inDatabase->setChecked(true);
        Edit1->setEnabled(false);
    }
}

void TTOptions::Button1Click() { hide(); }

void TTOptions::Button2Click() { hide(); }

} // namespace vt::app
