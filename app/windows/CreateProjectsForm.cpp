#include "windows/CreateProjectsForm.h"

#include "ErrorDisplay.h"
#include "data/FieldLimits.h"
#include "data/Projects.h"
#include "platform/Platform.h"
#include "ui/Colours.h"
#include "ui/Ui.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace vt::app {

using ui::named;

TCreateProjectsForm::TCreateProjectsForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("CreateProjectsForm"));
    setWindowTitle(QStringLiteral("Create New Project Form"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    setModal(false);
    setAutoFillBackground(true);
    // The tooltip yellow on the window only; its edits keep the desktop's colours.
    QPalette back = palette();
    const QColor yellow = ui::partBackground(ui::kTooltipYellow, back);
    back.setColor(QPalette::Window, yellow);
    back.setColor(QPalette::WindowText, ui::textOn(yellow));
    setPalette(back);
    setGeometry(480, 199, 327, 244);
    setFixedSize(327, 244);

    auto* grid = new QGridLayout(this);
    ProjectTypeName = named(new QLabel(QStringLiteral("Enter a Name and Brief Description:"), this), "ProjectTypeName");
    ProjectTypeName->setTextFormat(Qt::PlainText);
    QFont bold = ProjectTypeName->font();
    bold.setBold(true);
    ProjectTypeName->setFont(bold);
    Edit1 = ui::lineEdit(this, "Edit1");
    ui::limitLength(Edit1, data::limits::kProjectName);
    Memo1 = named(new QPlainTextEdit(this), "Memo1");
    Button1 = named(new QPushButton(QStringLiteral("Create Project"), this), "Button1");
    Button2 = named(new QPushButton(QStringLiteral("Cancel"), this), "Button2");
    Button1->setAutoDefault(false);
    Button2->setAutoDefault(false);
    grid->addWidget(ProjectTypeName, 0, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Name:"), this), 1, 0);
    grid->addWidget(Edit1, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Description:"), this), 2, 0, Qt::AlignTop);
    grid->addWidget(Memo1, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    grid->addLayout(buttons, 3, 0, 1, 2);

    onEvent(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    onEvent(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    ui::onShow(this, [this] { FormShow(); });
    ui::focusOnShow(this, Edit1);
}

void TCreateProjectsForm::showForTemplate(int projectTemplate)
{
    m_projectTemplate = projectTemplate;
    ProjectTypeName->setText(data::projects::projectTemplate(projectTemplate).heading);
    show();
    raise();
}

void TCreateProjectsForm::FormShow()
{
    Memo1->clear();
    Edit1->clear();
}

void TCreateProjectsForm::FormHide() { FormShow(); }

void TCreateProjectsForm::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    guarded([this] { FormHide(); });
}

void TCreateProjectsForm::Button1Click()
{
    if (Edit1->text().toUcs4().size() < 3) {
        platform().showMessage(QStringLiteral("Invalid Project Name"));
        return;
    }
    if (m_creator && m_creator(Edit1->text(), Memo1->toPlainText(), m_projectTemplate)) hide();
}

void TCreateProjectsForm::Button2Click() { hide(); }

}  // namespace vt::app
