#include "windows/MainWindow.h"

#include "ErrorDisplay.h"
#include "data/ActivityLog.h"
#include "data/Discussions.h"
#include "data/Editing.h"
#include "data/Outline.h"
#include "data/Presence.h"
#include "data/Projects.h"
#include "platform/Cleanup.h"
#include "platform/Platform.h"
#include "report/ProjectReport.h"
#include "session/RecoveryJournal.h"
#include "report/ReportPdf.h"
#include "session/Rights.h"
#include "session/Session.h"
#include "session/TextCodec.h"
#include "ui/Icons.h"
#include "ui/Ui.h"
#include "ui/WindowLayout.h"
#include "windows/AboutForm.h"
#include "windows/AttachDialog.h"
#include "windows/DiscEntryChildForm.h"
#include "windows/DiscEntryForm.h"
#include "windows/Forms.h"
#include "windows/LogForm.h"
#include "windows/OptionsForm.h"
#include "windows/RecentUpdForm.h"
#include "windows/UserAdminForm.h"
#include "windows/panels/AttachmentsPage.h"
#include "windows/panels/CategoryPanel.h"
#include "windows/panels/DiscussionPage.h"
#include "windows/panels/DocumentPanel.h"
#include "windows/panels/FormatToolbar.h"
#include "windows/panels/NavigatorPanel.h"
#include "windows/panels/ProjectPanel.h"
#include "windows/panels/SearchBox.h"

#include "db/DateTimeUtil.h"
#include "db/DbErrors.h"
#include "db/TmySQLDatabase.h"

#include "richtext/RichEditor.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPoint>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <stdexcept>

namespace vt::app {

namespace {
const QString kStaysOpen = QStringLiteral("The program stays open; your text is kept.");
}  // namespace

using ui::menuItem;
using ui::named;

TVeltrana::TVeltrana(Session& session, QWidget* parent) : QMainWindow(parent), m_session(session)
{
    setObjectName(QStringLiteral("Veltrana"));

    BackGround = named(new QFrame(this), "BackGround");
    BackGround->setAutoFillBackground(true);
    BackGround->setBackgroundRole(QPalette::Window);  // the desktop's window colour
    setCentralWidget(BackGround);
    auto* outer = ui::tight(new QVBoxLayout(BackGround));

    m_toolbar = new FormatToolbar(BackGround);
    outer->addWidget(m_toolbar);

    m_splitter = named(new QSplitter(Qt::Horizontal, BackGround), "Splitter1");
    outer->addWidget(m_splitter, 1);
    m_navigator = new NavigatorPanel(m_splitter);
    m_searchBox = new SearchBox(m_session);
    m_navigator->setSearchBox(m_searchBox);

    // The content panel sits in an area of its own, so that the navigator keeps its width
    // while the content panel is hidden.
    auto* contentArea = named(new QWidget(m_splitter), "contentArea");
    auto* contentColumn = ui::tight(new QVBoxLayout(contentArea));
    Pan_Content = named(new QFrame(contentArea), "Pan_Content");
    Pan_Content->setAutoFillBackground(true);
    Pan_Content->setBackgroundRole(QPalette::Base);  // the desktop's colour for text areas
    contentColumn->addWidget(Pan_Content);
    auto* panels = ui::tight(new QVBoxLayout(Pan_Content));
    m_projectPanel = new ProjectPanel(m_session, Pan_Content);
    m_categoryPanel = new CategoryPanel(m_session, Pan_Content);
    m_documentPanel = new DocumentPanel(m_session, Pan_Content);
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
    m_statusText->setTextFormat(Qt::PlainText);
    m_statusText->setFixedWidth(500);
    m_statusLabel = new QLabel(QStringLiteral("mySQL"));
    m_statusLabel->setFixedWidth(50);
    statusBar()->addWidget(m_statusText);
    statusBar()->addWidget(m_statusLabel);
    m_modifiedMark = named(new QLabel(QStringLiteral("Modified")), "modifiedMark");
    m_modifiedMark->setToolTip(QStringLiteral("The document has changes that are not saved yet"));
    m_modifiedMark->hide();
    statusBar()->addPermanentWidget(m_modifiedMark);
    m_connectionPanel = named(new QLabel, "connectionPanel");
    m_connectionPanel->setTextFormat(Qt::PlainText);
    // A long server or database name is cut rather than widening the window past a small
    // screen; the tooltip holds the whole text.
    m_connectionPanel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_connectionPanel->setMinimumWidth(60);
    statusBar()->addPermanentWidget(m_connectionPanel, 1);

    buildMenus();

    Timer1 = named(new QTimer(this), "Timer1");
    Timer1->setInterval(30000);
    onEvent(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    onEvent(m_navigator, &NavigatorPanel::onlineRefreshRequested, this, [this] { Refresh1Click(); });
    onEvent(m_navigator, &NavigatorPanel::projectChosen, this, [this] { Combo_projectsChange(); });
    onEvent(m_navigator, &NavigatorPanel::projectTyped, this, [this] { Combo_projectsChange(true); });
    onEvent(m_navigator, &NavigatorPanel::selectionChanged, this, [this] { ProjectTreeChange(); });
    onEvent(m_navigator, &NavigatorPanel::unreadClicked, this, [this] { ListBox1Click(); });
    onEvent(m_navigator, &NavigatorPanel::outlineRefreshRequested, this, [this] { refreshlist1Click(); });
    onEvent(m_navigator, &NavigatorPanel::outlineMenuAboutToShow, this, [this] { PopupMenu1Popup(); });
    onEvent(m_navigator, &NavigatorPanel::deleteDocumentRequested, this, [this] { Delete1Click(); });
    onEvent(m_navigator, &NavigatorPanel::deleteCategoryRequested, this, [this] { DeleteCatagory1Click(); });
    onEvent(m_navigator, &NavigatorPanel::newDocumentRequested, this, [this] { NewReq1Click(); });
    onEvent(m_navigator, &NavigatorPanel::newSubDocumentRequested, this, [this] { NewSubRequirement1Click(); });
    onEvent(m_navigator, &NavigatorPanel::addCategoryRequested, this, [this] { AddCatagory1Click(); });
    connect(m_navigator, &NavigatorPanel::droppedAt, this,
            [this](const QPoint& at) { guarded([&] { ProjectTreeDragDrop(at); }); });
    // Live captions: the category name and the document topic name the selected node.
    connect(m_categoryPanel, &CategoryPanel::nameChanged, m_navigator, &NavigatorPanel::setSelectedCaption);
    // The caption follows the topic field while the document's node is the selected one (a
    // save during a selection change may reload the field when the next node is selected).
    connect(m_documentPanel, &DocumentPanel::topicChanged, m_navigator, [this](const QString& topic) {
        if (m_navigator->selectedLevel() >= 2 && m_navigator->selectedId() == m_documentPanel->shownId())
            m_navigator->setSelectedCaption(topic);
    });
    // A deleted document's text stored anew: the outline shows it once the running command ends.
    connect(m_documentPanel, &DocumentPanel::documentAdded, this, [this] {
        QTimer::singleShot(0, this, [this] {
            guarded([&] {
                if (m_session.isLoggedIn() && m_session.CurrentProjectID > 0)
                    LoadProjectOutline(m_session.CurrentProjectID, m_navigator->projectText());
            });
        });
    });
    // A renamed project shows its new name in the selector at once.
    connect(m_projectPanel, &ProjectPanel::projectRenamed, this, [this](qint32 id, const QString& name) {
        m_navigator->renameProject(id, name, m_session.CurrentProjectID);
    });
    onEvent(m_toolbar, &FormatToolbar::saveRequested, this, [this] { btnSaveClick(); });
    onEvent(m_toolbar, &FormatToolbar::saveAsRequested, this, [this] { btnSaveAsClick(); });
    wireFormatting();
    setWindowIcon(ui::appIcon());
    // Search everything: Ctrl+Shift+F anywhere in the main window.
    auto* findEverywhere = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F), this);
    findEverywhere->setObjectName(QStringLiteral("SearchShortcut"));
    findEverywhere->setContext(Qt::WindowShortcut);
    connect(findEverywhere, &QShortcut::activated, m_searchBox, &SearchBox::focusSearch);
    connect(m_searchBox, &SearchBox::hitChosen, this,
            [this](const data::search::Hit& hit) { guarded([&] { openSearchHit(hit); }); });

    m_session.whenLoggedIn([this] { enterLoggedIn(); });
    m_session.whenLoggedOff([this] {
        Timer1->stop();  // nobody is left to stamp
        FormCreate();
        m_navigator->clearOutline();
        m_navigator->clearUnread();
        m_projectPanel->clear();
        m_categoryPanel->clear();
        m_documentPanel->clear();
        m_searchBox->clear();
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
    SoftwareDevelopment2->setToolTip(QStringLiteral("Use for Software, Website or Creative development Projects"));
    SoftwareDevelopment2->setStatusTip(SoftwareDevelopment2->toolTip());
    newProject->setToolTipsVisible(true);
    OpenProject = menuItem(file, "OpenProject", QStringLiteral("Open Project"));
    OpenProject->setEnabled(false);
    file->addSeparator();
    Save1 = menuItem(file, "Save1", QStringLiteral("Save"));
    SaveAs1 = menuItem(file, "SaveAs1", QStringLiteral("Save As"));
    FindInDocument1 = menuItem(file, "FindInDocument1", QStringLiteral("Find in Document"));
    file->addSeparator();
    PrintSetup1 = menuItem(file, "PrintSetup1", QStringLiteral("Print Setup"));
    Print1 = menuItem(file, "Print1", QStringLiteral("Print"));
    ExportDocumentPdf1 = menuItem(file, "ExportDocumentPdf1", QStringLiteral("Export PDF\u2026"));
    file->addSeparator();
    Loggoff1 = menuItem(file, "Loggoff1", QStringLiteral("Log Off Identity"));
    ExitMenu = menuItem(file, "ExitMenu", QStringLiteral("Exit"));
    for (QAction* a : {Save1, SaveAs1, PrintSetup1, Print1, FindInDocument1, ExportDocumentPdf1})
        a->setEnabled(false);  // only while a document is shown
    ui::setShortcut(FindInDocument1, QKeySequence(Qt::CTRL | Qt::Key_F));
    ui::setShortcut(Save1, QKeySequence(Qt::CTRL | Qt::Key_S));
    ui::setShortcut(Print1, QKeySequence(Qt::CTRL | Qt::Key_P));
    ui::setShortcut(ExitMenu, QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* reports = named(bar->addMenu(QStringLiteral("&Reports")), "Reports1");
    StructuredProjectDocument1 =
        menuItem(reports, "StructuredProjectDocument1", QStringLiteral("Formatted Project Document"));
    ExportReportPdf1 = menuItem(reports, "ExportReportPdf1", QStringLiteral("Export PDF\u2026"));

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
    onEvent(Save1, &QAction::triggered, this, [this] { Save1Click(); });
    onEvent(LastModified1, &QAction::triggered, this, [this] { LastModified1Click(); });
    onEvent(Print1, &QAction::triggered, this, [this] { Print1Click(); });
    onEvent(PrintSetup1, &QAction::triggered, this, [this] { PrintSetup1Click(); });
    onEvent(StructuredProjectDocument1, &QAction::triggered, this, [this] { StructuredProjectDocument1Click(); });
    onEvent(ExportReportPdf1, &QAction::triggered, this, [this] { ExportReportPdf1Click(); });
    onEvent(ExportDocumentPdf1, &QAction::triggered, this, [this] { ExportDocumentPdf1Click(); });
    onEvent(FindInDocument1, &QAction::triggered, this, [this] { FindInDocument1Click(); });
    onEvent(Blank1, &QAction::triggered, this, [this] { Blank1Click(); });
    onEvent(BusPlan, &QAction::triggered, this, [this] { BusPlanClick(); });
    onEvent(Concept1, &QAction::triggered, this, [this] { Concept1Click(); });
    onEvent(MarketingPlan1, &QAction::triggered, this, [this] { MarketingPlan1Click(); });
    onEvent(SoftwareDevelopment2, &QAction::triggered, this, [this] { SoftwareDevelopment2Click(); });
    // "Save As" of the File menu runs nothing; the toolbar's "Save As" exports.
}

void TVeltrana::FormCreate()
{
    m_session.resetLoginState();
    setWindowTitle(m_session.AppTitle);
    m_navigator->clearSelectors();
    setWindowState(windowState() & ~Qt::WindowMaximized);
    setGeometry(ui::firstPlace(platform().availableScreen(geometry().center()), wantedSize()));

    m_projectPanel->show();
    m_categoryPanel->hide();
    m_documentPanel->hide();
    m_documentPanel->resetPageAreaHeight();
    m_navigator->hide();
    Pan_Content->hide();

    m_toolbar->setFontNames(platform().screenFonts());
    enableDocumentCommands(false);
    m_connectionPanel->clear();

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

bool TVeltrana::storeEditsBeforeLeaving(const QString& consequence)
{
    try {
        // False when the user chose to stay with the text of a changed document.
        return saveEdits();
    } catch (const std::exception& error) {
        platform().showErrorMessage(QStringLiteral("Your changes could not be stored: ") + errorText(error) +
                                    QLatin1Char('\n') + consequence);
    } catch (...) {
        platform().showErrorMessage(QStringLiteral("Your changes could not be stored.\n") + consequence);
    }
    return false;
}

// Stores the shown edits as a selection change does, then ends the event loop, whatever the
// other windows show; they are destroyed after it.
void TVeltrana::ExitMenuClick()
{
    if (!storeEditsBeforeLeaving(kStaysOpen)) return;
    storePlaces();
    QCoreApplication::exit(0);
}

void TVeltrana::closeEvent(QCloseEvent* event)
{
    if (!storeEditsBeforeLeaving(kStaysOpen)) {
        event->ignore();
        return;
    }
    storePlaces();
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) QCoreApplication::exit(0);
}

void TVeltrana::Console1Click()
{
    if (TLog_Form* console = forms().Log_Form) console->setVisible(!console->isVisible());
}

void TVeltrana::About1Click()
{
    if (TAbout_Form* about = forms().About_Form) about->show();
}

void TVeltrana::Options1Click()
{
    if (TTOptions* options = forms().TOptions) options->show();
}

void TVeltrana::PopupMenu1Popup() { m_navigator->updateOutlineMenu(); }

void TVeltrana::UserManagement1Click()
{
    if (!rights::isAdministrator(m_session.UserRole)) {
        platform().showMessage(rights::userAdministrationRefusal());
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
    if (m_session.CurrentProjectID <= 0) return;  // no project is open
    if (!platform().AskConfirmation(
            QStringLiteral("Are you sure you want to delete this Project and all of its Documents?")))
        return;
    HourglassCursor wait;
    data::projects::deleteProject(m_session, m_session.CurrentProjectID);
    // Nothing of the deleted project stays on screen or modified, to be stored later.
    m_navigator->clearTree();
    m_navigator->clearUnread();
    m_projectPanel->clear();
    m_categoryPanel->clear();
    m_documentPanel->clear();
    m_session.CurrentProjectID = 0;
    Pan_Content->hide();
    enableDocumentCommands(false);
    LoadProjectList();
}

void TVeltrana::enterLoggedIn()
{
    if (!m_session.packetLimitNote().isEmpty())
        LogLine(QStringLiteral("max_allowed_packet left at the server's value: ") + m_session.packetLimitNote());
    LogLine(QStringLiteral("Logged IN"));
    showConnection();
    PollPresence();
    Timer1->start();
    m_navigator->show();
    showAtKeptPlace();
    LoadProjectList();
    offerRecovery();
}

// The shown edits are stored first, as on a selection change; when that fails the user stays
// logged in with the text kept.
void TVeltrana::Loggoff1Click()
{
    if (!storeEditsBeforeLeaving(QStringLiteral("You are still logged in; your text is kept."))) return;
    storePlaces();
    m_session.logOff();
}

QSize TVeltrana::wantedSize() const
{
    // The navigator's design width beside an editor that shows a body's fixed text width whole,
    // with its frame and a vertical scroll bar.
    const vt::rt::RichEditor& editor = m_documentPanel->editor();
    const int textArea = editor.lineWrapMode() == QTextEdit::FixedPixelWidth ? editor.lineWrapColumnOrWidth() : 816;
    const int editorWidth = textArea + 2 * editor.frameWidth() + style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    // 40: the margins of the panels around the editor.
    return {256 + m_splitter->handleWidth() + editorWidth + 40, 817};
}

void TVeltrana::storePlaces()
{
    if (!m_session.isLoggedIn() || !isVisible()) return;
    const QString key = ui::userSettingsKey(m_session.CurrentUser) + QStringLiteral("mainWindow/");
    platform().setSetting(key + QStringLiteral("geometry"), isMaximized() ? normalGeometry() : geometry());
    platform().setSetting(key + QStringLiteral("maximized"), isMaximized());
    platform().setSetting(key + QStringLiteral("layout"), ui::layoutState(*this));
}

void TVeltrana::showAtKeptPlace()
{
    const QString key = ui::userSettingsKey(m_session.CurrentUser) + QStringLiteral("mainWindow/");
    const QRect kept = platform().setting(key + QStringLiteral("geometry")).toRect();
    if (kept.isValid()) setGeometry(ui::fitIntoScreen(kept, platform().availableScreen(kept.center())));
    if (platform().setting(key + QStringLiteral("maximized")).toBool()) setWindowState(Qt::WindowMaximized);
    // Splitter sizes are kept for the window's size: they are given once it is laid out.
    show();
    const QVariantMap layout = platform().setting(key + QStringLiteral("layout")).toMap();
    ui::applyLayoutState(*this, layout);
    // The document panel splits its page area from the editor when it is first shown.
    const QVariantList pageSplit = layout.value(QStringLiteral("splitters/Splitter2")).toList();
    if (pageSplit.size() == 2 && pageSplit[0].toInt() > 0) m_documentPanel->resetPageAreaHeight(pageSplit[0].toInt());
}

void TVeltrana::LoadProjectList()
{
    m_navigator->showProjectNames(
        data::projects::projectList(m_session, m_session.CurrentUser, rights::isAdministrator(m_session.UserRole)));
}

void TVeltrana::PollPresence()
{
    if (!m_session.isLoggedIn()) return;  // nobody to stamp
    data::presence::stamp(m_session, m_session.CurrentUser, m_documentPanel->editingDocument());
    const std::vector<data::presence::OnlineUser> online = data::presence::onlineUsers(m_session);
    QStringList names;
    for (const auto& user : online)
        names << user.name;
    m_navigator->showOnlineUsers(names);
    m_documentPanel->showEditors(online);
}

namespace {

// The first line of a body's text, shortened for a message; throws when the bytes are no body.
QString firstLineOf(const QByteArray& body)
{
    vt::rt::RichEditor scratch;
    scratch.loadFromBytes(body);
    QString line = scratch.toPlainText().section(QLatin1Char('\n'), 0, 0).trimmed();
    if (line.size() > 120) line = line.left(120) + QStringLiteral("...");
    return line;
}

QString localTimeText(const QDateTime& utc)
{
    const QDateTime local = utc.toLocalTime();
    const QDate d = local.date();
    const QTime t = local.time();
    return QString::fromStdString(DateToStr(EncodeDate(d.year(), d.month(), d.day())) + " " +
                                  FormatDateTime("hh:nn", EncodeTime(t.hour(), t.minute(), 0)));
}

}  // namespace

void TVeltrana::offerRecovery()
{
    const QString path = recovery::journalPath(platform().userDataFolder(), m_session);
    if (path.isEmpty() || !QFileInfo::exists(path)) return;
    // Nothing of the file is shown before it proves to be this user's, for this database, and
    // of a document the user may open.
    QString why;
    std::optional<recovery::Entry> entry = recovery::read(path, &why);
    if (entry && (entry->user.toUpper() != m_session.CurrentUser ||
                  entry->database != QString::fromStdString(m_session.connection().DatabaseName()))) {
        why = QStringLiteral("written for another user or database");
        entry.reset();
    }
    std::optional<data::editing::Place> place;
    if (entry) {
        place = data::editing::placeOf(m_session, entry->documentId);
        if (!place || !data::projects::mayOpenProject(m_session, place->projectId, m_session.CurrentUser,
                                                      rights::isAdministrator(m_session.UserRole))) {
            why = QStringLiteral("its document is gone or not one you may open");
            entry.reset();
        }
    }
    QString firstLine;
    if (entry) {
        try {
            firstLine = firstLineOf(entry->body);
        } catch (const std::exception&) {
            why = QStringLiteral("its text cannot be read");
            entry.reset();
        }
    }
    if (!entry) {
        recovery::setAside(path);
        platform().showMessage(QStringLiteral("Unsaved edits kept by an earlier session cannot be recovered (") + why +
                               QStringLiteral("). The file was set aside: ") + path + QStringLiteral(".unusable"));
        return;
    }

    QString text = QStringLiteral("Veltrana was not closed properly. Unsaved edits of the document \"%1\" were "
                                  "kept at %2:\n\n%3\n\n")
                       .arg(ui::isolated(entry->topic), localTimeText(entry->written), firstLine);
    const QString now = data::editing::basedOn(m_session, entry->documentId);
    if (now != entry->basedOn)
        text += QStringLiteral("The document was saved again since these edits began (%1); saving the recovered "
                               "text then asks whether to keep both versions.\n\n")
                    .arg(now);
    text += QStringLiteral("Yes: open the document with the recovered text, not yet saved.\nNo: discard the "
                           "recovered text.\nCancel: keep it in the file %1.kept and decide later.")
                .arg(path);
    switch (platform().askQuestion(QStringLiteral("Recover unsaved edits"), text)) {
    case Platform::Answer::No: QFile::remove(path); return;
    case Platform::Answer::Cancel:
        QFile::remove(path + QStringLiteral(".kept"));
        QFile::rename(path, path + QStringLiteral(".kept"));
        return;
    case Platform::Answer::Yes: break;
    }
    SelectDocumentInProject(place->projectId, place->projectName, entry->documentId);
    if (!m_documentPanel->recoverEdits(*entry, path)) {
        QFile::remove(path + QStringLiteral(".kept"));
        QFile::rename(path, path + QStringLiteral(".kept"));
        platform().showMessage(QStringLiteral("The document's body cannot be shown, so the recovered text was "
                                              "kept in the file ") +
                               path + QStringLiteral(".kept"));
    }
}

void TVeltrana::Timer1Timer() { PollPresence(); }

void TVeltrana::Refresh1Click() { PollPresence(); }

bool TVeltrana::mayActForUser() const
{
    if (m_session.isLoggedIn()) return true;
    platform().showMessage(rights::loggedOffRefusal());
    return false;
}

bool TVeltrana::saveEdits()
{
    if (!SaveDocument()) return false;
    SaveCatagory();
    SaveProjectInfo();
    return true;
}

void TVeltrana::Combo_projectsChange(bool typing)
{
    HourglassCursor wait;
    // Edits of the project shown so far are stored under its own id before the id changes;
    // loading the next project would otherwise refill the fields and drop them.
    if (!saveEdits()) return;
    // A listed entry is its project; typed text opens only one of the user's own projects
    // (any project for administrators), and any other name behaves as an unknown one.
    const QString text = m_navigator->projectText();
    const bool everyProject = rights::isAdministrator(m_session.UserRole);
    qint32 id = typing ? 0 : m_navigator->chosenProjectId();
    if (id > 0) {
        if (!data::projects::mayOpenProject(m_session, id, m_session.CurrentUser, everyProject)) id = 0;
    } else {
        id = data::projects::openableProjectId(m_session, text, m_session.CurrentUser, everyProject);
    }
    openProject(id, text, !typing);
}

void TVeltrana::openProject(qint32 projectId, const QString& caption, bool takeFocus)
{
    Pan_Content->show();
    m_navigator->clearUnread();
    LoadProjectOutline(projectId, caption);
    if (m_session.CurrentProjectID > 0)
        m_navigator->showUnread(
            data::discussions::unreadMessages(m_session, m_session.CurrentProjectID, m_session.CurrentUser));
    m_navigator->selectRoot(takeFocus);
}

qint32 TVeltrana::GetProjectID(const QString& name) { return data::projects::projectId(m_session, name); }

void TVeltrana::LoadProjectOutline(qint32 projectId, const QString& rootCaption)
{
    m_session.CurrentProjectID = projectId;
    m_navigator->showOutline(rootCaption, projectId > 0 ? data::outline::loadOutline(m_session, projectId)
                                                        : std::vector<data::outline::CategoryNode>{});
    if (!m_projectPanel->ShowProjectInfo(projectId) && projectId != 0) {
        // The project is gone: nothing of it stays to be changed.
        m_session.CurrentProjectID = 0;
        m_navigator->showOutline(rootCaption, {});
    }
    dropStalePanels();
}

void TVeltrana::dropStalePanels()
{
    const auto nodes = m_navigator->outlineNodes();
    const auto holds = [&nodes](qint32 id, bool category) {
        return std::any_of(nodes.begin(), nodes.end(), [&](const NavigatorPanel::OutlineNode& n) {
            return (category ? n.level == 1 : n.level >= 2) && n.id == id;
        });
    };
    if (m_categoryPanel->shownId() != 0 && !holds(m_categoryPanel->shownId(), true)) {
        m_categoryPanel->clear();
        m_session.CurrentCatagoryID = 0;
    }
    if (m_documentPanel->shownId() != 0 && !holds(m_documentPanel->shownId(), false)) {
        m_documentPanel->clear();
        m_session.CurrentDocumentID = 0;
    }
}

void TVeltrana::ProjectTreeChange()
{
    if (m_keepingSelection) return;
    HourglassCursor wait;
    if (!saveEdits()) {
        // The user stays with the unsaved text: the document's node is selected again.
        m_keepingSelection = true;
        m_navigator->selectDocument(m_documentPanel->shownId());
        m_keepingSelection = false;
        return;
    }
    ShowNodePanel();
}

void TVeltrana::ShowNodePanel()
{
    enableDocumentCommands(false);
    const int level = m_navigator->selectedLevel();
    if (level < 0) return;
    m_projectPanel->setVisible(level == 0);
    m_categoryPanel->setVisible(level == 1);
    m_documentPanel->setVisible(level >= 2);
    if (level == 0) {
        // Members are changed on the project's own page: the owner selector reads them again.
        m_documentPanel->forgetMembers();
        ShowProjectInfo(m_session.CurrentProjectID);
    } else if (level == 1) {
        ShowCatagory();
    } else {
        enableDocumentCommands(true);
        ShowDocument();
        m_documentPanel->showActivePage();
    }
}

void TVeltrana::connectCollaborationWindows(const Forms& windows)
{
    DiscussionPage* discussion = &m_documentPanel->discussionPage();
    if (windows.Recent_upd_form)
        connect(windows.Recent_upd_form, &TRecent_upd_form::documentChosen, this,
                [this](qint32 project, const QString& name, qint32 document) {
                    guarded([&] { SelectDocumentInProject(project, name, document); });
                });
    if (windows.Disc_Entry_Form)
        onEvent(windows.Disc_Entry_Form, &TDisc_Entry_Form::posted, discussion,
                [discussion] { discussion->But_Disc_RefreshClick(); });
    if (windows.Disc_entry_Child_Form) {
        onEvent(windows.Disc_entry_Child_Form, &TDisc_entry_Child_Form::posted, discussion,
                [discussion] { discussion->But_Disc_RefreshClick(); });
        windows.Disc_entry_Child_Form->setSource([discussion] { return discussion->selectedMessage(); },
                                                 [this] { return m_documentPanel->topicText(); });
    }
    if (windows.Dialog_attach) {
        AttachmentsPage* attachments = &m_documentPanel->attachmentsPage();
        windows.Dialog_attach->setAdder([attachments](int kind, const QString& reference, const QString& description) {
            attachments->AddAttachment(kind, reference, description);
        });
    }
}

void TVeltrana::LastModified1Click()
{
    if (TRecent_upd_form* recent = forms().Recent_upd_form) {
        recent->show();
        recent->raise();
    }
}

void TVeltrana::SelectDocumentInProject(qint32 projectId, const QString& projectName, qint32 documentId)
{
    if (!m_session.isLoggedIn()) return;  // a project of the previous user stays closed
    if (m_session.CurrentProjectID != projectId) {
        HourglassCursor wait;
        if (!saveEdits()) return;
        if (!data::projects::mayOpenProject(m_session, projectId, m_session.CurrentUser,
                                            rights::isAdministrator(m_session.UserRole)))
            return;
        m_navigator->setProjectText(projectName, projectId);
        openProject(projectId, projectName, true);
    }
    m_navigator->selectDocument(documentId);
}

void TVeltrana::openSearchHit(const data::search::Hit& hit)
{
    SelectDocumentInProject(hit.projectId, hit.projectName, hit.requirementId);
    // Nothing more when the project could not be opened or the document is gone.
    if (m_session.CurrentProjectID != hit.projectId || m_documentPanel->shownId() != hit.requirementId) return;
    if (hit.kind == data::search::HitKind::Message)
        m_documentPanel->showDiscussionMessage(hit.itemId);
    else if (hit.kind == data::search::HitKind::Attachment)
        m_documentPanel->showAttachmentsPage();
}

void TVeltrana::ShowCatagory() { m_categoryPanel->ShowCatagory(m_navigator->selectedId()); }

void TVeltrana::ListBox1Click()
{
    if (const auto document = m_navigator->selectedUnreadDocument()) m_navigator->selectDocument(*document);
}

void TVeltrana::ExpandAll1Click() { m_navigator->expandAll(); }

void TVeltrana::CollapseAll1Click() { m_navigator->collapseAll(); }

void TVeltrana::outlineChangedElsewhere(const QString& message, bool documentGone)
{
    platform().showMessage(message);
    // A deleted document's unsaved edits have no row to go to.
    if (documentGone) m_documentPanel->clear();
    refreshlist1Click();
}

void TVeltrana::refreshlist1Click()
{
    HourglassCursor wait;
    if (!saveEdits()) return;
    LoadProjectOutline(m_session.CurrentProjectID, m_navigator->projectText());
}

void TVeltrana::Delete1Click()
{
    if (!rights::isDocumentOwner(m_session.CurrentUser, m_documentPanel->ownerText())) {
        platform().showMessage(QStringLiteral("Only the Document Owner can delete it"));
        return;
    }
    // Only the shown document: CurrentDocumentID outlives the selection of a document.
    if (m_navigator->selectedLevel() < 2 || m_navigator->selectedId() != m_session.CurrentDocumentID) return;
    if (!platform().AskConfirmation(
            QStringLiteral("Are you sure you want to delete this Document and all subdocuments?")))
        return;
    HourglassCursor wait;
    const qint32 id = m_session.CurrentDocumentID;
    if (!data::outline::document(m_session, id)) {
        outlineChangedElsewhere(QStringLiteral("This document has been deleted by another user."), true);
        return;
    }
    data::outline::deleteSubDocuments(m_session, data::outline::Below::Document, id);
    data::outline::deleteDocumentRows(m_session, id);
    // Who deleted it, for a user who still edits it elsewhere.
    data::activitylog::LogActivity(m_session, QStringLiteral("DEL_DOC"), m_session.CurrentUser,
                                   m_session.CurrentProjectID, m_session.CurrentCatagoryID, id, 0);
    // The deleted document's unsaved edits go with it, instead of being stored when the
    // selection moves on.
    m_documentPanel->clear();
    m_navigator->removeSelected();
}

void TVeltrana::DeleteCatagory1Click()
{
    if (!rights::mayManageProject(m_session.UserRole, m_session.IsProjectManager) || m_session.CurrentCatagoryID <= 0) {
        platform().showMessage(QStringLiteral("You must have Admin or Project Manager rights to delete Catagories"));
        return;
    }
    if (m_navigator->selectedLevel() != 1) return;  // CurrentCatagoryID outlives the selection
    if (!platform().AskConfirmation(QStringLiteral("Are you sure you want to delete this catagory?"))) return;
    HourglassCursor wait;
    if (!saveEdits()) return;
    data::outline::deleteCategory(m_session, m_session.CurrentCatagoryID);
    LoadProjectOutline(m_session.CurrentProjectID, m_navigator->projectText());
}

void TVeltrana::NewReq1Click()
{
    m_session.NewSubDocument = false;
    emit documentDialogRequested();
}

void TVeltrana::NewSubRequirement1Click()
{
    m_session.NewSubDocument = true;
    emit documentDialogRequested();
}

void TVeltrana::AddCatagory1Click()
{
    if (!mayActForUser()) return;
    if (m_session.CurrentProjectID <= 0) return;  // no project is open
    HourglassCursor wait;
    if (!saveEdits()) return;
    const qint32 id = data::outline::addCategory(m_session, m_session.CurrentProjectID, QStringLiteral("New Catagory"));
    LoadProjectOutline(m_session.CurrentProjectID, m_navigator->projectText());
    // The new category is shown, ready to be named.
    m_navigator->selectCategory(id);
}

bool TVeltrana::CreateDocument(const QString& topic, vt::rt::RichEditor& body)
{
    if (!mayActForUser()) return false;
    // The dialog stays open while the selection changes: a document needs a category or a
    // document to go beside or below, or no outline would ever show it.
    if (m_navigator->selectedLevel() < 1) {
        platform().showMessage(QStringLiteral("Select a Catagory or a Document in the Project Outline first"));
        return false;
    }
    HourglassCursor wait;
    AddDocumentNode(InsertDocument(topic, body));
    return true;
}

qint32 TVeltrana::InsertDocument(const QString& topic, vt::rt::RichEditor& body)
{
    const int level = m_navigator->selectedLevel();
    qint32 parentId = 0;
    int newLevel = 2;
    if (level == 1) {
        parentId = m_navigator->selectedId();
    } else if (m_session.NewSubDocument) {
        parentId = m_navigator->selectedId();
        newLevel = level + 1;
    } else {
        parentId = m_navigator->selectedParentId();
        newLevel = level;
    }
    const int hash = data::outline::drawHash();
    const qint32 id =
        GetDocumentID(data::outline::insertDocument(m_session, hash, newLevel, parentId, topic, m_session.CurrentUser));
    m_documentPanel->storeNewBody(id, body);
    return id;
}

qint32 TVeltrana::GetDocumentID(qint32 insertId)
{
    if (insertId > 0) return insertId;
    throw std::runtime_error("The new document was stored but could not be found again, so its body was not "
                             "stored. Refresh the outline to see it.");
}

void TVeltrana::AddDocumentNode(qint32 requirementId)
{
    const int level = m_navigator->selectedLevel();
    if (level < 0) return;
    if (level == 1) m_session.NewSubDocument = true;  // until the next "New Document"
    if (const auto document = data::outline::document(m_session, requirementId)) {
        m_navigator->addDocumentNode(*document, m_session.NewSubDocument);
        m_createdDocumentId = requirementId;
    }
}

void TVeltrana::selectCreatedDocument()
{
    if (m_createdDocumentId > 0 && m_session.isLoggedIn()) m_navigator->selectDocument(m_createdDocumentId);
    m_createdDocumentId = 0;
}

void TVeltrana::ProjectTreeDragDrop(const QPoint& viewportPoint)
{
    const int level = m_navigator->selectedLevel();
    if (level < 0) return;
    if (level < 2) {
        platform().showMessage(QStringLiteral("Catagories cannot be moved."));
        return;
    }
    const NavigatorPanel::DropTarget target = m_navigator->dropTargetAt(viewportPoint);
    if (!target.found || target.inDragged) return;
    if (target.level == 0) {
        platform().showMessage(QStringLiteral("You cannot drop documents into the Project root folder"));
        return;
    }
    if (!target.onCaption) return;
    // The row first: a failing update leaves the tree as the rows are.
    HourglassCursor wait;
    using data::outline::MoveResult;
    switch (data::outline::moveDocument(m_session, m_navigator->selectedId(), target.level + 1, target.id)) {
    case MoveResult::Moved: m_navigator->moveSelectedTo(target, target.id); return;
    case MoveResult::DocumentGone:
        outlineChangedElsewhere(QStringLiteral("This document has been deleted by another user."), true);
        return;
    case MoveResult::TargetGone:
        outlineChangedElsewhere(QStringLiteral("The target of the move has been deleted by another user."), false);
        return;
    case MoveResult::BelowItself:
        outlineChangedElsewhere(
            QStringLiteral("Another user has moved the target below this document, so it cannot be moved there."),
            false);
        return;
    }
}

void TVeltrana::Blank1Click() { emit projectDialogRequested(0); }

void TVeltrana::BusPlanClick() { emit projectDialogRequested(1); }

void TVeltrana::Concept1Click() { emit projectDialogRequested(2); }

void TVeltrana::MarketingPlan1Click() { emit projectDialogRequested(3); }

void TVeltrana::SoftwareDevelopment2Click() { emit projectDialogRequested(4); }

bool TVeltrana::CreateProject(const QString& name, const QString& description, int projectTemplate)
{
    if (!mayActForUser()) return false;
    HourglassCursor wait;
    // Projects are found by name: a second one of the same name would take the categories and
    // the membership meant for the new one away to the older one.
    const auto refuseTakenName = [] {
        platform().showMessage(QStringLiteral("A project with this name already exists. Choose another name."));
        return false;
    };
    if (GetProjectID(name) != 0) return refuseTakenName();
    // The shown project's edits are stored before its panel is refilled.
    if (!saveEdits()) return false;
    try {
        data::projects::insertProject(m_session, name, description, m_session.CurrentUser);
    } catch (const EmySQLDatabaseError& error) {
        // With per-user accounts the server also knows the names of projects the user cannot
        // see, and refuses such a name as a duplicate.
        if (error.ServerError() != 1062) throw;
        return refuseTakenName();
    }
    const qint32 id = GetProjectID(name);
    if (id == 0) throw std::runtime_error("The new project was stored but could not be found again by its name.");
    for (const QString& category : data::projects::projectTemplate(projectTemplate).categories)
        data::outline::addCategory(m_session, id, category);
    data::projects::addMember(m_session, id, m_session.CurrentUser);
    LoadProjectList();
    m_navigator->setProjectText(name, id);
    Pan_Content->show();
    m_navigator->clearUnread();
    LoadProjectOutline(id, name);
    m_navigator->selectRoot(true);
    return true;
}

void TVeltrana::ShowProjectInfo(qint32 projectId) { m_projectPanel->ShowProjectInfo(projectId); }

void TVeltrana::SaveProjectInfo() { m_projectPanel->SaveProjectInfo(); }

void TVeltrana::SaveCatagory() { m_categoryPanel->SaveCatagory(); }

void TVeltrana::ShowDocument() { m_documentPanel->ShowDocument(m_navigator->selectedId()); }

bool TVeltrana::SaveDocument() { return m_documentPanel->SaveDocument(); }

// The save commands note a save in the status bar; the silent saves of a selection change do not.
void TVeltrana::Save1Click()
{
    const bool unsaved = m_documentPanel->hasUnsavedChanges();
    SaveDocument();
    if (unsaved) setStatusText(QStringLiteral("Saved"));
}

void TVeltrana::btnSaveClick() { Save1Click(); }

namespace {

// The file written is RTF: a name without extension gets ".rtf", and a name of a body file
// (".rvf") gets ".rtf" added, so that an export is never taken for a body.
QString rtfFileName(const QString& chosen)
{
    const QString suffix = QFileInfo(chosen).suffix();
    if (suffix.isEmpty() || suffix.compare(QLatin1String("rvf"), Qt::CaseInsensitive) == 0)
        return chosen + (chosen.endsWith(QLatin1Char('.')) ? QStringLiteral("rtf") : QStringLiteral(".rtf"));
    return chosen;
}

// A file name for a title: characters no file name may hold become "_", and so do direction
// overrides and embeddings, which would show the name in another order than it has (a name
// ending in "fdp.exe" shown as "exe.pdf"); at most 120 characters, never half of a 4-byte one.
QString pdfFileName(const QString& title)
{
    QString name = title.trimmed();
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    for (QChar& c : name) {
        const QChar::Direction d = c.direction();
        const bool reorders = d == QChar::DirLRE || d == QChar::DirLRO || d == QChar::DirRLE || d == QChar::DirRLO ||
                              d == QChar::DirPDF || d == QChar::DirLRI || d == QChar::DirRLI || d == QChar::DirFSI ||
                              d == QChar::DirPDI;
        if (forbidden.contains(c) || c.category() == QChar::Other_Control || reorders) c = QLatin1Char('_');
    }
    qsizetype length = std::min<qsizetype>(name.size(), 120);
    if (length < name.size() && name.at(length - 1).isHighSurrogate()) --length;
    return (name.isEmpty() ? QStringLiteral("document") : name.left(length)) + QStringLiteral(".pdf");
}

// The suggested path of an export: the shared work folder, when there is one, and the name.
QString inFolder(QString folder, const QString& name)
{
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    return folder + name;
}

QString withPdfSuffix(const QString& chosen)
{
    return QFileInfo(chosen).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0
               ? chosen
               : chosen + QStringLiteral(".pdf");
}

}  // namespace

bool TVeltrana::SaveDocumentAs()
{
    QString folder = m_session.CommonDir;
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    const QString chosen = platform().saveFileName(
        QStringLiteral("Save As"), QStringLiteral("Rich Text Format (*.rtf);;Veltrana Document Files (*.rvf)"), folder);
    if (chosen.isEmpty()) return false;
    const QString path = rtfFileName(chosen);
    m_documentPanel->exportRtf(path);
    m_statusText->clear();
    setWindowTitle(QFileInfo(path).fileName().replace(QStringLiteral("[*]"), QStringLiteral("[*][*]")));
    return true;
}

void TVeltrana::btnSaveAsClick() { SaveDocumentAs(); }

void TVeltrana::wireFormatting()
{
    vt::rt::RichEditor& editor = m_documentPanel->editor();
    FormatToolbar* toolbar = m_toolbar;
    editor.setTextStyleConversion([toolbar](vt::rt::DocStyles& styles, int styleNo, int code) {
        return toolbar->RichEdit1StyleConversion(styles, styleNo, code);
    });
    editor.setParaStyleConversion([toolbar](vt::rt::DocStyles& styles, int styleNo, int code) {
        return toolbar->RichEdit1ParaStyleConversion(styles, styleNo, code);
    });
    toolbar->setCaretTextStyle([&editor] { return editor.styles().text(editor.currentTextStyle()); });
    onEvent(&editor, &vt::rt::RichEditor::currentTextStyleChanged, this, [toolbar, &editor] {
        toolbar->RichEdit1CurTextStyleChanged(editor.styles().text(editor.currentTextStyle()));
    });
    onEvent(&editor, &vt::rt::RichEditor::currentParaStyleChanged, this, [toolbar, &editor] {
        toolbar->RichEdit1CurParaStyleChanged(editor.styles().para(editor.currentParaStyle()));
    });
    // Only a document the user sees and may edit is formatted: the editor keeps the last body
    // while other panels are shown, and a disabled one holds a "not found" message, which a
    // conversion would otherwise mark as an edit to be saved as the body.
    auto editable = [this, &editor] { return m_documentPanel->isVisible() && editor.isEnabled(); };
    connect(toolbar, &FormatToolbar::textConversionRequested, this, [&editor, editable](int code) {
        guarded([&] {
            if (editable()) editor.applyTextConversion(code);
        });
    });
    connect(toolbar, &FormatToolbar::paraConversionRequested, this, [&editor, editable](int code) {
        guarded([&] {
            if (editable()) editor.applyParaConversion(code);
        });
    });
    connect(toolbar, &FormatToolbar::editorFocusRequested, this, [this, &editor] {
        if (isVisible()) editor.setFocus();
    });
    connect(m_documentPanel, &DocumentPanel::formatCommand, this, [toolbar](int code) {
        guarded([&] {
            if (code == FormatToolbar::kBold)
                toolbar->Bold1Click();
            else if (code == FormatToolbar::kItalic)
                toolbar->Italic1Click();
            else if (code == FormatToolbar::kUnderline)
                toolbar->Underline1Click();
        });
    });
    connect(m_documentPanel, &DocumentPanel::progressText, this, &TVeltrana::setStatusText);
    // The list commands of the toolbar and the context menu.
    auto applyList = [&editor, editable](int code) {
        guarded([&] {
            if (editable())
                editor.toggleList(code == FormatToolbar::kNumberedList ? vt::rt::ListKind::Decimal
                                                                       : vt::rt::ListKind::Disc);
        });
    };
    connect(toolbar, &FormatToolbar::listRequested, this, applyList);
    connect(m_documentPanel, &DocumentPanel::listCommand, this, applyList);
    // The status bar marks unsaved changes.
    connect(m_documentPanel, &DocumentPanel::unsavedChangesChanged, m_modifiedMark, &QWidget::setVisible);
}

void TVeltrana::enableDocumentCommands(bool enabled)
{
    for (QAction* a : {Print1, PrintSetup1, Save1, SaveAs1, FindInDocument1, ExportDocumentPdf1})
        a->setEnabled(enabled);
    m_toolbar->setEnabled(enabled);
}

void TVeltrana::showConnection()
{
    // Server and database of the connection, and whether it is encrypted.
    QString text = m_session.connectedServer();
    if (!m_session.connectedDatabase().isEmpty()) text += QStringLiteral(" \u2014 ") + m_session.connectedDatabase();
    text += m_session.encrypted() ? QStringLiteral(" \u2014 encrypted (%1)").arg(m_session.tlsVersion())
                                  : QStringLiteral(" \u2014 not encrypted");
    m_connectionPanel->setText(text);
    m_connectionPanel->setToolTip(
        ui::plainToolTip(QStringLiteral("Database server and database you are connected to: ") + text));
}

void TVeltrana::FindInDocument1Click() { m_documentPanel->openFind(); }

bool TVeltrana::ExportDocumentPdf1Click()
{
    if (!m_documentPanel->isVisible() || m_documentPanel->shownId() <= 0) return false;
    const QString chosen =
        platform().saveFileName(QStringLiteral("Export PDF"), QStringLiteral("PDF files (*.pdf)"),
                                inFolder(m_session.CommonDir, pdfFileName(m_documentPanel->topicText())));
    if (chosen.isEmpty()) return false;
    const QString path = withPdfSuffix(chosen);
    if (!m_documentPanel->exportPdf(path)) return false;
    setStatusText(QStringLiteral("Exported ") + QFileInfo(path).fileName());
    return true;
}

bool TVeltrana::ExportReportPdf1Click()
{
    if (m_session.CurrentProjectID <= 0) {
        platform().showMessage(QStringLiteral("Open a project first"));
        return false;
    }
    const QString projectName = m_navigator->projectText();
    const QString chosen = platform().saveFileName(QStringLiteral("Export PDF"), QStringLiteral("PDF files (*.pdf)"),
                                                   inFolder(m_session.CommonDir, pdfFileName(projectName)));
    if (chosen.isEmpty()) return false;
    const QString path = withPdfSuffix(chosen);
    const QString html = writeReportFile();
    HourglassCursor wait;
    QFile file(html);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("Cannot open file " + html.toStdString() + ": " + file.errorString().toStdString());
    report::writeReportPdf(file.readAll(), m_session.WorkFolder, projectName, path);
    setStatusText(QStringLiteral("Exported ") + QFileInfo(path).fileName());
    return true;
}

void TVeltrana::setStatusText(const QString& text)
{
    m_statusText->setText(text);
    emit statusTextShown(text);
}

void TVeltrana::Print1Click() { m_documentPanel->Print1Click(); }

void TVeltrana::StructuredProjectDocument1Click()
{
    const QString path = writeReportFile();
    if (QFileInfo::exists(path)) {
        if (!platform().shellOpen(path)) platform().showMessage(QStringLiteral("Could not open ") + path);
    } else
        platform().showMessage(QStringLiteral("Can't open file: ") + path);
}

QString TVeltrana::writeReportFile()
{
    HourglassCursor wait;
    m_navigator->focusOutline();
    const QString path = m_session.WorkFolder + QString::fromLatin1(report::kReportFileName);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("Cannot create file " + path.toStdString() + ": " + file.errorString().toStdString());
    if (!m_reportView) {
        m_reportView = std::make_unique<vt::rt::RichEditor>();
        m_reportView->setObjectName(QStringLiteral("RichEdit2"));
    }
    std::vector<report::OutlineEntry> outline;
    for (const auto& node : m_navigator->outlineNodes())
        outline.push_back({node.level, node.id, node.name});
    const QDate today = QDate::currentDate();
    const QString date = QString::fromStdString(DateToStr(EncodeDate(today.year(), today.month(), today.day())));

    // The window keeps painting while the report runs, and the status bar counts the documents.
    const QString before = m_statusText->text();
    struct RestoreStatus {
        TVeltrana* window;
        QString text;
        ~RestoreStatus() { window->setStatusText(text); }
    } restore{this, before};
    QElapsedTimer sinceUpdate;
    sinceUpdate.start();
    report::writeProjectReport(m_session, outline, date, file, *m_reportView, [&](int done, int total) {
        if (done != total && sinceUpdate.elapsed() < 100) return;
        setStatusText(QStringLiteral("Report: %1 of %2 documents").arg(done).arg(total));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        sinceUpdate.restart();
    });
    file.close();
    if (file.error() != QFileDevice::NoError)
        throw std::runtime_error("Cannot write file " + path.toStdString() + ": " + file.errorString().toStdString());
    return path;
}

}  // namespace vt::app
