#pragma once
// The entry form for a new discussion item of the shown document: a subject and a text, posted
// as a new thread. Created once at start-up and shown when needed.

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vt::app {

class Session;

class TDisc_Entry_Form : public QDialog {
    Q_OBJECT
public:
    explicit TDisc_Entry_Form(Session& session, QWidget* parent = nullptr);

    // "Post": stores the item, empties the form and closes it.
    void Button1Click();

signals:
    // A message was stored: the discussion shown is to be reloaded.
    void posted();

private:
    Session& m_session;
    QPushButton* Button1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
};

}  // namespace vt::app
