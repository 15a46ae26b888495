#include "windows/CreateRequirementForm.h"

#include "ErrorDisplay.h"
#include "data/FieldLimits.h"
#include "session/Session.h"
#include "ui/Ui.h"

#include "richtext/RichEditor.h"

#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vt::app {

using ui::named;

TForm_CreateRequirement::TForm_CreateRequirement(Session& session, QWidget* parent)
    : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("Form_CreateRequirement"));
    setWindowTitle(QStringLiteral("Create Document"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setModal(false);
    setGeometry(404, 149, 680, 480);

    auto* column = new QVBoxLayout(this);
    auto* top = named(new QFrame(this), "Panel1");
    top->setFixedHeight(81);
    auto* topRow = new QHBoxLayout(top);
    Button1 = named(new QPushButton(QStringLiteral("Create"), top), "Button1");
    Button2 = named(new QPushButton(QStringLiteral("Create and Continue"), top), "Button2");
    Button2->setToolTip(QStringLiteral("Create new Document and keep Window Open"));
    Button1->setAutoDefault(false);
    Button2->setAutoDefault(false);
    Edit1 = ui::lineEdit(top, "Edit1");
    ui::limitLength(Edit1, data::limits::kDocumentTopic);
    auto* cancel = named(new QPushButton(QStringLiteral("Cancel"), top), "btnCancel");
    cancel->setAutoDefault(false);
    // Enter in the topic field creates the document, as "Create" does.
    Button1->setDefault(true);
    topRow->addWidget(Button1);
    topRow->addWidget(Button2);
    topRow->addWidget(cancel);
    topRow->addWidget(new QLabel(QStringLiteral("Document Topic:"), top));
    topRow->addWidget(Edit1, 1);
    column->addWidget(top);

    auto* description = named(new QGroupBox(QStringLiteral("Description"), this), "GroupBox1");
    // A new editor starts with the default style sheet, the one the main window's editor uses.
    RichEdit1 = named(new vt::rt::RichEditor(description), "RichEdit1");
    (new QVBoxLayout(description))->addWidget(RichEdit1);
    column->addWidget(description, 1);

    onEvent(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    onEvent(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
    ui::onShow(this, [this] { FormShow(); });
    ui::focusOnShow(this, Edit1);
}

void TForm_CreateRequirement::showForNewDocument()
{
    show();
    Edit1->clear();
    raise();
}

void TForm_CreateRequirement::FormShow()
{
    Edit1->clear();
    RichEdit1->clear();
    RichEdit1->setModified(false);
}

void TForm_CreateRequirement::FormHide() { FormShow(); }

void TForm_CreateRequirement::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    guarded([this] { FormHide(); });
}

bool TForm_CreateRequirement::create()
{
    if (!m_creator) return false;
    const QString temp = m_session.tempFilePath(QStringLiteral("TempReq.rvf"));
    QFile::remove(temp);
    RichEdit1->saveToFile(temp);
    if (!m_creator(Edit1->text(), *RichEdit1)) return false;
    Edit1->clear();
    RichEdit1->clear();
    RichEdit1->setModified(false);
    return true;
}

void TForm_CreateRequirement::Button1Click()
{
    if (!create()) return;
    hide();
    emit createdAndClosed();
}

void TForm_CreateRequirement::Button2Click() { create(); }

}  // namespace vt::app
