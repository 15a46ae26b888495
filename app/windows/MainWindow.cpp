#include "MainWindow.h"

#include "AboutForm.h"
#include "Cleanup.h"
#include "ErrorDisplay.h"
#include "Forms.h"
#include "LogForm.h"
#include "OptionsForm.h"
#include "LoginForm.h"
#include "Platform.h"
#include "SqlEscape.h"
#include "TextCodec.h"

#include "Db.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace vt::app {

QString TVeltrana::programFolderOverride;

namespace {

template <class W> W* named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QToolButton* toolButton(QWidget* parent, QLayout* layout, const char* name, const QString& text,
                        const QString& hint, bool checkable = false)
{
    auto* b = named(new QToolButton(parent), name);
    b->setText(text);
    b->setToolTip(hint);
    b->setCheckable(checkable);
    b->setAutoRaise(true);
    layout->addWidget(b);
    return b;
}

QString withSeparator(QString folder)
{
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

} // namespace

TVeltrana::TVeltrana(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Veltrana"));

    BackGround = named(new QFrame(this), "BackGround");
    BackGround->setAutoFillBackground(true);
    BackGround->setPalette(QPalette(QColor(Qt::lightGray)));
    setCentralWidget(BackGround);
    auto* outer = new QVBoxLayout(BackGround);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    buildToolbar();
    outer->addWidget(speedPanel);

    Splitter1 = named(new QSplitter(Qt::Horizontal, BackGround), "Splitter1");
    outer->addWidget(Splitter1, 1);
    buildNavigator();
    buildContent();
    // The content panel sits in an area of its own, so that the navigator keeps its width
    // while the content panel is hidden.
    auto* contentArea = named(new QWidget(Splitter1), "contentArea");
    auto* contentLayout = new QVBoxLayout(contentArea);
    contentLayout->setContentsMargins(0, 0, 0, 0);
    Pan_Content->setParent(contentArea);
    contentLayout->addWidget(Pan_Content);
    Splitter1->addWidget(pan_Navigator);
    Splitter1->addWidget(contentArea);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({256, 700});

    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusPanel0 = new QLabel(QStringLiteral("Ready"));
    statusPanel0->setFixedWidth(500);
    statusPanel1 = new QLabel(QStringLiteral("mySQL"));
    statusPanel1->setFixedWidth(50);
    statusBar()->addWidget(statusPanel0);
    statusBar()->addWidget(statusPanel1);

    buildMenus();

    Timer1 = named(new QTimer(this), "Timer1");
    Timer1->setInterval(30000);
    onEvent(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    onEvent(Refresh1, &QAction::triggered, this, [this] { Refresh1Click(); });
    onEvent(Loggoff1, &QAction::triggered, this, [this] { Loggoff1Click(); });

    mySQLDatabase1 = std::make_unique<TmySQLDatabase>("mySQLDatabase1");
    mySQLDatabase1->SetParams(TStringList{"Port=3306", "TIMEOUT=30", "max_allowed_packet=16M"});

    guarded([this] { FormCreate(); });
}

TVeltrana::~TVeltrana()
{
    // The connection goes first: it closes the queries still attached to it.
    mySQLDatabase1.reset();
}

std::unique_ptr<TmySQLQuery> TVeltrana::newQuery() const
{
    auto query = std::make_unique<TmySQLQuery>();
    query->SetDatabase(mySQLDatabase1.get());
    return query;
}

void TVeltrana::buildToolbar()
{
    speedPanel = named(new QFrame(BackGround), "speedPanel");
    speedPanel->setFixedHeight(46);
    speedPanel->setFrameShape(QFrame::StyledPanel);
    auto* row = new QHBoxLayout(speedPanel);
    row->setContentsMargins(4, 4, 4, 4);
    row->setSpacing(2);

    btnNew = toolButton(speedPanel, row, "btnNew", QStringLiteral("New"), QStringLiteral("New"));
    btnOpen = toolButton(speedPanel, row, "btnOpen", QStringLiteral("Open"), QStringLiteral("Open"));
    btnNew->hide();
    btnOpen->hide();
    btnSave = toolButton(speedPanel, row, "btnSave", QStringLiteral("Save"), QStringLiteral("Save"));
    btnSaveAs = toolButton(speedPanel, row, "btnSaveAs", QStringLiteral("Save As"),
                           QStringLiteral("Save As"));

    cmbFont = named(new QComboBox(speedPanel), "cmbFont");
    cmbFont->setMinimumWidth(160);
    row->addWidget(cmbFont);
    cmbFontSize = named(new QComboBox(speedPanel), "cmbFontSize");
    for (int size : {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72})
        cmbFontSize->addItem(QString::number(size));
    cmbFontSize->setEditable(true);
    row->addWidget(cmbFontSize);

    btnBold = toolButton(speedPanel, row, "btnBold", QStringLiteral("B"), QStringLiteral("Bold"), true);
    btnItalic = toolButton(speedPanel, row, "btnItalic", QStringLiteral("I"),
                           QStringLiteral("Italic"), true);
    btnUnderline = toolButton(speedPanel, row, "btnUnderline", QStringLiteral("U"),
                              QStringLiteral("Underline"), true);
    btnFont = toolButton(speedPanel, row, "btnFont", QStringLiteral("F"), QStringLiteral("Apply Font"));
    btnFontColor = toolButton(speedPanel, row, "btnFontColor", QStringLiteral("A"),
                              QStringLiteral("Text Color"));
    btnFontBackColor = toolButton(speedPanel, row, "btnFontBackColor", QStringLiteral("ab"),
                                  QStringLiteral("Text Background Color"));
    btnLeft = toolButton(speedPanel, row, "btnLeft", QStringLiteral("L"), QStringLiteral("Left"), true);
    btnCenter = toolButton(speedPanel, row, "btnCenter", QStringLiteral("C"),
                           QStringLiteral("Center"), true);
    btnRight = toolButton(speedPanel, row, "btnRight", QStringLiteral("R"), QStringLiteral("Right"), true);
    btnJustify = toolButton(speedPanel, row, "btnJustify", QStringLiteral("J"),
                            QStringLiteral("Justify"), true);
    alignGroup = new QButtonGroup(speedPanel);
    alignGroup->setExclusive(true);
    for (QToolButton* b : {btnLeft, btnCenter, btnRight, btnJustify})
        alignGroup->addButton(b);
    btnLeft->setChecked(true);
    btnIdentDec = toolButton(speedPanel, row, "btnIdentDec", QStringLiteral("<"), QString());
    btnIdentInc = toolButton(speedPanel, row, "btnIdentInc", QStringLiteral(">"), QString());
    SpeedButton1 = toolButton(speedPanel, row, "SpeedButton1", QStringLiteral("P"),
                              QStringLiteral("Paragraph Background Color"));
    SpeedButton1->hide();
    row->addStretch(1);
}

void TVeltrana::buildNavigator()
{
    pan_Navigator = named(new QFrame(Splitter1), "pan_Navigator");
    pan_Navigator->setMinimumWidth(120);
    pan_Navigator->resize(256, pan_Navigator->height());
    auto* column = new QVBoxLayout(pan_Navigator);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);

    Combo_projects = named(new QComboBox(pan_Navigator), "Combo_projects");
    Combo_projects->setEditable(true);
    Combo_projects->setFixedHeight(25);
    QFont bold = Combo_projects->font();
    bold.setBold(true);
    Combo_projects->setFont(bold);
    Combo_projects->setEditText(QStringLiteral("Select Project..."));
    column->addWidget(Combo_projects);

    GroupBox1 = named(new QGroupBox(QStringLiteral("Unread Messages"), pan_Navigator), "GroupBox1");
    GroupBox1->setFixedHeight(160);
    ListBox1 = named(new QListWidget(GroupBox1), "ListBox1");
    (new QVBoxLayout(GroupBox1))->addWidget(ListBox1);
    GroupBox1->hide();
    column->addWidget(GroupBox1);

    GroupBox5 = named(new QGroupBox(QStringLiteral("Project Outline:"), pan_Navigator), "GroupBox5");
    ProjectTree = named(new QTreeWidget(GroupBox5), "ProjectTree");
    ProjectTree->setHeaderHidden(true);
    ProjectTree->setIndentation(19);
    ProjectTree->setSelectionBehavior(QAbstractItemView::SelectRows);
    ProjectTree->setDragEnabled(true);
    ProjectTree->setContextMenuPolicy(Qt::CustomContextMenu);
    (new QVBoxLayout(GroupBox5))->addWidget(ProjectTree);
    column->addWidget(GroupBox5, 1);

    GroupBox2 = named(new QGroupBox(QStringLiteral("Who's Online"), pan_Navigator), "GroupBox2");
    GroupBox2->setFixedHeight(128);
    OnlineList = named(new QListWidget(GroupBox2), "OnlineList");
    OnlineList->setSortingEnabled(true);
    OnlineList->setContextMenuPolicy(Qt::CustomContextMenu);
    (new QVBoxLayout(GroupBox2))->addWidget(OnlineList);
    column->addWidget(GroupBox2);

    RichEdit2 = named(new QTextEdit(pan_Navigator), "RichEdit2");
    RichEdit2->setReadOnly(true);
    RichEdit2->hide();
}

void TVeltrana::buildContent()
{
    Pan_Content = named(new QFrame(Splitter1), "Pan_Content");
    Pan_Content->setAutoFillBackground(true);
    Pan_Content->setPalette(QPalette(QColor(Qt::white)));
    auto* stack = new QVBoxLayout(Pan_Content);
    stack->setContentsMargins(0, 0, 0, 0);

    Pan_Project_Overview = named(new QFrame(Pan_Content), "Pan_Project_Overview");
    PageControl1 = named(new QTabWidget(Pan_Project_Overview), "PageControl1");
    Tab_ProjectInfo = named(new QWidget, "Tab_ProjectInfo");
    Tab_members = named(new QWidget, "Tab_members");
    PageControl1->addTab(Tab_ProjectInfo, QStringLiteral("Project Info"));
    PageControl1->addTab(Tab_members, QStringLiteral("Members"));
    (new QVBoxLayout(Pan_Project_Overview))->addWidget(PageControl1);
    stack->addWidget(Pan_Project_Overview);

    Pan_Catagory = named(new QFrame(Pan_Content), "Pan_Catagory");
    auto* catLayout = new QVBoxLayout(Pan_Catagory);
    catLayout->addWidget(new QLabel(QStringLiteral("Catagory Name:"), Pan_Catagory));
    CatagoryName = named(new QLineEdit(Pan_Catagory), "CatagoryName");
    catLayout->addWidget(CatagoryName);
    auto* catPages = named(new QTabWidget(Pan_Catagory), "PageControl2");
    CatagoryDescription = named(new QPlainTextEdit, "CatagoryDescription");
    catPages->addTab(CatagoryDescription, QStringLiteral("Description:"));
    catLayout->addWidget(catPages, 1);
    stack->addWidget(Pan_Catagory);

    Pan_Req_Panel = named(new QFrame(Pan_Content), "Pan_Req_Panel");
    auto* reqLayout = new QVBoxLayout(Pan_Req_Panel);
    reqLayout->setContentsMargins(0, 0, 0, 0);
    auto* reqSplitter = named(new QSplitter(Qt::Vertical, Pan_Req_Panel), "Splitter2");
    Pan_tabContent = named(new QFrame(reqSplitter), "Pan_tabContent");
    Tab_Control = named(new QTabWidget(Pan_tabContent), "Tab_Control");
    Tab_Details = named(new QWidget, "Tab_Details");
    Tab_Req_Discussions = named(new QWidget, "Tab_Req_Discussions");
    Attachments = named(new QWidget, "Attachments");
    Tab_Control->addTab(Tab_Details, QStringLiteral("Details"));
    Tab_Control->addTab(Tab_Req_Discussions, QStringLiteral("Discussion"));
    Tab_Control->addTab(Attachments, QStringLiteral("Attachments"));
    (new QVBoxLayout(Pan_tabContent))->addWidget(Tab_Control);
    auto* editorArea = new QWidget(reqSplitter);
    auto* editorLayout = new QVBoxLayout(editorArea);
    editorLayout->setContentsMargins(0, 0, 0, 0);
    editorLayout->setSpacing(0);
    Ruler1 = named(new QFrame(editorArea), "Ruler1");
    Ruler1->setFixedHeight(24);
    editorLayout->addWidget(Ruler1);
    RichEdit1 = named(new QTextEdit(editorArea), "RichEdit1");
    RichEdit1->setContextMenuPolicy(Qt::CustomContextMenu);
    editorLayout->addWidget(RichEdit1, 1);
    reqSplitter->addWidget(Pan_tabContent);
    reqSplitter->addWidget(editorArea);
    reqLayout->addWidget(reqSplitter);
    stack->addWidget(Pan_Req_Panel);
}

QAction* TVeltrana::addItem(QMenu* menu, const char* name, const QString& caption)
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

void TVeltrana::buildMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    QMenu* file = named(bar->addMenu(QStringLiteral("&File")), "File1");
    QMenu* newProject = named(file->addMenu(QStringLiteral("New Project")), "NewProject1");
    Blank1 = addItem(newProject, "Blank1", QStringLiteral("Empty Project"));
    BusPlan = addItem(newProject, "BusPlan", QStringLiteral("Business Plan "));
    Concept1 = addItem(newProject, "Concept1", QStringLiteral("Concept - Brainstorming"));
    MarketingPlan1 = addItem(newProject, "MarketingPlan1", QStringLiteral("Marketing Plan"));
    SoftwareDevelopment2 = addItem(newProject, "SoftwareDevelopment2", QStringLiteral("Software Project"));
    SoftwareDevelopment2->setToolTip(
        QStringLiteral("Use for Software, Website or Creative development Projects"));
    SoftwareDevelopment2->setStatusTip(SoftwareDevelopment2->toolTip());
    newProject->setToolTipsVisible(true);
    OpenProject = addItem(file, "OpenProject", QStringLiteral("Open Project"));
    OpenProject->setEnabled(false);
    file->addSeparator();
    Save1 = addItem(file, "Save1", QStringLiteral("Save"));
    SaveAs1 = addItem(file, "SaveAs1", QStringLiteral("Save As"));
    file->addSeparator();
    PrintSetup1 = addItem(file, "PrintSetup1", QStringLiteral("Print Setup"));
    Print1 = addItem(file, "Print1", QStringLiteral("Print"));
    file->addSeparator();
    Loggoff1 = addItem(file, "Loggoff1", QStringLiteral("Log Off Identity"));
    ExitMenu = addItem(file, "ExitMenu", QStringLiteral("Exit"));
    for (QAction* a : {Save1, SaveAs1, PrintSetup1, Print1})
        a->setEnabled(false);   // only while a document is shown

    QMenu* reports = named(bar->addMenu(QStringLiteral("&Reports")), "Reports1");
    StructuredProjectDocument1 =
        addItem(reports, "StructuredProjectDocument1", QStringLiteral("Formatted Project Document"));

    QMenu* tools = named(bar->addMenu(QStringLiteral("&Tools")), "Tools1");
    LastModified1 = addItem(tools, "LastModified1", QStringLiteral("Last Modified"));
    QMenu* admin = named(tools->addMenu(QStringLiteral("Admin")), "Admin1");
    UserManagement1 = addItem(admin, "UserManagement1", QStringLiteral("User Management"));
    Deleteproject2 = addItem(admin, "Deleteproject2", QStringLiteral("Delete project"));
    tools->addSeparator();
    Options1 = addItem(tools, "Options1", QStringLiteral("Options"));

    QMenu* help = named(bar->addMenu(QStringLiteral("&Help")), "Help1");
    Console1 = addItem(help, "Console1", QStringLiteral("Console"));
    help->addSeparator();
    About1 = addItem(help, "About1", QStringLiteral("About"));

    PopupMenu1 = named(new QMenu(this), "PopupMenu1");
    NewReq1 = addItem(PopupMenu1, "NewReq1", QStringLiteral("New Document"));
    NewSubRequirement1 = addItem(PopupMenu1, "NewSubRequirement1", QStringLiteral("New Sub-Document"));
    Delete1 = addItem(PopupMenu1, "Delete1", QStringLiteral("Delete Document"));
    PopupMenu1->addSeparator();
    AddCatagory1 = addItem(PopupMenu1, "AddCatagory1", QStringLiteral("Add Catagory"));
    DeleteCatagory1 = addItem(PopupMenu1, "DeleteCatagory1", QStringLiteral("Delete Catagory"));
    PopupMenu1->addSeparator();
    ExpandAll1 = addItem(PopupMenu1, "ExpandAll1", QStringLiteral("Expand All"));
    CollapseAll1 = addItem(PopupMenu1, "CollapseAll1", QStringLiteral("Collapse All"));
    refreshlist1 = addItem(PopupMenu1, "refreshlist1", QStringLiteral("Refresh"));
    connect(PopupMenu1, &QMenu::aboutToShow, this, [this] { guarded([this] { PopupMenu1Popup(); }); });
    connect(ProjectTree, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu1->popup(ProjectTree->viewport()->mapToGlobal(pos)); });

    onlineRefresh = named(new QMenu(this), "onlineRefresh");
    Refresh1 = addItem(onlineRefresh, "Refresh1", QStringLiteral("Refresh"));
    connect(OnlineList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { onlineRefresh->popup(OnlineList->mapToGlobal(pos)); });

    AttachmentsPopUp = named(new QMenu(this), "AttachmentsPopUp");
    addItem(AttachmentsPopUp, "AddURL1", QStringLiteral("Add URL"));
    addItem(AttachmentsPopUp, "AddFile1", QStringLiteral("Add File"));
    addItem(AttachmentsPopUp, "AddText1", QStringLiteral("Add Text"))->setEnabled(false);
    addItem(AttachmentsPopUp, "Edit2", QStringLiteral("Edit"))->setEnabled(false);
    addItem(AttachmentsPopUp, "Delete2", QStringLiteral("Delete"));

    PopupMenu2 = named(new QMenu(this), "PopupMenu2");
    addItem(PopupMenu2, "Bold1", QStringLiteral("Bold"));
    addItem(PopupMenu2, "Italic1", QStringLiteral("Italic"));
    addItem(PopupMenu2, "Underline1", QStringLiteral("Underline"));
    connect(RichEdit1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu2->popup(RichEdit1->viewport()->mapToGlobal(pos)); });

    onEvent(ExitMenu, &QAction::triggered, this, [this] { ExitMenuClick(); });
    onEvent(Console1, &QAction::triggered, this, [this] { Console1Click(); });
    onEvent(About1, &QAction::triggered, this, [this] { About1Click(); });
    onEvent(Options1, &QAction::triggered, this, [this] { Options1Click(); });
    onEvent(UserManagement1, &QAction::triggered, this, [this] { UserManagement1Click(); });
    onEvent(Deleteproject2, &QAction::triggered, this, [this] { Deleteproject2Click(); });
}

void TVeltrana::FormCreate()
{
    AppTitle = QStringLiteral("Veltrana");
    setWindowTitle(AppTitle);

    CurrentUser.clear();
    UserRole = QStringLiteral("USER");
    CurrentProjectID = 0;
    CurrentDocumentID = 0;
    CurrentCatagoryID = 0;
    IsProjectManager = false;

    Combo_projects->clear();
    ListBox1->clear();

    ProgramFolder = withSeparator(programFolderOverride.isEmpty()
                                      ? QCoreApplication::applicationDirPath()
                                      : programFolderOverride);
    // Temporary files go to the program's folder; where that is not writable (an installed
    // program), to a folder of the user's own so that they never fail.
    WorkFolder = ProgramFolder;
    if (!QFileInfo(ProgramFolder).isWritable()) {
        const QString own = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
        QDir().mkpath(own);
        WorkFolder = withSeparator(own);
    }

    setGeometry(100, 10, 964, 817);

    Pan_Project_Overview->show();
    Pan_Catagory->hide();
    Pan_Req_Panel->hide();
    if (auto* reqSplitter = qobject_cast<QSplitter*>(Pan_tabContent->parentWidget()))
        reqSplitter->setSizes({250, std::max(1, Pan_Req_Panel->height() - 250)});
    Pan_tabContent->resize(Pan_tabContent->width(), 250);
    pan_Navigator->hide();
    Pan_Content->hide();

    cmbFont->clear();
    cmbFont->addItems(platform().screenFonts());

    hide();
    RunCleanup();
}

void TVeltrana::RunCleanup()
{
    // The batch file is looked for where it is written, so that the clean-up also runs when
    // the work folder is not the program's folder.
    const QString batch = WorkFolder + QString::fromLatin1(kCleanupBatchName);
    if (QFileInfo::exists(batch)) {
        platform().startBatch(batch, WorkFolder);
        return;
    }
    writeCleanupBatch(WorkFolder);
}

// Ends the event loop at once, whatever the other windows show; they are destroyed after it.
void TVeltrana::ExitMenuClick() { QCoreApplication::exit(0); }

void TVeltrana::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    if (event->isAccepted())
        QCoreApplication::exit(0);
}

void TVeltrana::Console1Click()
{
    TLog_Form* console = forms().Log_Form;
    if (!console)
        return;
    console->setVisible(!console->isVisible());
}

void TVeltrana::About1Click()
{
    if (TAbout_Form* about = forms().About_Form)
        about->show();
}

void TVeltrana::Options1Click()
{
    if (TTOptions* options = forms().TOptions)
        options->show();
}

void TVeltrana::PopupMenu1Popup()
{
    const QTreeWidgetItem* node = ProjectTree->currentItem();
    int level = -1;
    for (const QTreeWidgetItem* n = node; n; n = n->parent())
        ++level;
    const bool category = level == 1;
    const bool document = level >= 2;
    NewReq1->setVisible(category || document);
    NewSubRequirement1->setVisible(document);
    Delete1->setVisible(document);
    AddCatagory1->setVisible(level == 0 || category);
    DeleteCatagory1->setVisible(category);
}

void TVeltrana::UserManagement1Click()
{
    if (UserRole.toUpper() != QLatin1String("ADMIN")) {
        platform().showMessage(QStringLiteral("You must have Admin rights to Add New Users"));
        return;
    }
    // The user administration window comes with its own feature.
}

void TVeltrana::Deleteproject2Click()
{
    if (UserRole.toUpper() != QLatin1String("ADMIN") && !IsProjectManager) {
        platform().showMessage(QStringLiteral("You must have Admin rights to delete projects"));
        return;
    }
    // Deleting the project comes with outline editing.
}

bool TVeltrana::LoginUser(const QString& userName, const QString& password)
{
    HourglassCursor hourglass;
    auto query = newQuery();
    query->SetSQL("select * from users where (Username = '" + sqlEscaped(userName)
                  + "') and (password = '" + sqlEscaped(password) + "')");
    query->Open();
    if (query->RecordCount() == 0) {
        query->Close();
        return false;
    }
    UserRole = textFromBytes(query->FieldByName("Role").AsString()).toUpper();
    query->Close();

    query->SetSQL("select * from global_settings");
    query->Open();
    if (query->RecordCount() == 0) {
        platform().showMessage(QStringLiteral("Cannot retrieve Global Settings"));
        query->Close();
        return false;
    }
    CommonDir = textFromBytes(query->FieldByName("commondir").AsString());
    DocumentsFolder = textFromBytes(query->FieldByName("documents").AsString());
    StoreDocumentsAsFiles = query->FieldByName("SaveAsFiles").Value().AsFloat() > 0;
    query->FieldByName("attachments").AsString();   // must exist; no further use
    query->Close();

    // Today's servers keep the session's packet limit read-only and refuse to set it
    // (error 1621); the server's own limit then applies. Any other failure ends the login.
    query->SetSQL("set max_allowed_packet=16000000");
    try {
        query->Execute();
    } catch (const EmySQLDatabaseError& error) {
        if (std::string_view(error.what()).rfind("mySQL Error Code: (1621)", 0) != 0)
            throw;
        LogLine(QStringLiteral("max_allowed_packet left at the server's value: ")
                + textFromBytes(error.what()).simplified());
    }

    LogLine(QStringLiteral("Logged IN"));
    PollPresence();
    Timer1->start();
    pan_Navigator->show();
    return true;
}

void TVeltrana::Loggoff1Click()
{
    FormCreate();
    TLogin_Form* login = forms().Login_Form;
    if (login->isVisible())
        login->FormShow();   // showing it again would not run its show step
    else
        login->show();
    login->raise();
    login->UserID->clear();
    login->Password->clear();
    ProjectTree->clear();
    Combo_projects->clear();
}

void TVeltrana::LoadProjectList()
{
    Combo_projects->clear();
    auto query = newQuery();
    if (UserRole.toUpper() != QLatin1String("ADMIN"))
        query->SetSQL("SELECT projects.ProjectID,projects.projectName FROM projectmembers,projects "
                      "WHERE (projectmembers.username = '" + sqlEscaped(CurrentUser)
                      + "') and (projects.projectid = projectmembers.projectID) order by ProjectID DESC");
    else
        query->SetSQL("SELECT projects.ProjectID,projects.projectName FROM projects order by ProjectID DESC");
    query->Open();
    const int rows = query->RecordCount();
    QStringList names;
    for (int i = 0; i < rows; ++i) {
        names << textFromBytes(query->FieldByName("ProjectName").AsString());
        query->Next();
    }
    query->Close();
    Combo_projects->addItems(names);
    Combo_projects->setFocus();
    Combo_projects->setCurrentIndex(-1);
    Combo_projects->setEditText(QStringLiteral("Select a Project..."));
}

void TVeltrana::PollPresence()
{
    auto query = newQuery();
    query->SetSQL("Update Users set lastPollRequest=now() where ucase(Username)='"
                  + sqlEscaped(CurrentUser) + "'");
    query->Execute();
    query->SetSQL("select * from users where lastpollrequest > "
                  "(DATE_SUB(now(),INTERVAL '5' MINUTE)) order by username");
    query->Open();
    const int rows = query->RecordCount();
    if (rows > 0) {
        OnlineList->clear();
        for (int i = 0; i < rows; ++i) {
            OnlineList->addItem(textFromBytes(query->FieldByName("username").AsString()));
            query->Next();
        }
    }
    query->Close();
}

void TVeltrana::Timer1Timer() { PollPresence(); }

void TVeltrana::Refresh1Click() { PollPresence(); }

} // namespace vt::app
