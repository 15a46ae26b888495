// Who opens which project, and which rows the panels write: a typed project name opens only the
// user's own projects, a rename may not take another project's name, and the project, category
// and document panels never write for id 0 or for a row they no longer show. Rows are checked on
// the server, statements through the access layer's trace hook; a second session on its own
// connection plays the other team.

#include "AppFixture.h"
#include "TestServer.h"

#include "data/Projects.h"
#include "windows/DiscEntryForm.h"
#include "windows/Forms.h"
#include "windows/RecentUpdForm.h"

#include "db/DbSettings.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

using namespace vt::app;

namespace {

// Every statement the access layer sends, its metadata probes apart.
struct StatementTrace {
    QStringList statements;
    StatementTrace()
    {
        SetTraceHook([this](TraceOp op, const std::string& text) {
            if (op == TraceOp::Execute && text.rfind("SHOW", 0) != 0 && text.rfind("DESCRIBE", 0) != 0)
                statements << QString::fromStdString(text);
        });
    }
    ~StatementTrace() { SetTraceHook({}); }

    // Statements that name id 0: "...ID = 0" (a ParentID of 0 is a top-level message), or a
    // member row inserted for project 0.
    QStringList forIdZero() const
    {
        static const QRegularExpression idIsZero(QStringLiteral("(?<!parent)id\\s*=\\s*0(?![0-9])"),
                                                 QRegularExpression::CaseInsensitiveOption);
        static const QRegularExpression memberOfZero(QStringLiteral("^insert into ProjectMembers .*,\\s*0\\)$"),
                                                     QRegularExpression::CaseInsensitiveOption);
        QStringList found;
        for (const QString& s : statements)
            if (idIsZero.match(s).hasMatch() || memberOfZero.match(s).hasMatch()) found << s;
        return found;
    }
    QStringList startingWith(const QString& prefix) const
    {
        QStringList found;
        for (const QString& s : statements)
            if (s.startsWith(prefix, Qt::CaseInsensitive)) found << s;
        return found;
    }
};

QStringList outlineLines(const QTreeWidget& tree)
{
    QStringList lines;
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(&tree)); *it; ++it) {
        int depth = 0;
        for (auto* p = (*it)->parent(); p; p = p->parent())
            ++depth;
        lines << QString(depth * 2, ' ') + (*it)->text(0);
    }
    return lines;
}

QStringList items(const QComboBox& combo)
{
    QStringList result;
    for (int i = 0; i < combo.count(); ++i)
        result << combo.itemText(i);
    return result;
}

}  // namespace

class ProjectAccess : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        m_db = vt::test::freshVeltranaDatabase("vt_pacc");
        writeFile("defaults.cfg", QByteArray::fromStdString(vt::test::defaultsLine(m_db)));
        const auto& server = vt::test::testServer();
        m_values = {QString::fromStdString(m_db),
                    QString::fromStdString(server.host) + ":" + QString::number(server.port),
                    QString::fromStdString(server.user), QString::fromStdString(server.password)};
        // "Website Relaunch" is the other team's (CAROL manages it); ALICE manages "Alpha",
        // whose members are ALICE and BOB.
        sql("INSERT INTO Users (Username, password, Role) VALUES ('ALICE','PW','USER'), ('BOB','PW','USER'), "
            "('CAROL','PW','USER'), ('CHLOÉ','PW','USER')");
        sql("INSERT INTO Projects (ProjectID, ProjectName, Description, ProjectManager) VALUES "
            "(1, 'Website Relaunch', 'Their plans', 'CAROL'), (2, 'Alpha', 'Our plans', 'ALICE')");
        sql("INSERT INTO ProjectMembers (UserName, ProjectID) VALUES ('CAROL', 1), ('ALICE', 2), ('BOB', 2)");
        sql("INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName) VALUES (1, 1, 'Secret area'), "
            "(2, 2, 'Area'), (3, 2, 'Zeta')");
        sql("INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Created, Owner) VALUES "
            "(10, 2, 1, 'Their document', now(), 'CAROL'), (20, 2, 2, 'Our document', now(), 'ALICE')");
        if (movePerUserIfAsked(m_db)) m_values = connectionValues(m_db);
        startApp();
    }

    std::string sql(const std::string& statement) { return vt::test::runSql(statement, m_db); }
    std::string projectRows()
    {
        return sql("SELECT ProjectID, ProjectName, Description, ProjectManager FROM Projects");
    }

    void loginAs(const char* user, const char* password)
    {
        QTest::keyClicks(&loginChild<QLineEdit>("UserID"), user);
        QTest::keyClicks(&loginChild<QLineEdit>("Password"), password);
        loginChild<QPushButton>("Button1").click();
        ASSERT_EQ(m_platform.messages(), QStringList{});
    }
    void logOff() { mainChild<QAction>("Loggoff1").trigger(); }

    QComboBox& selector() { return mainChild<QComboBox>("Combo_projects"); }
    QTreeWidget& tree() { return mainChild<QTreeWidget>("ProjectTree"); }

    void chooseProject(const QString& name)
    {
        const int index = selector().findText(name);
        ASSERT_GE(index, 0) << name.toStdString();
        selector().setCurrentIndex(index);
        emit selector().textActivated(selector().itemText(index));
    }
    // Types the name into the selector key by key, as a user does.
    void typeProject(const QString& name)
    {
        selector().lineEdit()->selectAll();
        QTest::keyClicks(selector().lineEdit(), name);
    }
    void select(const QString& caption)
    {
        const auto found = tree().findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_EQ(found.size(), 1) << caption.toStdString() << " in " << outlineLines(tree()).join('|').toStdString();
        tree().setCurrentItem(found.front());
    }
    void refresh() { mainChild<QAction>("refreshlist1").trigger(); }
    // "Add >" for a user of the Non Members list.
    void addMember(const QString& user)
    {
        auto& nonMembers = mainChild<QListWidget>("non_list");
        const auto found = nonMembers.findItems(user, Qt::MatchExactly);
        if (found.isEmpty()) {
            // No list to pick from: the button is pressed as it stands.
            mainChild<QPushButton>("But_AddMember").click();
            return;
        }
        nonMembers.setCurrentItem(found.front());
        emit nonMembers.itemClicked(found.front());
        mainChild<QPushButton>("But_AddMember").click();
    }
    // Edits a field even where it is disabled: whatever the panel holds must not reach a row
    // it does not show.
    static void force(QLineEdit& field, const QString& text)
    {
        field.setText(text);
        field.setModified(true);
    }

    // A second program instance on its own connection.
    std::unique_ptr<Session> otherInstance(const QString& user, const QString& password)
    {
        auto other = std::make_unique<Session>();
        EXPECT_EQ(other->logIn(m_values, user, password), Session::LoginResult::LoggedIn);
        return other;
    }

    std::string m_db;
    ConnectionValues m_values;
};

TEST_F(ProjectAccess, TypedNameOpensOnlyTheUsersOwnProjectsAndAdministratorsAny)
{
    struct Case {
        const char* user;
        const char* password;
        const char* typed;
        QStringList outline;
        qint32 projectId;
    };
    const Case cases[] = {
        // Not a member: the other team's project behaves as an unknown name.
        {"bob", "pw", "Website Relaunch", {"Website Relaunch"}, 0},
        {"bob", "pw", "website relaunch ", {"website relaunch "}, 0},
        // Own projects open by name, in the server's comparison of names.
        {"bob", "pw", "alpha", {"alpha", "    ...Area", "    Our document", "    ...Zeta"}, 2},
        {"admin", "admin", "website relaunch ", {"website relaunch ", "    ...Secret area", "    Their document"}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.user) + " types " + c.typed);
        loginAs(c.user, c.password);
        typeProject(QString::fromUtf8(c.typed));
        tree().expandAll();
        EXPECT_EQ(outlineLines(tree()), c.outline);
        EXPECT_EQ(session().CurrentProjectID, c.projectId);
        logOff();
    }
    EXPECT_EQ(m_platform.messages(), QStringList{});
}

TEST_F(ProjectAccess, NonMemberCanNeitherSaveNorPostIntoAnotherTeamsProject)
{
    auto carol = otherInstance("carol", "pw");
    const std::string before = projectRows();
    loginAs("bob", "pw");
    // BOB had his own document open, with the window for a new message.
    chooseProject("Alpha");
    select("Our document");
    forms().Disc_Entry_Form->show();

    StatementTrace trace;
    typeProject("Website Relaunch");
    ASSERT_EQ(outlineLines(tree()), QStringList{"Website Relaunch"});
    force(mainChild<QLineEdit>("ProjectName"), "Taken over");
    mainChild<QPlainTextEdit>("ProjectDescription").setPlainText("Ours now");
    refresh();
    select("Website Relaunch");
    mainChild<QAction>("AddCatagory1").trigger();
    addMember("BOB");
    auto& post = *forms().Disc_Entry_Form;
    child<QLineEdit>(post, "Edit1").setText("Hello");
    child<QPushButton>(post, "Button1").click();

    EXPECT_EQ(projectRows(), before);
    EXPECT_EQ(sql("SELECT count(*) FROM Catagories WHERE ProjectID <> 2"), "1\n");
    EXPECT_EQ(sql("SELECT count(*) FROM ProjectMembers"), "3\n");
    EXPECT_EQ(sql("SELECT count(*) FROM Req_messages"), "0\n");
    EXPECT_EQ(trace.forIdZero(), QStringList{});
    EXPECT_EQ(m_platform.messages(), QStringList{"Select a Document in the Project Outline first"});

    // The other team, on its own connection, still finds its project by its name.
    EXPECT_EQ(data::projects::openableProjectId(*carol, "website relaunch", "CAROL", false), 1);
    EXPECT_EQ(data::projects::openableProjectId(*carol, "Alpha", "CAROL", false), 0);
}

TEST_F(ProjectAccess, RenameOntoAnotherProjectsNameIsRefusedAndAValidOneShowsAtOnce)
{
    auto carol = otherInstance("carol", "pw");
    loginAs("alice", "pw");
    chooseProject("Alpha");
    auto& name = mainChild<QLineEdit>("ProjectName");
    const std::string before = projectRows();
    QTreeWidgetItem* root = tree().topLevelItem(0);
    for (const char* taken : {"website relaunch ", "WEBSITE RELAUNCH", "Website Relaunch"}) {
        SCOPED_TRACE(taken);
        m_platform.clear();
        tree().setCurrentItem(root);
        name.selectAll();
        QTest::keyClicks(&name, taken);
        tree().setCurrentItem(root->child(0));
        EXPECT_EQ(m_platform.messages(), QStringList{"A project with this name already exists. Choose another name."});
        EXPECT_EQ(projectRows(), before);
        // Refused once: the next selection does not ask again.
        tree().setCurrentItem(root);
        EXPECT_EQ(m_platform.messages().size(), 1);
    }
    EXPECT_EQ(data::projects::openableProjectId(*carol, "website relaunch ", "CAROL", false), 1);

    // Another case of its own name is no other project's name.
    m_platform.clear();
    name.selectAll();
    QTest::keyClicks(&name, "ALPHA");
    tree().setCurrentItem(root->child(1));
    EXPECT_EQ(sql("SELECT ProjectName FROM Projects WHERE ProjectID = 2"), "ALPHA\n");

    // A new name shows in the selector at once, and on the root from Refresh on, which shows
    // the whole tree.
    tree().setCurrentItem(root);
    const QString renamed = QString::fromUtf8("Alpha 2.0 'Ünïcödé'");
    name.selectAll();
    name.insert(renamed);  // as typed: marks the field modified
    ASSERT_TRUE(name.isModified());
    tree().setCurrentItem(root->child(1));
    EXPECT_EQ(sql("SELECT ProjectName FROM Projects WHERE ProjectID = 2"), "Alpha 2.0 'Ünïcödé'\n");
    EXPECT_EQ(selector().currentText(), renamed);
    EXPECT_EQ(items(selector()), (QStringList{renamed}));
    EXPECT_EQ(root->text(0), "Alpha");
    refresh();
    EXPECT_EQ(outlineLines(tree()), (QStringList{renamed, "    ...Area", "    Our document", "    ...Zeta"}));
    EXPECT_EQ(session().CurrentProjectID, 2);
    EXPECT_EQ(m_platform.messages(), QStringList{});

    // The renamed entry still opens its project when chosen again.
    chooseProject(renamed);
    EXPECT_EQ(session().CurrentProjectID, 2);
    EXPECT_EQ(outlineLines(tree()).size(), 4);
}

// Nor may a new project take another team's name, whether or not the user can see that project.
TEST_F(ProjectAccess, NewProjectOfAnotherTeamsNameIsRefused)
{
    loginAs("alice", "pw");
    const std::string before = projectRows();
    for (const char* taken : {"website relaunch ", "WEBSITE RELAUNCH"}) {
        SCOPED_TRACE(taken);
        m_platform.clear();
        EXPECT_FALSE(mainWindow().CreateProject(taken, "", 0));
        EXPECT_EQ(m_platform.messages(), QStringList{"A project with this name already exists. Choose another name."});
        EXPECT_EQ(projectRows(), before);
    }
}

// The manager renames the project and refreshes, or another session deletes the project under
// the manager's eyes; then "Add >" and a selection follow.
TEST_F(ProjectAccess, PanelsSendNothingForIdZeroAfterARenameOrADeletionElsewhere)
{
    for (const bool deletedElsewhere : {false, true}) {
        SCOPED_TRACE(deletedElsewhere ? "project deleted by another session" : "project renamed, then refreshed");
        m_platform.clear();
        loginAs("alice", "pw");
        chooseProject(selector().itemText(0));
        auto& name = mainChild<QLineEdit>("ProjectName");
        StatementTrace trace;
        if (deletedElsewhere) {
            auto admin = otherInstance("admin", "ADMIN");
            data::projects::deleteProject(*admin, 2);
        } else {
            name.selectAll();
            QTest::keyClicks(&name, "Alpha renamed");
        }
        refresh();
        addMember(QString::fromUtf8("CHLOÉ"));
        select(tree().topLevelItem(0)->text(0));
        refresh();
        EXPECT_EQ(trace.forIdZero(), QStringList{});
        EXPECT_EQ(sql("SELECT count(*) FROM ProjectMembers WHERE ProjectID = 0"), "0\n");
        EXPECT_EQ(sql("SELECT count(*) FROM Projects WHERE ProjectName = ''"), "0\n");
        if (deletedElsewhere) {
            // The project is gone: only the root stays, nobody manages it, no list offers users.
            EXPECT_EQ(tree().topLevelItemCount(), 1);
            EXPECT_EQ(tree().topLevelItem(0)->childCount(), 0);
            EXPECT_FALSE(session().IsProjectManager);
            EXPECT_EQ(mainChild<QListWidget>("non_list").count(), 0);
        } else {
            // The renamed project stays open: the member goes to it.
            EXPECT_EQ(sql("SELECT ProjectID FROM ProjectMembers WHERE UserName = 'CHLOÉ'"), "2\n");
        }
        EXPECT_EQ(m_platform.messages(), QStringList{});
        logOff();
    }
}

TEST_F(ProjectAccess, CategoryEditedBeforeLogOffIsNeverStoredForIdZero)
{
    loginAs("alice", "pw");
    chooseProject("Alpha");
    select("  ...Zeta");
    auto& category = mainChild<QLineEdit>("CatagoryName");
    category.selectAll();
    QTest::keyClicks(&category, "Renamed before leaving");
    StatementTrace trace;
    logOff();
    loginAs("alice", "pw");
    chooseProject("Alpha");
    select("  ...Area");
    select("Our document");
    EXPECT_EQ(trace.forIdZero(), QStringList{});
    EXPECT_EQ(sql("SELECT count(*) FROM Catagories WHERE CatagoryName = 'Renamed before leaving' AND CatagoryID <> 3"),
              "0\n");
    EXPECT_EQ(m_platform.messages(), QStringList{});
}

TEST_F(ProjectAccess, OwnerAndManagerAreStoredOnlyWhenAnEntryIsChosen)
{
    loginAs("alice", "pw");
    chooseProject("Alpha");
    auto& manager = mainChild<QComboBox>("ProjectManager");
    select("Our document");
    auto& owner = mainChild<QComboBox>("Combo_Owner");
    ASSERT_TRUE(owner.isEnabled());
    ASSERT_EQ(items(owner), (QStringList{"ALICE", "BOB"}));

    StatementTrace trace;
    // Opening and closing the drop-down chooses nothing.
    owner.showPopup();
    owner.hidePopup();
    // Half a name typed and confirmed is no entry.
    owner.lineEdit()->selectAll();
    QTest::keyClicks(owner.lineEdit(), "BO");
    QTest::keyClick(owner.lineEdit(), Qt::Key_Return);
    select("Alpha");
    ASSERT_TRUE(manager.isEnabled());
    manager.showPopup();
    manager.hidePopup();
    manager.lineEdit()->selectAll();
    QTest::keyClicks(manager.lineEdit(), "B");
    QTest::keyClick(manager.lineEdit(), Qt::Key_Return);
    // Choosing the manager it has already stores nothing either.
    manager.setCurrentIndex(manager.findText("ALICE"));
    emit manager.textActivated("ALICE");
    EXPECT_EQ(trace.startingWith("Update Requirements set owner"), QStringList{});
    EXPECT_EQ(trace.startingWith("Update Projects"), QStringList{});
    EXPECT_EQ(sql("SELECT Owner FROM Requirements WHERE RequirementID = 20"), "ALICE\n");
    EXPECT_EQ(sql("SELECT ProjectManager FROM Projects WHERE ProjectID = 2"), "ALICE\n");
    EXPECT_EQ(items(manager), (QStringList{"ALICE", "BOB"}));  // no typed text became an entry

    // A chosen entry is stored, once.
    manager.setCurrentIndex(manager.findText("BOB"));
    emit manager.textActivated("BOB");
    EXPECT_EQ(sql("SELECT ProjectManager FROM Projects WHERE ProjectID = 2"), "BOB\n");
    select("Our document");
    owner.setCurrentIndex(owner.findText("BOB"));
    emit owner.textActivated("BOB");
    EXPECT_EQ(sql("SELECT Owner FROM Requirements WHERE RequirementID = 20"), "BOB\n");
    EXPECT_EQ(trace.startingWith("Update Requirements set owner").size(), 1);
    EXPECT_EQ(trace.startingWith("Update Projects set projectManager").size(), 1);
    EXPECT_EQ(m_platform.messages(), QStringList{});
}

// Two projects whose names the server takes for equal (left from before names were kept
// unique): Recent Updates opens the one the update belongs to.
TEST_F(ProjectAccess, RecentUpdatesOpensTheProjectOfTheUpdateByItsId)
{
    sql("INSERT INTO Projects (ProjectID, ProjectName, ProjectManager) VALUES (3, 'alpha ', 'BOB')");
    sql("INSERT INTO ProjectMembers (UserName, ProjectID) VALUES ('BOB', 3)");
    sql("INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName) VALUES (4, 3, 'Legacy area')");
    sql("INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Created, Owner) VALUES "
        "(30, 2, 4, 'Legacy document', now(), 'BOB')");
    sql("INSERT INTO activity_Log (Note, ModifiedBy, ModifyDate, ProjectID, CatagoryID, DocumentID, msgID) VALUES "
        "('UPD_DOC', 'BOB', now(), 3, 4, 30, 0)");
    loginAs("bob", "pw");
    chooseProject("Alpha");
    mainChild<QAction>("LastModified1").trigger();
    auto& grid = child<QTableView>(*forms().Recent_upd_form, "DBGrid1");
    ASSERT_EQ(grid.model()->rowCount(), 1);
    const QPoint at = grid.visualRect(grid.model()->index(0, 0)).center();
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(session().CurrentProjectID, 3);
    ASSERT_NE(tree().currentItem(), nullptr);
    EXPECT_EQ(tree().currentItem()->text(0), "Legacy document");
    EXPECT_EQ(selector().currentText(), "alpha ");
    EXPECT_EQ(m_platform.messages(), QStringList{});
}

TEST_F(ProjectAccess, LookupsCompareNamesAsTheServerDoesAndTakeHostileTextAsText)
{
    auto admin = otherInstance("admin", "ADMIN");
    sql("INSERT INTO Projects (ProjectID, ProjectName) VALUES (4, 'It''s \\\\ -- /* Ünïcödé */')");
    sql("INSERT INTO ProjectMembers (UserName, ProjectID) VALUES ('O''HARA', 4)");
    struct Case {
        const char* name;
        const char* user;
        bool everyProject;
        qint32 id;
    };
    const Case cases[] = {
        {"ALPHA ", "BOB", false, 2},
        {"Website Relaunch", "BOB", false, 0},
        {"Website Relaunch", "ADMIN", true, 1},
        {"Alpha' or '1'='1", "BOB", false, 0},
        {"Website Relaunch", "BOB' or '1'='1", false, 0},
        {"it's \\ -- /* ünïcödé */", "O'HARA", false, 4},
        {"", "BOB", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " for " + c.user);
        const QString name = QString::fromUtf8(c.name);
        const QString user = QString::fromUtf8(c.user);
        EXPECT_EQ(data::projects::openableProjectId(*admin, name, user, c.everyProject), c.id);
        if (c.id != 0) EXPECT_TRUE(data::projects::mayOpenProject(*admin, c.id, user, c.everyProject));
    }
    EXPECT_FALSE(data::projects::mayOpenProject(*admin, 1, "BOB", false));
    EXPECT_FALSE(data::projects::mayOpenProject(*admin, 99, "ADMIN", true));

    EXPECT_TRUE(data::projects::nameTaken(*admin, "website relaunch ", 2));
    EXPECT_FALSE(data::projects::nameTaken(*admin, "website relaunch ", 1));  // its own name
    EXPECT_FALSE(data::projects::nameTaken(*admin, "Alpha' or '1'='1", 0));
    EXPECT_TRUE(data::projects::nameTaken(*admin, QString::fromUtf8("IT'S \\ -- /* ÜNÏCÖDÉ */"), 0));
}
