// Revision history and conflicts between users, against the private test server: ADMIN works in
// the program's windows, BOB on a second connection of his own through the data modules, as a
// second program would. Each case checks the rows (document, revisions, activity log) and what
// ADMIN was shown.
#include "AppFixture.h"
#include "TestServer.h"

#include "data/ActivityLog.h"
#include "data/Documents.h"
#include "data/Outline.h"
#include "data/Revisions.h"
#include "richtext/RichEditor.h"

#include "db/DbSettings.h"
#include "db/TField.h"
#include "db/TmySQLDatabase.h"
#include "db/TmySQLQuery.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTreeWidget>

#include <chrono>
#include <functional>
#include <thread>

using namespace vt::app;
namespace documents = vt::app::data::documents;

namespace {

QByteArray bodyOf(const QString& text)
{
    vt::rt::RichEditor editor;
    editor.appendParagraph(text);
    return editor.saveToBytes();
}

QString textOf(const QByteArray& body)
{
    if (body.isEmpty()) return {};
    vt::rt::RichEditor reader;
    reader.loadFromBytes(body);
    return reader.toPlainText().trimmed();
}

}  // namespace

class Revisions : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        m_db = vt::test::freshVeltranaDatabase("vt_rev");
        writeFile("defaults.cfg", QByteArray::fromStdString(vt::test::defaultsLine(m_db)));
        sql("INSERT INTO Users (Username, password, Role) VALUES ('BOB','PW','USER')");
        sql("INSERT INTO Projects (ProjectID, ProjectName, Description, ProjectManager) VALUES "
            "(1, 'Alpha', 'About alpha', 'ADMIN')");
        sql("INSERT INTO ProjectMembers (UserName, ProjectID) VALUES ('ADMIN', 1), ('BOB', 1)");
        sql("INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName, Description) VALUES (1, 1, 'Area', ''),"
            "(2, 1, 'Other', '')");
        const auto& server = vt::test::testServer();
        m_bob.connect({QString::fromStdString(m_db),
                       QString::fromStdString(server.host) + ":" + QString::number(server.port),
                       QString::fromStdString(server.user), QString::fromStdString(server.password)});
        movePerUserIfAsked(m_db);
        startApp();
    }

    std::string sql(const std::string& statement) { return vt::test::runSql(statement, m_db); }

    // A document of ADMIN's under category 1 with a body.
    void addDocument(int id, const QString& topic, const QString& text, int parent = 1, int level = 2)
    {
        sql("INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Created, Owner, modified, "
            "modifiedBy) VALUES (" +
            std::to_string(id) + "," + std::to_string(level) + "," + std::to_string(parent) + ",'" +
            topic.toStdString() + "', now(), 'ADMIN', now(), 'ADMIN')");
        sql("INSERT INTO Req_objects (RequirementID, Document) VALUES (" + std::to_string(id) + ", X'" +
            bodyOf(text).toHex().toStdString() + "')");
    }

    void loginAsAdmin()
    {
        QTest::keyClicks(&loginChild<QLineEdit>("UserID"), "admin");
        QTest::keyClicks(&loginChild<QLineEdit>("Password"), "admin");
        loginChild<QPushButton>("Button1").click();
        ASSERT_TRUE(session().isLoggedIn()) << m_platform.messages().join("|").toStdString();
        auto& combo = mainChild<QComboBox>("Combo_projects");
        combo.setCurrentIndex(combo.findText("Alpha"));
        emit combo.textActivated("Alpha");
        m_platform.clear();
    }
    QTreeWidget& tree() { return mainChild<QTreeWidget>("ProjectTree"); }
    void select(const QString& caption, Qt::MatchFlags how = Qt::MatchExactly)
    {
        const auto found = tree().findItems(caption, how | Qt::MatchRecursive);
        ASSERT_EQ(found.size(), 1) << caption.toStdString();
        tree().setCurrentItem(found.front());
    }
    QString selectedCaption() { return tree().currentItem() ? tree().currentItem()->text(0) : QString(); }
    vt::rt::RichEditor& editor() { return mainChild<vt::rt::RichEditor>("RichEdit1"); }
    QLineEdit& topic() { return mainChild<QLineEdit>("Edit_RequireMentName"); }
    // The category (its caption loses the leading "  ..." once it was shown).
    void selectArea() { select("Area", Qt::MatchEndsWith); }
    void typeBody(const QString& text)
    {
        editor().moveCursor(QTextCursor::End);
        QTest::keyClicks(&editor(), text);
    }
    void typeTopic(const QString& text)
    {
        topic().end(false);
        QTest::keyClicks(&topic(), text);
    }

    // BOB stores a change of the document as his program does: loaded now, stored at once.
    void bobSaves(int id, std::optional<QString> newTopic, std::optional<QString> newText)
    {
        const auto loaded = documents::details(m_bob, id);
        ASSERT_TRUE(loaded);
        documents::Change change;
        change.topic = newTopic;
        if (newText) {
            writeFile("bob.rvf", bodyOf(*newText));
            change.bodyFile = path("bob.rvf");
        }
        EXPECT_EQ(documents::saveRevision(m_bob, id, *loaded, change, "BOB", 1, 1).outcome,
                  documents::SaveOutcome::Saved);
    }
    void bobDeletes(int id)
    {
        data::outline::deleteSubDocuments(m_bob, data::outline::Below::Document, id);
        data::outline::deleteDocumentRows(m_bob, id);
        data::activitylog::LogActivity(m_bob, "DEL_DOC", "BOB", 1, 1, id, 0);
    }

    std::string storedText(int id)
    {
        const std::string hex = sql("SELECT hex(Document) FROM Req_objects WHERE RequirementID=" + std::to_string(id));
        return textOf(QByteArray::fromHex(QByteArray::fromStdString(hex).trimmed())).toStdString();
    }
    // The kept versions: revision, who stored it, topic and body text.
    std::string history(int id)
    {
        std::string all;
        for (const auto& e : data::revisions::history(m_bob, id)) {
            const auto v = data::revisions::version(m_bob, id, e.Revision);
            all += std::to_string(e.Revision) + " " + e.SavedBy.toStdString() + " '" + e.RequirementName.toStdString() +
                   "' " + textOf(v->Document).toStdString() + (e.Size == v->Document.size() ? "" : " (size differs)") +
                   "\n";
        }
        return all;
    }
    std::string row(int id)
    {
        return sql("SELECT RequirementName, Revision, modifiedBy, ParentID FROM Requirements WHERE RequirementID=" +
                   std::to_string(id));
    }
    std::string updates(int id)
    {
        return sql("SELECT group_concat(ModifiedBy order by LogID) FROM activity_Log WHERE Note='UPD_DOC' and "
                   "DocumentID=" +
                   std::to_string(id));
    }
    QStringList choicesShown() const
    {
        QStringList texts;
        for (const auto& s : m_platform.shown)
            if (s.kind == "choice") texts << s.text;
        return texts;
    }

    std::string m_db;
    Session m_bob;
};

// Two users on one document: ADMIN has it open in the program and edits it, BOB changes it on
// his own connection, then ADMIN's selection moves on (which stores) and ADMIN answers.
TEST_F(Revisions, TwoUsersOnOneDocument)
{
    struct Case {
        const char* name;
        std::function<void(int id)> bob;  // after ADMIN opened the document
        std::function<void()> admin;      // ADMIN's edit
        QString answer;                   // ADMIN's choice; empty when no question is expected
        const char* asked;                // part of the question's text
        std::string row;                  // topic, revision, modifiedBy, parent afterwards
        std::string body;                 // the stored body text
        std::string history;              // the kept versions
        std::string updates;              // UPD_DOC records, by user
        QString shownBody;                // what ADMIN's editor shows afterwards
    };
    const std::vector<Case> cases = {
        {"both edit the body, keep both", [&](int id) { bobSaves(id, std::nullopt, "Text by bob"); },
         [&] { typeBody(" by admin"); }, "Keep both", "BOB stored this document since you opened it.",
         "Doc1\t3\tADMIN\t1\n", "Text by admin", "2 BOB 'Doc1' Text by bob\n1 ADMIN 'Doc1' Text\n", "BOB,ADMIN\n",
         "Text by admin"},
        {"one renames, the other edits only the body: the rename stays",
         [&](int id) { bobSaves(id, "Renamed by bob", std::nullopt); }, [&] { typeBody(" by admin"); }, "Keep both",
         "BOB stored", "Renamed by bob\t3\tADMIN\t1\n", "Text by admin",
         "2 BOB 'Renamed by bob' Text\n1 ADMIN 'Doc2' Text\n", "BOB,ADMIN\n", "Text by admin"},
        {"both edit the topic, discard mine", [&](int id) { bobSaves(id, "Topic by bob", std::nullopt); },
         [&] { typeTopic(" by admin"); }, "Discard mine", "BOB stored", "Topic by bob\t2\tBOB\t1\n", "Text",
         "1 ADMIN 'Doc3' Text\n", "BOB\n", "Text"},
        {"one edits, the other deletes: stored as a new document", [&](int id) { bobDeletes(id); },
         [&] { typeBody(" kept"); }, "Store as new document", "This document has been deleted by BOB.", "", "", "", "",
         "Text kept"},
        {"one edits, the other moves: no conflict, the move stays",
         [&](int id) { data::outline::moveDocument(m_bob, id, 2, 2); }, [&] { typeBody(" moved"); }, "", "",
         "Doc5\t2\tADMIN\t2\n", "Text moved", "1 ADMIN 'Doc5' Text\n", "ADMIN\n", ""},
    };
    // One document per case, all made first: a document stored anew takes the next id.
    for (size_t i = 0; i < cases.size(); ++i)
        addDocument(11 + static_cast<int>(i), QStringLiteral("Doc%1").arg(i + 1), "Text");
    loginAsAdmin();
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        const int id = 11 + static_cast<int>(i);
        const QString caption = QStringLiteral("Doc%1").arg(i + 1);
        select(caption);
        ASSERT_EQ(editor().toPlainText().trimmed(), "Text");
        c.bob(id);
        c.admin();
        m_platform.clear();
        if (!c.answer.isEmpty()) m_platform.choices.push_back(c.answer);
        selectArea();
        ASSERT_TRUE(m_platform.choices.empty()) << "no question was asked";
        const QStringList asked = choicesShown();
        if (c.answer.isEmpty()) {
            EXPECT_EQ(asked, QStringList{});
        } else {
            ASSERT_EQ(asked.size(), 1);
            EXPECT_TRUE(asked.front().contains(c.asked)) << asked.front().toStdString();
        }
        EXPECT_EQ(m_platform.messages(), QStringList{});
        EXPECT_EQ(row(id), c.row);
        EXPECT_EQ(storedText(id), c.body);
        EXPECT_EQ(history(id), c.history);
        EXPECT_EQ(updates(id), c.updates.empty() ? "NULL\n" : c.updates);
        if (!c.shownBody.isEmpty()) {
            EXPECT_EQ(editor().toPlainText().trimmed(), c.shownBody);
        }
    }
    // The deleted document's text went into a new document in its place, owned by ADMIN.
    EXPECT_EQ(
        sql("SELECT RequirementName, Level, ParentID, Owner, Revision FROM Requirements WHERE RequirementID > 15"),
        "Doc4\t2\t1\tADMIN\t1\n");
    EXPECT_EQ(storedText(std::stoi(sql("SELECT RequirementID FROM Requirements WHERE RequirementID > 15"))),
              "Text kept");
}

// "Keep both" shows the other user's version compared with the text just stored.
TEST_F(Revisions, KeepBothComparesTheOtherVersionWithMine)
{
    addDocument(10, "Doc", "alpha beta gamma");
    loginAsAdmin();
    select("Doc");
    bobSaves(10, std::nullopt, "alpha BOB gamma");
    editor().selectAll();
    QTest::keyClicks(&editor(), "alpha beta gamma delta");
    m_platform.choices.push_back("Keep both");
    mainChild<QAction>("Save1").trigger();
    EXPECT_EQ(mainChild<QTabWidget>("Tab_Control").currentWidget()->objectName(), "Tab_History");
    auto& list = mainChild<QTreeWidget>("HistoryList");
    ASSERT_EQ(list.topLevelItemCount(), 2);
    EXPECT_EQ(list.topLevelItem(0)->text(0), "2");  // newest first
    EXPECT_EQ(list.topLevelItem(0)->text(2), "BOB");
    ASSERT_EQ(list.selectedItems().size(), 1);
    EXPECT_EQ(list.selectedItems().front()->text(0), "2");
    EXPECT_EQ(mainChild<vt::rt::RichEditor>("HistoryView").toPlainText().trimmed(), "alpha BOB gamma");
    const QString comparison = mainChild<QTextBrowser>("HistoryComparison").toHtml();
    EXPECT_TRUE(comparison.contains("BOB")) << comparison.toStdString();
    EXPECT_TRUE(comparison.contains("delta")) << comparison.toStdString();
    EXPECT_EQ(storedText(10), "alpha beta gamma delta");
}

// Cancel keeps the user where they were with the text, stores nothing, and also stops Log Off
// and the selection change.
TEST_F(Revisions, CancelStaysWithTheTextAndStoresNothing)
{
    addDocument(10, "Doc", "Text");
    loginAsAdmin();
    select("Doc");
    bobSaves(10, std::nullopt, "Text by bob");
    typeBody(" mine");
    const std::string before = row(10) + history(10) + updates(10);

    m_platform.choices.push_back("Cancel");
    selectArea();
    EXPECT_EQ(selectedCaption(), "Doc");
    m_platform.choices.push_back("Cancel");
    mainChild<QAction>("Loggoff1").trigger();
    EXPECT_TRUE(session().isLoggedIn());
    EXPECT_EQ(choicesShown().size(), 2);
    EXPECT_EQ(editor().toPlainText().trimmed(), "Text mine");
    EXPECT_TRUE(editor().isModified());
    EXPECT_EQ(row(10) + history(10) + updates(10), before);

    // Deleted meanwhile: Cancel keeps the text as well; Log Off then goes on after "Discard mine".
    bobDeletes(10);
    m_platform.choices.push_back("Cancel");
    mainChild<QAction>("Loggoff1").trigger();
    EXPECT_TRUE(session().isLoggedIn());
    EXPECT_EQ(editor().toPlainText().trimmed(), "Text mine");
    m_platform.choices.push_back("Discard mine");
    mainChild<QAction>("Loggoff1").trigger();
    EXPECT_FALSE(session().isLoggedIn());
    EXPECT_EQ(sql("SELECT count(*) FROM Requirements"), "0\n");
    EXPECT_EQ(updates(10), "BOB\n");
}

// A restore stores the kept version as a new revision; the kept versions stay as they were.
// Restoring while the other user stored meanwhile goes through the same question.
TEST_F(Revisions, RestoreIsANewRevisionAndHistoryIsNeverChanged)
{
    addDocument(10, "First", "one");
    bobSaves(10, "Second", "two");
    loginAsAdmin();
    select("Second");
    const std::string kept = sql("SELECT Revision, Saved, SavedBy, RequirementName, hex(Document), DocSize FROM "
                                 "Req_revisions ORDER BY Revision");
    auto& tabs = mainChild<QTabWidget>("Tab_Control");
    tabs.setCurrentWidget(&mainChild<QWidget>("Tab_History"));
    auto& list = mainChild<QTreeWidget>("HistoryList");
    ASSERT_EQ(list.topLevelItemCount(), 1);
    list.setCurrentItem(list.topLevelItem(0));

    // BOB stores a third version while ADMIN looks at the history.
    bobSaves(10, std::nullopt, "three");
    m_platform.choices.push_back("Keep both");
    mainChild<QPushButton>("HistoryRestore").click();
    EXPECT_EQ(choicesShown().size(), 1);
    EXPECT_EQ(row(10), "First\t4\tADMIN\t1\n");  // ADMIN owns the document: the topic comes back
    EXPECT_EQ(storedText(10), "one");
    EXPECT_EQ(history(10), "3 BOB 'Second' three\n2 BOB 'Second' two\n1 ADMIN 'First' one\n");
    EXPECT_EQ(sql("SELECT Revision, Saved, SavedBy, RequirementName, hex(Document), DocSize FROM Req_revisions "
                  "WHERE Revision < 2 ORDER BY Revision"),
              kept);
    EXPECT_EQ(updates(10), "BOB,BOB,ADMIN\n");
    EXPECT_EQ(list.topLevelItemCount(), 3);
}

// A user who does not own the document restores only the body: the topic is the owner's.
TEST_F(Revisions, ANonOwnerRestoresTheBodyButNotTheTopic)
{
    addDocument(10, "Old topic", "old");
    sql("UPDATE Requirements SET Owner = 'BOB'");
    bobSaves(10, "New topic", "new");
    loginAsAdmin();
    select("New topic");
    mainChild<QTabWidget>("Tab_Control").setCurrentWidget(&mainChild<QWidget>("Tab_History"));
    auto& list = mainChild<QTreeWidget>("HistoryList");
    ASSERT_EQ(list.topLevelItemCount(), 1);
    list.setCurrentItem(list.topLevelItem(0));
    mainChild<QPushButton>("HistoryRestore").click();
    EXPECT_EQ(row(10), "New topic\t3\tADMIN\t1\n");
    EXPECT_EQ(storedText(10), "old");
}

// Saves at the data level: each keeps the replaced version in the same transaction, costs one
// statement more than a save without history, and a stale save changes nothing.
TEST_F(Revisions, SaveKeepsTheReplacedVersionInOneTransaction)
{
    addDocument(10, "Doc", "v1");
    auto loaded = documents::details(m_bob, 10);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->Revision, 1);
    writeFile("b.rvf", bodyOf("v2"));
    documents::Change change;
    change.bodyFile = path("b.rvf");

    std::vector<std::string> statements;
    SetTraceHook([&](TraceOp op, const std::string& text) {
        if (op == TraceOp::Execute && text.rfind("SHOW", 0) != 0 && text.rfind("DESCRIBE", 0) != 0)
            statements.push_back(text.substr(0, std::min<size_t>(24, text.find_first_of("\r\n"))));
        if (op == TraceOp::Begin || op == TraceOp::Commit)
            statements.push_back(text.substr(0, text.find_first_of("\r\n")));
    });
    const auto saved = documents::saveRevision(m_bob, 10, *loaded, change, "BOB", 1, 1);
    SetTraceHook({});
    EXPECT_EQ(saved.outcome, documents::SaveOutcome::Saved);
    EXPECT_EQ(saved.revision, 2);
    // Without history a body save is the row update, the body update and the record.
    std::string trace;
    for (const auto& s : statements)
        trace += s + "|";
    EXPECT_EQ(trace, "START TRANSACTION|Update Requirements set |insert into Req_revision|update req_objects|"
                     "Insert into activity_Log|COMMIT|");

    // The same loaded state again is stale now: nothing is written.
    const std::string before = row(10) + history(10) + updates(10) + storedText(10);
    const auto stale = documents::saveRevision(m_bob, 10, *loaded, change, "BOB", 1, 1);
    EXPECT_EQ(stale.outcome, documents::SaveOutcome::Conflict);
    EXPECT_EQ(stale.revision, 2);
    EXPECT_EQ(stale.storedBy, "BOB");
    EXPECT_EQ(row(10) + history(10) + updates(10) + storedText(10), before);

    // Gone: nothing written, and deleting the document took its revisions along, and those of
    // the documents below it.
    addDocument(20, "Child", "c", 10, 3);
    sql("INSERT INTO Req_revisions (RequirementID, Revision) VALUES (20, 1), (20, 2)");
    bobDeletes(10);
    EXPECT_EQ(documents::saveRevision(m_bob, 10, documents::details(m_bob, 10).value_or(*loaded), change, "BOB", 1, 1)
                  .outcome,
              documents::SaveOutcome::Gone);
    EXPECT_EQ(sql("SELECT count(*) FROM Req_revisions"), "0\n");
    EXPECT_EQ(sql("SELECT count(*) FROM Requirements"), "0\n");
    EXPECT_EQ(data::activitylog::deletedBy(m_bob, 10), "BOB");
}

// In files mode the body files stay files; the replaced versions go into the database.
TEST_F(Revisions, FilesModeKeepsTheReplacedFileInTheDatabase)
{
    addDocument(10, "Doc", "unused");
    QDir().mkpath(path("docs"));
    writeFile("docs/10.rvf", bodyOf("file one"));
    sql("UPDATE global_settings SET documents = '" + path("docs").toStdString() + "', SaveAsFiles = 1");
    loginAsAdmin();
    ASSERT_TRUE(session().StoreDocumentsAsFiles);
    select("Doc");
    EXPECT_EQ(editor().toPlainText().trimmed(), "file one");
    typeBody(" two");
    mainChild<QAction>("Save1").trigger();
    EXPECT_EQ(textOf(readFile("docs/10.rvf")), "file one two");
    EXPECT_EQ(history(10), "1 ADMIN 'Doc' file one\n");
    typeTopic("!");
    mainChild<QAction>("Save1").trigger();
    EXPECT_EQ(history(10), "2 ADMIN 'Doc' file one two\n1 ADMIN 'Doc' file one\n");
    EXPECT_EQ(row(10), "Doc!\t3\tADMIN\t1\n");
}

namespace {

// Waits until a transaction of the server waits for a row lock (up to five seconds).
bool someoneWaitsForALock(const std::string& db)
{
    for (int i = 0; i < 500; ++i) {
        if (vt::test::runSql("SELECT count(*) FROM information_schema.innodb_trx WHERE trx_state = 'LOCK WAIT'", db) !=
            "0\n")
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void run(const Session& session, const std::string& statement)
{
    auto query = session.newQuery();
    query->SetSQL(statement);
    query->Execute();
}

}  // namespace

// A save is three round trips; one the server rolls back for a deadlock runs again from its
// start, while one whose connection is lost in the middle is reported and not run again.
TEST_F(Revisions, SaveCostsThreeRoundTripsAndOnlyARolledBackOneRunsAgain)
{
    addDocument(10, "Doc", "one");
    writeFile("b.rvf", bodyOf("two"));
    documents::Change change;
    change.bodyFile = path("b.rvf");
    change.plainText = QStringLiteral("two");
    auto loaded = documents::details(m_bob, 10);
    ASSERT_TRUE(loaded);
    uint64_t trips = m_bob.connection().RoundTrips();
    auto saved = documents::saveRevision(m_bob, 10, *loaded, change, "BOB", 1, 1);
    EXPECT_EQ(m_bob.connection().RoundTrips() - trips, 3u);
    ASSERT_EQ(saved.outcome, documents::SaveOutcome::Saved);
    loaded->Revision = saved.revision;

    // A second connection holds the body row, so the save waits in its second round trip.
    const auto& server = vt::test::testServer();
    Session other;
    other.connect({QString::fromStdString(m_db), QString::fromStdString(server.host) + ":" + QString::number(server.port),
                   QString::fromStdString(server.user), QString::fromStdString(server.password)});
    sql("CREATE TABLE ballast (id int primary key)");
    auto bobConnection = m_bob.newQuery();
    bobConnection->SetSQL("select connection_id() as Id");
    bobConnection->Open();
    const std::string bobId = bobConnection->FieldByName("Id").AsString();
    bobConnection->Close();

    struct Case {
        const char* name;
        bool kill;  // else: the other connection closes a deadlock, which makes the save its victim
    } cases[] = {{"deadlock", false}, {"connection lost", true}};
    for (const Case& k : cases) {
        const std::string before = row(10) + history(10) + updates(10) + storedText(10);
        run(other, "START TRANSACTION");
        // Many changed rows make the other transaction the heavier one: the server rolls back
        // the save's instead.
        run(other, "INSERT INTO ballast SELECT seq FROM seq_1_to_500");
        run(other, "UPDATE req_objects SET ObjectID = ObjectID WHERE RequirementID = 10");
        std::thread closer([&] {
            if (!someoneWaitsForALock(m_db)) return;
            if (k.kill) {
                sql("KILL CONNECTION " + bobId);
            } else {
                run(other, "UPDATE Requirements SET Status = 'busy' WHERE RequirementID = 10");
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            run(other, "ROLLBACK");
        });
        int starts = 0;
        SetTraceHook([&](TraceOp op, const std::string& text) { starts += op == TraceOp::Execute && text == "START TRANSACTION"; });
        std::string error;
        try {
            saved = documents::saveRevision(m_bob, 10, *loaded, change, "BOB", 1, 1);
        } catch (const std::exception& e) {
            error = e.what();
        }
        SetTraceHook({});
        closer.join();
        if (k.kill) {
            EXPECT_NE(error.find("lost inside a transaction"), std::string::npos) << error;
            EXPECT_EQ(starts, 1) << "a lost transaction is not run again";
            EXPECT_EQ(row(10) + history(10) + updates(10) + storedText(10), before);
        } else {
            EXPECT_EQ(error, "");
            EXPECT_EQ(starts, 2) << "the rolled back save ran once more";
            EXPECT_EQ(saved.outcome, documents::SaveOutcome::Saved);
            EXPECT_EQ(saved.revision, loaded->Revision + 1);
            loaded->Revision = saved.revision;
            EXPECT_EQ(updates(10), "BOB,BOB\n") << "one record per save";
            EXPECT_EQ(sql("SELECT count(*) FROM Req_revisions WHERE RequirementID = 10"), "2\n");
        }
        EXPECT_EQ(sql("SELECT count(*) FROM ballast"), "0\n");
    }
}
