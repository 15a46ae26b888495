#pragma once
// The document panel of the content area: the pages Details, Discussion, Attachments and
// History above,
// the ruler and the document editor below, with a splitter between them. It shows a document's
// details and body and stores them back.

#include "data/Documents.h"
#include "data/Presence.h"

#include <QFrame>

#include <vector>

class QComboBox;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPrinter;
class QSplitter;
class QTabWidget;
class QTimer;

namespace vt::rt {
class DocPrint;
class RichEditor;
class Ruler;
}  // namespace vt::rt

namespace vt::app {

namespace ui {
class FindBar;
}

class AttachmentsPage;
class DiscussionPage;
class HistoryPage;
class EditingLine;
class Session;

namespace recovery {
struct Entry;
}

class DocumentPanel : public QFrame {
    Q_OBJECT
public:
    DocumentPanel(Session& session, QWidget* parent = nullptr);

    // The page area above the editor gets this height (its design height of 250 by default).
    void resetPageAreaHeight(int height = 250);

    // Fills the details and the body of the document (Session::CurrentDocumentID := id) and
    // applies the owner rule.
    void ShowDocument(qint32 requirementId);
    // Stores what the user changed of the shown document (the topic only when it changed, the
    // body when edited) as its next revision; one "UPD_DOC" record per save. When another user
    // stored a revision since the document was loaded, or deleted it, nothing is overwritten:
    // the user chooses how to go on. False when the user chose to stay with the text kept and
    // not stored (the caller then stays too).
    bool SaveDocument();
    // "Restore this version" of the History page: stores the kept revision's body (and, for the
    // document's owner, its topic) as a new revision, after the shown edits are stored.
    void restoreRevision(qint32 revision);
    // Stores the body of a just-created document: in files mode the dialog's editor is saved as
    // the document's body file; in database mode the body row is inserted from the file the
    // dialog wrote (this instance's "TempReq.rvf" in the work folder).
    void storeNewBody(qint32 requirementId, vt::rt::RichEditor& dialogEditor);
    // Writes the shown body as RTF to path; the modified state stays as it was.
    void exportRtf(const QString& path);
    // Writes the shown body as a PDF file at path, laid out as for printing, with the document
    // topic as the PDF title; the modified state stays as it was. False, with nothing written,
    // for an empty body.
    bool exportPdf(const QString& path);
    // Opens the find bar over the editor.
    void openFind();
    // Whether the shown document has changes not yet stored (topic or body).
    bool hasUnsavedChanges() const;

    // Re-evaluates the owner selector when the Details page is shown.
    void Tab_DetailsShow();
    // Stores an owner chosen from the selector's entries.
    void Combo_OwnerChange(const QString& chosen);
    // Empties the panel; nothing is stored for it afterwards (Log Off, document gone).
    void clear();
    // The owner selector's entries are read again at the next owned document (the project's
    // members may change while its own node is shown).
    void forgetMembers() { m_membersProject = -1; }
    // The RequirementID the panel shows; 0 for none.
    qint32 shownId() const { return m_documentId; }
    // The owner selector's text: the document owner of the role rules.
    QString ownerText() const;
    // The topic field's text.
    QString topicText() const;

    // After a document was shown: reloads the attachment list or the discussion once more when
    // its page is the active one.
    void showActivePage();
    // Turns to the Discussion page and selects the message there; to the Attachments page.
    bool showDiscussionMessage(qint32 msgId);
    void showAttachmentsPage();
    DiscussionPage& discussionPage() { return *m_discussion; }
    HistoryPage& historyPage() { return *m_history; }
    AttachmentsPage& attachmentsPage() { return *m_attachments; }

    // The document editor, for the formatting toolbar's conversions and caret-follow.
    vt::rt::RichEditor& editor() { return *RichEdit1; }
    // Prints the shown body: "Nothing to Print" for an empty one; otherwise lays it out, asks
    // the print dialog for range, copies and collation and prints under the topic as job title.
    void Print1Click();
    // Binds the print object to the editor and lays the body out for printer; the page count.
    int PreparePrint(QPrinter& printer);

    // Who is editing: the document whose topic or body the user has changed and not stored
    // (0: none), carried by the presence stamp; the line above the editor names the others
    // who change the shown document, from the poll's list of online users.
    qint32 editingDocument() const;
    void showEditors(const std::vector<data::presence::OnlineUser>& online);
    // The recovery journal: every few seconds (RecoveryTimer) unsaved edits of the shown document
    // that changed since the last write go to the user's journal file; the file goes once nothing
    // is left unsaved (saved, moved on, emptied).
    void writeRecoveryJournal();
    // Puts recovered edits into the shown document (entry's document) as unsaved, modified
    // edits; the topic only when the user may change it. The journal at path goes on with them.
    // False, with nothing changed, when the document's body is missing.
    bool recoverEdits(const recovery::Entry& entry, const QString& journalPath);

protected:
    void showEvent(QShowEvent* event) override;
    // RichEdit1KeyDown: Ctrl+B runs "Bold" and Ctrl+U "Underline" of the context menu.
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // The topic field's text changed (by the user or when the panel is filled).
    void topicChanged(const QString& topic);
    // "Bold" (1), "Italic" (2) or "Underline" (3) of the editor's context menu or its shortcut.
    void formatCommand(int code);
    // Progress of laying out and printing, for the status bar.
    void progressText(const QString& text);
    // The user's text of a deleted document was stored as a new document: the outline changed.
    void documentAdded(qint32 requirementId);
    // The shown document became modified, or not modified any more (saved, shown again, cleared).
    void unsavedChangesChanged(bool unsaved);
    // "Bulleted List" or "Numbered List" of the editor's context menu (FormatToolbar::ListCode).
    void listCommand(int code);

private:
    void applyOwnerRule(const QString& owner);
    // Lists the project's members in the owner selector (read when not yet read for this
    // project) and shows `owner` as its text.
    void fillOwnerList(const QString& owner);
    // Marks or clears at once the document the user is changing, when that changed, and drops
    // the journal when nothing is left unsaved.
    void followEditing();
    void removeJournal();
    void showBody();
    void showMissing(const QString& message);
    // One attempt to store the edits as the next revision of the loaded one.
    data::documents::SaveResult storeRevision(bool topicModified, bool bodyModified);
    // The edits are stored: the panel is at the new revision.
    void stored(qint32 revision, bool topicModified);
    // The shown document was deleted meanwhile: tells by whom and lets the user store the text
    // as a new document in the same place or drop it; false when the user stays.
    bool resolveDeleted();
    bool storeAsNewDocument();
    // Shows the History page with a revision compared against the current text.
    void showRevision(qint32 revision);
    // Emits unsavedChangesChanged when the state differs from the last one told.
    void tellUnsavedChanges();

    Session& m_session;
    // The document the fields show (0 for none) and its owner as stored.
    qint32 m_documentId = 0;
    QString m_storedOwner;
    // The project whose members the owner selector lists; -1 when they must be read again.
    qint32 m_membersProject = -1;
    // The row as loaded (or last stored): its revision is the one a save is conditional on.
    data::documents::Details m_loaded;
    bool m_resizePending = true;  // the page area takes its height when next shown
    int m_pageAreaHeight = 250;
    QSplitter* m_pageSplitter = nullptr;
    QFrame* Pan_tabContent = nullptr;
    QTabWidget* Tab_Control = nullptr;
    QWidget* Tab_Details = nullptr;
    DiscussionPage* m_discussion = nullptr;    // "Tab_Req_Discussions"
    AttachmentsPage* m_attachments = nullptr;  // "Attachments"
    HistoryPage* m_history = nullptr;          // "Tab_History"
    QLineEdit* Edit_RequireMentName = nullptr;
    QComboBox* Combo_Owner = nullptr;
    QLineEdit* Edit_Version = nullptr;
    QComboBox* Combo_STATUS = nullptr;
    QComboBox* Combo_Priority = nullptr;
    QPlainTextEdit* Memo2 = nullptr;
    vt::rt::Ruler* Ruler1 = nullptr;
    vt::rt::RichEditor* RichEdit1 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    vt::rt::DocPrint* DocPrint1 = nullptr;

    EditingLine* m_editingLine = nullptr;
    QTimer* m_journalTimer = nullptr;
    // The document marked as being changed (0: none), and for whom: the mark is cleared after
    // Log Off has already emptied CurrentUser.
    qint32 m_markedDocument = 0;
    QString m_markedUser;
    // What the shown text is based on (the document's last save when it was loaded or saved).
    QString m_basedOn;
    // The journal file written for the shown edits (empty: none), whether the edits changed
    // since, and whether a failing write was reported already.
    QString m_journalPath;
    bool m_journalDirty = false;
    bool m_journalFailureShown = false;
    ui::FindBar* m_findBar = nullptr;
    bool m_toldUnsaved = false;
};

}  // namespace vt::app
