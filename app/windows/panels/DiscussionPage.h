#pragma once
// The Discussion page of the document panel: the shown document's messages as a tree of
// threads with the user's read states, the selected message in full, and the buttons that
// post a new item, reply and reload.

#include "data/Discussions.h"

#include <QWidget>

#include <optional>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace vt::app {

class Session;

class DiscussionPage : public QWidget {
    Q_OBJECT
public:
    explicit DiscussionPage(Session& session, QWidget* parent = nullptr);

    // Reloads the tree of the session's current document for the session's user.
    void But_Disc_RefreshClick();
    void Button4Click();
    void But_disc_replyClick();
    void DiscTreeChange(QTreeWidgetItem* node);
    // Shows the message of node and marks it read for the user when it is unread.
    void ShowDiscussionMessage(QTreeWidgetItem* node);

    // Empties the message fields (a document is about to be shown).
    void clearMessage();
    // Empties the tree and the message fields and disables "Reply..." (Log Off).
    void clear();
    // Selects the message with this id in the tree (which shows it); false when it is not there.
    bool selectMessage(qint32 msgId);
    // The message selected in the tree, if any.
    std::optional<data::discussions::TMyRec> selectedMessage() const;

private:
    Session& m_session;
    QPushButton* Button4 = nullptr;
    QPushButton* But_disc_reply = nullptr;
    QPushButton* But_Disc_Refresh = nullptr;
    QTreeWidget* DiscTree = nullptr;
    QLabel* Lab_Disc_From = nullptr;
    QLabel* Lab_Disc_Subject = nullptr;
    QLabel* Lab_Disc_Date = nullptr;
    QPlainTextEdit* Discussion_Text = nullptr;
};

}  // namespace vt::app
