#pragma once
// The "Create Document" dialog: a topic and a body for a new document in the outline. Created
// once at start-up; modeless, so that with "Create and Continue" each creation takes the
// outline's selection of that moment.

#include <QDialog>

#include <functional>

class QLineEdit;
class QPushButton;

namespace vt::rt {
class RichEditor;
}

namespace vt::app {

class Session;

class TForm_CreateRequirement : public QDialog {
    Q_OBJECT
public:
    // Stores a document with the topic and the body and shows it in the outline; false when it
    // was refused (the refusal already shown), so that the dialog keeps what was typed.
    using Creator = std::function<bool(const QString& topic, vt::rt::RichEditor& body)>;

    explicit TForm_CreateRequirement(Session& session, QWidget* parent = nullptr);

    // Set once at start-up: what "Create" does with the dialog's contents.
    void setCreator(Creator creator) { m_creator = std::move(creator); }
    // Shows the dialog for the next document, with an empty topic.
    void showForNewDocument();

    // "Create" closes the dialog, "Create and Continue" keeps it open for the next document.
    void Button1Click();
    void Button2Click();
    // Showing and hiding empty the topic and the editor.
    void FormShow();
    void FormHide();

signals:
    // "Create" stored a document and closed the dialog.
    void createdAndClosed();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    // True when the document was created.
    bool create();

    Session& m_session;
    Creator m_creator;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QLineEdit* Edit1 = nullptr;
    vt::rt::RichEditor* RichEdit1 = nullptr;
};

}  // namespace vt::app
