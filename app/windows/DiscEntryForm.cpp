#include "windows/DiscEntryForm.h"

#include "data/Discussions.h"
#include "platform/Platform.h"
#include "session/Session.h"
#include "ui/Ui.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace vt::app {

using ui::named;

TDisc_Entry_Form::TDisc_Entry_Form(Session& session, QWidget* parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("Disc_Entry_Form"));
    setWindowTitle(QStringLiteral("Create a New Discussion Item"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setModal(false);
    resize(480, 320);

    Button1 = named(new QPushButton(QStringLiteral("Post"), this), "Button1");
    Button1->setAutoDefault(false);
    Edit1 = ui::lineEdit(this, "Edit1");
    Memo1 = named(new QPlainTextEdit(this), "Memo1");
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* grid = new QGridLayout(this);
    grid->addWidget(Button1, 0, 0, 1, 2, Qt::AlignLeft);
    grid->addWidget(new QLabel(QStringLiteral("Subject:"), this), 1, 0);
    grid->addWidget(Edit1, 1, 1);
    grid->addWidget(Memo1, 2, 0, 1, 2);
    grid->setRowStretch(2, 1);

    onEvent(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
}

void TDisc_Entry_Form::Button1Click()
{
    // A message goes to the document shown in the open project; there is none once the
    // document has left the outline (another project chosen, the document deleted).
    if (m_session.CurrentDocumentID <= 0 || m_session.CurrentProjectID <= 0) {
        platform().showMessage(QStringLiteral("Select a Document in the Project Outline first"));
        return;
    }
    {
        HourglassCursor wait;
        const auto result = data::discussions::PostDiscussionMessage(m_session, Edit1->text(), Memo1->toPlainText(), 0);
        if (result.msgId <= 0)
            platform().showMessage(QStringLiteral("Cannot find message for hashcode:") + QString::number(result.tag));
    }
    emit posted();
    Edit1->clear();
    Memo1->clear();
    close();
}

}  // namespace vt::app
