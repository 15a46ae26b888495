#include "windows/DiscEntryForm.h"

#include "data/Discussions.h"
#include "data/FieldLimits.h"
#include "platform/Platform.h"
#include "session/Rights.h"
#include "session/Session.h"
#include "ui/Ui.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace vt::app {

using ui::named;

namespace {
// Read states go to the project's members only, so a non-member's post is not listed for its
// author; without a word it would seem lost.
const QString kNotMemberNote = QStringLiteral(
    "Your message was stored. Only members of this project see it in their discussion list, and you are not a "
    "member.");
}  // namespace

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
    ui::limitLength(Edit1, data::limits::kMessageSubject);
    Memo1 = named(new QPlainTextEdit(this), "Memo1");
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* grid = new QGridLayout(this);
    auto* cancel = named(new QPushButton(QStringLiteral("Cancel"), this), "btnCancel");
    cancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button1);
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    grid->addLayout(buttons, 0, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Subject:"), this), 1, 0);
    grid->addWidget(Edit1, 1, 1);
    grid->addWidget(Memo1, 2, 0, 1, 2);
    grid->setRowStretch(2, 1);

    onEvent(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
    ui::focusOnShow(this, Edit1);
}

void TDisc_Entry_Form::Button1Click()
{
    // A post needs the user and the document that are shown now; there is no document once
    // it has left the outline (another project chosen, the document deleted).
    if (!m_session.isLoggedIn()) {
        platform().showMessage(rights::loggedOffRefusal());
        return;
    }
    if (m_session.CurrentDocumentID <= 0 || m_session.CurrentProjectID <= 0) {
        platform().showMessage(QStringLiteral("Select a Document in the Project Outline first"));
        return;
    }
    {
        HourglassCursor wait;
        const auto result = data::discussions::PostDiscussionMessage(m_session, Edit1->text(), Memo1->toPlainText(), 0);
        if (result.msgId <= 0)
            platform().showMessage(QStringLiteral("Cannot find message for hashcode:") + QString::number(result.tag));
        else if (!result.authorIsMember)
            platform().showMessage(kNotMemberNote);
    }
    emit posted();
    Edit1->clear();
    Memo1->clear();
    close();
}

}  // namespace vt::app
