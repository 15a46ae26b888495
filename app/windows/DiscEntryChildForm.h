#pragma once
// The entry form for a reply: shows the message replied to and the document's topic, and posts
// the reply under the message selected in the discussion when "Post Reply" is pressed. Created
// once at start-up and shown when needed.

#include "data/Discussions.h"

#include <QDialog>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vt::app {

class Session;

class TDisc_entry_Child_Form : public QDialog {
    Q_OBJECT
public:
    explicit TDisc_entry_Child_Form(Session& session, QWidget* parent = nullptr);

    // Where the form reads the message selected in the discussion and the document's topic.
    using SelectedMessage = std::function<std::optional<data::discussions::TMyRec>()>;
    void setSource(SelectedMessage selected, std::function<QString()> topic);

    // "Post Reply to ...": stores the reply, empties the form and closes it.
    void Button1Click();

signals:
    // A reply was stored: the discussion shown is to be reloaded.
    void posted();

private:
    void FormShow();

    Session& m_session;
    SelectedMessage m_selected;
    std::function<QString()> m_topic;
    QPushButton* Button1 = nullptr;
    QLabel* Lab_Requirement = nullptr;
    QLineEdit* Lab_Subject = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QPlainTextEdit* Memo2 = nullptr;
};

}  // namespace vt::app
