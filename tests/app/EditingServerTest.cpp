// Who is editing and recovering unsaved edits, against the private test server: two users on
// two connections, each with a main window of their own; the line above the editor follows
// the presence poll; the recovery journal follows the unsaved edits and is offered at the
// next login after the program ended without storing them.

#include "AppFixture.h"
#include "TestServer.h"

#include "data/Presence.h"
#include "richtext/RichEditor.h"
#include "session/RecoveryJournal.h"
#include "windows/panels/DocumentPanel.h"
#include "windows/panels/EditingLine.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <memory>

using namespace vt::app;

namespace {

QByteArray bodyBytes(const QString& text)
{
    vt::rt::RichEditor editor;
    editor.appendParagraph(text);
    return editor.saveToBytes();
}

}  // namespace

class Editing : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        m_db = vt::test::freshVeltranaDatabase("vt_editing");
        writeFile("defaults.cfg", QByteArray::fromStdString(vt::test::defaultsLine(m_db)));
        // ALICE and BOB are members of Alpha; Secret is a project of ADMIN's alone.
        sql("INSERT INTO Users (Username, password, Role) VALUES ('ALICE','PW','USER'), ('BOB','PW','USER')");
        sql("INSERT INTO Projects (ProjectID, ProjectName, Description, ProjectManager) VALUES "
            "(1, 'Alpha', '', 'ALICE'), (2, 'Secret', '', 'ADMIN')");
        sql("INSERT INTO ProjectMembers (UserName, ProjectID) VALUES ('ALICE', 1), ('BOB', 1), ('ADMIN', 2)");
        sql("INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName, Description) VALUES "
            "(1, 1, 'Area', ''), (2, 2, 'Hidden', '')");
        sql("INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Created, Owner, modified, "
            "modifiedBy) VALUES (10, 2, 1, 'Doc', now(), 'ALICE', '2026-01-02 03:04:05', 'ALICE'), "
            "(11, 3, 10, 'Sub', now(), 'ALICE', now(), 'ALICE'), (20, 2, 2, 'Classified', now(), 'ADMIN', now(), "
            "'ADMIN')");
        for (const auto& [id, text] : {std::pair{10, "First line of Doc"}, {11, "Sub body"}, {20, "Secret body"}})
            sql("INSERT INTO Req_objects (RequirementID, Document) VALUES (" + std::to_string(id) + ", X'" +
                bodyBytes(text).toHex().toStdString() + "')");
        movePerUserIfAsked(m_db);
        startApp();
    }
    void TearDown() override
    {
        m_alice.reset();
        m_aliceSession.reset();
        AppFixture::TearDown();
    }

    std::string sql(const std::string& statement) { return vt::test::runSql(statement, m_db); }

    void loginAs(const char* user, const char* password)
    {
        // The dialog may show the name of the last login, kept in defaults.cfg.
        loginChild<QLineEdit>("UserID").clear();
        loginChild<QLineEdit>("Password").clear();
        QTest::keyClicks(&loginChild<QLineEdit>("UserID"), user);
        QTest::keyClicks(&loginChild<QLineEdit>("Password"), password);
        loginChild<QPushButton>("Button1").click();
        ASSERT_TRUE(session().isLoggedIn()) << m_platform.messages().join("|").toStdString();
    }
    // Opens Alpha and selects the node whose caption starts with caption, in window.
    static void open(QWidget& window, const QString& caption)
    {
        auto& combo = child<QComboBox>(window, "Combo_projects");
        combo.setCurrentIndex(combo.findText("Alpha"));
        emit combo.textActivated("Alpha");
        select(window, caption);
    }
    static void select(QWidget& window, const QString& caption)
    {
        auto& tree = child<QTreeWidget>(window, "ProjectTree");
        // A category's caption starts with "  ..." until it is selected.
        auto found = tree.findItems(caption, Qt::MatchStartsWith | Qt::MatchRecursive);
        if (found.isEmpty()) found = tree.findItems("  ..." + caption, Qt::MatchStartsWith | Qt::MatchRecursive);
        ASSERT_EQ(found.size(), 1) << caption.toStdString();
        tree.setCurrentItem(found.front());
    }
    static void type(QWidget& window, const QString& text)
    {
        auto& editor = child<vt::rt::RichEditor>(window, "RichEdit1");
        editor.moveCursor(QTextCursor::End);
        QTest::keyClicks(&editor, text);
    }

    // ALICE in a main window of her own, on a connection of her own.
    TVeltrana& alice()
    {
        if (!m_alice) {
            m_aliceSession = std::make_unique<Session>();
            m_alice = std::make_unique<TVeltrana>(*m_aliceSession);
        }
        return *m_alice;
    }
    void aliceLogsIn()
    {
        alice();
        ASSERT_EQ(m_aliceSession->logIn(connectionValues(m_db), "alice", "PW"), Session::LoginResult::LoggedIn);
    }

    QLabel& line() { return mainChild<QLabel>("EditingLine"); }
    // What BOB's line says after his next poll.
    QString bobsLineAfterPoll()
    {
        mainWindow().Timer1Timer();
        return line().isVisible() ? line().text() : QString();
    }
    // ALICE's editing columns as the server holds them.
    std::string aliceEditing() { return sql("SELECT EditingDocument FROM Users WHERE Username = 'ALICE'"); }
    // The line BOB is to see for ALICE, with her EditingSince as the server holds it.
    QString aliceLine()
    {
        const std::string since = sql("SELECT date_format(EditingSince, '%H:%i') FROM Users WHERE Username='ALICE'");
        return "ALICE is editing this document since " + QString::fromStdString(since).trimmed();
    }

    std::string m_db;
    std::unique_ptr<Session> m_aliceSession;
    std::unique_ptr<TVeltrana> m_alice;
};

TEST_F(Editing, StampKeepsTheStartWhileTheDocumentStaysAndTheMarkLeavesThePollAlone)
{
    // ALICE's own session stamps her row, as the program does (with per-user accounts the server
    // lets nobody else).
    Session& s = session();
    loginAs("alice", "pw");
    sql("UPDATE Users SET lastPollRequest = NULL");
    data::presence::setEditing(s, "alice", 10);
    EXPECT_EQ(sql("SELECT EditingDocument, EditingSince > now() - INTERVAL 1 MINUTE, lastPollRequest FROM Users "
                  "WHERE Username = 'ALICE'"),
              "10\t1\tNULL\n");
    const struct {
        const char* step;
        std::function<void()> run;
        std::string expected;  // EditingDocument, EditingSince
    } steps[] = {
        {"same document: the start stays",
         [&] {
             sql("UPDATE Users SET EditingSince = '2020-01-02 03:04:00' WHERE Username = 'ALICE'");
             data::presence::stamp(s, "ALICE", 10);
         },
         "10\t2020-01-02 03:04:00\n"},
        {"another document: a new start", [&] { data::presence::stamp(s, "ALICE", 11); }, "11\tnow\n"},
        {"editing nothing", [&] { data::presence::stamp(s, "ALICE", 0); }, "NULL\tNULL\n"},
        {"a quote in the name marks nobody", [&] { data::presence::setEditing(s, "X' or '1'='1", 10); },
         "NULL\tNULL\n"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.step);
        step.run();
        EXPECT_EQ(sql("SELECT EditingDocument, if(EditingSince > now() - INTERVAL 1 MINUTE, 'now', EditingSince) "
                      "FROM Users WHERE Username = 'ALICE'"),
                  step.expected);
    }
    EXPECT_EQ(sql("SELECT count(*) FROM Users WHERE EditingDocument IS NOT NULL"), "0\n");
    EXPECT_EQ(sql("SELECT count(*) FROM Users WHERE Username = 'ALICE' AND lastPollRequest IS NOT NULL"), "1\n");
}

// ALICE edits Doc in her window; BOB, on his connection, sees the line when he opens Doc and
// after each poll, until ALICE saves, moves on, logs off or stops polling.
TEST_F(Editing, OthersSeeWhoEditsUntilTheEditorSavesMovesOnLogsOffOrStopsPolling)
{
    loginAs("bob", "pw");
    aliceLogsIn();
    open(alice(), "Doc");
    type(alice(), "x");
    EXPECT_EQ(aliceEditing(), "10\n");  // at once, not with the next poll

    open(mainWindow(), "Doc");
    EXPECT_TRUE(line().isVisible());
    EXPECT_EQ(line().text(), aliceLine());
    EXPECT_EQ(line().textFormat(), Qt::PlainText);
    // ALICE does not see herself.
    alice().Timer1Timer();
    EXPECT_FALSE(child<QLabel>(alice(), "EditingLine").isVisible());

    const struct {
        const char* how;
        std::function<void()> start;
        std::function<void()> stop;
    } ways[] = {
        {"saves", [] {}, [&] { child<QAction>(alice(), "Save1").trigger(); }},
        {"moves on to another document", [&] { type(alice(), "w"); }, [&] { select(alice(), "Sub"); }},
        {"changes only the topic and moves on to the category",
         [&] {
             select(alice(), "Doc");
             QTest::keyClicks(&child<QLineEdit>(alice(), "Edit_RequireMentName"), "!");
         },
         [&] { select(alice(), "Area"); }},
        {"logs off",
         [&] {
             select(alice(), "Doc");
             type(alice(), "y");
         },
         [&] { child<QAction>(alice(), "Loggoff1").trigger(); }},
        {"stops polling",
         [&] {
             aliceLogsIn();
             open(alice(), "Doc");
             type(alice(), "z");
         },
         [&] { sql("UPDATE Users SET lastPollRequest = now() - INTERVAL 5 MINUTE WHERE Username = 'ALICE'"); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.how);
        way.start();
        alice().Timer1Timer();  // her poll keeps the mark
        ASSERT_EQ(aliceEditing(), "10\n");
        EXPECT_EQ(bobsLineAfterPoll(), aliceLine());
        way.stop();
        EXPECT_EQ(bobsLineAfterPoll(), QString());
    }
    // A killed program's mark stays in the row but is old: BOB opening Doc later sees nothing.
    EXPECT_EQ(aliceEditing(), "10\n");
    select(mainWindow(), "Sub");
    select(mainWindow(), "Doc");
    EXPECT_FALSE(line().isVisible());
    EXPECT_EQ(m_platform.messages(), QStringList{});
}

TEST_F(Editing, EveryEditorOfTheShownDocumentGetsALineWithTheNameAsPlainText)
{
    loginAs("bob", "pw");
    sql("INSERT INTO Users (Username, password, Role, lastPollRequest) VALUES ('<B>EVE</B> & CO', 'PW', 'USER', "
        "now()), ('IDLE', 'PW', 'USER', now())");
    sql("UPDATE Users SET EditingDocument = 10, EditingSince = '2026-03-04 09:05:00' WHERE Username = "
        "'<B>EVE</B> & CO'");
    sql("UPDATE Users SET EditingDocument = 11, EditingSince = now(), lastPollRequest = now() WHERE Username = "
        "'ALICE'");
    open(mainWindow(), "Doc");
    EXPECT_EQ(line().text(), "<B>EVE</B> & CO is editing this document since 09:05");
    // BOB's own mark (from another workstation) is not shown to him.
    sql("UPDATE Users SET EditingDocument = 10, EditingSince = now() WHERE Username = 'BOB'");
    select(mainWindow(), "Area");
    select(mainWindow(), "Doc");
    EXPECT_EQ(line().text(), "<B>EVE</B> & CO is editing this document since 09:05");
    select(mainWindow(), "Sub");
    EXPECT_EQ(line().text(), aliceLine());
    select(mainWindow(), "Area");
    mainWindow().Timer1Timer();
    select(mainWindow(), "Doc");
    EXPECT_EQ(line().text(), "<B>EVE</B> & CO is editing this document since 09:05");
}

class Recovery : public Editing {
protected:
    vt::rt::RichEditor& editor() { return mainChild<vt::rt::RichEditor>("RichEdit1"); }
    QLineEdit& topic() { return mainChild<QLineEdit>("Edit_RequireMentName"); }
    DocumentPanel& panel() { return mainWindow().documentPanel(); }
    // ALICE's journal for this database; found once she has logged in.
    QString journal() { return recovery::journalPath(m_platform.dataFolder, session()); }
    void logOff() { mainChild<QAction>("Loggoff1").trigger(); }
    // ALICE types into Doc's body and topic, and the journal is written.
    void editDocAndJournal()
    {
        open(mainWindow(), "Doc");
        type(mainWindow(), " more");
        QTest::keyClicks(&topic(), "!");
        panel().writeRecoveryJournal();
        ASSERT_TRUE(QFile::exists(journal()));
    }
    // The program ends without storing anything, as when it is killed, and starts again.
    void killAndRestart()
    {
        stopApp();
        startApp();
    }
    static QString plainText(const QByteArray& body)
    {
        vt::rt::RichEditor e;
        e.loadFromBytes(body);
        return e.toPlainText();
    }
    QStringList questions() const
    {
        QStringList texts;
        for (const auto& shown : m_platform.shown)
            if (shown.kind == "yesnocancel") texts << shown.text;
        return texts;
    }
    static bool endsTheProgram(const std::function<void()>& action)
    {
        QTimer fallback;
        fallback.setSingleShot(true);
        QObject::connect(&fallback, &QTimer::timeout, [] { QCoreApplication::exit(7); });
        fallback.start(300);
        QTimer::singleShot(0, qApp, action);
        return QCoreApplication::exec() == 0;
    }
};

TEST_F(Recovery, JournalHoldsTheUnsavedEditsAndGoesWithEveryCleanWayOut)
{
    loginAs("alice", "pw");
    editDocAndJournal();
    const auto entry = recovery::read(journal());
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->documentId, 10);
    EXPECT_EQ(entry->user, "ALICE");
    EXPECT_EQ(entry->database, QString::fromStdString(m_db));
    EXPECT_EQ(entry->topic, "Doc!");
    EXPECT_EQ(entry->basedOn, "revision 1, stored 2026-01-02 03:04:05 by ALICE");
    EXPECT_EQ(plainText(entry->body), "First line of Doc more");
    EXPECT_LE(qAbs(entry->written.secsTo(QDateTime::currentDateTimeUtc())), 60);
    // The journal lives in the user's own folder, not in the shared work folder.
    EXPECT_TRUE(journal().startsWith(m_platform.dataFolder + "/"));

    const struct {
        const char* how;
        std::function<void()> leave;
    } ways[] = {
        {"save", [&] { mainChild<QAction>("Save1").trigger(); }},
        {"moving on", [&] { select(mainWindow(), "Sub"); }},
        {"log off", [&] { logOff(); }},
        {"exit", [&] { EXPECT_TRUE(endsTheProgram([&] { mainChild<QAction>("ExitMenu").trigger(); })); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.how);
        if (!session().isLoggedIn()) loginAs("alice", "pw");
        editDocAndJournal();
        way.leave();
        EXPECT_FALSE(QFile::exists(journal()));
        EXPECT_EQ(QDir(m_platform.dataFolder).entryList(QDir::Files), QStringList{});
    }
    EXPECT_EQ(m_platform.messages(), QStringList{});
}

// The program ended with edits pending: the next login offers them, and "Yes" puts them into
// the document as unsaved edits that the normal save stores.
TEST_F(Recovery, NextLoginOffersTheEditsAndRecoveredTextIsSavedByTheNormalSave)
{
    loginAs("alice", "pw");
    editDocAndJournal();
    const QString path = journal();
    killAndRestart();
    EXPECT_EQ(sql("SELECT RequirementName FROM Requirements WHERE RequirementID = 10"), "Doc\n");

    m_platform.answers = {Platform::Answer::Yes};
    loginAs("alice", "pw");
    ASSERT_EQ(questions().size(), 1);
    EXPECT_TRUE(questions()[0].startsWith("Veltrana was not closed properly. Unsaved edits of the document \"Doc!\""))
        << questions()[0].toStdString();
    EXPECT_TRUE(questions()[0].contains(":\n\nFirst line of Doc more\n\n"));
    EXPECT_FALSE(questions()[0].contains("saved again"));
    EXPECT_EQ(m_platform.messages(), QStringList{});

    EXPECT_EQ(editor().toPlainText(), "First line of Doc more");
    EXPECT_TRUE(editor().isModified());
    EXPECT_EQ(topic().text(), "Doc!");
    EXPECT_TRUE(topic().isModified());
    EXPECT_EQ(aliceEditing(), "10\n");
    EXPECT_TRUE(QFile::exists(path));  // until the edits are stored

    mainChild<QAction>("Save1").trigger();
    EXPECT_EQ(sql("SELECT RequirementName, modifiedBy FROM Requirements WHERE RequirementID = 10"), "Doc!\tALICE\n");
    EXPECT_EQ(plainText(QByteArray::fromHex(
                  QByteArray::fromStdString(sql("SELECT hex(Document) FROM Req_objects WHERE RequirementID = 10"))
                      .trimmed())),
              "First line of Doc more");
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(aliceEditing(), "NULL\n");
}

TEST_F(Recovery, NoDiscardsCancelKeepsTheFileAndAChangedDocumentIsNamedInTheOffer)
{
    loginAs("alice", "pw");
    const QString path = journal();
    const struct {
        const char* what;
        Platform::Answer answer;
        bool changedMeanwhile;
        bool kept;
    } cases[] = {
        {"No", Platform::Answer::No, false, false},
        {"Cancel", Platform::Answer::Cancel, false, true},
        {"No, after BOB saved", Platform::Answer::No, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (!session().isLoggedIn()) loginAs("alice", "pw");
        editDocAndJournal();
        killAndRestart();
        if (c.changedMeanwhile)
            sql("UPDATE Requirements SET modified = '2026-05-06 07:08:09', modifiedBy = 'BOB', Revision = Revision + 1 "
                "WHERE RequirementID = 10");
        m_platform.clear();
        m_platform.answers = {c.answer};
        loginAs("alice", "pw");
        ASSERT_EQ(questions().size(), 1);
        EXPECT_EQ(questions()[0].contains("The document was saved again since these edits began (revision 2, "
                                          "stored 2026-05-06 07:08:09 by BOB)"),
                  c.changedMeanwhile);
        EXPECT_FALSE(QFile::exists(path));
        EXPECT_EQ(QFile::exists(path + ".kept"), c.kept);
        QFile::remove(path + ".kept");
        EXPECT_FALSE(editor().isModified());
        EXPECT_EQ(m_platform.messages(), QStringList{});
        logOff();
    }
}

// Journals that cannot be trusted are set aside with one note that shows nothing of them, and
// nothing of a project the user is no member of is opened.
TEST_F(Recovery, UnusableOrForeignJournalIsSetAsideWithANoteAndShowsNothing)
{
    loginAs("alice", "pw");
    const QString path = journal();
    logOff();
    recovery::Entry good;
    good.documentId = 10;
    good.written = QDateTime::currentDateTimeUtc();
    good.user = "ALICE";
    good.database = QString::fromStdString(m_db);
    good.topic = "Leaked topic";
    good.basedOn = "x";
    good.body = bodyBytes("Leaked body");
    const auto with = [&](const std::function<void(recovery::Entry&)>& change) {
        recovery::Entry e = good;
        change(e);
        return recovery::encode(e);
    };
    const struct {
        const char* what;
        QByteArray bytes;
        QString why;
    } cases[] = {
        {"a document of a project ALICE is no member of", with([](auto& e) { e.documentId = 20; }),
         "its document is gone or not one you may open"},
        {"a document that is gone", with([](auto& e) { e.documentId = 999; }),
         "its document is gone or not one you may open"},
        {"another user's", with([](auto& e) { e.user = "BOB"; }), "written for another user or database"},
        {"another database's", with([](auto& e) { e.database = "Other"; }), "written for another user or database"},
        {"a body that is no document", with([](auto& e) { e.body = QByteArray("\0\xff garbage", 10); }),
         "its text cannot be read"},
        {"truncated", with([](auto&) {}).chopped(7), "damaged or truncated"},
        {"not a journal", QByteArray("<html>Leaked</html>"), "not a recovery file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QDir().mkpath(m_platform.dataFolder);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.bytes);
        file.close();
        m_platform.clear();
        loginAs("alice", "pw");
        EXPECT_EQ(questions(), QStringList{});
        EXPECT_EQ(m_platform.messages(), QStringList{"Unsaved edits kept by an earlier session cannot be recovered (" +
                                                     c.why + "). The file was set aside: " + path + ".unusable"});
        EXPECT_FALSE(QFile::exists(path));
        EXPECT_TRUE(QFile::exists(path + ".unusable"));
        EXPECT_EQ(mainChild<QTreeWidget>("ProjectTree").topLevelItemCount(), 0);
        EXPECT_FALSE(editor().toPlainText().contains("Leaked"));
        logOff();
    }
}

// The real program, killed with SIGKILL while edits are pending: the next login recovers the
// text exactly as it was typed up to the journal's last write, and nothing typed after it.
TEST_F(Recovery, KilledProgramIsRecoveredUpToTheLastJournalWrite)
{
    QDir().mkpath(path("bin"));
    ASSERT_TRUE(QFile::copy(VT_VELTRANA_BINARY, path("bin/veltrana")));  // its temporary files go there
    writeFile("script.txt", "login ALICE PW\n"
                            "open 10 Alpha\n"
                            "type , typed before (ü 'q' -- <b>)\n"
                            "wait 4000\n"
                            "type  and after the last write\n"
                            "touch " +
                                path("ready").toUtf8() +
                                "\n"
                                "hang\n");
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_DATA_HOME", path("xdg"));
    env.insert("VELTRANA_EDIT_SCRIPT", path("script.txt"));
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(path(""));
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(path("bin/veltrana"), {});
    ASSERT_TRUE(program.waitForStarted());
    QElapsedTimer waited;
    waited.start();
    while (!QFile::exists(path("ready")) && waited.elapsed() < 60000 && program.state() == QProcess::Running)
        QTest::qWait(100);
    ASSERT_TRUE(QFile::exists(path("ready"))) << "the script did not reach its end";
    program.kill();  // SIGKILL
    ASSERT_TRUE(program.waitForFinished());
    EXPECT_EQ(program.exitStatus(), QProcess::CrashExit);
    EXPECT_EQ(sql("SELECT RequirementName FROM Requirements WHERE RequirementID = 10"), "Doc\n");

    // The journal is in the per-user data folder of the program.
    const QString folder = path("xdg/Veltrana");
    const QStringList journals = QDir(folder).entryList({"recovery-*.vtr"}, QDir::Files);
    ASSERT_EQ(journals.size(), 1) << QDir(folder).entryList().join(" ").toStdString();
    m_platform.dataFolder = folder;
    m_platform.answers = {Platform::Answer::Yes};
    loginAs("alice", "pw");
    ASSERT_EQ(questions().size(), 1);
    EXPECT_EQ(editor().toPlainText(), "First line of Doc, typed before (ü 'q' -- <b>)");
    EXPECT_TRUE(editor().isModified());
    EXPECT_EQ(topic().text(), "Doc");
    EXPECT_EQ(m_platform.messages(), QStringList{});
}

// Recovered edits over a document someone saved since are caught by the conditional save:
// nothing is overwritten until the user chooses, and "Keep both" stores them on top.
TEST_F(Recovery, RecoveredTextOverADocumentSavedSinceIsACaughtConflict)
{
    loginAs("alice", "pw");
    editDocAndJournal();
    killAndRestart();
    // Another user's save in between: the next revision, with its own body.
    sql("UPDATE Requirements SET modified = '2026-05-06 07:08:09', modifiedBy = 'BOB', Revision = Revision + 1 "
        "WHERE RequirementID = 10");
    m_platform.answers = {Platform::Answer::Yes};
    loginAs("alice", "pw");
    ASSERT_EQ(questions().size(), 1);
    EXPECT_TRUE(questions()[0].contains("asks whether to keep both versions")) << questions()[0].toStdString();
    ASSERT_EQ(editor().toPlainText(), "First line of Doc more");

    m_platform.choices = {QStringLiteral("Cancel")};
    mainChild<QAction>("Save1").trigger();
    // Asked, and nothing stored: the row is still BOB's.
    EXPECT_EQ(sql("SELECT modifiedBy, Revision FROM Requirements WHERE RequirementID = 10"), "BOB\t2\n");
    EXPECT_TRUE(editor().isModified());

    m_platform.choices = {QStringLiteral("Keep both")};
    mainChild<QAction>("Save1").trigger();
    EXPECT_EQ(sql("SELECT modifiedBy, Revision FROM Requirements WHERE RequirementID = 10"), "ALICE\t3\n");
    EXPECT_EQ(sql("SELECT Revision, SavedBy FROM Req_revisions WHERE RequirementID = 10"), "2\tBOB\n");
    EXPECT_FALSE(editor().isModified());
}
