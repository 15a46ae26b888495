#include "windows/AttachDialog.h"

#include "data/FieldLimits.h"
#include "platform/Platform.h"
#include "ui/Ui.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace vt::app {

using ui::named;

TDialog_attach::TDialog_attach(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Dialog_attach"));
    setWindowTitle(QStringLiteral("Attachment Add/Edit"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setModal(false);

    Label2 = named(new QLabel(QStringLiteral("Reference:"), this), "Label2");
    Edit1 = ui::lineEdit(this, "Edit1");
    ui::limitLength(Edit1, data::limits::kAttachmentLink);
    Button3 = named(new QPushButton(QStringLiteral("Browse"), this), "Button3");
    Edit2 = ui::lineEdit(this, "Edit2");
    ui::limitLength(Edit2, data::limits::kAttachmentDescription);
    Button1 = named(new QPushButton(QStringLiteral("Submit"), this), "Button1");
    Button2 = named(new QPushButton(QStringLiteral("Cancel"), this), "Button2");
    for (QPushButton* b : {Button1, Button2, Button3})
        b->setAutoDefault(false);

    auto* grid = new QGridLayout(this);
    grid->addWidget(Label2, 0, 0, 1, 2);
    grid->addWidget(Edit1, 1, 0);
    grid->addWidget(Button3, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Description:"), this), 2, 0, 1, 2);
    grid->addWidget(Edit2, 3, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    grid->addLayout(buttons, 4, 0, 1, 2);
    setFixedSize(420, 170);

    onEvent(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    onEvent(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    onEvent(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
    ui::focusOnShow(this, Edit1);
}

void TDialog_attach::showForWebLink()
{
    show();
    Button3->hide();
    m_kind = 0;
    Button1->setText(QStringLiteral("Add Site"));
    Label2->setText(QStringLiteral("Website URL:"));
    Edit1->setText(QStringLiteral("http://"));
    Edit2->setText(QStringLiteral("Website"));
}

void TDialog_attach::showForFile()
{
    show();
    Button3->show();
    m_kind = 1;
    Button1->setText(QStringLiteral("Add File"));
    Label2->setText(QStringLiteral("Document: (path\\filename.ext)"));
    Edit1->clear();
    Edit2->setText(QStringLiteral("Document"));
}

void TDialog_attach::Button3Click()
{
    const QString chosen = platform().openFileName(QStringLiteral("Open"), QString());
    if (!chosen.isEmpty()) Edit1->setText(chosen);
}

// A failing insert ends here with its message and leaves the dialog open with what was typed.
void TDialog_attach::Button1Click()
{
    if (m_add) m_add(m_kind, Edit1->text(), Edit2->text());
    hide();
}

}  // namespace vt::app
