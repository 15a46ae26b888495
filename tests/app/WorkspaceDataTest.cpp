// The workspace's data modules against the private test server, without any window: the
// outline loaded in two statements equals the outline loaded node by node, and every text value of the
// project, member, document and activity statements goes in and comes back byte for byte.

#include "AppFixture.h"
#include "OutlineGenerator.h"
#include "PerUserDatabase.h"
#include "TestServer.h"

#include "data/ActivityLog.h"
#include "data/Discussions.h"
#include "data/Documents.h"
#include "data/Outline.h"
#include "data/Projects.h"
#include "data/Report.h"
#include "session/Session.h"

#include "db/DbSettings.h"
#include "db/TField.h"
#include "db/TmySQLDatabase.h"
#include "db/TmySQLQuery.h"

#include <QFile>

#include <set>

using namespace vt::app;
namespace outline = vt::app::data::outline;

namespace {

// Counts the statements the access layer sends, its metadata probes apart.
struct StatementCounter {
    int statements = 0;
    StatementCounter()
    {
        SetTraceHook([this](TraceOp op, const std::string& text) {
            if (op == TraceOp::Execute && text.rfind("SHOW", 0) != 0 && text.rfind("DESCRIBE", 0) != 0) ++statements;
        });
    }
    ~StatementCounter() { SetTraceHook({}); }
};

// The tree as indented lines (caption, ids, state), so that a failure shows where trees part.
void describe(const std::vector<outline::DocumentNode>& nodes, int depth, QStringList& out)
{
    for (const auto& n : nodes) {
        const auto& r = n.record;
        out << QString(depth * 2, ' ') + r.RequirementName +
                   QString(" #%1 <%2 state %3 %4 %5 %6 v%7")
                       .arg(r.RequirementID)
                       .arg(r.ParentID)
                       .arg(outline::stateIndex(r))
                       .arg(r.Owner, r.Status, r.Priority)
                       .arg(r.Version);
        describe(n.children, depth + 1, out);
    }
}

QStringList describe(const std::vector<outline::CategoryNode>& tree)
{
    QStringList out;
    for (const auto& c : tree) {
        out << "  ..." + c.record.CatagoryName +
                   QString(" #%1 [%2]").arg(c.record.CatagoryID).arg(c.record.Description);
        describe(c.children, 1, out);
    }
    return out;
}

int depthOf(const std::vector<outline::DocumentNode>& nodes)
{
    int deepest = 0;
    for (const auto& n : nodes)
        deepest = std::max(deepest, 1 + depthOf(n.children));
    return deepest;
}

}  // namespace

class WorkspaceData : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_db = vt::test::freshVeltranaDatabase("vt_ws");
        const auto& server = vt::test::testServer();
        ConnectionValues values{QString::fromStdString(m_db),
                                QString::fromStdString(server.host) + ":" + QString::number(server.port),
                                QString::fromStdString(server.user), QString::fromStdString(server.password)};
        if (vt::test::perUserTests()) {
            // The statements go through the views as the administrator's account.
            m_perUser = vt::test::movePerUser(m_db);
            values.user = values.password = QStringLiteral("ADMIN");
            values.requireTls = true;
            values.tlsCaFile = QString::fromStdString(server.caFile);
        }
        m_session.connect(values);
    }
    void TearDown() override
    {
        if (m_perUser.name.empty()) return;
        vt::test::dropPerUserDatabase(m_perUser);
    }
    std::string sql(const std::string& statement) { return vt::test::runSql(statement, m_db); }

    std::string m_db;
    vt::test::PerUserDatabase m_perUser;
    Session m_session;
};

TEST_F(WorkspaceData, OutlineInTwoStatementsEqualsOutlineByNodeAtEveryDepth)
{
    // Several projects side by side, so that rows of one never leak into another's outline.
    int project = 1;
    for (int depth = 1; depth <= 6; ++depth) {
        for (unsigned seed : {1u, 7u}) {
            vt::test::OutlineShape shape;
            shape.projectId = project;
            shape.categories = 3 + static_cast<int>(seed % 3);
            shape.documents = 25 + 10 * depth;
            shape.depth = depth;
            shape.seed = seed * 31 + static_cast<unsigned>(depth);
            shape.firstCategoryId = project * 100;
            shape.firstDocumentId = 100000 * project;
            sql(vt::test::outlineSql(shape));
            ++project;
        }
    }
    sql("INSERT INTO Projects (ProjectID, ProjectName) VALUES (99, 'Empty')");

    for (int id = 1; id < project; ++id) {
        SCOPED_TRACE(id);
        std::vector<outline::CategoryNode> byLevel, byNode;
        int levelStatements = 0;
        {
            StatementCounter counter;
            byLevel = outline::loadOutline(m_session, id);
            levelStatements = counter.statements;
        }
        byNode = outline::loadOutlineByNode(m_session, id);
        EXPECT_EQ(describe(byLevel), describe(byNode));
        EXPECT_TRUE(byLevel == byNode);

        int depth = 0;
        size_t documents = 0;
        std::function<void(const std::vector<outline::DocumentNode>&)> count =
            [&](const std::vector<outline::DocumentNode>& nodes) {
                for (const auto& n : nodes) {
                    ++documents;
                    EXPECT_FALSE(n.record.RequirementName.startsWith("Orphan"));
                    count(n.children);
                }
            };
        for (const auto& c : byLevel) {
            depth = std::max(depth, depthOf(c.children));
            count(c.children);
        }
        const int generatedDepth = (id + 1) / 2;
        EXPECT_EQ(depth, generatedDepth);
        EXPECT_EQ(static_cast<int>(documents), 25 + 10 * generatedDepth);
        // The categories, then every document at once, whatever the depth.
        EXPECT_EQ(levelStatements, 2);
    }
    EXPECT_TRUE(outline::loadOutline(m_session, 99).empty());
}

TEST_F(WorkspaceData, OutlineOfHostileShapesEqualsOutlineByNodeInTwoStatements)
{
    // Project 7 has categories 10 and 11, and a document 10 as well: its Level 2 rows with
    // ParentID 10 hang under the category, its deeper rows under the document. Rows named
    // "Never" hang in no outline of project 7: parents that lead round in a circle, a Level
    // that contradicts the parent's kind, no Level or no parent, Level 1, a parent in project 8.
    // A chain of 1,500 below "Under document ten" goes past the server's default limit of
    // 1,000 recursive steps. Four siblings tie under the server's collation ('a', 'A', 'a '
    // and 'à'), so their order is their ids', which is not their byte order.
    sql("INSERT INTO Projects (ProjectID, ProjectName) VALUES (7, 'Seven'), (8, 'Eight')");
    sql("INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName) VALUES (10, 7, 'Cat'), (11, 7, 'cat'), "
        "(12, 8, 'Eight''s')");
    sql("INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Owner) VALUES "
        "(10, 2, 11, 'Doc ten', 'ADMIN'), (20, 2, 10, 'Under category ten', 'ADMIN'),"
        "(21, 3, 10, 'Under document ten', 'ADMIN'), (22, 2, 10, 'à', 'ADMIN'), (23, 2, 10, 'a ', 'ADMIN'),"
        "(24, 2, 10, 'A', 'ADMIN'), (25, 2, 10, 'a', 'ADMIN'), (26, 3, 21, 'Here below', 'ADMIN'),"
        "(30, 3, 31, 'Never: loop a', 'ADMIN'), (31, 3, 30, 'Never: loop b', 'ADMIN'),"
        "(32, 4, 32, 'Never: own parent', 'ADMIN'), (33, 3, 30, 'Never: below the loop', 'ADMIN'),"
        "(40, 2, 21, 'Never: Level 2 under a document', 'ADMIN'),"
        "(41, 5, 11, 'Never: Level 5 under a category', 'ADMIN'), (42, NULL, 10, 'Never: no Level', 'ADMIN'),"
        "(43, 3, NULL, 'Never: no parent', 'ADMIN'), (44, 1, 10, 'Never: Level 1', 'ADMIN'),"
        "(50, 2, 12, 'Never: in project eight', 'ADMIN'), (51, 3, 50, 'Never: below project eight', 'ADMIN')");
    sql("INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Owner) SELECT 1000 + seq, "
        "seq + 2, IF(seq = 1, 21, 999 + seq), concat('Link ', seq), 'ADMIN' FROM seq_1_to_1500");

    const std::string recursionLimit = sql("SELECT @@max_recursive_iterations");
    for (qint32 project : {7, 8}) {
        SCOPED_TRACE(project);
        std::vector<outline::CategoryNode> loaded;
        int statements = 0;
        {
            StatementCounter counter;
            loaded = outline::loadOutline(m_session, project);
            statements = counter.statements;
        }
        EXPECT_EQ(statements, 2);
        // Compared whole, not as text: the chain's indentation would make a failure's text
        // millions of characters long. The checks below show where the trees part.
        EXPECT_TRUE(loaded == outline::loadOutlineByNode(m_session, project));
    }
    {
        // The limit of recursive steps was lifted for the outline's statement only.
        auto query = m_session.newQuery();
        query->SetSQL("select @@max_recursive_iterations as steps");
        query->Open();
        EXPECT_EQ(query->FieldByName("steps").AsString() + "\n", recursionLimit);
    }

    const auto tree = outline::loadOutline(m_session, 7);
    std::multiset<qint32> ids;
    std::vector<std::pair<const outline::DocumentNode*, int>> pending;
    for (const auto& c : tree)
        for (const auto& d : c.children)
            pending.push_back({&d, 1});
    int deepest = 0;
    while (!pending.empty()) {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        EXPECT_FALSE(node->record.RequirementName.startsWith("Never")) << node->record.RequirementName.toStdString();
        ids.insert(node->record.RequirementID);
        deepest = std::max(deepest, depth);
        for (const auto& d : node->children)
            pending.push_back({&d, depth + 1});
    }
    EXPECT_EQ(ids.size(), 8u + 1500u);
    EXPECT_EQ(std::set<qint32>(ids.begin(), ids.end()).size(), ids.size()) << "a document placed twice";
    EXPECT_EQ(deepest, 2 + 1500);
    ASSERT_EQ(tree.size(), 2u);
    ASSERT_EQ(tree[0].record.CatagoryID, 10);
    std::vector<qint32> underTen;
    for (const auto& d : tree[0].children)
        underTen.push_back(d.record.RequirementID);
    EXPECT_EQ(underTen, (std::vector<qint32>{22, 23, 24, 25, 20}));
    ASSERT_EQ(tree[1].children.size(), 1u);
    const auto& docTen = tree[1].children[0];
    EXPECT_EQ(docTen.record.RequirementID, 10);
    ASSERT_EQ(docTen.children.size(), 1u);
    EXPECT_EQ(docTen.children[0].record.RequirementID, 21);
    ASSERT_EQ(docTen.children[0].children.size(), 2u);
    EXPECT_EQ(docTen.children[0].children[0].record.RequirementName, "Here below");
    EXPECT_EQ(docTen.children[0].children[1].record.RequirementName, "Link 1");
}

TEST_F(WorkspaceData, OutlineOrdersSiblingsAsTextAndKeepsTheRowValues)
{
    sql("INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName) VALUES (1, 5, 'b'), (2, 5, 'A')");
    sql("INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Created, Owner, "
        "Messages, Attachments) VALUES "
        "(10, 2, 1, '1.2 Second', '2026-01-02 03:04:05', 'bob', 0, 0),"
        "(11, 2, 1, '1.10 First', '2026-01-02 03:04:05', 'ADMIN', 1, 0),"
        "(12, 4, 11, 'Deep under a Level 2', '2026-01-02 03:04:05', 'ADMIN', 0, 3),"
        "(13, 3, 11, 'Also under', '2026-01-02 03:04:05', 'ADMIN', 2, 1)");
    const auto tree = outline::loadOutline(m_session, 5);
    ASSERT_EQ(tree.size(), 2u);
    EXPECT_EQ(tree[0].record.CatagoryName, "A");
    EXPECT_EQ(tree[0].record.Description, "");  // NULL reads as empty
    ASSERT_EQ(tree[1].children.size(), 2u);
    const auto& first = tree[1].children[0];
    EXPECT_EQ(first.record.RequirementName, "1.10 First");
    EXPECT_EQ(tree[1].children[1].record.RequirementName, "1.2 Second");
    EXPECT_EQ(tree[1].children[1].record.Version, 1.0);  // the column's default
    EXPECT_EQ(tree[1].children[1].record.Status, "Submitted");
    ASSERT_EQ(first.children.size(), 2u);
    EXPECT_EQ(first.children[0].record.RequirementName, "Also under");
    EXPECT_EQ(first.children[1].record.RequirementName, "Deep under a Level 2");
    EXPECT_EQ(outline::stateIndex(first.record), 1);
    EXPECT_EQ(outline::stateIndex(first.children[0].record), 3);
    EXPECT_EQ(outline::stateIndex(first.children[1].record), 2);
    EXPECT_EQ(outline::stateIndex(tree[1].children[1].record), 0);
}

// Values that break or change a statement whose text is not escaped, and text beyond ASCII.
static const QString kHostile[] = {
    QStringLiteral("O'Hara"),
    QStringLiteral("back\\slash\\"),
    QString::fromUtf8("nul\0inside", 10),
    QString::fromUtf8("ctrl-z \x1a end"),
    QStringLiteral("x'); delete from Projects; -- "),
    QStringLiteral("\"double\" and `back`"),
    QString::fromUtf8("Ünïcödé Café 日本語 😀"),
    QStringLiteral("trailing space "),
};

TEST_F(WorkspaceData, HostileTextIsStoredAndReadBackExactly)
{
    if (vt::test::perUserTests())
        GTEST_SKIP() << "shared-account mode only: it writes under other users' names, which per-user accounts "
                        "refuse even to administrators";
    sql("INSERT INTO Projects (ProjectID, ProjectName, ProjectManager) VALUES (1, 'P', 'ADMIN'), (2, 'Q', 'ADMIN')");
    sql("INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName) VALUES (1, 1, 'C')");
    sql("INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Owner) VALUES (7, 2, 1, 'D', "
        "'ADMIN')");
    for (const QString& value : kHostile) {
        SCOPED_TRACE(value.toStdString());
        data::projects::saveProjectInfo(m_session, 1, value, value + "\ndescription");
        const auto info = data::projects::projectInfo(m_session, 1);
        ASSERT_TRUE(info);
        EXPECT_EQ(info->name, value);
        EXPECT_EQ(info->description, value + "\ndescription");
        EXPECT_EQ(data::projects::projectId(m_session, value), 1);

        data::projects::setProjectManager(m_session, 1, value);
        EXPECT_EQ(data::projects::projectInfo(m_session, 1)->manager, value);

        data::projects::addMember(m_session, 1, value);
        EXPECT_EQ(data::projects::memberNames(m_session, 1), QStringList{value});
        data::projects::removeMember(m_session, 1, value);
        EXPECT_TRUE(data::projects::memberNames(m_session, 1).isEmpty());

        data::documents::updateTopic(m_session, 7, value, value);
        data::documents::setOwner(m_session, 7, value);
        const auto doc = data::documents::details(m_session, 7);
        ASSERT_TRUE(doc);
        EXPECT_EQ(doc->RequirementName, value);
        EXPECT_EQ(doc->Owner, value);

        data::activitylog::LogActivity(m_session, "DISC_POST", value, 1, 1, 7, 42);
    }
    // Nothing else changed: the other project, and one log row and one unread row per value.
    EXPECT_EQ(data::projects::projectInfo(m_session, 2)->name, "Q");
    const size_t n = std::size(kHostile);
    EXPECT_EQ(sql("SELECT count(*) FROM activity_Log WHERE Note='DISC_POST' AND msgID=42"), std::to_string(n) + "\n");
    EXPECT_EQ(sql("SELECT count(*) FROM msg_state WHERE msgID=42 AND state=1"), std::to_string(n) + "\n");
}

TEST_F(WorkspaceData, LogActivityWritesTheUnreadRowOnlyForPosts)
{
    if (vt::test::perUserTests())
        GTEST_SKIP() << "shared-account mode only: it writes under other users' names, which per-user accounts "
                        "refuse even to administrators";
    data::activitylog::LogActivity(m_session, "UPD_DOC", "alice", 3, 4, 5, 0);
    data::activitylog::LogActivity(m_session, "disc_post", "bob", 3, 4, 5, 6);  // exact kind only
    data::activitylog::LogActivity(m_session, "DISC_POST", "carol", 3, 4, 5, 6);
    EXPECT_EQ(sql("SELECT Note, ModifiedBy, ProjectID, CatagoryID, DocumentID, msgID, "
                  "ModifyDate > now() - INTERVAL 1 MINUTE FROM activity_Log ORDER BY ModifiedBy"),
              "UPD_DOC\tALICE\t3\t4\t5\t0\t1\ndisc_post\tBOB\t3\t4\t5\t6\t1\nDISC_POST\tCAROL\t3\t4\t5\t6\t1\n");
    EXPECT_EQ(sql("SELECT RequirementID, msgID, username, state FROM msg_state"), "5\t6\tCAROL\t1\n");
}

// A post notifies every member of the project in the same statements, whatever their number:
// one unread state and one DISC_POST record per person, a member listed twice or under names
// that differ in case alone counting once, names that differ otherwise (accents, quotes) kept
// apart. Writing the notices again skips every member who has them, so a lost answer can
// safely run them again.
TEST_F(WorkspaceData, PostNotifiesEveryMemberOnceInTheSameStatementsWhateverTheirNumber)
{
    // The rows are made and checked on the tables themselves: through the per-user views, as
    // the server's root, every row read costs the views' checks.
    const std::string tables = m_perUser.store.empty() ? m_db : m_perUser.store;
    const auto onTables = [&](const std::string& statement) { return vt::test::runSql(statement, tables); };
    onTables("INSERT INTO Projects (ProjectID, ProjectName, ProjectManager) VALUES (5, 'Small', 'ADMIN'), "
             "(6, 'Large', 'ADMIN');"
             "INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName) VALUES (50, 5, 'C5'), (60, 6, 'C6');"
             "INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Owner) VALUES "
             "(500, 2, 50, 'D5', 'ADMIN'), (600, 2, 60, 'D6', 'ADMIN');"
             "INSERT INTO ProjectMembers (UserName, ProjectID) VALUES ('carol', 5), ('Dave', 5);"
             "INSERT INTO ProjectMembers (UserName, ProjectID) SELECT concat('M', seq), 6 FROM seq_1_to_2000;"
             "INSERT INTO ProjectMembers (UserName, ProjectID) VALUES ('bob', 6), ('BOB', 6), ('BÖB', 6), "
             "('O\\'Brien \\\\', 6), ('Zoë 😀', 6), ('M1', 6), (NULL, 6), ('', 6), ('admin', 6)");
    m_session.CurrentUser = "ADMIN";
    const auto post = [&](qint32 project, int& statements) {
        m_session.CurrentProjectID = project;
        m_session.CurrentCatagoryID = project * 10;
        m_session.CurrentDocumentID = project * 100;
        StatementCounter counter;
        const auto posted = data::discussions::PostDiscussionMessage(m_session, "Subject", "text", 0);
        statements = counter.statements;
        return posted;
    };
    int small = 0, large = 0;
    const auto toSmall = post(5, small);
    const auto toLarge = post(6, large);
    ASSERT_GT(toSmall.msgId, 0);
    ASSERT_GT(toLarge.msgId, 0);
    EXPECT_EQ(large, small);
    EXPECT_LE(large, 6);
    EXPECT_FALSE(toSmall.authorIsMember);
    EXPECT_TRUE(toLarge.authorIsMember);  // listed as 'admin'

    const std::string id = std::to_string(toLarge.msgId);
    const auto check = [&] {
        EXPECT_EQ(onTables("SELECT count(*), count(DISTINCT upper(username) COLLATE utf8mb4_bin) FROM msg_state "
                           "WHERE msgID = " +
                           id + " AND RequirementID = 600"),
                  "2006\t2006\n");
        EXPECT_EQ(onTables("SELECT count(*), count(DISTINCT upper(ModifiedBy) COLLATE utf8mb4_bin) FROM activity_Log "
                           "WHERE msgID = " +
                           id +
                           " AND Note = 'DISC_POST' AND ProjectID = 6 AND CatagoryID = 60 AND DocumentID = 600 "
                           "AND ModifiedBy = upper(ModifiedBy) COLLATE utf8mb4_bin"),
                  "2006\t2006\n");
        EXPECT_EQ(onTables("SELECT username FROM msg_state WHERE msgID = " + id +
                           " AND username NOT LIKE 'M%' ORDER BY username COLLATE utf8mb4_bin"),
                  "\nADMIN\nBOB\nBÖB\nO'BRIEN \\\\\nZOË 😀\n");
    };
    check();
    EXPECT_EQ(onTables("SELECT count(*) FROM msg_state WHERE msgID = " + id +
                       " AND (state <> 1 OR username <> upper(username) COLLATE utf8mb4_bin)"),
              "0\n");
    EXPECT_EQ(onTables("SELECT group_concat(username ORDER BY username) FROM msg_state WHERE msgID = " +
                       std::to_string(toSmall.msgId)),
              "CAROL,DAVE\n");

    // Some notices missing, one read state there already under another case and read: the
    // notices written again fill the gaps and leave that state as it is.
    onTables("DELETE FROM msg_state WHERE msgID = " + id +
             " AND username COLLATE utf8mb4_bin IN ('M7', 'M8', 'BÖB');"
             "DELETE FROM activity_Log WHERE msgID = " +
             id +
             " AND ModifiedBy COLLATE utf8mb4_bin IN ('BOB', 'M2000');"
             "INSERT INTO msg_state (RequirementID, msgID, username, state) VALUES (600, " +
             id + ", 'm8', 2)");
    {
        StatementCounter counter;
        data::activitylog::notifyMembers(m_session, 6, 60, 600, toLarge.msgId);
        EXPECT_EQ(counter.statements, 2);
    }
    check();
    EXPECT_EQ(onTables("SELECT username, state FROM msg_state WHERE msgID = " + id +
                       " AND username COLLATE utf8mb4_bin IN ('M7', 'M8', 'm8', 'BÖB')"
                       " ORDER BY username COLLATE utf8mb4_bin"),
              "BÖB\t1\nM7\t1\nm8\t2\n");
}

// Recent Updates over a log of many newer notices: the twenty newest saves of the user's
// projects (a membership listed twice shows a save twice, as the join always did; saves of
// other projects and of deleted documents are left out; saves of the same second newest record
// first), read without walking the notices: the rows the server reads stay far below the log's.
TEST_F(WorkspaceData, RecentUpdatesReadsTheNewestSavesOfTheUsersProjectsPastTheNotices)
{
    const std::string tables = m_perUser.store.empty() ? m_db : m_perUser.store;
    const auto onTables = [&](const std::string& statement) { return vt::test::runSql(statement, tables); };
    onTables("INSERT INTO Projects (ProjectID, ProjectName) VALUES (1, 'P1'), (2, 'P2'), (3, 'P3'), (4, 'P4');"
             "INSERT INTO ProjectMembers (UserName, ProjectID) VALUES ('ADMIN', 1), ('admin', 2), ('ADMIN', 2), "
             "('BOB', 3), ('ADMIN', 4);"
             "INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName) VALUES (1, 1, 'C1'), (2, 2, 'C2'), "
             "(3, 3, 'C3'), (4, 4, 'C4');"
             "INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName) VALUES (11, 2, 1, 'D11'), "
             "(21, 2, 2, 'D21'), (31, 2, 3, 'D31'), (41, 2, 4, 'D41');"
             // P4 has few saves, one of them undated: all of them count.
             "INSERT INTO activity_Log (Note, ModifiedBy, ModifyDate, ProjectID, CatagoryID, DocumentID, msgID) "
             "VALUES ('UPD_DOC', 'Q', '2026-01-01 00:03:00', 4, 4, 41, 0), ('UPD_DOC', 'Q', NULL, 4, 4, 41, 0), "
             "('UPD_DOC', 'Q', '2026-01-01 00:03:15', 4, 4, 41, 0);"
             // Saves two to a second, of P1 mostly, most of those of a deleted document, so that
             // the newest saves of P1 that show reach further back than its newest saves.
             "INSERT INTO activity_Log (Note, ModifiedBy, ModifyDate, ProjectID, CatagoryID, DocumentID, msgID) "
             "SELECT 'UPD_DOC', concat('U', seq), TIMESTAMP'2026-01-01 00:00:00' + INTERVAL seq DIV 2 SECOND, "
             "ELT(seq % 8 + 1, 1, 1, 1, 1, 1, 1, 2, 3), ELT(seq % 8 + 1, 1, 1, 1, 1, 1, 1, 2, 3), "
             "ELT(seq % 8 + 1, 11, 12, 12, 12, 12, 12, 21, 31), 0 "
             "FROM seq_1_to_400;"
             "INSERT INTO activity_Log (Note, ModifiedBy, ModifyDate, ProjectID, CatagoryID, DocumentID, msgID) "
             "SELECT 'DISC_POST', 'N', TIMESTAMP'2026-02-01 00:00:00' + INTERVAL seq SECOND, seq % 3 + 1, 1, 11, seq "
             "FROM seq_1_to_20000;"
             "ANALYZE TABLE activity_Log");
    const auto readCount = [&] {
        auto query = m_session.newQuery();
        query->SetSQL("SHOW SESSION STATUS LIKE 'Handler_read%'");
        query->Open();
        long long sum = 0;
        for (int i = 0, n = query->RecordCount(); i < n; ++i) {
            sum += std::stoll(query->FieldByName("Value").AsString());
            query->Next();
        }
        query->Close();
        return sum;
    };
    auto query = m_session.newQuery();
    query->SetSQL(data::activitylog::kRecentUpdatesSql);
    query->SetRequestLive(true);
    query->ParamByName("username").SetAsString("ADMIN");
    query->Open();  // the tables' metadata is read once
    query->Close();
    // The rows the server reads for the statement, less those of reading the counters.
    const long long first = readCount();
    const long long before = readCount();
    query->Open();
    const long long read = readCount() - before - (before - first);
    std::string shown;
    for (int i = 0, n = query->RecordCount(); i < n; ++i) {
        shown +=
            query->FieldByName("LogID").AsString() + "\t" + query->FieldByName("RequirementName").AsString() + "\n";
        query->Next();
    }
    query->Close();
    // The same rows by the plain join, sorted whole.
    EXPECT_EQ(shown, onTables("SELECT a.LogID, r.RequirementName FROM activity_Log a "
                              "JOIN Requirements r ON r.RequirementID = a.DocumentID JOIN Projects p ON "
                              "p.ProjectID = a.ProjectID JOIN ProjectMembers m ON m.ProjectID = a.ProjectID "
                              "AND m.UserName = 'ADMIN' WHERE a.Note = 'UPD_DOC' "
                              "ORDER BY a.ModifyDate DESC, a.LogID DESC LIMIT 20"));
    EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 20);
    EXPECT_EQ(shown.substr(0, 8), "403\tD11\n");
    // The log holds 20,400 records, 400 of them saves; read in full it costs more than 20,000
    // rows. The views' checks in the per-user mode read a few rows for each row they pass.
    EXPECT_LT(read, 10000) << "rows read for Recent Updates";
}

TEST_F(WorkspaceData, UnreadMessagesOfTheUserInTheProject)
{
    sql("INSERT INTO Req_messages (msgID, Subject, Name, created, RequirementID, ProjectID) VALUES "
        "(1, 'Hello', 'BOB', '2026-03-04 05:06:07', 10, 1), (2, 'Other project', 'BOB', now(), 20, 2),"
        "(3, 'Read already', 'BOB', now(), 10, 1)");
    sql("INSERT INTO msg_state (RequirementID, msgID, username, state) VALUES "
        "(10, 1, 'ALICE', 1), (20, 2, 'ALICE', 1), (10, 3, 'ALICE', 2), (10, 1, 'BOB', 1)");
    const auto unread = data::discussions::unreadMessages(m_session, 1, "ALICE");
    ASSERT_EQ(unread.size(), 1u);
    EXPECT_EQ(unread[0].msgID, 1);
    EXPECT_EQ(unread[0].RequirementID, 10);
    EXPECT_EQ(unread[0].Name, "BOB");
    EXPECT_EQ(unread[0].Subject, "Hello");
    EXPECT_TRUE(unread[0].Created.contains("05:06")) << unread[0].Created.toStdString();
}

TEST_F(WorkspaceData, BodiesAreStoredAndReadAsBytes)
{
    sql("INSERT INTO Req_objects (RequirementID, Document) VALUES (7, 'old')");
    EXPECT_TRUE(data::documents::hasBody(m_session, 7));
    EXPECT_FALSE(data::documents::hasBody(m_session, 8));
    QByteArray bytes;
    for (int i = 0; i < 300000; ++i)
        bytes += char(i * 7 % 256);
    const QString file = QDir::temp().filePath(QString::fromStdString(m_db) + ".rvf");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    data::documents::updateBodyFromFile(m_session, 7, file);
    EXPECT_EQ(data::documents::body(m_session, 7), bytes);
    // Only an update: a document without a body row keeps having none.
    data::documents::updateBodyFromFile(m_session, 8, file);
    EXPECT_FALSE(data::documents::hasBody(m_session, 8));
    data::documents::insertBodyFromFile(m_session, 8, file);
    EXPECT_EQ(data::documents::body(m_session, 8), bytes);
    QFile::remove(file);
    EXPECT_EQ(data::documents::bodyFilePath("/srv/docs", 42), "/srv/docs/42.rvf");
}

TEST_F(WorkspaceData, BodiesReadInBatchesEqualTheBodiesReadOneByOne)
{
    // Seven documents in outline order, batches of three: bodies of every kind fall on both
    // sides of a batch boundary, among them a document with two body rows (the first counts),
    // a NULL body, an empty one, binary bytes and a document without a row.
    QByteArray binary;
    for (int i = 0; i < 5000; ++i)
        binary += char(i % 256);
    sql("INSERT INTO Req_objects (RequirementID, Document) VALUES (31, 'one'), (33, NULL), (34, ''), (35, 0x" +
        binary.toHex().toStdString() + "), (36, 'first'), (36, 'second'), (37, 'seven'), (99, 'not listed')");
    const std::vector<qint32> ids{31, 32, 33, 34, 35, 36, 37};
    std::vector<std::optional<QByteArray>> oneByOne;
    for (qint32 id : ids)
        oneByOne.push_back(data::documents::storedBody(m_session, id));
    EXPECT_EQ(oneByOne[0], QByteArray("one"));
    EXPECT_EQ(oneByOne[1], std::nullopt);
    EXPECT_EQ(oneByOne[2], QByteArray());
    EXPECT_EQ(oneByOne[4], binary);
    EXPECT_EQ(oneByOne[5], QByteArray("first"));

    StatementCounter counter;
    data::report::BodyBatches batches(m_session, ids, 3);
    for (size_t i = 0; i < ids.size(); ++i)
        EXPECT_EQ(batches.take(ids[i]), oneByOne[i]) << ids[i];
    EXPECT_EQ(counter.statements, 3) << "ceil(7 / 3) statements";
    // A document outside the list has no body here and costs no statement.
    EXPECT_EQ(batches.take(99), std::nullopt);
    EXPECT_EQ(counter.statements, 3);

    // Taking only some of the list reads just the batches they start.
    StatementCounter skipping;
    data::report::BodyBatches sparse(m_session, ids, 2);
    EXPECT_EQ(sparse.take(36), QByteArray("first"));
    EXPECT_EQ(sparse.take(37), QByteArray("seven"));
    EXPECT_EQ(skipping.statements, 1);
}

TEST_F(WorkspaceData, ShowingADocumentCostsTwoRoundTripsOnceItsTablesAreKnown)
{
    sql("INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Owner) VALUES "
        "(41, 2, 1, 'With body', 'ADMIN'), (42, 2, 1, 'Without body', 'ADMIN')");
    sql("INSERT INTO Req_objects (RequirementID, Document) VALUES (41, 'body')");
    // The first document asks the server for the tables' metadata; the rest is kept.
    ASSERT_TRUE(data::documents::details(m_session, 41));
    ASSERT_EQ(data::documents::storedBody(m_session, 41), QByteArray("body"));
    for (qint32 id : {41, 42}) {
        StatementCounter counter;
        const uint64_t before = m_session.connection().RoundTrips();
        const auto row = data::documents::details(m_session, id);
        const auto body = data::documents::storedBody(m_session, id);
        EXPECT_EQ(m_session.connection().RoundTrips() - before, 2u) << id;
        EXPECT_EQ(counter.statements, 2) << id;
        ASSERT_TRUE(row) << id;
        EXPECT_EQ(body.has_value(), id == 41);
    }
}
