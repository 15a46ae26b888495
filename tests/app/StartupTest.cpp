// Start-up: the windows and their order, the login dialog, the main window's frame, the
// console, the Options dialog, and the central error display.

#include "AppFixture.h"
#include "ErrorDisplay.h"
#include "windows/AboutForm.h"
#include "windows/Forms.h"
#include "windows/LogForm.h"
#include "windows/OptionsForm.h"
#include "windows/UserAdminForm.h"
#include "windows/UserCreateForm.h"
#include "windows/UserEditorForm.h"
#include "windows/panels/NavigatorPanel.h"

#include "db/TmySQLDatabase.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <stdexcept>
#include <utility>

using namespace vt::app;

class Startup : public AppFixture {};

TEST_F(Startup, CreatesTheFourteenWindowsInOrderWithTheirCaptions)
{
    startApp();
    const std::vector<std::pair<const char*, const char*>> expected = {
        {"vt::app::TVeltrana", "Veltrana"},
        {"vt::app::TDisc_Entry_Form", "Create a New Discussion Item"},
        {"vt::app::TDisc_entry_Child_Form", "Discussion Item Reply Entry Form"},
        {"vt::app::TCreateProjectsForm", "Create New Project Form"},
        {"vt::app::TForm_CreateRequirement", "Create Document"},
        {"vt::app::TLogin_Form", "Veltrana Login"},
        {"vt::app::TUserAdmin_form", "User Account Administration"},
        {"vt::app::TLog_Form", "Log_Form"},
        {"vt::app::TAbout_Form", ""},
        {"vt::app::TDialog_attach", "Attachment Add/Edit"},
        {"vt::app::TForm_UserEditor", "Update User Account"},
        {"vt::app::TForm_UserCreate", "Create New User Account"},
        {"vt::app::TRecent_upd_form", "Recent Updates"},
        {"vt::app::TTOptions", "Options"},
    };
    const auto& windows = m_app->windows();
    ASSERT_EQ(windows.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_STREQ(windows[i]->metaObject()->className(), expected[i].first) << i;
        EXPECT_EQ(windows[i]->windowTitle(), QString::fromLatin1(expected[i].second)) << i;
    }
    // After start-up only the main window and the login dialog are visible.
    for (size_t i = 0; i < windows.size(); ++i)
        EXPECT_EQ(windows[i]->isVisible(), i == 0 || i == 5) << expected[i].first;
}

TEST_F(Startup, LoginDialogHasItsControlsTextsAndGeometry)
{
    startApp();
    TLogin_Form& dlg = login();
    EXPECT_EQ(dlg.pos(), QPoint(271, 235));
    EXPECT_EQ(dlg.size(), QSize(379, 157));
    EXPECT_EQ(dlg.formHeight(), 186);
    EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize());
    EXPECT_TRUE(dlg.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(loginChild<QLabel>("Label1").text(), "Veltrana");

    auto* b1 = dlg.findChild<QPushButton*>("Button1");
    auto* b2 = dlg.findChild<QPushButton*>("Button2");
    ASSERT_TRUE(b1 && b2);
    EXPECT_EQ(b1->text(), "Login");
    EXPECT_TRUE(b1->isDefault());
    EXPECT_EQ(b2->text(), "Connect Options>>>");
    EXPECT_EQ(dlg.findChild<QLineEdit*>("Password")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(dlg.findChild<QGroupBox*>("GroupBox1")->title(),
              "Central Server / mySQL Database Connectivity Settings:");

    struct EditCase {
        const char* name;
        const char* text;
        bool enabled;
        bool hidden;
        const char* hint;
    };
    const EditCase edits[] = {
        {"Edit2", "localhost", true, false,
         "Enter the Computer Name or IP address of the computer hosting the Veltrana Database"},
        {"Edit1", "Veltrana", false, false, "Enter the name of the mySQL database "},
        {"Edit3", "vtran", false, false, "Enter the mySQL database User Name"},
        {"Edit4", "", true, true, "Enter the mySQL user password"},
    };
    for (const EditCase& e : edits) {
        auto* edit = dlg.findChild<QLineEdit*>(e.name);
        ASSERT_TRUE(edit) << e.name;
        EXPECT_EQ(edit->text(), e.text) << e.name;
        EXPECT_EQ(edit->isEnabled(), e.enabled) << e.name;
        EXPECT_EQ(edit->isHidden(), e.hidden) << e.name;
        EXPECT_EQ(edit->toolTip(), e.hint) << e.name;
    }

    // The connection group shows only while the dialog is enlarged, and then lies inside it.
    auto& group = loginChild<QGroupBox>("GroupBox1");
    EXPECT_FALSE(group.isVisible());
    b2->click();
    EXPECT_EQ(dlg.formHeight(), 412);
    EXPECT_TRUE(group.isVisible());
    dlg.layout()->activate();
    EXPECT_LE(group.geometry().bottom(), dlg.height());
    for (const char* name : {"Edit1", "Edit2", "Edit3"}) {
        const auto& edit = loginChild<QLineEdit>(name);
        EXPECT_GE(edit.height(), edit.sizeHint().height()) << name;  // not squeezed
    }
    b2->click();
    EXPECT_EQ(dlg.formHeight(), 186);
    EXPECT_FALSE(group.isVisible());
}

TEST_F(Startup, NameAndPasswordTurnTypedLettersIntoUpperCase)
{
    startApp();
    for (QLineEdit* edit : {&loginChild<QLineEdit>("UserID"), &loginChild<QLineEdit>("Password")}) {
        edit->clear();
        QTest::keyClicks(edit, "bob9x");
        EXPECT_EQ(edit->text(), "BOB9X");
    }
    loginChild<QLineEdit>("UserID").setText("mixed");  // set by the program: kept as given
    EXPECT_EQ(loginChild<QLineEdit>("UserID").text(), "mixed");
}

TEST_F(Startup, MainWindowStartsWithoutNavigatorAndContent)
{
    startApp();
    TVeltrana& w = mainWindow();
    EXPECT_TRUE(w.isVisible());
    // On the scripted 1400 by 1000 screen: inside its available part.
    EXPECT_TRUE(m_platform.screen.contains(w.geometry())) << w.geometry().x() << "," << w.geometry().y();
    EXPECT_EQ(session().AppTitle, "Veltrana");
    EXPECT_EQ(session().UserRole, "USER");
    EXPECT_EQ(session().CurrentUser, "");
    EXPECT_EQ(session().CurrentProjectID, 0);
    EXPECT_FALSE(session().IsProjectManager);
    EXPECT_EQ(session().ProgramFolder, m_dir.path() + "/");
    EXPECT_EQ(session().WorkFolder, session().ProgramFolder);

    EXPECT_FALSE(mainChild<QFrame>("pan_Navigator").isVisible());
    EXPECT_FALSE(mainChild<QFrame>("Pan_Content").isVisible());
    EXPECT_FALSE(mainChild<QFrame>("Pan_Project_Overview").isHidden());
    EXPECT_TRUE(mainChild<QFrame>("Pan_Catagory").isHidden());
    EXPECT_TRUE(mainChild<QFrame>("Pan_Req_Panel").isHidden());
    EXPECT_TRUE(mainChild<QGroupBox>("GroupBox1").isHidden());
    EXPECT_FALSE(mainChild<QTimer>("Timer1").isActive());
    EXPECT_EQ(mainChild<QTimer>("Timer1").interval(), 30000);
    EXPECT_EQ(mainChild<QComboBox>("cmbFont").count(), m_platform.fontList.size());
    EXPECT_EQ(mainChild<QComboBox>("cmbFont").itemText(0), m_platform.fontList.front());

    for (const char* name : {"BackGround",
                             "speedPanel",
                             "pan_Navigator",
                             "Combo_projects",
                             "ListBox1",
                             "ProjectTree",
                             "OnlineList",
                             "RichEdit2",
                             "Pan_Content",
                             "Pan_Project_Overview",
                             "PageControl1",
                             "Tab_ProjectInfo",
                             "Tab_members",
                             "Pan_Catagory",
                             "CatagoryName",
                             "CatagoryDescription",
                             "Pan_Req_Panel",
                             "Pan_tabContent",
                             "Tab_Control",
                             "Tab_Details",
                             "Tab_Req_Discussions",
                             "Attachments",
                             "Ruler1",
                             "RichEdit1",
                             "StatusBar1",
                             "btnSave",
                             "btnSaveAs",
                             "cmbFont",
                             "cmbFontSize",
                             "btnBold",
                             "btnLeft",
                             "btnJustify",
                             "btnIdentInc",
                             "Timer1"})
        EXPECT_TRUE(w.findChild<QObject*>(name)) << name;
}

TEST_F(Startup, MenuItemsCarryTheirCaptionsAndStartState)
{
    startApp();
    struct Item {
        const char* name;
        const char* caption;
        bool enabled;
    };
    const Item items[] = {
        {"Blank1", "Empty Project", true},
        {"BusPlan", "Business Plan ", true},
        {"Concept1", "Concept - Brainstorming", true},
        {"MarketingPlan1", "Marketing Plan", true},
        {"SoftwareDevelopment2", "Software Project", true},
        {"OpenProject", "Open Project", false},
        {"Save1", "Save", false},
        {"SaveAs1", "Save As", false},
        {"PrintSetup1", "Print Setup", false},
        {"Print1", "Print", false},
        {"Loggoff1", "Log Off Identity", true},
        {"ExitMenu", "Exit", true},
        {"StructuredProjectDocument1", "Formatted Project Document", true},
        {"LastModified1", "Last Modified", true},
        {"UserManagement1", "User Management", true},
        {"Deleteproject2", "Delete project", true},
        {"Options1", "Options", true},
        {"Console1", "Console", true},
        {"About1", "About", true},
        {"NewReq1", "New Document", true},
        {"NewSubRequirement1", "New Sub-Document", true},
        {"Delete1", "Delete Document", true},
        {"AddCatagory1", "Add Catagory", true},
        {"DeleteCatagory1", "Delete Catagory", true},
        {"ExpandAll1", "Expand All", true},
        {"CollapseAll1", "Collapse All", true},
        {"refreshlist1", "Refresh", true},
        {"Refresh1", "Refresh", true},
    };
    for (const Item& item : items) {
        auto* action = mainWindow().findChild<QAction*>(item.name);
        ASSERT_TRUE(action) << item.name;
        EXPECT_EQ(action->text(), item.caption) << item.name;
        EXPECT_EQ(action->isEnabled(), item.enabled) << item.name;
    }
    EXPECT_EQ(mainChild<QAction>("SoftwareDevelopment2").toolTip(),
              "Use for Software, Website or Creative development Projects");
}

// Save, Print, Exit and the outline's Refresh have keys, shown in the menu and the tooltip, and
// the keys work from anywhere in the main window (the outline's Refresh lives in a popup).
TEST_F(Startup, MenuShortcutsAreShownAndReachTheirActions)
{
    startApp();
    struct Item {
        const char* name;
        QKeySequence keys;
        const char* toolTip;
    };
    const Item items[] = {{"Save1", QKeySequence(Qt::CTRL | Qt::Key_S), "Save (Ctrl+S)"},
                          {"Print1", QKeySequence(Qt::CTRL | Qt::Key_P), "Print (Ctrl+P)"},
                          {"ExitMenu", QKeySequence(Qt::CTRL | Qt::Key_Q), "Exit (Ctrl+Q)"},
                          {"refreshlist1", QKeySequence(Qt::Key_F5), "Refresh (F5)"}};
    for (const Item& item : items) {
        SCOPED_TRACE(item.name);
        auto& action = mainChild<QAction>(item.name);
        EXPECT_EQ(action.shortcut(), item.keys);
        EXPECT_EQ(action.shortcutContext(), Qt::WindowShortcut);
        EXPECT_EQ(action.toolTip(), item.toolTip);
        EXPECT_EQ(action.text(), QString::fromLatin1(item.toolTip).section(QLatin1String(" ("), 0, 0));
    }
    // The online list's Refresh keeps no key: F5 must reach one action only.
    EXPECT_TRUE(mainChild<QAction>("Refresh1").shortcut().isEmpty());

    TVeltrana& w = mainWindow();
    w.show();
    mainChild<QWidget>("pan_Navigator").show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    auto& save = mainChild<QAction>("Save1");
    save.setEnabled(true);  // as while a document is shown
    QSignalSpy saved(&save, &QAction::triggered);
    QSignalSpy refreshed(&mainChild<QAction>("refreshlist1"), &QAction::triggered);
    QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(&mainChild<QTreeWidget>("ProjectTree"), Qt::Key_F5);
    EXPECT_EQ(saved.count(), 1);
    EXPECT_EQ(refreshed.count(), 1);
    // The editor's own keys are no menu shortcuts.
    for (QAction* action : w.findChildren<QAction*>())
        EXPECT_NE(action->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_I)) << action->objectName().toStdString();
}

// Every password field masks each character with "*", whatever the style would draw.
TEST_F(Startup, PasswordFieldsMaskWithAsterisks)
{
    startApp();
    const std::pair<QWidget*, const char*> fields[] = {{&login(), "Password"},
                                                       {&login(), "Edit4"},
                                                       {forms().Form_UserEditor, "Password"},
                                                       {forms().Form_UserCreate, "Password"},
                                                       {forms().Form_UserCreate, "Password2"}};
    for (const auto& [window, name] : fields) {
        SCOPED_TRACE(window->objectName().toStdString() + "." + name);
        auto& edit = child<QLineEdit>(*window, name);
        edit.setText(QStringLiteral("AB\u00c9"));
        EXPECT_EQ(edit.echoMode(), QLineEdit::Password);
        EXPECT_EQ(edit.displayText(), "***");
        EXPECT_EQ(edit.text(), QStringLiteral("AB\u00c9"));
    }
}

TEST_F(Startup, OutlinePopupOffersItemsByTheSelectedLevel)
{
    startApp();
    TVeltrana& w = mainWindow();
    auto* root = new QTreeWidgetItem(&mainChild<QTreeWidget>("ProjectTree"), {"Project"});
    auto* category = new QTreeWidgetItem(root, {"  ...Cat"});
    auto* document = new QTreeWidgetItem(category, {"Doc"});
    auto* subDocument = new QTreeWidgetItem(document, {"Sub"});
    struct Case {
        QTreeWidgetItem* node;
        bool newDoc, newSub, deleteDoc, addCat, deleteCat;
    };
    const Case cases[] = {{root, false, false, false, true, false},
                          {category, true, false, false, true, true},
                          {document, true, true, true, false, false},
                          {subDocument, true, true, true, false, false}};
    for (const Case& c : cases) {
        mainChild<QTreeWidget>("ProjectTree").setCurrentItem(c.node);
        w.PopupMenu1Popup();
        SCOPED_TRACE(c.node->text(0).toStdString());
        EXPECT_EQ(mainChild<QAction>("NewReq1").isVisible(), c.newDoc);
        EXPECT_EQ(mainChild<QAction>("NewSubRequirement1").isVisible(), c.newSub);
        EXPECT_EQ(mainChild<QAction>("Delete1").isVisible(), c.deleteDoc);
        EXPECT_EQ(mainChild<QAction>("AddCatagory1").isVisible(), c.addCat);
        EXPECT_EQ(mainChild<QAction>("DeleteCatagory1").isVisible(), c.deleteCat);
        EXPECT_TRUE(mainChild<QAction>("ExpandAll1").isVisible() && mainChild<QAction>("CollapseAll1").isVisible() &&
                    mainChild<QAction>("refreshlist1").isVisible());
    }
}

TEST_F(Startup, ConsoleTogglesAndLogLineWritesOnlyWhileShown)
{
    startApp();
    TLog_Form& console = *forms().Log_Form;
    EXPECT_EQ(console.geometry(), QRect(636, 203, 626, 640));
    auto& memo = child<QPlainTextEdit>(console, "Memo1");
    EXPECT_EQ(memo.toPlainText(), "Memo1");

    LogLine("hidden line");
    EXPECT_EQ(memo.toPlainText(), "Memo1");

    mainChild<QAction>("Console1").trigger();
    ASSERT_TRUE(console.isVisible());
    LogLine("Logged IN");
    EXPECT_EQ(memo.toPlainText(), "Memo1\nLogged IN");

    child<QAction>(console, "clear1").trigger();
    EXPECT_EQ(memo.toPlainText(), "");

    mainChild<QAction>("Console1").trigger();
    EXPECT_FALSE(console.isVisible());
}

TEST_F(Startup, OptionsShowTheSharedAreasToAdministratorsOnly)
{
    startApp();
    TTOptions& options = *forms().TOptions;
    session().CommonDir = "/shared/att";
    session().DocumentsFolder = "/shared/docs";

    session().UserRole = "USER";
    mainChild<QAction>("Options1").trigger();
    EXPECT_TRUE(options.isVisible());
    EXPECT_FALSE(child<QGroupBox>(options, "AdminPanel").isEnabled());
    child<QPushButton>(options, "Button2").click();
    EXPECT_FALSE(options.isVisible());

    struct Case {
        bool asFiles;
        bool sharedChecked;
    };
    for (const Case c : {Case{false, false}, Case{true, true}}) {
        session().UserRole = "admin";
        session().StoreDocumentsAsFiles = c.asFiles;
        mainChild<QAction>("Options1").trigger();
        EXPECT_TRUE(child<QGroupBox>(options, "AdminPanel").isEnabled());
        EXPECT_EQ(child<QLineEdit>(options, "CommonPath").text(), "/shared/att");
        EXPECT_EQ(child<QLineEdit>(options, "Edit1").text(), "/shared/docs");
        EXPECT_EQ(child<QRadioButton>(options, "inSharedFolder").isChecked(), c.sharedChecked);
        EXPECT_EQ(child<QRadioButton>(options, "inDatabase").isChecked(), !c.sharedChecked);
        EXPECT_EQ(child<QLineEdit>(options, "Edit1").isEnabled(), c.asFiles);
        EXPECT_FALSE(child<QLineEdit>(options, "CommonPath").isEnabled());
        child<QPushButton>(options, "Button1").click();
        EXPECT_FALSE(options.isVisible());
    }
}

TEST_F(Startup, ExitClosingTheMainWindowOrTheLoginDialogAloneEndsTheEventLoop)
{
    startApp();
    QTimer::singleShot(0, &mainChild<QAction>("ExitMenu"), &QAction::trigger);
    QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });  // safety net
    EXPECT_EQ(QCoreApplication::exec(), 0);

    // Escape leaves the login dialog up. Closing the login dialog beside the main window, or
    // closing another window while the main window is hidden, ends nothing.
    QTest::keyClick(&login(), Qt::Key_Escape);
    EXPECT_TRUE(login().isVisible());
    QTimer::singleShot(0, [this] {
        login().close();
        login().show();
        mainWindow().hide();
        mainChild<QAction>("Console1").trigger();
        forms().Log_Form->close();
    });
    QTimer::singleShot(300, [] { QCoreApplication::exit(7); });
    EXPECT_EQ(QCoreApplication::exec(), 7);
    EXPECT_TRUE(login().isVisible());

    // With the main window hidden (after Log Off), closing the login dialog ends the program.
    QTimer::singleShot(0, &login(), &QWidget::close);
    QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    mainWindow().show();

    QTimer::singleShot(0, &mainWindow(), &QWidget::close);
    QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
}

namespace {
class ThrowingObject : public QObject {
protected:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User) throw std::runtime_error("event handler failed");
        return QObject::event(e);
    }
};
}  // namespace

TEST_F(Startup, HandlerExceptionsReachTheErrorDisplayAndTheWindowStaysUsable)
{
    startApp();
    QPushButton button("throws");
    onEvent(&button, &QPushButton::clicked, &button,
            [] { throw std::runtime_error("mySQL Error Code: (1146)\r\nTable missing"); });
    button.click();
    button.click();
    EXPECT_EQ(m_platform.messages(),
              (QStringList{"mySQL Error Code: (1146)\r\nTable missing", "mySQL Error Code: (1146)\r\nTable missing"}));

    // Even a handler outside the guard cannot end the program: the application object catches.
    ThrowingObject object;
    QCoreApplication::postEvent(&object, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    EXPECT_EQ(m_platform.messages().back(), "event handler failed");

    // The login dialog still works afterwards.
    loginChild<QLineEdit>("Edit2").setText("x");
    loginChild<QPushButton>("Button1").click();
    EXPECT_EQ(m_platform.messages().size(), 4);
}

TEST_F(Startup, LimitedCommandsRefuseWithTheirMessages)
{
    startApp();
    struct Case {
        const char* role;
        bool manager;
        QStringList userManagement;  // messages of Tools > Admin > User Management
        QStringList deleteProject;   // messages of Tools > Admin > Delete project
    };
    const QStringList noAdmin{"You must have Admin rights to Add New Users"};
    const QStringList noDelete{"You must have Admin rights to delete projects"};
    const Case cases[] = {{"USER", false, noAdmin, noDelete}, {"USER", true, noAdmin, {}}, {"admin", false, {}, {}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.role) + (c.manager ? " manager" : ""));
        session().UserRole = c.role;
        session().IsProjectManager = c.manager;
        m_platform.clear();
        mainChild<QAction>("UserManagement1").trigger();
        const bool administrator = QString(c.role).toUpper() == "ADMIN";
        // An administrator gets the window (whose grid needs the server, not connected here).
        EXPECT_EQ(forms().UserAdmin_form->isVisible(), administrator);
        if (!administrator) {
            EXPECT_EQ(m_platform.messages(), c.userManagement);
        }
        forms().UserAdmin_form->hide();
        m_platform.clear();
        mainChild<QAction>("Deleteproject2").trigger();
        EXPECT_EQ(m_platform.messages(), c.deleteProject);
    }
}

TEST_F(Startup, ConnectionComponentCarriesItsDesignValuesAndAboutShowsTheTitle)
{
    startApp();
    const TStringList& params = session().connection().Params();
    EXPECT_EQ(params.Lines(), (std::vector<std::string>{"Port=3306", "TIMEOUT=30", "max_allowed_packet=16M"}));
    EXPECT_FALSE(session().connection().Connected());

    mainChild<QAction>("About1").trigger();
    TAbout_Form& about = *forms().About_Form;
    EXPECT_TRUE(about.isVisible());
    EXPECT_EQ(child<QLabel>(about, "ProductName").text(), "Veltrana");
    EXPECT_EQ(child<QLabel>(about, "Version").text(), QStringLiteral("Version " VT_EXPECTED_VERSION));
    EXPECT_FALSE(child<QPlainTextEdit>(about, "Memo1").isEnabled());
    EXPECT_EQ(about.size(), QSize(253, 181));
    about.findChild<QPushButton*>("OKButton")->click();
    EXPECT_FALSE(about.isVisible());
}

// Who's Online is a sorted list box: entries follow the user's collation, ignoring case.
TEST_F(Startup, WhoIsOnlineSortsLikeASortedListBox)
{
    startApp();
    auto& navigator = child<NavigatorPanel>(mainWindow(), "pan_Navigator");
    auto& list = mainChild<QListWidget>("OnlineList");
    auto entries = [&] {
        QStringList result;
        for (int i = 0; i < list.count(); ++i)
            result << list.item(i)->text();
        return result;
    };
    const QLocale saved;
    struct Case {
        QLocale locale;
        QStringList given;
        QStringList shown;
    };
    const Case cases[] = {
        {QLocale(QLocale::French, QLocale::France),
         {"ZOE", QString::fromUtf8("ÉMILE"), "aaron", QString::fromUtf8("CHLOÉ")},
         {"aaron", QString::fromUtf8("CHLOÉ"), QString::fromUtf8("ÉMILE"), "ZOE"}},
        {QLocale(QLocale::English, QLocale::UnitedStates),
         {"bob", "Bob", "BOB", "alice", "Carl"},
         {"alice", "bob", "Bob", "BOB", "Carl"}},  // equal but for case: lower case first
        {QLocale(QLocale::Swedish, QLocale::Sweden),
         {QString::fromUtf8("Åsa"), "Zack", "Olle"},
         {"Olle", "Zack", QString::fromUtf8("Åsa")}},  // Å comes after Z in Swedish
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale.name().toStdString());
        QLocale::setDefault(c.locale);
        navigator.showOnlineUsers(c.given);
        EXPECT_EQ(entries(), c.shown);
    }
    // An empty poll result keeps the list.
    navigator.showOnlineUsers({});
    EXPECT_EQ(entries().size(), 3);
    QLocale::setDefault(saved);
}
