// Data of hostile shape and size, as other users (or anyone with a server account, through
// the views) can leave it in the shared database: reply chains and parent loops, a hundred
// thousand rows where a handful are usual, and read states of messages that are gone. Each
// case builds its shape with SQL and checks that the program's code and windows come back
// with a bounded, sensible result in a few seconds.

#include "AppFixture.h"
#include "TestServer.h"

#include "data/Discussions.h"
#include "data/Search.h"
#include "data/SearchTerms.h"
#include "session/Session.h"
#include "windows/Forms.h"
#include "windows/RecentUpdForm.h"
#include "windows/UserAdminForm.h"
#include "windows/panels/DiscussionPage.h"

#include "db/DbSettings.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <QListWidget>

#include <algorithm>
#include <set>
#include <string>

using namespace vt::app;

namespace {

// Counts the statements the access layer sends, its metadata probes apart.
struct StatementCounter {
    QStringList statements;
    StatementCounter()
    {
        SetTraceHook([this](TraceOp op, const std::string& text) {
            if (op == TraceOp::Execute && text.rfind("SHOW", 0) != 0 && text.rfind("DESCRIBE", 0) != 0)
                statements << QString::fromStdString(text);
        });
    }
    ~StatementCounter() { SetTraceHook({}); }
};

// How many parents a node has.
int levelOf(const QTreeWidgetItem* node)
{
    int level = 0;
    for (auto* p = node->parent(); p; p = p->parent())
        ++level;
    return level;
}

// The subject of a discussion node (the text before its author and date).
QString subjectOf(const QTreeWidgetItem* node) { return node->text(0).section(QStringLiteral("     ("), 0, 0); }

// A tree as lines "indent subject", in display order.
QStringList subjects(QTreeWidget& tree)
{
    QStringList lines;
    for (QTreeWidgetItemIterator it(&tree); *it; ++it)
        lines << QString(levelOf(*it) * 2, ' ') + subjectOf(*it);
    return lines;
}

std::string n(long long value) { return std::to_string(value); }

}  // namespace

class HostileShapes : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        m_db = vt::test::freshVeltranaDatabase("vt_shape");
        sql("INSERT INTO Users (Username, password, Role) VALUES ('ALICE','PW','USER'), ('BOB','PW','USER')");
        sql("INSERT INTO Projects (ProjectID, ProjectName, Description, ProjectManager) VALUES "
            "(1, 'Alpha', '', 'ALICE'), (2, 'Beta', '', 'BOB')");
        sql("INSERT INTO ProjectMembers (UserName, ProjectID) VALUES ('ALICE', 1), ('BOB', 1), ('BOB', 2)");
        sql("INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName) VALUES (1, 1, 'Cat A'), (2, 2, 'Cat B')");
        sql("INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Created, Owner) VALUES "
            "(10, 2, 1, 'Doc A1', now(), 'ALICE'), (11, 2, 1, 'Doc A2', now(), 'BOB'), (20, 2, 2, 'Doc B1', now(), "
            "'BOB')");
        writeFile("defaults.cfg", QByteArray::fromStdString(vt::test::defaultsLine(m_db)) + "\r\n");
        movePerUserIfAsked(m_db);
        startApp();
    }

    // In per-user mode the rows go straight into the tables, past the views: their checks would
    // only slow the bulk inserts, and the tables' triggers keep their copies as ever.
    std::string sql(const std::string& statement)
    {
        return vt::test::runSql(statement, perUser() ? m_db + "_store" : m_db);
    }

    void loginAs(const QString& user, const QString& password)
    {
        QTest::keyClicks(&loginChild<QLineEdit>("UserID"), user);
        QTest::keyClicks(&loginChild<QLineEdit>("Password"), password);
        loginChild<QPushButton>("Button1").click();
        ASSERT_FALSE(login().isVisible()) << m_platform.messages().join("|").toStdString();
        m_platform.clear();
    }
    void chooseProject(const QString& name)
    {
        auto& combo = mainChild<QComboBox>("Combo_projects");
        const int index = combo.findText(name);
        ASSERT_GE(index, 0) << name.toStdString();
        combo.setCurrentIndex(index);
        emit combo.textActivated(name);
    }
    QTreeWidget& outline() { return mainChild<QTreeWidget>("ProjectTree"); }
    void openDocument(const QString& project, const QString& caption)
    {
        chooseProject(project);
        const auto found = outline().findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_EQ(found.size(), 1) << caption.toStdString();
        outline().setCurrentItem(found.front());
    }
    void showPage(const char* name)
    {
        mainChild<QTabWidget>("Tab_Control").setCurrentWidget(&mainChild<QWidget>(name));
    }
    void logOffAndIn(const QString& user, const QString& password)
    {
        mainChild<QAction>("Loggoff1").trigger();
        loginAs(user, password);
    }
    DiscussionPage& discussion() { return mainChild<DiscussionPage>("Tab_Req_Discussions"); }
    QTreeWidget& discTree() { return child<QTreeWidget>(discussion(), "DiscTree"); }
    // Shows Doc A2 on the Discussion page, which reads its messages.
    void showDiscussion()
    {
        openDocument("Alpha", "Doc A2");
        showPage("Tab_Req_Discussions");
    }
    // Messages first..last on document `doc`, subject "M<id>"; each replies to the one before
    // when `chain`, else each starts a thread. ALICE reads them all in `state`.
    void messages(long long first, long long last, bool chain, int doc = 11, int state = 2)
    {
        sql("INSERT INTO Req_messages (msgID, Subject, Name, msg, created, RequirementID, ParentID, ProjectID) "
            "SELECT seq, concat('M', seq), 'BOB', 'text', now(), " + n(doc) + ", " +
            (chain ? "IF(seq = " + n(first) + ", 0, seq - 1)" : std::string("0")) + ", 1 FROM seq_" + n(first) +
            "_to_" + n(last));
        sql("INSERT INTO msg_state (RequirementID, msgID, username, state) SELECT " + n(doc) + ", seq, 'ALICE', " +
            n(state) + " FROM seq_" + n(first) + "_to_" + n(last));
    }

    std::string m_db;
};


TEST_F(HostileShapes, AReplyChainAHundredThousandDeepLoadsInOneStatementAndStopsIndentingAtTheDeepestLevel)
{
    constexpr int kDepth = 100000;
    constexpr int kDeepest = data::discussions::kMaxThreadLevel;
    messages(1, kDepth, true);
    loginAs("alice", "pw");
    showDiscussion();
    ASSERT_EQ(discTree().topLevelItemCount(), 1);

    // Every message is in the tree once; M1 to M<deepest> each a level deeper than the one
    // before, every deeper reply at the deepest level beneath M<deepest - 1>, in chain order.
    int count = 0, deepest = 0;
    for (QTreeWidgetItemIterator it(&discTree()); *it; ++it) {
        ++count;
        deepest = std::max(deepest, levelOf(*it));
    }
    EXPECT_EQ(count, kDepth);
    EXPECT_EQ(deepest, kDeepest - 1);
    QTreeWidgetItem* at = discTree().topLevelItem(0);
    for (int level = 1; level < kDeepest - 1; ++level)
        at = at->child(0);
    EXPECT_EQ(subjectOf(at), QString("M%1").arg(kDeepest - 1));
    ASSERT_EQ(at->childCount(), kDepth - kDeepest + 1);
    EXPECT_EQ(subjectOf(at->child(0)), QString("M%1").arg(kDeepest));
    EXPECT_EQ(subjectOf(at->child(at->childCount() - 1)), QString("M%1").arg(kDepth));
    EXPECT_TRUE(at->isExpanded());

    // The last reply can be selected, shown and replied to.
    ASSERT_TRUE(discussion().selectMessage(kDepth));
    EXPECT_EQ(discussion().selectedMessage()->ParentID, kDepth - 1);

    // A reload is one statement, however deep the discussion.
    {
        StatementCounter counter;
        child<QPushButton>(discussion(), "But_Disc_Refresh").click();
        EXPECT_EQ(counter.statements.size(), 1) << counter.statements.mid(0, 3).join("\n").toStdString();
    }
    discussion().clear();
    EXPECT_EQ(discTree().topLevelItemCount(), 0);
}

TEST_F(HostileShapes, DiscussionShowsEachMessageAThreadLeadsToOnceWhateverItsParentsAndReadStates)
{
    // T1 <- R1 <- R1.1 is the one sound thread. Around it: a two-message loop, a message that is
    // its own parent, replies to a message of another document and to no message, read states
    // of ALICE twice over for T1 and R1 (and for a message that is gone), and a chain of forty
    // replies each with two of ALICE's read states, which loaded twice per level would double
    // forty times.
    sql("INSERT INTO Req_messages (msgID, Subject, Name, msg, created, RequirementID, ParentID, ProjectID) VALUES "
        "(1, 'T1', 'BOB', '', now(), 11, 0, 1), (2, 'R1', 'BOB', '', now(), 11, 1, 1),"
        "(3, 'R1.1', 'BOB', '', now(), 11, 2, 1), (4, 'Loop A', 'BOB', '', now(), 11, 5, 1),"
        "(5, 'Loop B', 'BOB', '', now(), 11, 4, 1), (6, 'Own parent', 'BOB', '', now(), 11, 6, 1),"
        "(7, 'On Doc A1', 'BOB', '', now(), 10, 0, 1), (8, 'Reply across', 'BOB', '', now(), 11, 7, 1),"
        "(9, 'Reply to nothing', 'BOB', '', now(), 11, 999, 1), (10, 'Under across', 'BOB', '', now(), 11, 8, 1)");
    sql("INSERT INTO msg_state (RequirementID, msgID, username, state) SELECT 11, seq, 'ALICE', 2 FROM seq_1_to_10");
    sql("INSERT INTO msg_state (RequirementID, msgID, username, state) VALUES (11, 1, 'ALICE', 1), "
        "(11, 2, 'ALICE', 2), (11, 123456, 'ALICE', 1)");
    messages(100, 139, true);
    sql("INSERT INTO msg_state (RequirementID, msgID, username, state) SELECT 11, seq, 'ALICE', 2 FROM "
        "seq_100_to_139");
    loginAs("alice", "pw");
    showDiscussion();

    QStringList expected{"T1", "  R1", "    R1.1", "M100"};
    for (int i = 101; i < 140; ++i)
        expected << QString(std::min(i - 100, data::discussions::kMaxThreadLevel - 1) * 2, ' ') +
                        QString("M%1").arg(i);
    EXPECT_EQ(subjects(discTree()), expected);
    // Of T1's two read states the first counts: T1 is read.
    EXPECT_EQ(discTree().topLevelItem(0)->data(0, Qt::UserRole + 1).toInt(), 2);
}

TEST_F(HostileShapes, TheTreeHoldsTheStartOfEachBodyAndAMessageShowsItsWholeBody)
{
    // A hundred messages of a million characters each, bodies either side of the preview's
    // length in single- and multibyte characters, and one of words.
    constexpr int kPreview = data::discussions::kBodyPreview;
    sql("INSERT INTO Req_messages (msgID, Subject, Name, msg, created, RequirementID, ParentID, ProjectID) SELECT "
        "seq, concat('Long', seq), 'BOB', concat(repeat('x', 999999), 'E'), now(), 11, 0, 1 FROM seq_1_to_100");
    const struct {
        int id;
        const char* character;
        int length;
    } bodies[] = {{201, "a", kPreview - 1}, {202, "a", kPreview}, {203, "a", kPreview + 1},
                  {204, "日", kPreview}, {205, "日", kPreview + 1}, {206, "🎉", kPreview + 1},
                  {207, "word ", kPreview / 5}};  // exactly the preview's length
    for (const auto& b : bodies)
        sql("INSERT INTO Req_messages (msgID, Subject, Name, msg, created, RequirementID, ParentID, ProjectID) "
            "VALUES (" + n(b.id) + ", 'Edge" + n(b.id) + "', 'BOB', repeat('" + b.character + "', " + n(b.length) +
            "), now(), 11, 0, 1)");
    sql("INSERT INTO msg_state (RequirementID, msgID, username, state) SELECT 11, msgID, 'ALICE', 2 FROM "
        "Req_messages");
    loginAs("alice", "pw");
    showDiscussion();
    ASSERT_EQ(discTree().topLevelItemCount(), 107);

    auto& text = child<QPlainTextEdit>(discussion(), "Discussion_Text");
    auto show = [&](int id) {
        StatementCounter counter;
        EXPECT_TRUE(discussion().selectMessage(id));
        return counter.statements.size();
    };
    // A cut body is read once, when its message is first shown; a whole one never.
    EXPECT_EQ(show(7), 1);
    EXPECT_EQ(text.toPlainText().size(), 1000000);
    EXPECT_TRUE(text.toPlainText().endsWith("xE"));
    // A million characters without a space wrap anywhere (at word boundaries they took 20 s).
    EXPECT_EQ(text.wordWrapMode(), QTextOption::WrapAnywhere);
    EXPECT_EQ(discussion().selectedMessage()->msg.size(), 1000000);
    EXPECT_EQ(show(201), 0);
    EXPECT_EQ(show(7), 0);
    for (const auto& b : bodies) {
        SCOPED_TRACE(b.id);
        EXPECT_EQ(show(b.id), b.length > kPreview ? 1 : 0);
        EXPECT_EQ(text.toPlainText(), QString::fromUtf8(b.character).repeated(b.length));
    }
    EXPECT_EQ(text.wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);

    // A project's description of a million characters without a space, shown when the project
    // opens, wraps anywhere as well.
    sql("UPDATE Projects SET Description = concat(repeat('y', 999999), 'E') WHERE ProjectID = 1");
    chooseProject("Alpha");
    auto& description = mainChild<QPlainTextEdit>("ProjectDescription");
    EXPECT_EQ(description.toPlainText().size(), 1000000);
    EXPECT_EQ(description.wordWrapMode(), QTextOption::WrapAnywhere);
}

TEST_F(HostileShapes, SearchPathOfADeepDocumentNamesTheNearestDocumentsAboveIt)
{
    // Step1 below Doc A1, each Step below the one before, 100,000 deep; the last is "Bottom".
    constexpr int kDepth = 100000;
    constexpr int kNamed = 32;  // documents a path names at most
    sql("INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Owner) SELECT 1000000 + seq, "
        "seq + 2, IF(seq = 1, 10, 1000000 + seq - 1), IF(seq = " + n(kDepth) + ", 'Bottom', concat('Step', seq)), "
        "'BOB' FROM seq_1_to_" + n(kDepth));
    // Right after an insert this large the server's full-text index may miss some of its rows
    // for a while (seen with the mariadb client alone); rebuilt, it holds them all.
    sql("OPTIMIZE TABLE Requirements");
    loginAs("alice", "pw");
    auto steps = [](int from, int to) {
        QStringList names;
        for (int i = from; i <= to; ++i)
            names << QString("Step%1").arg(i);
        return names;
    };
    const struct {
        const char* word;
        QStringList path;
    } cases[] = {
        {"Step1", {"Cat A", "Doc A1"}},
        {"Step5", QStringList{"Cat A", "Doc A1"} + steps(1, 4)},
        {"Step32", QStringList{"Cat A", "Doc A1"} + steps(1, 31)},  // 32 documents above: the whole path
        {"Step33", QStringList{"\u2026"} + steps(1, 32)},
        {"Bottom", QStringList{"\u2026"} + steps(kDepth - kNamed, kDepth - 1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.word);
        const auto hits = data::search::find(session(), data::search::parseTerms(c.word), 1, "ALICE", false);
        ASSERT_EQ(hits.size(), 1u);
        EXPECT_EQ(hits[0].path, c.path);
    }
}

TEST_F(HostileShapes, OutlineReportAndSearchAgreeOnDocumentsWhoseLevelsContradictTheirParents)
{
    // Beside 10,000 more categories of Alpha: a Level 5 document right under Cat A, a Level 2
    // and a Level NULL one under Doc A1, a Level 9 one under Doc A1 (shown: below a document
    // any Level above 2 counts), and a document of Alpha's category under Beta's Doc B1.
    sql("INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName) SELECT 100 + seq, 1, concat('Many ', seq) "
        "FROM seq_1_to_10000");
    sql("INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Owner) VALUES "
        "(50, 5, 1, 'Odd under category', 'BOB'), (51, 2, 10, 'Odd level two', 'BOB'),"
        "(52, NULL, 10, 'Odd no level', 'BOB'), (53, 9, 10, 'Odd deep', 'BOB'), (54, 3, 20, 'Odd across', 'BOB')");
    loginAs("bob", "pw");
    chooseProject("Alpha");
    EXPECT_EQ(outline().topLevelItemCount(), 1);
    EXPECT_EQ(outline().topLevelItem(0)->childCount(), 10001);
    auto oddShown = [&] {
        std::set<QString> shown;
        for (QTreeWidgetItemIterator it(&outline()); *it; ++it)
            if ((*it)->text(0).startsWith("Odd")) shown.insert((*it)->text(0) + " at " + n(levelOf(*it)).c_str());
        return shown;
    };
    EXPECT_EQ(oddShown(), (std::set<QString>{"Odd deep at 3"}));

    m_platform.clear();
    mainChild<QAction>("StructuredProjectDocument1").trigger();
    QFile report(session().WorkFolder + "vtranTemp.html");
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    const QByteArray html = report.readAll();
    EXPECT_EQ(html.count(">Odd "), 1);
    EXPECT_TRUE(html.contains(">Odd deep</strong>"));
    EXPECT_EQ(html.count("Many "), 10000);

    std::set<QString> found;
    for (const auto& hit : data::search::find(session(), data::search::parseTerms("Odd"), 1, "BOB", false))
        found.insert(hit.projectName + ": " + hit.title + " in " + hit.path.join(" / "));
    EXPECT_EQ(found, (std::set<QString>{"Alpha: Odd deep in Cat A / Doc A1", "Beta: Odd across in Cat B / Doc B1"}));

    chooseProject("Beta");
    EXPECT_EQ(oddShown(), (std::set<QString>{"Odd across at 3"}));
}

TEST_F(HostileShapes, ListsOfAHundredThousandRowsShowEveryRow)
{
    // 100,000 references on Doc A2, 100,000 more users who are all members of Alpha, and ALICE
    // a member of 10,000 more projects.
    constexpr int kMany = 100000;
    sql("INSERT INTO Attachments (RequirementID, Link, Description, Owner, Created, Filetype) SELECT 11, "
        "concat('http://example.com/', seq), concat('d', seq), 'BOB', now(), seq % 3 FROM seq_1_to_" + n(kMany));
    sql("INSERT INTO Users (Username, password, Role) SELECT concat('U', seq), 'PW', 'USER' FROM seq_1_to_" +
        n(kMany));
    sql("INSERT INTO ProjectMembers (UserName, ProjectID) SELECT concat('U', seq), 1 FROM seq_1_to_" + n(kMany));
    sql("INSERT INTO Projects (ProjectID, ProjectName, Description, ProjectManager) SELECT 100 + seq, "
        "concat('P', seq), '', 'BOB' FROM seq_1_to_10000");
    sql("INSERT INTO ProjectMembers (UserName, ProjectID) SELECT 'ALICE', 100 + seq FROM seq_1_to_10000");
    loginAs("alice", "pw");
    EXPECT_EQ(mainChild<QComboBox>("Combo_projects").count(), 10001);

    showPage("Attachments");
    openDocument("Alpha", "Doc A2");
    auto& references = mainChild<QTreeWidget>("ListView1");
    ASSERT_EQ(references.topLevelItemCount(), kMany);
    EXPECT_EQ(references.topLevelItem(kMany - 1)->text(1).left(1), "d");

    mainChild<QTabWidget>("PageControl1").setCurrentWidget(&mainChild<QWidget>("Tab_members"));
    EXPECT_EQ(mainChild<QListWidget>("member_list").count(), kMany + 2);
    EXPECT_EQ(mainChild<QListWidget>("non_list").count(), kMany + 3);  // every user, ADMIN too
    EXPECT_EQ(mainChild<QComboBox>("ProjectManager").count(), kMany + 2);  // ALICE manages Alpha
    logOffAndIn("admin", "admin");
    mainChild<QAction>("UserManagement1").trigger();
    auto& users = child<QTableView>(*forms().UserAdmin_form, "DBGrid1");
    EXPECT_EQ(users.model()->rowCount(), kMany + 3);
}

TEST_F(HostileShapes, RecentUpdatesReadsItsTwentyRowsOfAMillion)
{
    // A million log rows, every second one a save of Doc A2 (Alpha) or Doc B1 (Beta), a second
    // apart; the newest Alpha save is row 1, the newest Beta save row 3.
    sql("INSERT INTO activity_Log (Note, ModifiedBy, ModifyDate, ProjectID, CatagoryID, DocumentID, msgID) SELECT "
        "IF(seq % 2, 'UPD_DOC', 'DISC_POST'), concat('U', seq), now() - INTERVAL seq SECOND, 1 + (seq % 4 = 3), 1, "
        "IF(seq % 4 = 3, 20, 11), 0 FROM seq_1_to_1000000");
    loginAs("alice", "pw");
    mainChild<QAction>("LastModified1").trigger();
    auto& grid = child<QTableView>(*forms().Recent_upd_form, "DBGrid1");
    ASSERT_EQ(grid.model()->rowCount(), 20);
    QStringList by;
    for (int row = 0; row < 3; ++row)
        by << grid.model()->index(row, 1).data().toString();
    EXPECT_EQ(by, (QStringList{"U1", "U5", "U9"}));
}
