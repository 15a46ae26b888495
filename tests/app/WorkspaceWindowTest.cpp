// The workspace on the real main window against the private test server: the project selector,
// the outline's captions, pictures and order, the panels and File items per node, the unread
// list, saving on selection change, the manager, owner and member rules.

#include "AppFixture.h"
#include "OutlineGenerator.h"
#include "TestServer.h"

#include "data/Outline.h"

#include "richtext/RichEditor.h"
#include "windows/panels/DocumentPanel.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

using namespace vt::app;

namespace {

QStringList items(const QComboBox& combo)
{
    QStringList result;
    for (int i = 0; i < combo.count(); ++i)
        result << combo.itemText(i);
    return result;
}

QStringList items(const QListWidget& list)
{
    QStringList result;
    for (int i = 0; i < list.count(); ++i)
        result << list.item(i)->text();
    return result;
}

// The tree as lines "indent caption [state]", in display order.
QStringList outlineLines(const QTreeWidget& tree)
{
    QStringList lines;
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(&tree)); *it; ++it) {
        int depth = 0;
        for (auto* p = (*it)->parent(); p; p = p->parent())
            ++depth;
        QString line = QString(depth * 2, ' ') + (*it)->text(0);
        if (depth >= 2) line += QString(" [%1]").arg((*it)->data(0, Qt::UserRole + 1).toInt());
        lines << line;
    }
    return lines;
}

}  // namespace

class Workspace : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        m_db = vt::test::freshVeltranaDatabase("vt_wsw");
        writeFile("defaults.cfg", QByteArray::fromStdString(vt::test::defaultsLine(m_db)));
        // Alpha is managed by ALICE (stored in lower case); BOB and ALICE are its members.
        sql("INSERT INTO Users (Username, password, Role) VALUES ('ALICE','PW','USER'), ('BOB','PW','USER')");
        sql("INSERT INTO Projects (ProjectID, ProjectName, Description, ProjectManager) VALUES "
            "(1, 'Alpha', 'About alpha', 'alice'), (2, 'Other', '', 'ADMIN')");
        sql("INSERT INTO ProjectMembers (UserName, ProjectID) VALUES ('ALICE', 1), ('BOB', 1)");
        sql("INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName, Description) VALUES "
            "(1, 1, 'Zeta', 'Last area'), (2, 1, 'Area', NULL), (3, 2, 'Elsewhere', NULL)");
        sql("INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Created, Owner, "
            "Messages, Attachments) VALUES "
            "(10, 2, 2, '1.2 Second', now(), 'BOB', 0, 1),"
            "(11, 2, 2, '1.10 First', now(), 'alice', 1, 1),"
            "(12, 4, 11, '1.10.1 Deep', now(), 'ALICE', 1, 0),"
            "(13, 3, 12, 'Deeper', now(), 'BOB', 0, 0),"
            "(14, 2, 3, 'Not in Alpha', now(), 'BOB', 0, 0)");
        sql("INSERT INTO Req_messages (msgID, Subject, Name, created, RequirementID, ProjectID) VALUES "
            "(1, 'Look here', 'ALICE', '2026-05-06 07:08:09', 12, 1), (2, 'Gone', 'ALICE', now(), 99, 1)");
        sql("INSERT INTO msg_state (RequirementID, msgID, username, state) VALUES (12, 1, 'BOB', 1), (99, 2, 'BOB', "
            "1)");
        movePerUserIfAsked(m_db);
        startApp();
    }

    std::string sql(const std::string& statement) { return vt::test::runSql(statement, m_db); }

    void loginAs(const char* user, const char* password)
    {
        QTest::keyClicks(&loginChild<QLineEdit>("UserID"), user);
        QTest::keyClicks(&loginChild<QLineEdit>("Password"), password);
        loginChild<QPushButton>("Button1").click();
        ASSERT_EQ(m_platform.messages(), QStringList{});
    }

    // Picks a project in the selector as the user does.
    void chooseProject(const QString& name)
    {
        auto& combo = mainChild<QComboBox>("Combo_projects");
        const int index = combo.findText(name);
        ASSERT_GE(index, 0) << name.toStdString();
        combo.setCurrentIndex(index);
        emit combo.textActivated(name);
    }

    QTreeWidget& tree() { return mainChild<QTreeWidget>("ProjectTree"); }

    // Selects the node whose caption is text.
    void select(const QString& text)
    {
        const auto found = tree().findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_EQ(found.size(), 1) << text.toStdString() << " in " << outlineLines(tree()).join('|').toStdString();
        tree().setCurrentItem(found.front());
    }

    bool shown(const char* panel) { return mainChild<QWidget>(panel).isVisible(); }
    bool fileItemsEnabled()
    {
        const bool save = mainChild<QAction>("Save1").isEnabled();
        for (const char* name : {"SaveAs1", "Print1", "PrintSetup1"})
            EXPECT_EQ(mainChild<QAction>(name).isEnabled(), save) << name;
        return save;
    }
    std::string count(const std::string& where) { return sql("SELECT count(*) FROM " + where); }

    std::string m_db;
};

TEST_F(Workspace, MemberWalksTheOutlineAndEveryNodeShowsItsPanel)
{
    loginAs("bob", "pw");
    EXPECT_EQ(items(mainChild<QComboBox>("Combo_projects")), QStringList{"Alpha"});
    chooseProject("Alpha");

    // Categories and documents sorted as text at every level; a Level 4 document under a
    // Level 2 one; state pictures from the flags; rows of other projects absent.
    EXPECT_EQ(outlineLines(tree()), (QStringList{"Alpha", "    ...Area", "    1.10 First [3]", "      1.10.1 Deep [1]",
                                                 "        Deeper [0]", "    1.2 Second [2]", "    ...Zeta"}));
    EXPECT_EQ(session().CurrentProjectID, 1);
    EXPECT_TRUE(tree().topLevelItem(0)->isExpanded());
    EXPECT_FALSE(tree().topLevelItem(0)->child(0)->isExpanded());
    EXPECT_FALSE(tree().topLevelItem(0)->icon(0).isNull());

    // The root is selected: the project panel, File items off.
    EXPECT_EQ(tree().currentItem(), tree().topLevelItem(0));
    EXPECT_TRUE(shown("Pan_Project_Overview"));
    EXPECT_FALSE(shown("Pan_Catagory"));
    EXPECT_FALSE(shown("Pan_Req_Panel"));
    EXPECT_FALSE(fileItemsEnabled());
    EXPECT_EQ(mainChild<QLineEdit>("ProjectName").text(), "Alpha");
    EXPECT_FALSE(mainChild<QLineEdit>("ProjectName").isEnabled());  // BOB is no manager
    EXPECT_FALSE(session().IsProjectManager);

    // Unread list: one entry per unread message of this project. (With per-user accounts the
    // server shows no row of a document that does not exist, such as the second message's.)
    EXPECT_TRUE(mainChild<QGroupBox>("GroupBox1").isVisible());
    auto& unread = mainChild<QListWidget>("ListBox1");
    ASSERT_EQ(unread.count(), perUser() ? 1 : 2);
    EXPECT_TRUE(unread.item(0)->text().startsWith("ALICE> \"Look here\" (")) << unread.item(0)->text().toStdString();
    EXPECT_TRUE(unread.item(0)->text().contains("07:08")) << unread.item(0)->text().toStdString();

    // Clicking the unread entry of a document that is not in the tree does nothing.
    if (!perUser()) {
        unread.setCurrentRow(1);
        emit unread.itemClicked(unread.item(1));
        EXPECT_EQ(tree().currentItem(), tree().topLevelItem(0));
    }
    // The other entry selects its document.
    unread.setCurrentRow(0);
    emit unread.itemClicked(unread.item(0));
    ASSERT_TRUE(tree().currentItem());
    EXPECT_EQ(tree().currentItem()->text(0), "1.10.1 Deep");
    EXPECT_TRUE(shown("Pan_Req_Panel"));
    EXPECT_FALSE(shown("Pan_Project_Overview"));
    EXPECT_TRUE(fileItemsEnabled());
    EXPECT_EQ(session().CurrentDocumentID, 12);
    EXPECT_EQ(mainChild<QLineEdit>("Edit_RequireMentName").text(), "1.10.1 Deep");

    // A category: its panel, the bare name as caption, fields closed to a non-manager.
    select("  ...Zeta");
    EXPECT_TRUE(shown("Pan_Catagory"));
    EXPECT_FALSE(shown("Pan_Req_Panel"));
    EXPECT_FALSE(fileItemsEnabled());
    EXPECT_EQ(tree().currentItem()->text(0), "Zeta");
    EXPECT_EQ(session().CurrentCatagoryID, 1);
    EXPECT_EQ(mainChild<QPlainTextEdit>("CatagoryDescription").toPlainText(), "Last area");
    EXPECT_FALSE(mainChild<QLineEdit>("CatagoryName").isEnabled());

    // Expand All, Collapse All.
    mainChild<QAction>("ExpandAll1").trigger();
    for (QTreeWidgetItemIterator it(&tree()); *it; ++it)
        EXPECT_TRUE((*it)->isExpanded() || (*it)->childCount() == 0);
    mainChild<QAction>("CollapseAll1").trigger();
    EXPECT_TRUE(tree().topLevelItem(0)->isExpanded());
    EXPECT_FALSE(tree().topLevelItem(0)->child(0)->isExpanded());
    EXPECT_EQ(m_platform.messages(), QStringList{});
    EXPECT_EQ(m_platform.waitDepth, 0);
}

// The lines outlineLines() gives for a tree as the node-by-node load finds it.
static void expectedLines(const std::vector<vt::app::data::outline::DocumentNode>& nodes, int depth, QStringList& out)
{
    for (const auto& n : nodes) {
        out << QString(depth * 2, ' ') + n.record.RequirementName +
                   QString(" [%1]").arg(vt::app::data::outline::stateIndex(n.record));
        expectedLines(n.children, depth + 1, out);
    }
}

TEST_F(Workspace, AdministratorAndMemberWalkAGeneratedProject)
{
    vt::test::OutlineShape shape;
    shape.projectId = 3;
    shape.categories = 5;
    shape.documents = 80;
    shape.depth = 5;
    shape.seed = 99;
    shape.firstCategoryId = 300;
    shape.firstDocumentId = 3000;
    sql(vt::test::outlineSql(shape));
    sql("INSERT INTO ProjectMembers (UserName, ProjectID) VALUES ('BOB', 3)");

    // The reference: the outline read node by node, straight from the rows.
    QStringList expected{"Generated 3"};
    {
        vt::app::Session reference;
        const auto& server = vt::test::testServer();
        reference.connect({QString::fromStdString(m_db),
                           QString::fromStdString(server.host) + ":" + QString::number(server.port),
                           QString::fromStdString(server.user), QString::fromStdString(server.password)});
        for (const auto& c : vt::app::data::outline::loadOutlineByNode(reference, 3)) {
            expected << "    ..." + c.record.CatagoryName;
            expectedLines(c.children, 2, expected);
        }
    }
    ASSERT_GT(expected.size(), 80);

    for (const char* user : {"admin", "bob"}) {
        SCOPED_TRACE(user);
        loginAs(user, user == std::string("admin") ? "admin" : "pw");
        EXPECT_EQ(session().CurrentUser, QString(user).toUpper());
        chooseProject("Generated 3");
        EXPECT_EQ(outlineLines(tree()), expected);
        // Every document node has its picture; the selected picture differs from the normal one.
        for (QTreeWidgetItemIterator it(&tree()); *it; ++it) {
            const QIcon icon = (*it)->icon(0);
            ASSERT_FALSE(icon.isNull());
            EXPECT_NE(icon.pixmap(44, 16, QIcon::Normal).toImage(), icon.pixmap(44, 16, QIcon::Selected).toImage());
        }
        mainChild<QAction>("Loggoff1").trigger();
    }
    EXPECT_EQ(m_platform.messages(), QStringList{});
}

TEST_F(Workspace, OwnerRuleOpensTopicAndOwnerToTheOwnerOnly)
{
    loginAs("bob", "pw");
    chooseProject("Alpha");
    auto& topic = mainChild<QLineEdit>("Edit_RequireMentName");
    auto& owner = mainChild<QComboBox>("Combo_Owner");

    select("1.2 Second");  // BOB's document
    EXPECT_TRUE(topic.isEnabled());
    EXPECT_TRUE(owner.isEnabled());
    EXPECT_EQ(owner.currentText(), "BOB");
    EXPECT_EQ(items(owner), (QStringList{"ALICE", "BOB"}));

    select("1.10 First");  // ALICE's, stored in lower case
    EXPECT_FALSE(topic.isEnabled());
    EXPECT_FALSE(owner.isEnabled());
    EXPECT_EQ(owner.currentText(), "alice");

    // Refusals of the commands limited to owners and managers.
    mainChild<QAction>("Delete1").trigger();
    mainChild<QAction>("DeleteCatagory1").trigger();
    mainChild<QAction>("Deleteproject2").trigger();
    EXPECT_EQ(m_platform.messages(), (QStringList{"Only the Document Owner can delete it",
                                                  "You must have Admin or Project Manager rights to delete Catagories",
                                                  "You must have Admin rights to delete projects"}));
    EXPECT_EQ(count("Requirements"), "5\n");

    // The owner hands the document over: stored at once.
    select("1.2 Second");
    owner.setCurrentIndex(owner.findText("ALICE"));
    emit owner.textActivated("ALICE");
    EXPECT_EQ(sql("SELECT Owner FROM Requirements WHERE RequirementID=10"), "ALICE\n");
    // The Details page follows the selector's text when shown again.
    auto& pages = mainChild<QTabWidget>("Tab_Control");
    pages.setCurrentIndex(1);
    pages.setCurrentIndex(0);
    EXPECT_FALSE(owner.isEnabled());
}

TEST_F(Workspace, TopicIsSavedOnceWhenTheSelectionMoves)
{
    loginAs("bob", "pw");
    chooseProject("Alpha");
    select("1.2 Second");
    auto& topic = mainChild<QLineEdit>("Edit_RequireMentName");
    topic.selectAll();
    QTest::keyClicks(&topic, "1.3 It's \\ moved");
    EXPECT_EQ(tree().currentItem()->text(0), "1.3 It's \\ moved");  // live caption

    select("  ...Zeta");
    EXPECT_EQ(sql("SELECT RequirementName, modifiedBy, modified > now() - INTERVAL 1 MINUTE FROM "
                  "Requirements WHERE RequirementID=10"),
              "1.3 It's \\\\ moved\tBOB\t1\n");
    EXPECT_EQ(sql("SELECT Note, ModifiedBy, ProjectID, CatagoryID, DocumentID, msgID FROM activity_Log"),
              "UPD_DOC\tBOB\t1\t0\t10\t0\n");

    // Nothing changed since: neither selecting nor Save writes again.
    select("1.3 It's \\ moved");
    mainChild<QAction>("Save1").trigger();
    select("Zeta");  // shown before: its caption is the bare name now
    EXPECT_EQ(count("activity_Log"), "1\n");
    EXPECT_EQ(m_platform.messages(), QStringList{});
}

TEST_F(Workspace, ManagerEditsTheProjectAndManagesMembers)
{
    loginAs("alice", "pw");
    chooseProject("Alpha");
    EXPECT_TRUE(session().IsProjectManager);  // "alice" as stored makes ALICE the manager
    auto& name = mainChild<QLineEdit>("ProjectName");
    auto& manager = mainChild<QComboBox>("ProjectManager");
    EXPECT_TRUE(name.isEnabled());
    EXPECT_TRUE(mainChild<QPlainTextEdit>("ProjectDescription").isEnabled());
    EXPECT_EQ(manager.currentText(), "alice");
    EXPECT_EQ(items(manager), (QStringList{"ALICE", "BOB"}));

    // Name and description are stored when the selection moves.
    name.selectAll();
    QTest::keyClicks(&name, "Alpha's");
    select("  ...Area");
    EXPECT_EQ(sql("SELECT ProjectName, Description FROM Projects WHERE ProjectID=1"), "Alpha's\tAbout alpha\n");
    EXPECT_TRUE(mainChild<QLineEdit>("CatagoryName").isEnabled());  // the manager's category fields

    // Members: every account is listed; adding a member twice inserts once.
    auto& nonMembers = mainChild<QListWidget>("non_list");
    auto& members = mainChild<QListWidget>("member_list");
    auto& add = mainChild<QPushButton>("But_AddMember");
    auto& remove = mainChild<QPushButton>("But_removeMember");
    EXPECT_EQ(items(nonMembers), (QStringList{"ADMIN", "ALICE", "BOB"}));
    EXPECT_EQ(items(members), (QStringList{"ALICE", "BOB"}));
    EXPECT_FALSE(add.isEnabled());
    for (const char* user : {"ADMIN", "BOB"}) {
        QListWidgetItem* entry = nonMembers.findItems(user, Qt::MatchExactly).front();
        nonMembers.setCurrentItem(entry);
        emit nonMembers.itemClicked(entry);
        EXPECT_TRUE(add.isEnabled());
        add.click();
        EXPECT_FALSE(add.isEnabled());
    }
    EXPECT_EQ(items(members), (QStringList{"ALICE", "BOB", "ADMIN"}));
    EXPECT_EQ(sql("SELECT UserName FROM ProjectMembers WHERE ProjectID=1 ORDER BY UserName"), "ADMIN\nALICE\nBOB\n");
    QListWidgetItem* bob = members.findItems("BOB", Qt::MatchExactly).front();
    members.setCurrentItem(bob);
    emit members.itemClicked(bob);
    remove.click();
    EXPECT_EQ(items(members), (QStringList{"ALICE", "ADMIN"}));
    EXPECT_EQ(sql("SELECT UserName FROM ProjectMembers WHERE ProjectID=1 ORDER BY UserName"), "ADMIN\nALICE\n");

    // Handing the project over stores at once; ALICE keeps the fields until the root is shown again.
    select("Alpha");
    manager.setCurrentIndex(manager.findText("ADMIN"));
    emit manager.textActivated("ADMIN");
    EXPECT_EQ(sql("SELECT ProjectManager FROM Projects WHERE ProjectID=1"), "ADMIN\n");
    EXPECT_TRUE(name.isEnabled());
    select("Area");
    select("Alpha");
    EXPECT_FALSE(name.isEnabled());
    EXPECT_EQ(m_platform.messages(), QStringList{});
}

TEST_F(Workspace, EditsAreStoredForTheirOwnProjectBeforeAnotherProjectIsLoaded)
{
    sql("INSERT INTO ProjectMembers (UserName, ProjectID) VALUES ('ALICE', 2)");
    sql("UPDATE Projects SET ProjectManager='ALICE'");
    loginAs("alice", "pw");
    chooseProject("Alpha");
    auto& description = mainChild<QPlainTextEdit>("ProjectDescription");
    description.moveCursor(QTextCursor::End);
    QTest::keyClicks(&description, " and more");
    chooseProject("Other");
    EXPECT_EQ(sql("SELECT ProjectID, Description FROM Projects ORDER BY ProjectID"), "1\tAbout alpha and more\n2\t\n");
    EXPECT_EQ(description.toPlainText(), "");
    EXPECT_EQ(m_platform.messages(), QStringList{});
}

TEST_F(Workspace, MembersPageRefusesUsersWithoutRightsAndAdministratorsManageWithoutEditing)
{
    loginAs("bob", "pw");
    chooseProject("Alpha");
    auto& nonMembers = mainChild<QListWidget>("non_list");
    QListWidgetItem* admin = nonMembers.findItems("ADMIN", Qt::MatchExactly).front();
    nonMembers.setCurrentItem(admin);
    emit nonMembers.itemClicked(admin);
    mainChild<QPushButton>("But_AddMember").click();
    EXPECT_EQ(m_platform.messages(), QStringList{"You must have Admin or Project Manager Rights"});
    EXPECT_TRUE(mainChild<QPushButton>("But_AddMember").isEnabled());  // the button stays
    EXPECT_EQ(count("ProjectMembers"), "2\n");
    mainChild<QAction>("Loggoff1").trigger();
    m_platform.clear();

    loginAs("admin", "admin");
    chooseProject("Alpha");
    EXPECT_FALSE(mainChild<QLineEdit>("ProjectName").isEnabled());  // not the manager
    nonMembers.setCurrentItem(nonMembers.findItems("ADMIN", Qt::MatchExactly).front());
    emit nonMembers.itemClicked(nonMembers.currentItem());
    mainChild<QPushButton>("But_AddMember").click();
    EXPECT_EQ(count("ProjectMembers WHERE UserName='ADMIN'"), "1\n");
    EXPECT_EQ(m_platform.messages(), QStringList{});
}

TEST_F(Workspace, OutlinePopupShowsTheItemsOfTheSelectedLevel)
{
    loginAs("admin", "admin");
    chooseProject("Alpha");
    auto& menu = mainChild<QMenu>("PopupMenu1");
    struct Case {
        const char* node;
        bool newDoc, newSub, deleteDoc, addCat, deleteCat;
    };
    for (const Case& c :
         {Case{"Alpha", false, false, false, true, false}, Case{"  ...Zeta", true, false, false, true, true},
          Case{"Deeper", true, true, true, false, false}}) {
        SCOPED_TRACE(c.node);
        select(c.node);
        emit menu.aboutToShow();
        EXPECT_EQ(mainChild<QAction>("NewReq1").isVisible(), c.newDoc);
        EXPECT_EQ(mainChild<QAction>("NewSubRequirement1").isVisible(), c.newSub);
        EXPECT_EQ(mainChild<QAction>("Delete1").isVisible(), c.deleteDoc);
        EXPECT_EQ(mainChild<QAction>("AddCatagory1").isVisible(), c.addCat);
        EXPECT_EQ(mainChild<QAction>("DeleteCatagory1").isVisible(), c.deleteCat);
        for (const char* always : {"ExpandAll1", "CollapseAll1", "refreshlist1"})
            EXPECT_TRUE(mainChild<QAction>(always).isVisible());
    }
}

TEST_F(Workspace, RefreshShowsNewRowsAndAnUnknownProjectShowsOnlyItsRoot)
{
    loginAs("admin", "admin");
    chooseProject("Alpha");
    sql("UPDATE Requirements SET Attachments=0 WHERE RequirementID=11");
    sql("INSERT INTO Catagories (ProjectID, CatagoryName) VALUES (1, 'New area')");
    mainChild<QAction>("refreshlist1").trigger();
    EXPECT_EQ(outlineLines(tree()).mid(0, 3), (QStringList{"Alpha", "    ...Area", "    1.10 First [1]"}));
    EXPECT_TRUE(outlineLines(tree()).contains("    ...New area"));

    auto& combo = mainChild<QComboBox>("Combo_projects");
    combo.lineEdit()->selectAll();
    QTest::keyClicks(combo.lineEdit(), "Nope");
    EXPECT_EQ(outlineLines(tree()), QStringList{"Nope"});
    EXPECT_EQ(session().CurrentProjectID, 0);
    EXPECT_FALSE(session().IsProjectManager);
    EXPECT_EQ(m_platform.messages(), QStringList{});
}

namespace {

// A body as the editor writes it, with one paragraph of text.
QByteArray bodyWith(const QString& text)
{
    vt::rt::RichEditor editor;
    editor.appendParagraph(text);
    return editor.saveToBytes();
}

}  // namespace

class Bodies : public Workspace {
protected:
    vt::rt::RichEditor& editor() { return mainChild<vt::rt::RichEditor>("RichEdit1"); }
    void storeBody(int id, const QByteArray& body)
    {
        sql("INSERT INTO Req_objects (RequirementID, Document) VALUES (" + std::to_string(id) + ", X'" +
            body.toHex().toStdString() + "')");
    }
    QByteArray storedBody(int id)
    {
        return QByteArray::fromHex(
            QByteArray::fromStdString(
                sql("SELECT hex(Document) FROM Req_objects WHERE RequirementID=" + std::to_string(id)))
                .trimmed());
    }
    // Types at the end of the body, as the user does.
    void typeIntoBody(const QString& text)
    {
        editor().moveCursor(QTextCursor::End);
        QTest::keyClicks(&editor(), text);
    }
    std::string updates() { return count("activity_Log WHERE Note='UPD_DOC'"); }
};

TEST_F(Bodies, DatabaseBodyLoadsEditsSavesAndReloadsEqual)
{
    storeBody(10, bodyWith("First body line"));
    loginAs("bob", "pw");
    chooseProject("Alpha");
    select("1.2 Second");
    EXPECT_TRUE(editor().isEnabled());
    EXPECT_FALSE(editor().isModified());
    EXPECT_EQ(editor().toPlainText(), "First body line");

    // Only the body is edited: the topic row is stamped and one record written.
    typeIntoBody(" and more");
    EXPECT_TRUE(editor().isModified());
    select("  ...Zeta");
    EXPECT_EQ(updates(), "1\n");
    EXPECT_EQ(sql("SELECT RequirementName, modifiedBy FROM Requirements WHERE RequirementID=10"), "1.2 Second\tBOB\n");
    EXPECT_EQ(count("Req_objects WHERE RequirementID=10"), "1\n");
    const QByteArray saved = storedBody(10);
    {
        vt::rt::RichEditor reader;
        reader.loadFromBytes(saved);
        EXPECT_EQ(reader.toPlainText(), "First body line and more");
    }
    select("1.2 Second");
    EXPECT_EQ(editor().toPlainText(), "First body line and more");
    // Save twice without edits: nothing more.
    mainChild<QAction>("Save1").trigger();
    mainChild<QToolButton>("btnSave").click();
    EXPECT_EQ(updates(), "1\n");
    EXPECT_EQ(storedBody(10), saved);

    // A document without a body row: the message in the disabled editor, nothing written.
    select("1.10 First");
    EXPECT_EQ(editor().toPlainText(), "Document Not found in Central Database");
    EXPECT_FALSE(editor().isEnabled());
    EXPECT_FALSE(editor().isModified());
    select("1.2 Second");
    EXPECT_TRUE(editor().isEnabled());
    EXPECT_EQ(count("Req_objects"), "1\n");
    EXPECT_EQ(m_platform.messages(), QStringList{});
}

TEST_F(Bodies, SharedFolderBodyLoadsEditsSavesAndReloadsEqual)
{
    const QString folder = path("shared");
    ASSERT_TRUE(QDir().mkpath(folder));
    sql("UPDATE global_settings SET documents='" + folder.toStdString() + "', SaveAsFiles=1");
    storeBody(10, bodyWith("In the database"));  // the other mode's body is not looked at
    {
        QFile file(folder + "/10.rvf");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bodyWith("From the folder"));
    }
    loginAs("bob", "pw");
    chooseProject("Alpha");
    select("1.2 Second");
    EXPECT_EQ(editor().toPlainText(), "From the folder");
    typeIntoBody("!");
    select("Alpha");
    {
        vt::rt::RichEditor reader;
        reader.loadFromFile(folder + "/10.rvf");
        EXPECT_EQ(reader.toPlainText(), "From the folder!");
    }
    EXPECT_EQ(updates(), "1\n");
    select("1.2 Second");
    EXPECT_EQ(editor().toPlainText(), "From the folder!");

    select("1.10 First");
    EXPECT_EQ(editor().toPlainText(), "Document not found in shared folder:" + folder + "/11.rvf");
    EXPECT_FALSE(editor().isEnabled());
    EXPECT_FALSE(QFileInfo::exists(folder + "/11.rvf"));
    EXPECT_EQ(m_platform.messages(), QStringList{});
}

TEST_F(Bodies, SaveAsExportsTheShownBodyAsRtf)
{
    storeBody(10, bodyWith("Exported words"));
    loginAs("bob", "pw");
    chooseProject("Alpha");
    select("1.2 Second");
    typeIntoBody(" now");

    // Cancelled: nothing changes.
    mainChild<QToolButton>("btnSaveAs").click();
    EXPECT_TRUE(editor().isModified());
    EXPECT_EQ(mainWindow().windowTitle(), "Veltrana");

    // A name without extension gets ".rtf"; one of a body file keeps its name and gets ".rtf" too.
    for (const QString& name : {QStringLiteral("export"), QStringLiteral("looks.rvf")}) {
        SCOPED_TRACE(name.toStdString());
        m_platform.fileNames.push_back(path(name));
        mainChild<QToolButton>("btnSaveAs").click();
        const QByteArray rtf = readFile(name + ".rtf");
        EXPECT_TRUE(rtf.startsWith("{\\rtf1")) << rtf.left(40).toStdString();
        EXPECT_TRUE(rtf.contains("Exported words now"));
        EXPECT_FALSE(QFileInfo::exists(path(name)) && name.endsWith(".rvf"));
        EXPECT_EQ(mainWindow().windowTitle(), name + ".rtf");
    }
    // An export is no save: the edit still reaches the database when the selection moves on.
    EXPECT_TRUE(editor().isModified());
    select("  ...Zeta");
    EXPECT_EQ(updates(), "1\n");
    {
        vt::rt::RichEditor reader;
        reader.loadFromBytes(storedBody(10));
        EXPECT_EQ(reader.toPlainText(), "Exported words now");
    }
    EXPECT_EQ(mainChild<QStatusBar>("StatusBar1").findChildren<QLabel*>().front()->text(), "");
    // File > Save As runs nothing.
    m_platform.clear();
    mainChild<QAction>("SaveAs1").trigger();
    EXPECT_TRUE(m_platform.shown.empty());
}

TEST_F(Bodies, NewBodiesAreStoredWhereTheSettingsSay)
{
    loginAs("bob", "pw");
    vt::rt::RichEditor dialogEditor;
    dialogEditor.appendParagraph("Brand new");
    dialogEditor.saveToFile(session().tempFilePath("TempReq.rvf"));
    mainWindow().documentPanel().storeNewBody(13, dialogEditor);
    EXPECT_EQ(storedBody(13), dialogEditor.saveToBytes());

    const QString folder = path("shared");
    ASSERT_TRUE(QDir().mkpath(folder));
    session().StoreDocumentsAsFiles = true;
    session().DocumentsFolder = folder;
    mainWindow().documentPanel().storeNewBody(12, dialogEditor);
    vt::rt::RichEditor reader;
    reader.loadFromFile(folder + "/12.rvf");
    EXPECT_EQ(reader.toPlainText(), "Brand new");
    EXPECT_EQ(count("Req_objects"), "1\n");
}
