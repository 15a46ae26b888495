#pragma once
// The main window: navigator (project selector, unread messages, outline, who's online) on the
// left, the project, category or document panel on the right, the formatting toolbar, the menus
// and the status bar. It also holds the login state that every other window reads.

#include <QMainWindow>

#include <memory>
#include <string>

class QAction;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QTabWidget;
class QTextEdit;
class QTimer;
class QToolButton;
class QTreeWidget;
class QLineEdit;
class QButtonGroup;

class TmySQLDatabase;
class TmySQLQuery;

namespace vt::app {

class TVeltrana : public QMainWindow {
    Q_OBJECT
public:
    explicit TVeltrana(QWidget* parent = nullptr);
    ~TVeltrana() override;

    // Login state.
    QString AppTitle;
    QString CurrentUser;
    QString UserRole;
    qint32 CurrentProjectID = 0;
    qint32 CurrentDocumentID = 0;
    qint32 CurrentCatagoryID = 0;
    bool IsProjectManager = false;
    bool NewSubDocument = false;
    QString ProgramFolder;
    QString WorkFolder;
    QString CommonDir;
    QString DocumentsFolder;
    bool StoreDocumentsAsFiles = false;

    // Folder used as the program's folder instead of the executable's (tests point it at a
    // scratch folder). Empty: the folder of the running program.
    static QString programFolderOverride;

    // Layout.
    QFrame* BackGround = nullptr;
    QFrame* speedPanel = nullptr;
    QFrame* pan_Navigator = nullptr;
    QComboBox* Combo_projects = nullptr;
    QGroupBox* GroupBox1 = nullptr;   // "Unread Messages"
    QListWidget* ListBox1 = nullptr;
    QGroupBox* GroupBox5 = nullptr;   // "Project Outline:"
    QTreeWidget* ProjectTree = nullptr;
    QGroupBox* GroupBox2 = nullptr;   // "Who's Online"
    QListWidget* OnlineList = nullptr;
    QTextEdit* RichEdit2 = nullptr;
    QSplitter* Splitter1 = nullptr;
    QFrame* Pan_Content = nullptr;
    QFrame* Pan_Project_Overview = nullptr;
    QTabWidget* PageControl1 = nullptr;
    QWidget* Tab_ProjectInfo = nullptr;
    QWidget* Tab_members = nullptr;
    QFrame* Pan_Catagory = nullptr;
    QLineEdit* CatagoryName = nullptr;
    QPlainTextEdit* CatagoryDescription = nullptr;
    QFrame* Pan_Req_Panel = nullptr;
    QFrame* Pan_tabContent = nullptr;
    QTabWidget* Tab_Control = nullptr;
    QWidget* Tab_Details = nullptr;
    QWidget* Tab_Req_Discussions = nullptr;
    QWidget* Attachments = nullptr;
    QWidget* Ruler1 = nullptr;
    QTextEdit* RichEdit1 = nullptr;
    QLabel* statusPanel0 = nullptr;
    QLabel* statusPanel1 = nullptr;

    // Formatting toolbar.
    QToolButton *btnNew = nullptr, *btnOpen = nullptr, *btnSave = nullptr, *btnSaveAs = nullptr;
    QComboBox* cmbFont = nullptr;
    QComboBox* cmbFontSize = nullptr;
    QToolButton *btnBold = nullptr, *btnItalic = nullptr, *btnUnderline = nullptr;
    QToolButton *btnFont = nullptr, *btnFontColor = nullptr, *btnFontBackColor = nullptr;
    QToolButton *btnLeft = nullptr, *btnCenter = nullptr, *btnRight = nullptr,
                *btnJustify = nullptr;
    QButtonGroup* alignGroup = nullptr;
    QToolButton *btnIdentDec = nullptr, *btnIdentInc = nullptr, *SpeedButton1 = nullptr;

    // Menus.
    QMenu *PopupMenu1 = nullptr, *onlineRefresh = nullptr, *PopupMenu2 = nullptr,
          *AttachmentsPopUp = nullptr;
    QAction *Blank1 = nullptr, *BusPlan = nullptr, *Concept1 = nullptr, *MarketingPlan1 = nullptr,
            *SoftwareDevelopment2 = nullptr, *OpenProject = nullptr, *Save1 = nullptr,
            *SaveAs1 = nullptr, *PrintSetup1 = nullptr, *Print1 = nullptr, *Loggoff1 = nullptr,
            *ExitMenu = nullptr, *StructuredProjectDocument1 = nullptr, *LastModified1 = nullptr,
            *UserManagement1 = nullptr, *Deleteproject2 = nullptr, *Options1 = nullptr,
            *Console1 = nullptr, *About1 = nullptr;
    QAction *NewReq1 = nullptr, *NewSubRequirement1 = nullptr, *Delete1 = nullptr,
            *AddCatagory1 = nullptr, *DeleteCatagory1 = nullptr, *ExpandAll1 = nullptr,
            *CollapseAll1 = nullptr, *refreshlist1 = nullptr, *Refresh1 = nullptr;

    QTimer* Timer1 = nullptr;

    // The one connection shared by every query of the application.
    std::unique_ptr<TmySQLDatabase> mySQLDatabase1;
    // A short-lived query on the shared connection, owned by the caller.
    std::unique_ptr<TmySQLQuery> newQuery() const;

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

    // Checks the user against the Users table and enters the logged-in state.
    bool LoginUser(const QString& userName, const QString& password);
    void Loggoff1Click();
    void LoadProjectList();

    // Presence: stamps the user's poll time and reloads the who's-online list.
    void PollPresence();
    void Timer1Timer();
    void Refresh1Click();

protected:
    // Closing the main window ends the program.
    void closeEvent(QCloseEvent* event) override;

private:
    void buildToolbar();
    void buildNavigator();
    void buildContent();
    void buildMenus();
    QAction* addItem(QMenu* menu, const char* name, const QString& caption);
};

} // namespace vt::app
