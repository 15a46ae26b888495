#include "windows/MainWindow.h"

#include "ErrorDisplay.h"
#include "data/Presence.h"
#include "data/Projects.h"
#include "platform/Cleanup.h"
#include "platform/Platform.h"
#include "session/Rights.h"
#include "session/Session.h"
#include "ui/Ui.h"
#include "windows/AboutForm.h"
#include "windows/Forms.h"
#include "windows/UserAdminForm.h"
#include "windows/LogForm.h"
#include "windows/OptionsForm.h"
#include "windows/panels/CategoryPanel.h"
#include "windows/panels/DocumentPanel.h"
#include "windows/panels/FormatToolbar.h"
#include "windows/panels/NavigatorPanel.h"
#include "windows/panels/ProjectPanel.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

namespace vt::app {

using ui::menuItem;
using ui::named;

TVeltrana::TVeltrana(Session& session, QWidget* parent) : QMainWindow(parent), m_session(session)
{
    setObjectName(QStringLiteral("Veltrana"));

    BackGround = named(new QFrame(this), "BackGround");
    BackGround->setAutoFillBackground(true);
    BackGround->setPalette(QPalette(QColor(Qt::lightGray)));
    setCentralWidget(BackGround);
    auto* outer = ui::tight(new QVBoxLayout(BackGround));

    m_toolbar = new FormatToolbar(BackGround);
    outer->addWidget(m_toolbar);

    m_splitter = named(new QSplitter(Qt::Horizontal, BackGround), "Splitter1");
    outer->addWidget(m_splitter, 1);
    m_navigator = new NavigatorPanel(m_splitter);

    // The content panel sits in an area of its own, so that the navigator keeps its width
    // while the content panel is hidden.
    auto* contentArea = named(new QWidget(m_splitter), "contentArea");
    auto* contentColumn = ui::tight(new QVBoxLayout(contentArea));
    Pan_Content = named(new QFrame(contentArea), "Pan_Content");
    Pan_Content->setAutoFillBackground(true);
    Pan_Content->setPalette(QPalette(QColor(Qt::white)));
    contentColumn->addWidget(Pan_Content);
    auto* panels = ui::tight(new QVBoxLayout(Pan_Content));
    m_projectPanel = new ProjectPanel(Pan_Content);
    m_categoryPanel = new CategoryPanel(Pan_Content);
    m_documentPanel = new DocumentPanel(Pan_Content);
    for (QWidget* panel : {static_cast<QWidget*>(m_projectPanel), static_cast<QWidget*>(m_categoryPanel),
                           static_cast<QWidget*>(m_documentPanel)})
        panels->addWidget(panel);

    m_splitter->addWidget(m_navigator);
    m_splitter->addWidget(contentArea);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({256, 700});

    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    m_statusText = new QLabel(QStringLiteral("Ready"));
    m_statusText->setFixedWidth(500);
    m_statusLabel = new QLabel(QStringLiteral("mySQL"));
    m_statusLabel->setFixedWidth(50);
    statusBar()->addWidget(m_statusText);
    statusBar()->addWidget(m_statusLabel);

    buildMenus();

    Timer1 = named(new QTimer(this), "Timer1");
    Timer1->setInterval(30000);
    onEvent(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    onEvent(m_navigator, &NavigatorPanel::onlineRefreshRequested, this, [this] { Refresh1Click(); });

    m_session.whenLoggedIn([this] { enterLoggedIn(); });
    m_session.whenLoggedOff([this] {
        FormCreate();
        m_navigator->clearOutline();
    });

    guarded([this] { FormCreate(); });
}

TVeltrana::~TVeltrana() = default;

void TVeltrana::buildMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    QMenu* file = named(bar->addMenu(QStringLiteral("&File")), "File1");
    QMenu* newProject = named(file->addMenu(QStringLiteral("New Project")), "NewProject1");
    Blank1 = menuItem(newProject, "Blank1", QStringLiteral("Empty Project"));
    BusPlan = menuItem(newProject, "BusPlan", QStringLiteral("Business Plan "));
    Concept1 = menuItem(newProject, "Concept1", QStringLiteral("Concept - Brainstorming"));
    MarketingPlan1 = menuItem(newProject, "MarketingPlan1", QStringLiteral("Marketing Plan"));
    SoftwareDevelopment2 = menuItem(newProject, "SoftwareDevelopment2", QStringLiteral("Software Project"));
    SoftwareDevelopment2->setToolTip(
        QStringLiteral("Use for Software, Website or Creative development Projects"));
    SoftwareDevelopment2->setStatusTip(SoftwareDevelopment2->toolTip());
    newProject->setToolTipsVisible(true);
    OpenProject = menuItem(file, "OpenProject", QStringLiteral("Open Project"));
    OpenProject->setEnabled(false);
    file->addSeparator();
    Save1 = menuItem(file, "Save1", QStringLiteral("Save"));
    SaveAs1 = menuItem(file, "SaveAs1", QStringLiteral("Save As"));
    file->addSeparator();
    PrintSetup1 = menuItem(file, "PrintSetup1", QStringLiteral("Print Setup"));
    Print1 = menuItem(file, "Print1", QStringLiteral("Print"));
    file->addSeparator();
    Loggoff1 = menuItem(file, "Loggoff1", QStringLiteral("Log Off Identity"));
    ExitMenu = menuItem(file, "ExitMenu", QStringLiteral("Exit"));
    for (QAction* a : {Save1, SaveAs1, PrintSetup1, Print1})
        a->setEnabled(false);   // only while a document is shown

    QMenu* reports = named(bar->addMenu(QStringLiteral("&Reports")), "Reports1");
    StructuredProjectDocument1 =
        menuItem(reports, "StructuredProjectDocument1", QStringLiteral("Formatted Project Document"));

    QMenu* tools = named(bar->addMenu(QStringLiteral("&Tools")), "Tools1");
    LastModified1 = menuItem(tools, "LastModified1", QStringLiteral("Last Modified"));
    QMenu* admin = named(tools->addMenu(QStringLiteral("Admin")), "Admin1");
    UserManagement1 = menuItem(admin, "UserManagement1", QStringLiteral("User Management"));
    Deleteproject2 = menuItem(admin, "Deleteproject2", QStringLiteral("Delete project"));
    tools->addSeparator();
    Options1 = menuItem(tools, "Options1", QStringLiteral("Options"));

    QMenu* help = named(bar->addMenu(QStringLiteral("&Help")), "Help1");
    Console1 = menuItem(help, "Console1", QStringLiteral("Console"));
    help->addSeparator();
    About1 = menuItem(help, "About1", QStringLiteral("About"));

    onEvent(Loggoff1, &QAction::triggered, this, [this] { Loggoff1Click(); });
    onEvent(ExitMenu, &QAction::triggered, this, [this] { ExitMenuClick(); });
    onEvent(Console1, &QAction::triggered, this, [this] { Console1Click(); });
    onEvent(About1, &QAction::triggered, this, [this] { About1Click(); });
    onEvent(Options1, &QAction::triggered, this, [this] { Options1Click(); });
    onEvent(UserManagement1, &QAction::triggered, this, [this] { UserManagement1Click(); });
    onEvent(Deleteproject2, &QAction::triggered, this, [this] { Deleteproject2Click(); });
}

void TVeltrana::FormCreate()
{
    m_session.resetLoginState();
    setWindowTitle(m_session.AppTitle);
    m_navigator->clearSelectors();
    setGeometry(100, 10, 964, 817);

    m_projectPanel->show();
    m_categoryPanel->hide();
    m_documentPanel->hide();
    m_documentPanel->resetPageAreaHeight();
    m_navigator->hide();
    Pan_Content->hide();

    m_toolbar->setFontNames(platform().screenFonts());

    hide();
    RunCleanup();
}

void TVeltrana::RunCleanup()
{
    // The batch file is looked for where it is written, so that the clean-up also runs when
    // the work folder is not the program's folder.
    const QString workFolder = m_session.WorkFolder;
    const QString batch = workFolder + QString::fromLatin1(kCleanupBatchName);
    if (QFileInfo::exists(batch)) {
        platform().startBatch(batch, workFolder);
        return;
    }
    writeCleanupBatch(workFolder);
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
    if (TLog_Form* console = forms().Log_Form)
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

void TVeltrana::PopupMenu1Popup() { m_navigator->updateOutlineMenu(); }

void TVeltrana::UserManagement1Click()
{
    if (!rights::isAdministrator(m_session.UserRole)) {
        platform().showMessage(QStringLiteral("You must have Admin rights to Add New Users"));
        return;
    }
    forms().UserAdmin_form->show();
}

void TVeltrana::Deleteproject2Click()
{
    if (!rights::mayManageProject(m_session.UserRole, m_session.IsProjectManager)) {
        platform().showMessage(QStringLiteral("You must have Admin rights to delete projects"));
        return;
    }
    // Deleting the project comes with outline editing.
}

void TVeltrana::enterLoggedIn()
{
    if (!m_session.packetLimitNote().isEmpty())
        LogLine(QStringLiteral("max_allowed_packet left at the server's value: ")
                + m_session.packetLimitNote());
    LogLine(QStringLiteral("Logged IN"));
    PollPresence();
    Timer1->start();
    m_navigator->show();
    show();
    LoadProjectList();
}

void TVeltrana::Loggoff1Click() { m_session.logOff(); }

void TVeltrana::LoadProjectList()
{
    m_navigator->showProjectNames(data::projects::projectNames(
        m_session, m_session.CurrentUser, rights::isAdministrator(m_session.UserRole)));
}

void TVeltrana::PollPresence()
{
    data::presence::stamp(m_session, m_session.CurrentUser);
    m_navigator->showOnlineUsers(data::presence::usersOnline(m_session));
}

void TVeltrana::Timer1Timer() { PollPresence(); }

void TVeltrana::Refresh1Click() { PollPresence(); }

} // namespace vt::app
