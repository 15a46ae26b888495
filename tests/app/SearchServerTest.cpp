// Search against the private test server: a fixed corpus searched with a table of queries,
// members-only results, a save found by another session at once in both storage modes, the
// one-time fill of bodies stored before search existed, and the search box of the navigator.

#include "AppFixture.h"
#include "TestServer.h"

#include "data/Documents.h"
#include "data/Search.h"
#include "windows/panels/DiscussionPage.h"
#include "windows/panels/SearchBox.h"

#include "richtext/RichEditor.h"
#include "richtext/RvfFormat.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <fstream>
#include <set>
#include <sstream>

using namespace vt::app;
namespace search = vt::app::data::search;

namespace {

// A body of one paragraph per text, each text in runs of alternating styles cut every `cut`
// characters (a word split by formatting runs stays one word in the plain text).
QByteArray bodyOf(const QStringList& paragraphs, int cut = 0)
{
    vt::rt::DocModel model;
    for (const QString& text : paragraphs) {
        vt::rt::Block block;
        for (qsizetype at = 0; at < text.size(); at += (cut > 0 ? cut : text.size())) {
            vt::rt::Item item;
            item.style = int(block.paragraph.items.size() % 2);
            item.text = text.mid(at, cut > 0 ? cut : text.size()).toStdString();
            block.paragraph.items.push_back(item);
        }
        model.blocks.push_back(block);
    }
    const std::string bytes = vt::rt::writeRvf(model);
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

std::string hexOf(const QByteArray& bytes) { return "X'" + bytes.toHex().toStdString() + "'"; }

}  // namespace

class Search : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        m_db = vt::test::freshVeltranaDatabase("vt_search");
        const auto& server = vt::test::testServer();
        m_values = {QString::fromStdString(m_db),
                    QString::fromStdString(server.host) + ":" + QString::number(server.port),
                    QString::fromStdString(server.user), QString::fromStdString(server.password)};
        writeFile("defaults.cfg", ("UN:#SQ:" + m_values.host + "#DB:" + m_values.database + "#DU:" + m_values.user +
                                   "#DP:" + m_values.password + "##\r\n")
                                      .toUtf8());
        seed(m_db);
        if (movePerUserIfAsked(m_db)) m_values = connectionValues(m_db);
        startApp();
    }

    std::string sql(const std::string& statement) { return vt::test::runSql(statement, m_db); }

    // Alpha: ALICE; Beta: BOB; LONER is a member of nothing; ADMIN of nothing either.
    static void seed(const std::string& db)
    {
        const auto sql = [&db](const std::string& statement) { vt::test::runSql(statement, db); };
        sql("INSERT INTO Users (Username, password, Role) VALUES ('ALICE','PW','USER'), ('BOB','PW','USER'),"
            "('LONER','PW','USER')");
        sql("INSERT INTO Projects (ProjectID, ProjectName, Description, ProjectManager) VALUES "
            "(1, 'Alpha', '', 'ALICE'), (2, 'Beta', '', 'BOB')");
        sql("INSERT INTO ProjectMembers (UserName, ProjectID) VALUES ('ALICE', 1), ('BOB', 2)");
        sql("INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName) VALUES (1, 1, 'Specs'), (2, 2, 'Notes')");
        sql("INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Created, Owner, modified) "
            "VALUES (10, 2, 1, 'Menu planning', now(), 'ALICE', now()), (11, 3, 10, 'Systems', now(), 'ALICE', now()),"
            "(12, 2, 1, 'Stop words', now(), 'ALICE', now()), (13, 2, 2, 'Beta doc', now(), 'BOB', now())");
        sql("INSERT INTO Req_messages (msgID, Subject, Name, msg, created, RequirementID, ParentID, ProjectID) VALUES "
            "(5, 'Kickoff', 'ALICE', 'Discuss the QA plan', now(), 10, 0, 1)");
        sql("INSERT INTO msg_state (RequirementID, msgID, username, state) VALUES (10, 5, 'ALICE', 1)");
        sql("INSERT INTO Attachments (AttachID, RequirementID, Link, Description, Owner, Created, Filetype) VALUES "
            "(7, 10, 'http://example.com/datasheet.pdf', 'Datasheet of the oven', 'ALICE', now(), 0)");
    }

    std::unique_ptr<Session> sessionOf(const QString& user)
    {
        auto s = std::make_unique<Session>();
        EXPECT_EQ(s->logIn(m_values, user, user == "ADMIN" ? "ADMIN" : "PW"), Session::LoginResult::LoggedIn);
        return s;
    }

    // The corpus: the bodies' texts, stored as a save stores them.
    void storeCorpus(const Session& s)
    {
        search::storeText(s, 10,
                          QStringLiteral("The café menu and the UI layout.\nContact via e-mail. See REQ-1042 for "
                                         "C++ details; \"Quoted\" words and <b>markup</b> 50%."));
        search::storeText(s, 11, QStringLiteral("需求管理系统の仕様書を作成する"));
        search::storeText(s, 12, QStringLiteral("Nothing about it, was it?"));
        search::storeText(s, 13, QStringLiteral("CAFÉ in Beta, a secret"));
    }

    // "kind:id" of every hit, sorted.
    static std::set<std::string> found(const std::vector<search::Hit>& hits)
    {
        std::set<std::string> keys;
        for (const auto& h : hits)
            keys.insert(std::to_string(int(h.kind)) + ":" + std::to_string(h.requirementId));
        return keys;
    }
    std::set<std::string> find(const Session& s, const QString& input, bool everyProject)
    {
        return found(search::find(s, search::parseTerms(input), search::minTokenSize(s), s.CurrentUser, everyProject));
    }

    std::string m_db;
    ConnectionValues m_values;
};

TEST_F(Search, QueriesAgainstAFixedCorpus)
{
    const auto admin = sessionOf("ADMIN");
    storeCorpus(*admin);
    ASSERT_EQ(search::minTokenSize(*admin), 2);
    struct Case {
        const char* query;
        std::set<std::string> hits;  // kind:RequirementID (1 topic, 2 body, 3 message, 4 attachment)
    };
    const Case cases[] = {
        {"CAFE", {"2:10", "2:13"}},  // accents and case
        {"ui", {"2:10"}},            // two letters
        {"about", {"2:12"}},         // a default stop word
        {"was", {"2:12"}},
        {"C++", {"2:10"}},
        {"REQ-1042", {"2:10"}},
        {"e-mail", {"2:10"}},
        {"\"UI layout\"", {"2:10"}},
        {"\"layout UI\"", {}},
        {"lay*", {"2:10"}},
        {"\"Quoted\"", {"2:10"}},
        {"<b>markup</b>", {"2:10"}},
        {"50%", {"2:10"}},
        {"5%", {}},  // '%' is no wildcard
        {"需求", {"2:11"}},
        {"管理系统", {"2:11"}},
        {"仕様", {"2:11"}},
        {"作成", {"2:11"}},
        {"管", {"2:11"}},
        {"系统管理", {}},
        {"planning", {"1:10"}},
        {"menu", {"1:10", "2:10"}},
        {"QA", {"3:10"}},
        {"kickoff", {"3:10"}},
        {"datasheet", {"4:10"}},
        {"datasheet.pdf", {"4:10"}},
        {"menu secret", {}},  // every term must match
        // Hostile input: no syntax error, nothing found.
        {"it's \" ' \\ ; -- /* NUL\\0 (", {}},
        {"+-~<>()@*\"", {}},
        {"'); drop table Users; --", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(find(*admin, QString::fromUtf8(c.query), true), c.hits) << c.query;
    EXPECT_EQ(sql("select count(*) from Users"), "4\n");
}

TEST_F(Search, OnlyTheUsersProjectsAreSearchedAndAdministratorsSearchAll)
{
    const auto admin = sessionOf("ADMIN");
    storeCorpus(*admin);
    const auto alice = sessionOf("ALICE");
    const auto bob = sessionOf("BOB");
    const auto loner = sessionOf("LONER");
    EXPECT_EQ(find(*alice, "cafe", false), (std::set<std::string>{"2:10"}));
    EXPECT_EQ(find(*bob, "cafe", false), (std::set<std::string>{"2:13"}));
    EXPECT_EQ(find(*bob, "secret", false), (std::set<std::string>{"2:13"}));
    EXPECT_EQ(find(*alice, "secret", false), (std::set<std::string>{}));
    EXPECT_EQ(find(*loner, "cafe", false), (std::set<std::string>{}));
    EXPECT_EQ(find(*loner, "C++", false), (std::set<std::string>{}));  // the LIKE path too
    EXPECT_EQ(find(*admin, "cafe", true), (std::set<std::string>{"2:10", "2:13"}));
    // A hit carries its project, the path above it and a snippet around the match.
    const auto hits = search::find(*alice, search::parseTerms("pflichtenheft 需求"), 2, "ALICE", false);
    EXPECT_TRUE(hits.empty());
    const auto nested = search::find(*alice, search::parseTerms("仕様書"), 2, "ALICE", false);
    ASSERT_EQ(nested.size(), 1u);
    EXPECT_EQ(nested[0].projectName, "Alpha");
    EXPECT_EQ(nested[0].path, (QStringList{"Specs", "Menu planning"}));
    EXPECT_EQ(nested[0].topic, "Systems");
    EXPECT_TRUE(nested[0].snippet.contains("仕様書")) << nested[0].snippet.toStdString();
}

TEST_F(Search, TextOfADocumentInNoOutlineIsNotFound)
{
    const auto admin = sessionOf("ADMIN");
    storeCorpus(*admin);
    sql("delete from Requirements where RequirementID = 13");
    // A text whose document is gone is in no outline and is never found.
    EXPECT_EQ(find(*admin, "secret", true), (std::set<std::string>{}));
}

// The one-time fill: bodies stored before search existed (one compressed, one split by
// formatting runs, one damaged) get their text, in a database brought to this version by the
// upgrade; a second run finds nothing left to do.
TEST_F(Search, UpgradedDatabaseIsFilledOnceAndThenSearched)
{
    VT_SHARED_MODE_ONLY("a database of the first release is upgraded in shared mode; its move to per-user "
                        "accounts has a test of its own");
    // A database of the first release, with the same rows: no text table, no search indexes.
    std::ifstream fixture(vt::test::sqlDir() + "/../tests/schema/fixtures/schema-v1.sql");
    std::ifstream initial(vt::test::sqlDir() + "/initial-data.sql");
    std::stringstream v1;
    v1 << fixture.rdbuf() << ";\n" << initial.rdbuf();
    m_db = vt::test::freshDatabase("vt_search_v1");
    sql(v1.str());
    seed(m_db);
    m_values.database = QString::fromStdString(m_db);
    QStringList large;
    for (int i = 0; i < 400; ++i)
        large << QStringLiteral("Paragraph %1 of the long report.").arg(i);
    large << QStringLiteral("The word zanzibar at its end.");
    const QByteArray compressed = bodyOf(large);
    ASSERT_TRUE(compressed.contains("ZBDY"));  // the compressed form of the format
    sql("INSERT INTO Req_objects (RequirementID, Document) VALUES (10, " + hexOf(compressed) + "), (11, " +
        hexOf(bodyOf({QStringLiteral("An interoperability plan")}, 3)) + "), (12, X'00FF00'), (13, " +
        hexOf(bodyOf({QStringLiteral("Beta body")})) + ")");
    const std::string cmd = "bash " + vt::test::sqlDir() + "/../scripts/setup-db.sh --upgrade --socket " +
                            vt::test::testServer().socket + " --database " + m_db + " > /dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);

    const auto admin = sessionOf("ADMIN");
    std::vector<std::pair<int, int>> steps;
    const auto first = search::fillMissingTexts(*admin, false, QString(),
                                                [&](int done, int total) { steps.emplace_back(done, total); });
    EXPECT_EQ(first.filled, 3);
    EXPECT_EQ(first.unreadable, 1);
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps.front(), std::make_pair(0, 4));
    EXPECT_EQ(steps.back(), std::make_pair(4, 4));
    EXPECT_EQ(find(*admin, "zanzibar", true), (std::set<std::string>{"2:10"}));
    EXPECT_EQ(find(*admin, "interoperability", true), (std::set<std::string>{"2:11"}));
    EXPECT_EQ(find(*admin, "planning", true), (std::set<std::string>{"1:10"}));  // the new topic index
    // Resumed: only documents still without text are read (the damaged one is tried again).
    const auto second = search::fillMissingTexts(*admin, false, QString());
    EXPECT_EQ(second.filled, 0);
    EXPECT_EQ(second.unreadable, 1);
}

TEST_F(Search, FillReadsBodyFilesInFilesMode)
{
    const QString folder = path("docs");
    QDir().mkpath(folder);
    QFile file(folder + "/11.rvf");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bodyOf({QStringLiteral("Shared folder walrus")}));
    file.close();
    const auto admin = sessionOf("ADMIN");
    const auto result = search::fillMissingTexts(*admin, true, folder);
    EXPECT_EQ(result.filled, 1);  // the documents without a file are passed over
    EXPECT_EQ(find(*admin, "walrus", true), (std::set<std::string>{"2:11"}));
}

// A save by one session is found by another at once, in both storage modes; the search box
// shows it and opens it.
class SearchSave : public Search, public ::testing::WithParamInterface<bool> {};

TEST_P(SearchSave, SavedBodyIsFoundByAnotherSessionAtOnce)
{
    const bool files = GetParam();
    const QString folder = path("docs");
    QDir().mkpath(folder);
    sql(std::string("UPDATE global_settings SET SaveAsFiles = ") + (files ? "1" : "0") + ", documents = '" +
        folder.toStdString() + "'");
    const QByteArray old = bodyOf({QStringLiteral("old words")});
    if (files) {
        QFile f(folder + "/10.rvf");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(old);
    } else {
        sql("INSERT INTO Req_objects (RequirementID, Document) VALUES (10, " + hexOf(old) + ")");
    }
    QTest::keyClicks(&loginChild<QLineEdit>("UserID"), "ALICE");
    QTest::keyClicks(&loginChild<QLineEdit>("Password"), "PW");
    loginChild<QPushButton>("Button1").click();
    ASSERT_FALSE(login().isVisible()) << m_platform.messages().join("|").toStdString();

    auto& combo = mainChild<QComboBox>("Combo_projects");
    combo.setCurrentIndex(combo.findText("Alpha"));
    emit combo.textActivated("Alpha");
    auto& tree = mainChild<QTreeWidget>("ProjectTree");
    const auto nodes = tree.findItems("Menu planning", Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_EQ(nodes.size(), 1);
    tree.setCurrentItem(nodes.front());
    auto& editor = mainChild<vt::rt::RichEditor>("RichEdit1");
    editor.setFocus();
    QTest::keyClicks(&editor, "quokka ");
    ASSERT_TRUE(editor.isModified());
    mainWindow().Save1Click();
    EXPECT_TRUE(m_platform.messages().isEmpty()) << m_platform.messages().join("|").toStdString();

    const auto bob = sessionOf("BOB");
    const auto admin = sessionOf("ADMIN");
    EXPECT_EQ(find(*admin, "quokka", true), (std::set<std::string>{"2:10"}));
    EXPECT_EQ(find(*admin, "\"old words\"", true), (std::set<std::string>{"2:10"}));
    EXPECT_EQ(find(*bob, "quokka", false), (std::set<std::string>{}));  // not his project

    // The search box: typed text is searched after the pause; Enter opens the first result.
    auto& shortcut = mainChild<QShortcut>("SearchShortcut");
    EXPECT_EQ(shortcut.key(), QKeySequence(QStringLiteral("Ctrl+Shift+F")));
    auto& box = mainChild<QLineEdit>("SearchEdit");
    box.setText("earlier");
    emit shortcut.activated();
    EXPECT_EQ(box.selectedText(), "earlier");  // the field takes the focus with its text selected
    box.clear();
    tree.setCurrentItem(tree.topLevelItem(0));  // away from the document
    box.setFocus();
    QTest::keyClicks(&box, "kickoff");
    auto& results = mainChild<QTreeWidget>("SearchResults");
    QTRY_VERIFY_WITH_TIMEOUT(results.isVisible() && results.topLevelItemCount() == 1, 2000);
    EXPECT_TRUE(results.topLevelItem(0)->text(0).contains("Discussion messages (1)"));
    QTest::keyClick(&box, Qt::Key_Return);
    EXPECT_EQ(session().CurrentDocumentID, 10);
    EXPECT_EQ(mainChild<QTabWidget>("Tab_Control").currentWidget(), &mainChild<QWidget>("Tab_Req_Discussions"));
    auto& disc = child<QTreeWidget>(mainChild<DiscussionPage>("Tab_Req_Discussions"), "DiscTree");
    ASSERT_NE(disc.currentItem(), nullptr);
    EXPECT_TRUE(disc.currentItem()->text(0).startsWith("Kickoff"));
}

INSTANTIATE_TEST_SUITE_P(StorageModes, SearchSave, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Files" : "Database"; });

// A project of another user is opened from a result only when the user may open it; the box
// is emptied at Log Off.
TEST_F(Search, ResultOpensItsProjectAndLogOffEmptiesTheBox)
{
    sql("INSERT INTO ProjectMembers (UserName, ProjectID) VALUES ('ALICE', 2)");
    {
        const auto admin = sessionOf("ADMIN");
        storeCorpus(*admin);
    }
    QTest::keyClicks(&loginChild<QLineEdit>("UserID"), "ALICE");
    QTest::keyClicks(&loginChild<QLineEdit>("Password"), "PW");
    loginChild<QPushButton>("Button1").click();
    ASSERT_FALSE(login().isVisible());
    auto& box = mainChild<QLineEdit>("SearchEdit");
    box.setText("secret");
    mainChild<SearchBox>("SearchBox").runSearch();
    auto& results = mainChild<QTreeWidget>("SearchResults");
    ASSERT_EQ(results.topLevelItemCount(), 1);
    QTreeWidgetItem* hit = results.topLevelItem(0)->child(0);
    ASSERT_NE(hit, nullptr);
    EXPECT_TRUE(hit->text(0).contains("<b>secret</b>")) << hit->text(0).toStdString();
    emit results.itemActivated(hit, 0);
    EXPECT_EQ(session().CurrentProjectID, 2);
    EXPECT_EQ(session().CurrentDocumentID, 13);
    EXPECT_EQ(mainChild<QComboBox>("Combo_projects").currentText(), "Beta");

    mainWindow().Loggoff1Click();
    EXPECT_TRUE(box.text().isEmpty());
    EXPECT_FALSE(results.isVisible());
}

// A body save that fails before its text is stored leaves neither: the body's update is rolled
// back with it, so the text never describes another body than the stored one.
TEST_F(Search, SaveThatFailsBeforeItsTextRollsTheBodyBack)
{
    sql("INSERT INTO Req_objects (RequirementID, Document) VALUES (10, 'old body')");
    const auto admin = sessionOf("ADMIN");
    search::storeText(*admin, 10, QStringLiteral("old body"));
    writeFile("new.rvf", bodyOf({QStringLiteral("new body")}));
    try {
        search::BodyTextSave withText(*admin, 10, QStringLiteral("new body"));
        vt::app::data::documents::updateBodyFromFile(*admin, 10, path("new.rvf"));
        throw std::runtime_error("the save failed here");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(sql("select Document from Req_objects where RequirementID = 10"), "old body\n");
    EXPECT_EQ(sql("select BodyText from search_body_text where RequirementID = 10"), "old body\n");
    // The connection is out of the transaction: what it stores next is committed at once.
    search::storeText(*admin, 10, QStringLiteral("later text"));
    EXPECT_EQ(sql("select BodyText from search_body_text where RequirementID = 10"), "later text\n");
}
