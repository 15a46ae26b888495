#pragma once
// The document panel of the content area: the pages Details, Discussion and Attachments above,
// the ruler and the document editor below, with a splitter between them. It shows a document's
// details and body and stores them back.

#include <QFrame>

class QComboBox;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPrinter;
class QSplitter;
class QTabWidget;

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
class Session;

class DocumentPanel : public QFrame {
    Q_OBJECT
public:
    DocumentPanel(Session& session, QWidget* parent = nullptr);

    // The page area above the editor gets its design height of 250.
    void resetPageAreaHeight();

    // Fills the details and the body of the document (Session::CurrentDocumentID := id) and
    // applies the owner rule.
    void ShowDocument(qint32 requirementId);
    // Stores the topic and the body of the document the panel shows when the user changed
    // them; one "UPD_DOC" record per save.
    void SaveDocument();
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
    // The RequirementID the panel shows; 0 for none.
    qint32 shownId() const { return m_documentId; }
    // The owner selector's text: the document owner of the role rules.
    QString ownerText() const;
    // The topic field's text.
    QString topicText() const;

    // After a document was shown: reloads the attachment list or the discussion once more when
    // its page is the active one.
    void showActivePage();
    DiscussionPage& discussionPage() { return *m_discussion; }
    AttachmentsPage& attachmentsPage() { return *m_attachments; }

    // The document editor, for the formatting toolbar's conversions and caret-follow.
    vt::rt::RichEditor& editor() { return *RichEdit1; }
    // Prints the shown body: "Nothing to Print" for an empty one; otherwise lays it out, asks
    // the print dialog for range, copies and collation and prints under the topic as job title.
    void Print1Click();
    // Binds the print object to the editor and lays the body out for printer; the page count.
    int PreparePrint(QPrinter& printer);

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
    // The shown document became modified, or not modified any more (saved, shown again, cleared).
    void unsavedChangesChanged(bool unsaved);
    // "Bulleted List" or "Numbered List" of the editor's context menu (FormatToolbar::ListCode).
    void listCommand(int code);

private:
    void applyOwnerRule(const QString& owner);
    void showBody();
    void showMissing(const QString& message);
    // Emits unsavedChangesChanged when the state differs from the last one told.
    void tellUnsavedChanges();

    Session& m_session;
    // The document the fields show (0 for none) and its owner as stored.
    qint32 m_documentId = 0;
    QString m_storedOwner;
    bool m_resizePending = true;  // the page area takes its height when next shown
    QSplitter* m_pageSplitter = nullptr;
    QFrame* Pan_tabContent = nullptr;
    QTabWidget* Tab_Control = nullptr;
    QWidget* Tab_Details = nullptr;
    DiscussionPage* m_discussion = nullptr;    // "Tab_Req_Discussions"
    AttachmentsPage* m_attachments = nullptr;  // "Attachments"
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
    ui::FindBar* m_findBar = nullptr;
    bool m_toldUnsaved = false;
};

}  // namespace vt::app
