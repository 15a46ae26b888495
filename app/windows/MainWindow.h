#pragma once
// The main window: a host for the formatting toolbar, the navigator and the content area with
// its project, category and document panels (each in its own file), the menus, the status bar
// and the presence timer. Its handlers delegate to the panels, the data modules and the session.

#include "data/Search.h"

#include <QMainWindow>

#include <memory>

class QAction;
class QPoint;
class QFrame;
class QLabel;
class QSplitter;
class QTimer;

namespace vt::rt {
class RichEditor;
}

namespace vt::app {

class CategoryPanel;
class DocumentPanel;
class FormatToolbar;
class NavigatorPanel;
class ProjectPanel;
class SearchBox;
class Session;
struct Forms;

class TVeltrana : public QMainWindow {
    Q_OBJECT
public:
    explicit TVeltrana(Session& session, QWidget* parent = nullptr);
    ~TVeltrana() override;

    // The creation steps, also repeated by Log Off.
    void FormCreate();
    void RunCleanup();

    void ExitMenuClick();
    void Console1Click();
    void About1Click();
    void Options1Click();
    void PopupMenu1Popup();
    // Commands limited by role: each tests its rule when invoked and refuses with a message.
    void UserManagement1Click();
    void Deleteproject2Click();

    void Loggoff1Click();
    void LoadProjectList();

    // The project list and the outline.
    // typing: the change comes from a key typed into the selector, which keeps the focus so
    // that the next key goes there too.
    void Combo_projectsChange(bool typing = false);
    qint32 GetProjectID(const QString& name);
    // Rebuilds the outline of the project with this id (0: none, only the root) under the
    // root caption, and fills the project panel; CurrentProjectID becomes the id, or 0 when
    // the project is gone.
    void LoadProjectOutline(qint32 projectId, const QString& rootCaption);
    void ProjectTreeChange();
    void ShowNodePanel();
    void ShowCatagory();
    void ListBox1Click();
    void ExpandAll1Click();
    void CollapseAll1Click();
    void refreshlist1Click();
    // Outline editing. "Delete Document" is the owner's, "Delete Catagory" and "Delete project"
    // the administrator's or the project manager's; each asks before deleting.
    void Delete1Click();
    void DeleteCatagory1Click();
    void NewReq1Click();
    void NewSubRequirement1Click();
    void AddCatagory1Click();
    // "Create" of the "Create Document" dialog: the document goes into the outline beside or
    // below the selected node. False, with a message and nothing stored, when neither a
    // category nor a document is selected.
    bool CreateDocument(const QString& topic, vt::rt::RichEditor& body);
    // Stores the document and its body; the RequirementID of the new row.
    qint32 InsertDocument(const QString& topic, vt::rt::RichEditor& body);
    // The id of a just-inserted document, from the server's insert id; throws when there is none.
    qint32 GetDocumentID(qint32 insertId);
    void AddDocumentNode(qint32 requirementId);
    // Selects and shows the document created last, once its dialog has closed ("Create"); with
    // "Create and Continue" the selection stays, so that the next document goes to the same place.
    void selectCreatedDocument();
    // A node dropped at a point of the outline's viewport: moves a document under the target.
    void ProjectTreeDragDrop(const QPoint& viewportPoint);
    // Another user changed the outline under a command: shows the message and reloads the
    // outline; documentGone drops the edits of the shown document, whose row is gone.
    void outlineChangedElsewhere(const QString& message, bool documentGone);

    // "New Project": the five templates open the create-project dialog.
    void Blank1Click();
    void BusPlanClick();
    void Concept1Click();
    void MarketingPlan1Click();
    void SoftwareDevelopment2Click();
    // Stores the project with its template's categories, the creator as manager and first
    // member, and opens it. False, with a message and nothing stored, when a project of that
    // name exists already.
    bool CreateProject(const QString& name, const QString& description, int projectTemplate);

signals:
    // The "Create Document" dialog is wanted for the next document.
    void documentDialogRequested();
    // The create-project dialog is wanted for a template (0 to 4).
    void projectDialogRequested(int projectTemplate);

public:
    // Project details and document bodies.
    void ShowProjectInfo(qint32 projectId);
    void SaveProjectInfo();
    void SaveCatagory();
    void ShowDocument();
    // False when the user chose to stay with the text of a document changed meanwhile.
    bool SaveDocument();
    void Save1Click();
    void btnSaveClick();
    // Exports the shown body as RTF to a file the user names; false when cancelled.
    bool SaveDocumentAs();
    void btnSaveAsClick();
    // The body storage of a just-created document (called when a document is inserted).
    DocumentPanel& documentPanel() { return *m_documentPanel; }

    // Recent Updates and the discussion and attachment windows: the main window connects
    // them to its document panel once they all exist.
    void connectCollaborationWindows(const Forms& windows);
    void LastModified1Click();
    // Switches the navigator to the project (when another is open and the user may open it)
    // and selects the first outline node of the document; selects nothing when the document
    // is not in the outline.
    void SelectDocumentInProject(qint32 projectId, const QString& projectName, qint32 documentId);
    // Opens a search result: its project and document, and for a message its discussion with
    // the message selected, for an attachment the attachments page.
    void openSearchHit(const data::search::Hit& hit);

    // Reports > "Formatted Project Document": the HTML report of the open project, written to
    // the work folder and handed to the desktop; progress is shown in the status bar.
    void StructuredProjectDocument1Click();
    // File > "Export PDF…": the shown document as a PDF file the user names, titled with its
    // topic; false when cancelled or there is nothing to export.
    bool ExportDocumentPdf1Click();
    // Reports > "Export PDF…": the project report as a PDF file the user names, titled with
    // the project's name; false when cancelled or no project is open.
    bool ExportReportPdf1Click();
    // File > "Find in Document": the find bar over the shown document's editor.
    void FindInDocument1Click();
    // File > "Print" prints the shown document; "Print Setup" does nothing.
    void Print1Click();
    void PrintSetup1Click() {}
    // The status bar's first panel (print and report progress).
    void setStatusText(const QString& text);

    // Presence: stamps the user's poll time and reloads the who's-online list.
    void PollPresence();
    void Timer1Timer();
    void Refresh1Click();

    // After log-in: unsaved edits the user's last session left in the recovery journal (the
    // program was killed or crashed) are offered for recovery; an unusable journal is set
    // aside with a note.
    void offerRecovery();

signals:
    // Every text set in the status bar's first panel, in order.
    void statusTextShown(const QString& text);

protected:
    // Closing the main window ends the program.
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    // The window's size on first start: the navigator beside an editor showing a body's text
    // width whole.
    QSize wantedSize() const;
    // The window's place, splitters and columns, kept per user in the desktop's settings store
    // at Log Off and Exit, and given back (fitted to today's screen) when the window is shown at
    // the next login.
    void storePlaces();
    void showAtKeptPlace();
    // What the window does when the session logs in: presence polling, navigator, projects.
    void enterLoggedIn();
    // Commands that store something for the user test that a user is logged in when they
    // run, since a dialog may still call them after Log Off; false, with the refusal, if not.
    bool mayActForUser() const;
    // Stores what the shown document, category and project left modified, in this order;
    // false, with nothing stored, when the user chose to stay with the document's text.
    bool saveEdits();
    // saveEdits() before Log Off, Exit or closing; false, with a message that ends with
    // consequence, when storing failed and the caller must stop.
    bool storeEditsBeforeLeaving(const QString& consequence);
    // Opens the project as chosen in the selector; 0 (only the root) when the user may not.
    void openProject(qint32 projectId, const QString& caption, bool takeFocus);
    // Empties the category and document panels when the outline no longer holds their rows.
    void dropStalePanels();
    // Connects the formatting toolbar with the document editor.
    void wireFormatting();
    // The toolbar and the document commands are usable only while a document is shown.
    void enableDocumentCommands(bool enabled);
    // Writes the HTML report of the open project to the work folder; its path.
    QString writeReportFile();
    // The connection panel of the status bar: server and database of the session.
    void showConnection();

    Session& m_session;
    // Set while the outline selects the shown document again after the user chose to stay.
    bool m_keepingSelection = false;

    QFrame* BackGround = nullptr;
    FormatToolbar* m_toolbar = nullptr;
    QSplitter* m_splitter = nullptr;
    NavigatorPanel* m_navigator = nullptr;
    SearchBox* m_searchBox = nullptr;
    QFrame* Pan_Content = nullptr;
    ProjectPanel* m_projectPanel = nullptr;
    CategoryPanel* m_categoryPanel = nullptr;
    DocumentPanel* m_documentPanel = nullptr;
    QLabel* m_statusText = nullptr;
    QLabel* m_statusLabel = nullptr;
    QLabel* m_modifiedMark = nullptr;     // shown while the shown document has unsaved changes
    QLabel* m_connectionPanel = nullptr;  // the server and database connected to
    QTimer* Timer1 = nullptr;
    // RichEdit2: the hidden view that renders bodies for the report, with a style sheet of its own.
    std::unique_ptr<vt::rt::RichEditor> m_reportView;

    QAction *Blank1 = nullptr, *BusPlan = nullptr, *Concept1 = nullptr, *MarketingPlan1 = nullptr,
            *SoftwareDevelopment2 = nullptr, *OpenProject = nullptr, *Save1 = nullptr, *SaveAs1 = nullptr,
            *PrintSetup1 = nullptr, *Print1 = nullptr, *Loggoff1 = nullptr, *ExitMenu = nullptr,
            *StructuredProjectDocument1 = nullptr, *LastModified1 = nullptr, *UserManagement1 = nullptr,
            *Deleteproject2 = nullptr, *Options1 = nullptr, *Console1 = nullptr, *About1 = nullptr;
    qint32 m_createdDocumentId = 0;  // the document AddDocumentNode added last
    QAction *FindInDocument1 = nullptr, *ExportDocumentPdf1 = nullptr, *ExportReportPdf1 = nullptr;
};

}  // namespace vt::app
