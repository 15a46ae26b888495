#include "windows/panels/DiscussionPage.h"

#include "platform/Platform.h"
#include "session/Session.h"
#include "ui/Columns.h"
#include "ui/Ui.h"
#include "windows/DiscEntryChildForm.h"
#include "windows/DiscEntryForm.h"
#include "windows/Forms.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include <vector>

namespace vt::app {

using data::discussions::TMyRec;
using ui::named;

namespace {

// The state picture of a message node (1 unread, 2 read) is kept in this role as well.
constexpr int kStateRole = Qt::UserRole + 1;

// A node of the tree owns the record of its message.
class MessageNode : public QTreeWidgetItem {
public:
    explicit MessageNode(TMyRec rec) : m_rec(std::move(rec))
    {
        // Subject and author are isolated: an override in a subject must not reverse the
        // author and date after it.
        setText(0, ui::isolated(m_rec.Subject) + QStringLiteral("     (") + ui::isolated(m_rec.Name) +
                       QStringLiteral("  ...") + m_rec.Created + QStringLiteral(" )"));
        setData(0, kStateRole, m_rec.state);
        setIcon(0, stateIcon(m_rec.state));
    }
    const TMyRec& rec() const { return m_rec; }
    // The whole body in place of the preview the tree was loaded with.
    void setBody(QString body)
    {
        m_rec.msg = std::move(body);
        m_rec.msgCut = false;
    }

private:
    // Green dot: unread; grey dot: read; nothing for any other state. Drawn once each and shared
    // by every node: a discussion may have many thousand nodes.
    static QIcon stateIcon(int state)
    {
        static const QIcon icons[] = {drawStateIcon(0), drawStateIcon(1), drawStateIcon(2)};
        return icons[state == 1 || state == 2 ? state : 0];
    }
    static QIcon drawStateIcon(int state)
    {
        QPixmap dot(16, 16);
        dot.fill(Qt::transparent);
        if (state == 1 || state == 2) {
            QPainter p(&dot);
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(Qt::NoPen);
            p.setBrush(state == 1 ? QColor(0, 176, 0) : QColor(150, 150, 150));
            p.drawEllipse(QRectF(3.5, 3.5, 9, 9));
        }
        return QIcon(dot);
    }

    TMyRec m_rec;
};

const MessageNode* messageOf(const QTreeWidgetItem* item) { return dynamic_cast<const MessageNode*>(item); }
MessageNode* messageOf(QTreeWidgetItem* item) { return dynamic_cast<MessageNode*>(item); }

QLabel* caption(const char* text, QWidget* parent)
{
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

}  // namespace

DiscussionPage::DiscussionPage(Session& session, QWidget* parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("Tab_Req_Discussions"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(2, 2, 2, 2);

    auto* buttons = new QHBoxLayout;
    Button4 = named(new QPushButton(QStringLiteral("Post New..."), this), "Button4");
    But_disc_reply = named(new QPushButton(QStringLiteral("Reply..."), this), "But_disc_reply");
    But_disc_reply->setEnabled(false);
    But_Disc_Refresh = named(new QPushButton(QStringLiteral("Refresh"), this), "But_Disc_Refresh");
    for (QPushButton* b : {Button4, But_disc_reply, But_Disc_Refresh})
        buttons->addWidget(b);
    buttons->addStretch(1);
    column->addLayout(buttons);

    auto* split = named(new QSplitter(Qt::Horizontal, this), "Disc_Splitter");
    column->addWidget(split, 1);

    auto* treeArea = new QWidget(split);
    auto* treeColumn = ui::tight(new QVBoxLayout(treeArea));
    auto* header = named(new QHeaderView(Qt::Horizontal, treeArea), "HeaderControl1");
    auto* headerModel = new QStandardItemModel(0, 1, header);
    headerModel->setHorizontalHeaderLabels({QStringLiteral("Subject:                ( From    ....Date )")});
    header->setModel(headerModel);
    header->resizeSection(0, 300);
    header->setStretchLastSection(false);
    header->setFixedHeight(header->fontMetrics().height() + 8);
    treeColumn->addWidget(header);
    DiscTree = named(new QTreeWidget(treeArea), "DiscTree");
    DiscTree->setHeaderHidden(true);
    DiscTree->setColumnCount(1);
    ui::readableColumns(DiscTree);
    treeColumn->addWidget(DiscTree, 1);

    auto* messageArea = new QWidget(split);
    auto* fields = new QGridLayout(messageArea);
    fields->setContentsMargins(4, 0, 0, 0);
    Lab_Disc_From = named(new QLabel(messageArea), "Lab_Disc_From");
    Lab_Disc_Subject = named(new QLabel(messageArea), "Lab_Disc_Subject");
    Lab_Disc_Date = named(new QLabel(messageArea), "Lab_Disc_Date");
    for (QLabel* l : {Lab_Disc_From, Lab_Disc_Subject, Lab_Disc_Date})
        ui::dataLabel(l);
    fields->addWidget(caption("From:", messageArea), 0, 0);
    fields->addWidget(Lab_Disc_From, 0, 1);
    fields->addWidget(caption("Subject:", messageArea), 1, 0);
    fields->addWidget(Lab_Disc_Subject, 1, 1);
    fields->addWidget(caption("Date:", messageArea), 2, 0);
    fields->addWidget(Lab_Disc_Date, 2, 1);
    Discussion_Text = named(new QPlainTextEdit(messageArea), "Discussion_Text");
    Discussion_Text->setReadOnly(true);
    fields->addWidget(Discussion_Text, 3, 0, 1, 2);
    fields->setRowStretch(3, 1);
    fields->setColumnStretch(1, 1);
    split->addWidget(treeArea);
    split->addWidget(messageArea);
    split->setSizes({320, 400});

    onEvent(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
    onEvent(But_disc_reply, &QPushButton::clicked, this, [this] { But_disc_replyClick(); });
    onEvent(But_Disc_Refresh, &QPushButton::clicked, this, [this] { But_Disc_RefreshClick(); });
    connect(DiscTree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { guarded([&] { DiscTreeChange(current); }); });
}

void DiscussionPage::But_Disc_RefreshClick()
{
    HourglassCursor wait;
    // Rebuilding is no selection by the user: nothing is shown or marked read meanwhile.
    const QSignalBlocker quiet(DiscTree);
    ui::clearTree(DiscTree);
    // The whole discussion in one statement, arranged here: a node per message, at the level
    // threadOrder gives it, beneath the last node shown one level up.
    std::vector<QTreeWidgetItem*> lastAtLevel;
    for (data::discussions::ShownMessage& shown : data::discussions::threadOrder(data::discussions::documentMessages(
             m_session, m_session.CurrentDocumentID, m_session.CurrentUser))) {
        auto* node = new MessageNode(std::move(shown.rec));
        const size_t level = static_cast<size_t>(shown.level);
        if (level == 0)
            DiscTree->addTopLevelItem(node);
        else
            lastAtLevel[level - 1]->addChild(node);
        lastAtLevel.resize(level + 1);
        lastAtLevel[level] = node;
    }
    DiscTree->expandAll();
}

void DiscussionPage::DiscTreeChange(QTreeWidgetItem* node)
{
    if (!messageOf(node)) return;
    ShowDiscussionMessage(node);
    But_disc_reply->setEnabled(true);
}

void DiscussionPage::ShowDiscussionMessage(QTreeWidgetItem* node)
{
    MessageNode* message = messageOf(node);
    if (!message) return;
    if (message->rec().msgCut) message->setBody(data::discussions::messageBody(m_session, message->rec().msgID));
    const TMyRec& rec = message->rec();
    Lab_Disc_Subject->setText(rec.Subject);
    Lab_Disc_From->setText(rec.Name);
    Lab_Disc_Date->setText(rec.Created);
    ui::setStoredText(Discussion_Text, rec.msg);
    // The node keeps its unread dot until the next reload.
    if (rec.state == 1) data::discussions::markRead(m_session, rec.msgID, m_session.CurrentUser);
}

void DiscussionPage::Button4Click()
{
    if (TDisc_Entry_Form* form = forms().Disc_Entry_Form) form->show();
}

void DiscussionPage::But_disc_replyClick()
{
    if (!selectedMessage()) return;
    if (TDisc_entry_Child_Form* form = forms().Disc_entry_Child_Form) form->show();
}

void DiscussionPage::clearMessage()
{
    for (QLabel* l : {Lab_Disc_From, Lab_Disc_Subject, Lab_Disc_Date})
        l->clear();
    Discussion_Text->clear();
}

void DiscussionPage::clear()
{
    {
        const QSignalBlocker quiet(DiscTree);
        ui::clearTree(DiscTree);
    }
    clearMessage();
    But_disc_reply->setEnabled(false);
}

bool DiscussionPage::selectMessage(qint32 msgId)
{
    for (QTreeWidgetItemIterator it(DiscTree); *it; ++it) {
        const MessageNode* node = messageOf(*it);
        if (node && node->rec().msgID == msgId) {
            DiscTree->setCurrentItem(*it);
            DiscTree->scrollToItem(*it);
            return true;
        }
    }
    return false;
}

std::optional<TMyRec> DiscussionPage::selectedMessage() const
{
    const MessageNode* message = messageOf(DiscTree->currentItem());
    if (!message || !message->isSelected()) return std::nullopt;
    return message->rec();
}

}  // namespace vt::app
