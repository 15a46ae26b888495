#include "windows/DiscEntryChildForm.h"

#include "data/FieldLimits.h"
#include "platform/Platform.h"
#include "session/Rights.h"
#include "session/Session.h"
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

namespace {
// Read states go to the project's members only, so a non-member's post is not listed for its
// author; without a word it would seem lost.
const QString kNotMemberNote = QStringLiteral(
    "Your message was stored. Only members of this project see it in their discussion list, and you are not a "
    "member.");
}  // namespace

TDisc_entry_Child_Form::TDisc_entry_Child_Form(Session& session, QWidget* parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("Disc_entry_Child_Form"));
    setWindowTitle(QStringLiteral("Discussion Item Reply Entry Form"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setModal(false);
    resize(480, 420);

    Button1 = named(new QPushButton(QStringLiteral("Post Reply"), this), "Button1");
    Button1->setAutoDefault(false);
    Lab_Requirement = named(new QLabel(this), "Lab_Requirement");
    ui::dataLabel(Lab_Requirement);
    Lab_Subject = ui::lineEdit(this, "Lab_Subject");
    ui::limitLength(Lab_Subject, data::limits::kMessageSubject);
    Memo1 = named(new QPlainTextEdit(this), "Memo1");
    Memo2 = named(new QPlainTextEdit(this), "Memo2");
    Memo2->setReadOnly(true);
    Memo2->setFocusPolicy(Qt::NoFocus);
    ui::setPartBackground(Memo2, ui::kTooltipYellow);

    auto* grid = new QGridLayout(this);
    auto* cancel = named(new QPushButton(QStringLiteral("Cancel"), this), "btnCancel");
    cancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button1);
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    grid->addLayout(buttons, 0, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Topic:"), this), 1, 0);
    grid->addWidget(Lab_Requirement, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Subject:"), this), 2, 0);
    grid->addWidget(Lab_Subject, 2, 1);
    grid->addWidget(Memo1, 3, 0, 1, 2);
    grid->addWidget(Memo2, 4, 0, 1, 2);
    grid->setRowStretch(3, 2);
    grid->setRowStretch(4, 1);

    onEvent(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
    ui::onShow(this, [this] { FormShow(); });
    ui::focusOnShow(this, Memo1);
}

void TDisc_entry_Child_Form::setSource(SelectedMessage selected, std::function<QString()> topic)
{
    m_selected = std::move(selected);
    m_topic = std::move(topic);
}

void TDisc_entry_Child_Form::FormShow()
{
    Memo1->clear();
    const auto message = m_selected ? m_selected() : std::nullopt;
    if (message) {
        Button1->setText(QStringLiteral("Post Reply to ") + QString(message->Name).replace('&', QStringLiteral("&&")));
        Lab_Subject->setText(message->Subject);
        ui::setStoredText(Memo2, message->msg);
    }
    Lab_Requirement->setText(m_topic ? m_topic() : QString());
}

void TDisc_entry_Child_Form::Button1Click()
{
    // A post needs the user and the document that are shown now.
    if (!m_session.isLoggedIn()) {
        platform().showMessage(rights::loggedOffRefusal());
        return;
    }
    if (m_session.CurrentDocumentID <= 0) {
        platform().showMessage(QStringLiteral("Select a Document in the Project Outline first"));
        return;
    }
    // The reply goes under the message selected now, which may differ from the one shown.
    const auto parent = m_selected ? m_selected() : std::nullopt;
    if (!parent) {
        platform().showMessage(QStringLiteral("Select the message to reply to in the discussion."));
        return;
    }
    {
        HourglassCursor wait;
        const auto result = data::discussions::PostDiscussionMessage(m_session, Lab_Subject->text(),
                                                                     Memo1->toPlainText(), parent->msgID);
        if (result.msgId <= 0)
            platform().showMessage(QStringLiteral("Cannot find message for hashcode:") + QString::number(result.tag));
        else if (!result.authorIsMember)
            platform().showMessage(kNotMemberNote);
    }
    emit posted();
    Button1->setText(QStringLiteral("Post Reply to ..."));
    Lab_Requirement->clear();
    Lab_Subject->clear();
    Memo1->clear();
    Memo2->clear();
    close();
}

}  // namespace vt::app
