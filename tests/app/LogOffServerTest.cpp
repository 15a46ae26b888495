// Log Off, Exit and closing the main window against the private test server: every window of
// the logged-in user closes at Log Off and its commands, run afterwards or by a user without
// the right, change no row; the shown edits are stored on the way out, and a failing store
// keeps the user where they were with the text kept.

#include "AppFixture.h"
#include "TestServer.h"

#include "richtext/RichEditor.h"
#include "windows/AboutForm.h"
#include "windows/AttachDialog.h"
#include "windows/CreateProjectsForm.h"
#include "windows/CreateRequirementForm.h"
#include "windows/DiscEntryChildForm.h"
#include "windows/DiscEntryForm.h"
#include "windows/Forms.h"
#include "windows/LogForm.h"
#include "windows/OptionsForm.h"
#include "windows/RecentUpdForm.h"
#include "windows/UserAdminForm.h"
#include "windows/UserCreateForm.h"
#include "windows/UserEditorForm.h"
#include "windows/panels/AttachmentsPage.h"
#include "windows/panels/DiscussionPage.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

using namespace vt::app;

class LogOff : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        m_db = vt::test::freshVeltranaDatabase("vt_logoff");
        writeFile("defaults.cfg", QByteArray::fromStdString(vt::test::defaultsLine(m_db)));
        // ADMIN manages Alpha and owns its document; BOB is an ordinary member.
        sql("INSERT INTO Users (Username, password, Role) VALUES ('BOB','PW','USER')");
        sql("INSERT INTO Projects (ProjectID, ProjectName, Description, ProjectManager) VALUES "
            "(1, 'Alpha', 'About alpha', 'ADMIN')");
        sql("INSERT INTO ProjectMembers (UserName, ProjectID) VALUES ('ADMIN', 1), ('BOB', 1)");
        sql("INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName, Description) VALUES (1, 1, 'Area', '')");
        sql("INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Created, Owner) VALUES "
            "(10, 2, 1, 'Doc', now(), 'ADMIN')");
        sql("INSERT INTO Req_objects (RequirementID, Document) VALUES (10, X'" + body("Body").toHex().toStdString() +
            "')");
        sql("INSERT INTO Req_messages (msgID, Subject, Name, msg, created, RequirementID, ProjectID, ParentID) "
            "VALUES (1, 'Hello', 'BOB', 'text', now(), 10, 1, 0)");
        sql("INSERT INTO msg_state (RequirementID, msgID, username, state) VALUES (10, 1, 'ADMIN', 1)");
        sql("INSERT INTO activity_Log (Note, ModifiedBy, ModifyDate, ProjectID, CatagoryID, DocumentID, msgID) "
            "VALUES ('UPD_DOC', 'BOB', now(), 1, 1, 10, 0)");
        movePerUserIfAsked(m_db);
        startApp();
    }

    static QByteArray body(const QString& text)
    {
        vt::rt::RichEditor editor;
        editor.appendParagraph(text);
        return editor.saveToBytes();
    }
    std::string sql(const std::string& statement) { return vt::test::runSql(statement, m_db); }

    // Every row a command of these windows could change.
    std::string rows()
    {
        std::string all;
        for (const char* statement :
             {"SELECT Username, Role, password, FirstName FROM Users ORDER BY Username",
              "SELECT * FROM Projects ORDER BY ProjectID", "SELECT * FROM ProjectMembers ORDER BY UserName, ProjectID",
              "SELECT CatagoryID, ProjectID, CatagoryName, Description FROM Catagories ORDER BY CatagoryID",
              "SELECT RequirementID, RequirementName, Owner, messages, attachments, modifiedBy FROM Requirements "
              "ORDER BY RequirementID",
              "SELECT hex(Document) FROM Req_objects", "SELECT msgID, Subject, Name FROM Req_messages ORDER BY msgID",
              "SELECT msgID, username, state FROM msg_state ORDER BY msgID, username",
              "SELECT Link, Description FROM Attachments", "SELECT count(*) FROM activity_Log"})
            all += sql(statement) + "--\n";
        return all;
    }

    void loginAs(const char* user, const char* password)
    {
        QTest::keyClicks(&loginChild<QLineEdit>("UserID"), user);
        QTest::keyClicks(&loginChild<QLineEdit>("Password"), password);
        loginChild<QPushButton>("Button1").click();
        ASSERT_TRUE(session().isLoggedIn()) << m_platform.messages().join("|").toStdString();
        m_platform.clear();
    }
    void logOff() { mainChild<QAction>("Loggoff1").trigger(); }
    void chooseAlpha()
    {
        auto& combo = mainChild<QComboBox>("Combo_projects");
        combo.setCurrentIndex(combo.findText("Alpha"));
        emit combo.textActivated("Alpha");
    }
    QTreeWidget& tree() { return mainChild<QTreeWidget>("ProjectTree"); }
    // Selects the node whose caption starts with caption (stored edits lengthen the names).
    void select(const QString& caption)
    {
        const auto found = tree().findItems(caption, Qt::MatchStartsWith | Qt::MatchRecursive);
        ASSERT_EQ(found.size(), 1) << caption.toStdString();
        tree().setCurrentItem(found.front());
    }
    void openDocument()
    {
        chooseAlpha();
        select("Doc");
    }
    vt::rt::RichEditor& editor() { return mainChild<vt::rt::RichEditor>("RichEdit1"); }
    QLineEdit& topic() { return mainChild<QLineEdit>("Edit_RequireMentName"); }

    // Opens the administration grid and makes the account current.
    void adminOnUser(const QString& name)
    {
        mainChild<QAction>("UserManagement1").trigger();
        ASSERT_TRUE(admin().isVisible());
        auto& grid = child<QTableView>(admin(), "DBGrid1");
        for (int r = 0; r < grid.model()->rowCount(); ++r)
            if (grid.model()->data(grid.model()->index(r, 1)).toString() == name)
                grid.setCurrentIndex(grid.model()->index(r, 0));
    }
    // The object names of the program's windows that are shown.
    QStringList shownWindows() const
    {
        QStringList names;
        for (QWidget* window : m_app->windows())
            if (window->isVisible()) names << window->objectName();
        return names;
    }
    TUserAdmin_form& admin() { return *forms().UserAdmin_form; }
    TForm_UserEditor& userEditor() { return *forms().Form_UserEditor; }
    TForm_UserCreate& userCreator() { return *forms().Form_UserCreate; }

    // Runs action inside the program's event loop and tells whether it ended the loop.
    static bool endsTheProgram(const std::function<void()>& action)
    {
        QTimer fallback;
        fallback.setSingleShot(true);
        QObject::connect(&fallback, &QTimer::timeout, [] { QCoreApplication::exit(7); });
        fallback.start(300);
        QTimer::singleShot(0, qApp, action);
        return QCoreApplication::exec() == 0;
    }

    std::string m_db;
};

// Each window that can be open at Log Off: how the administrator opens it, and its command
// run after Log Off (as a click on its button would).
TEST_F(LogOff, EveryWindowOfTheUserClosesAndItsCommandsChangeNoRowAfterwards)
{
    struct Case {
        const char* name;
        std::function<QWidget*()> open;
        std::function<void()> commandAfterLogOff;
    };
    const std::vector<Case> cases = {
        {"user administration: delete BOB",
         [&] {
             adminOnUser("BOB");
             return static_cast<QWidget*>(&admin());
         },
         [&] {
             m_platform.answers.push_back(Platform::Answer::Yes);
             admin().DeleteUser1Click();
             admin().EditUser1Click();
             admin().AddUser1Click();
         }},
        {"user editor: BOB made an administrator, his password set",
         [&] {
             adminOnUser("BOB");
             admin().EditUser1Click();
             return static_cast<QWidget*>(&userEditor());
         },
         [&] {
             child<QLineEdit>(userEditor(), "FirstName").setText("Owned");
             child<QRadioButton>(userEditor(), "RadioGroup1_Admin").setChecked(true);
             userEditor().Button2Click();
             child<QLineEdit>(userEditor(), "Password").setText("NEWPW");
             userEditor().Button1Click();
         }},
        {"user creation: the administrator MALLORY",
         [&] {
             adminOnUser("BOB");
             admin().AddUser1Click();
             return static_cast<QWidget*>(&userCreator());
         },
         [&] {
             child<QLineEdit>(userCreator(), "UserName").setText("MALLORY");
             child<QRadioButton>(userCreator(), "RadioGroup1_Admin").setChecked(true);
             userCreator().Button2Click();
         }},
        {"create project",
         [&] {
             mainChild<QAction>("Blank1").trigger();
             return static_cast<QWidget*>(forms().CreateProjectsForm);
         },
         [&] {
             child<QLineEdit>(*forms().CreateProjectsForm, "Edit1").setText("Orphan");
             forms().CreateProjectsForm->Button1Click();
         }},
        {"create document",
         [&] {
             chooseAlpha();
             select("  ...Area");
             mainWindow().NewReq1Click();
             return static_cast<QWidget*>(forms().Form_CreateRequirement);
         },
         [&] {
             child<QLineEdit>(*forms().Form_CreateRequirement, "Edit1").setText("Orphan");
             forms().Form_CreateRequirement->Button1Click();
             forms().Form_CreateRequirement->Button2Click();
         }},
        {"discussion entry",
         [&] {
             openDocument();
             child<QPushButton>(mainChild<DiscussionPage>("Tab_Req_Discussions"), "Button4").click();
             return static_cast<QWidget*>(forms().Disc_Entry_Form);
         },
         [&] {
             child<QLineEdit>(*forms().Disc_Entry_Form, "Edit1").setText("Orphan");
             forms().Disc_Entry_Form->Button1Click();
         }},
        {"discussion reply",
         [&] {
             openDocument();
             auto& page = mainChild<DiscussionPage>("Tab_Req_Discussions");
             mainChild<QTabWidget>("Tab_Control").setCurrentWidget(&page);  // its messages are read when shown
             auto& messages = child<QTreeWidget>(page, "DiscTree");
             messages.setCurrentItem(messages.topLevelItem(0));
             page.But_disc_replyClick();
             return static_cast<QWidget*>(forms().Disc_entry_Child_Form);
         },
         [&] {
             child<QPlainTextEdit>(*forms().Disc_entry_Child_Form, "Memo1").setPlainText("Orphan");
             forms().Disc_entry_Child_Form->Button1Click();
         }},
        {"attachment dialog",
         [&] {
             openDocument();
             child<QAction>(mainChild<AttachmentsPage>("Attachments"), "AddURL1").trigger();
             return static_cast<QWidget*>(forms().Dialog_attach);
         },
         [&] { forms().Dialog_attach->Button1Click(); }},
        {"recent updates",
         [&] {
             mainChild<QAction>("LastModified1").trigger();
             return static_cast<QWidget*>(forms().Recent_upd_form);
         },
         [&] {
             m_platform.answers.push_back(Platform::Answer::Yes);
             forms().Recent_upd_form->DBGrid1CtrlDelete();
             forms().Recent_upd_form->DBGrid1DblClick();
         }},
        {"options",
         [&] {
             mainChild<QAction>("Options1").trigger();
             return static_cast<QWidget*>(forms().TOptions);
         },
         [] {}},
        {"about box",
         [&] {
             mainChild<QAction>("About1").trigger();
             return static_cast<QWidget*>(forms().About_Form);
         },
         [] {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        loginAs("admin", "admin");
        QWidget* window = c.open();
        ASSERT_TRUE(window->isVisible());
        ASSERT_EQ(m_platform.messages(), QStringList{});
        const std::string before = rows();

        logOff();
        EXPECT_FALSE(window->isVisible());
        EXPECT_TRUE(login().isVisible());
        c.commandAfterLogOff();
        EXPECT_EQ(rows(), before);
        // The main window stayed closed: no project of the previous user was opened.
        EXPECT_FALSE(mainWindow().isVisible());
        EXPECT_EQ(tree().topLevelItemCount(), 0);
        EXPECT_EQ(shownWindows(), QStringList{"Login_Form"});
        m_platform.clear();
        m_platform.answers.clear();
    }
    // The console is the desk's, not the user's: it stays.
    loginAs("admin", "admin");
    mainChild<QAction>("Console1").trigger();
    logOff();
    EXPECT_TRUE(forms().Log_Form->isVisible());
}

TEST_F(LogOff, UserCommandsAreRefusedToAnOrdinaryUserWhoReachesThem)
{
    // The administrator left the editor on BOB and the creation window filled in.
    loginAs("admin", "admin");
    adminOnUser("BOB");
    admin().EditUser1Click();
    logOff();
    loginAs("bob", "pw");
    const std::string before = rows();

    const std::vector<std::pair<const char*, std::function<void()>>> commands = {
        {"editor Update",
         [&] {
             child<QRadioButton>(userEditor(), "RadioGroup1_Admin").setChecked(true);
             userEditor().Button2Click();
         }},
        {"editor Set Password",
         [&] {
             child<QLineEdit>(userEditor(), "Password").setText("MINE");
             userEditor().Button1Click();
         }},
        {"Create User",
         [&] {
             child<QLineEdit>(userCreator(), "UserName").setText("MALLORY");
             userCreator().Button2Click();
         }},
        {"Delete User",
         [&] {
             m_platform.answers.push_back(Platform::Answer::Yes);
             admin().DeleteUser1Click();
         }},
        {"grid Ctrl+Delete",
         [&] {
             m_platform.answers.push_back(Platform::Answer::Yes);
             admin().DBGrid1CtrlDelete();
         }},
        {"Refresh", [&] { admin().Refresh1Click(); }},
    };
    for (const auto& [name, command] : commands) {
        SCOPED_TRACE(name);
        m_platform.clear();
        command();
        EXPECT_EQ(m_platform.messages(), QStringList{"You must have Admin rights to Add New Users"});
        EXPECT_EQ(rows(), before);
    }
    EXPECT_EQ(sql("SELECT Role FROM Users WHERE Username='BOB'"), "USER\n");
}

TEST_F(LogOff, ThePresenceTimerStopsAndNothingIsStampedAfterwards)
{
    loginAs("bob", "pw");
    EXPECT_TRUE(mainChild<QTimer>("Timer1").isActive());
    logOff();
    EXPECT_FALSE(mainChild<QTimer>("Timer1").isActive());
    sql("UPDATE Users SET lastPollRequest = NULL");
    mainWindow().Timer1Timer();
    EXPECT_EQ(sql("SELECT count(*) FROM Users WHERE lastPollRequest IS NOT NULL"), "0\n");
    EXPECT_EQ(m_platform.messages(), QStringList{});
}

// The edits of the shown document, category or project are stored by each way out, as by a
// selection change.
TEST_F(LogOff, LogOffExitAndCloseStoreTheShownEdits)
{
    struct Edit {
        const char* name;
        const char* node;
        std::function<void(const QString&)> type;
        std::string query;  // what the row holds afterwards
    };
    const std::vector<Edit> edits = {
        {"body", "Doc",
         [&](const QString& text) {
             editor().moveCursor(QTextCursor::End);
             QTest::keyClicks(&editor(), text);
         },
         ""},
        {"topic", "Doc", [&](const QString& text) { QTest::keyClicks(&topic(), text); },
         "SELECT RequirementName FROM Requirements WHERE RequirementID=10"},
        {"category name", "  ...Area",
         [&](const QString& text) { QTest::keyClicks(&mainChild<QLineEdit>("CatagoryName"), text); },
         "SELECT CatagoryName FROM Catagories WHERE CatagoryID=1"},
        {"project description", "Alpha",
         [&](const QString& text) {
             auto& description = mainChild<QPlainTextEdit>("ProjectDescription");
             description.moveCursor(QTextCursor::End);
             QTest::keyClicks(&description, text);
         },
         "SELECT Description FROM Projects WHERE ProjectID=1"},
    };
    const std::vector<std::pair<const char*, std::function<void()>>> ways = {
        {"Log Off", [&] { logOff(); }},
        {"Exit", [&] { EXPECT_TRUE(endsTheProgram([&] { mainChild<QAction>("ExitMenu").trigger(); })); }},
        {"close", [&] { EXPECT_TRUE(endsTheProgram([&] { mainWindow().close(); })); }},
    };
    int n = 0;
    for (const auto& [way, leave] : ways)
        for (const Edit& edit : edits) {
            SCOPED_TRACE(std::string(way) + " with a modified " + edit.name);
            const QString mark = QStringLiteral(" e%1").arg(++n);
            loginAs("admin", "admin");
            chooseAlpha();
            select(edit.node);
            edit.type(mark);
            leave();
            EXPECT_EQ(m_platform.messages(), QStringList{});
            if (edit.query.empty()) {
                const std::string hex = sql("SELECT hex(Document) FROM Req_objects WHERE RequirementID=10");
                vt::rt::RichEditor reader;
                reader.loadFromBytes(QByteArray::fromHex(QByteArray::fromStdString(hex).trimmed()));
                EXPECT_TRUE(reader.toPlainText().endsWith(mark)) << reader.toPlainText().toStdString();
            } else {
                EXPECT_TRUE(QString::fromStdString(sql(edit.query)).trimmed().endsWith(mark)) << sql(edit.query);
            }
            if (session().isLoggedIn()) logOff();
        }
}

TEST_F(LogOff, AFailingStoreKeepsTheUserInWithTheTextUntilItSucceeds)
{
    loginAs("admin", "admin");
    openDocument();
    QTest::keyClicks(&topic(), " kept");
    editor().moveCursor(QTextCursor::End);
    QTest::keyClicks(&editor(), " too");
    // On the table itself: with per-user accounts the program's database holds views.
    const std::string tables = perUser() ? m_db + "_store" : m_db;
    vt::test::runSql("CREATE TRIGGER refuse BEFORE UPDATE ON Requirements FOR EACH ROW "
                     "SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'store refused'",
                     tables);

    const std::vector<std::pair<const char*, std::function<bool()>>> ways = {
        {"Log Off",
         [&] {
             logOff();
             return !session().isLoggedIn();
         }},
        {"Exit", [&] { return endsTheProgram([&] { mainChild<QAction>("ExitMenu").trigger(); }); }},
        {"close", [&] { return endsTheProgram([&] { mainWindow().close(); }); }},
    };
    for (const auto& [way, leave] : ways) {
        SCOPED_TRACE(way);
        m_platform.clear();
        EXPECT_FALSE(leave());
        ASSERT_EQ(m_platform.messages().size(), 1);
        EXPECT_TRUE(m_platform.messages().front().startsWith("Your changes could not be stored: "))
            << m_platform.messages().front().toStdString();
        EXPECT_TRUE(m_platform.messages().front().contains("store refused"));
        EXPECT_TRUE(session().isLoggedIn());
        EXPECT_TRUE(mainWindow().isVisible());
        EXPECT_FALSE(login().isVisible());
        EXPECT_EQ(topic().text(), "Doc kept");
        EXPECT_TRUE(editor().toPlainText().endsWith(" too"));
        EXPECT_TRUE(editor().isModified());
    }
    EXPECT_EQ(sql("SELECT RequirementName FROM Requirements WHERE RequirementID=10"), "Doc\n");

    // Once the store works again, Log Off stores both and logs off.
    vt::test::runSql("DROP TRIGGER refuse", tables);
    m_platform.clear();
    logOff();
    EXPECT_EQ(m_platform.messages(), QStringList{});
    EXPECT_FALSE(session().isLoggedIn());
    EXPECT_EQ(sql("SELECT RequirementName FROM Requirements WHERE RequirementID=10"), "Doc kept\n");
    vt::rt::RichEditor reader;
    reader.loadFromBytes(QByteArray::fromHex(
        QByteArray::fromStdString(sql("SELECT hex(Document) FROM Req_objects WHERE RequirementID=10")).trimmed()));
    EXPECT_EQ(reader.toPlainText(), "Body too");
}
