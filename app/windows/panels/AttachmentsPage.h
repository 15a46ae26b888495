#pragma once
// The Attachments page of the document panel: the shown document's references (web links and
// file paths) with their context menu to add and delete them, and opening one on double-click.

#include <QWidget>

class QMenu;
class QTreeWidget;

namespace vt::app {

class Session;

class AttachmentsPage : public QWidget {
    Q_OBJECT
public:
    explicit AttachmentsPage(Session& session, QWidget* parent = nullptr);

    // Reloads the list of the session's current document.
    void AttachmentsShow();
    // Adds a reference of kind to the list and to the document; a failed insert leaves no row.
    void AddAttachment(int kind, const QString& reference, const QString& description);
    void AddReference1Click();
    void AddFile1Click();
    void Delete2Click();
    // Opens the selected reference with the desktop, when it is safe to.
    void ListView1DblClick();
    // Empties the list (Log Off).
    void clear();

private:
    Session& m_session;
    QTreeWidget* ListView1 = nullptr;
    QMenu* AttachmentsPopUp = nullptr;
};

}  // namespace vt::app
