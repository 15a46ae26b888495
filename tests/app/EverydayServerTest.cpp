// Everyday use on the real main window against the private test server: the status bar's
// modified mark, "Saved" note and connection panel; document commands only while a document is
// shown; PDF export of a document and of the report, read back by poppler; server errors in a
// user's words; the column limits against the schema; new documents and categories selected;
// the attachment buttons.

#include "AppFixture.h"
#include "TestServer.h"

#include "ErrorDisplay.h"
#include "data/FieldLimits.h"

#include "db/DbErrors.h"
#include "db/TmySQLQuery.h"
#include "richtext/RichEditor.h"
#include "windows/AttachDialog.h"
#include "windows/CreateRequirementForm.h"
#include "windows/Forms.h"
#include "windows/UserAdminForm.h"
#include "windows/UserCreateForm.h"
#include "windows/UserEditorForm.h"
#include "windows/panels/DocumentPanel.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTextBlock>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

using namespace vt::app;

namespace {

// Runs a poppler tool on file; its standard output. Empty (and a skip reason) when the tool
// is missing.
QString poppler(const QString& tool, const QStringList& args)
{
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty()) return {};
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    // The fonts set "fi" as one ligature glyph, which pdftotext gives back as U+FB01.
    return QString::fromUtf8(p.readAllStandardOutput()).replace(QChar(0xFB01), QStringLiteral("fi"));
}

QString pdfInfoField(const QString& info, const QString& field)
{
    for (const QString& line : info.split('\n'))
        if (line.startsWith(field + ':')) return line.mid(field.size() + 1).trimmed();
    return {};
}

}  // namespace

class Everyday : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        m_db = vt::test::freshVeltranaDatabase("vt_every");
        writeFile("defaults.cfg", QByteArray::fromStdString(vt::test::defaultsLine(m_db)));
        sql("INSERT INTO Users (Username, password, Role) VALUES ('ALICE','PW','USER')");
        sql("INSERT INTO Projects (ProjectID, ProjectName, Description, ProjectManager) VALUES "
            "(1, 'Alpha <Plan> & \\'Co\\'', 'About alpha', 'ALICE')");
        sql("INSERT INTO ProjectMembers (UserName, ProjectID) VALUES ('ALICE', 1)");
        sql("INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName) VALUES (1, 1, 'Area')");
        sql("INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Created, Owner) VALUES "
            "(10, 2, 1, 'Quarterly Plan', now(), 'ALICE')");
        // The document's body: one paragraph, stored as the program stores bodies.
        vt::rt::RichEditor body;
        body.appendParagraph(QStringLiteral("Opening line"));
        sql("INSERT INTO Req_objects (RequirementID, Document) VALUES (10, 0x" +
            body.saveToBytes().toHex().toStdString() + ")");
        movePerUserIfAsked(m_db);
        startApp();
    }

    // The statement's result, without the line end.
    std::string sql(const std::string& statement)
    {
        std::string result = vt::test::runSql(statement, m_db);
        while (!result.empty() && result.back() == '\n')
            result.pop_back();
        return result;
    }

    void loginAndOpen()
    {
        QTest::keyClicks(&loginChild<QLineEdit>("UserID"), "alice");
        QTest::keyClicks(&loginChild<QLineEdit>("Password"), "pw");
        loginChild<QPushButton>("Button1").click();
        ASSERT_EQ(m_platform.messages(), QStringList{});
        auto& combo = mainChild<QComboBox>("Combo_projects");
        combo.setCurrentIndex(0);
        emit combo.textActivated(combo.currentText());
    }

    QTreeWidget& tree() { return mainChild<QTreeWidget>("ProjectTree"); }
    void select(const QString& caption)
    {
        const auto found = tree().findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_EQ(found.size(), 1) << caption.toStdString();
        tree().setCurrentItem(found.front());
    }
    vt::rt::RichEditor& editor() { return mainChild<vt::rt::RichEditor>("RichEdit1"); }
    // Types text at the end of the shown body, as the user does.
    void typeIntoBody(const QString& text)
    {
        editor().moveCursor(QTextCursor::End);
        // One key press per character, with the character as its text (QTest knows ASCII only).
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(&editor(), &press);
        }
    }

    std::string m_db;
};

TEST_F(Everyday, StatusBarMarksUnsavedChangesNotesSavesAndShowsTheConnection)
{
    // Before login nothing of a document can be commanded.
    EXPECT_FALSE(mainChild<QFrame>("speedPanel").isEnabled());
    for (const char* name : {"Save1", "Print1", "FindInDocument1", "ExportDocumentPdf1"})
        EXPECT_FALSE(mainChild<QAction>(name).isEnabled()) << name;

    loginAndOpen();
    const QString connection = mainChild<QLabel>("connectionPanel").text();
    EXPECT_TRUE(connection.contains(QString::fromStdString(m_db))) << connection.toStdString();
    EXPECT_TRUE(connection.contains(':')) << "server with its port: " << connection.toStdString();
    // The test's connection is plain, or with per-user accounts encrypted: the panel says which.
    EXPECT_TRUE(perUser() ? connection.contains(QStringLiteral("— encrypted (TLS"))
                          : connection.endsWith(QStringLiteral("not encrypted")))
        << connection.toStdString();

    // The project root: toolbar and document commands stay off.
    EXPECT_FALSE(mainChild<QFrame>("speedPanel").isEnabled());
    select("Quarterly Plan");
    EXPECT_TRUE(mainChild<QFrame>("speedPanel").isEnabled());
    EXPECT_TRUE(mainChild<QAction>("FindInDocument1").isEnabled());

    auto& mark = mainChild<QLabel>("modifiedMark");
    EXPECT_FALSE(mark.isVisibleTo(&mainWindow()));
    QStringList statusTexts;
    QObject::connect(&mainWindow(), &TVeltrana::statusTextShown, [&](const QString& t) { statusTexts << t; });

    typeIntoBody("Revenue grew");
    EXPECT_TRUE(mark.isVisibleTo(&mainWindow())) << "a body edit marks the document";
    mainChild<QAction>("Save1").trigger();
    EXPECT_FALSE(mark.isVisibleTo(&mainWindow()));
    EXPECT_EQ(statusTexts, QStringList{"Saved"});
    EXPECT_EQ(sql("SELECT count(*) FROM Req_objects WHERE RequirementID = 10"), "1");
    // The window keeps its own caption: no marker in the title.
    EXPECT_FALSE(mainWindow().windowTitle().contains('*'));

    // A topic edit marks it too; a save with nothing changed notes nothing.
    QTest::keyClicks(&mainChild<QLineEdit>("Edit_RequireMentName"), "!");
    EXPECT_TRUE(mark.isVisibleTo(&mainWindow()));
    mainChild<QAction>("Save1").trigger();
    EXPECT_FALSE(mark.isVisibleTo(&mainWindow()));
    statusTexts.clear();
    mainChild<QAction>("Save1").trigger();
    EXPECT_EQ(statusTexts, QStringList{});

    // Log Off: everything off again, mark and connection cleared.
    typeIntoBody(" again");
    mainChild<QAction>("Loggoff1").trigger();
    EXPECT_FALSE(mark.isVisibleTo(&mainWindow()));
    EXPECT_FALSE(mainChild<QFrame>("speedPanel").isEnabled());
    EXPECT_FALSE(mainChild<QAction>("FindInDocument1").isEnabled());
    EXPECT_EQ(mainChild<QLabel>("connectionPanel").text(), "");
}

TEST_F(Everyday, ExportsDocumentAndReportAsPdfWithTitlePagesAndText)
{
    if (QStandardPaths::findExecutable("pdfinfo").isEmpty() || QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "pdfinfo/pdftotext not installed (scripts/install-deps.sh installs poppler-utils)";
    loginAndOpen();
    select("Quarterly Plan");
    // Enough paragraphs for more than one page.
    typeIntoBody(QString::fromUtf8("Ünïcödé findings"));
    for (int i = 0; i < 80; ++i)
        editor().appendParagraph(QStringLiteral("Line %1 of the findings").arg(i));
    editor().setModified(true);
    const bool modified = editor().isModified();

    const QString documentPdf = path("plan");  // without extension: ".pdf" is added
    m_platform.fileNames.push_back(documentPdf);
    mainChild<QAction>("ExportDocumentPdf1").trigger();
    ASSERT_EQ(m_platform.messages(), QStringList{});
    ASSERT_TRUE(QFileInfo::exists(documentPdf + ".pdf"));
    EXPECT_EQ(editor().isModified(), modified) << "an export is no save";

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const int pages = mainWindow().documentPanel().PreparePrint(printer);
    const QString info = poppler("pdfinfo", {documentPdf + ".pdf"});
    EXPECT_EQ(pdfInfoField(info, "Title"), "Quarterly Plan") << info.toStdString();
    EXPECT_GT(pages, 1);
    EXPECT_EQ(pdfInfoField(info, "Pages").toInt(), pages) << info.toStdString();
    const QString text = poppler("pdftotext", {documentPdf + ".pdf", "-"});
    EXPECT_TRUE(text.contains(QString::fromUtf8("Ünïcödé findings"))) << text.left(300).toStdString();
    EXPECT_TRUE(text.contains("Line 79 of the findings"));

    // The report: saved body first (the report reads the database), then exported.
    mainChild<QAction>("Save1").trigger();
    const QString reportPdf = path("report.pdf");
    m_platform.fileNames.push_back(reportPdf);
    mainChild<QAction>("ExportReportPdf1").trigger();
    ASSERT_EQ(m_platform.messages(), QStringList{});
    const QString reportInfo = poppler("pdfinfo", {reportPdf});
    EXPECT_EQ(pdfInfoField(reportInfo, "Title"), "Alpha <Plan> & 'Co'") << reportInfo.toStdString();
    EXPECT_GE(pdfInfoField(reportInfo, "Pages").toInt(), 2);
    const QString reportText = poppler("pdftotext", {reportPdf, "-"});
    for (const char* expected : {"Alpha <Plan> & 'Co'", "Area", "Quarterly Plan", "Ünïcödé findings"})
        EXPECT_TRUE(reportText.contains(QString::fromUtf8(expected))) << expected;
    EXPECT_FALSE(reportText.contains("&amp;")) << "names are HTML-escaped once, shown as text";

    // Cancelling the file dialog writes nothing.
    mainChild<QAction>("ExportReportPdf1").trigger();
    EXPECT_EQ(m_platform.messages(), QStringList{});

    // For looking at: the window with the document, a numbered list and the find bar.
    if (const QString folder = qEnvironmentVariable("VT_SCREENSHOT_DIR"); !folder.isEmpty()) {
        mainWindow().resize(1200, 800);
        QTextCursor lines(editor().document()->findBlockByNumber(1));
        lines.setPosition(editor().document()->findBlockByNumber(4).position(), QTextCursor::KeepAnchor);
        editor().setTextCursor(lines);
        mainChild<QToolButton>("btnNumbering").click();
        mainChild<QAction>("FindInDocument1").trigger();
        QTest::keyClicks(&mainChild<QLineEdit>("findText"), "findings");
        EXPECT_TRUE(mainWindow().grab().save(folder + "/everyday-document.png"));
    }
}

TEST_F(Everyday, ServerErrorsComeWithASentenceFirstAndTheServerTextAfter)
{
    loginAndOpen();
    struct Case {
        std::string statement;
        int code;
        const char* sentenceStart;
    };
    std::vector<Case> cases = {
        {"UPDATE Requirements SET RequirementName = '" + std::string(480, 'x') + "' WHERE RequirementID = 10", 1406,
         "A text is longer"},
        {"INSERT INTO ProjectMembers (MemberID, UserName, ProjectID) SELECT MemberID, 'ALICE', 1 FROM ProjectMembers",
         1062, "An entry with this name"},
    };
    if (perUser()) {
        // The server's refusals of what the user has no right to: a rule's (its reason is the
        // server's text) and a view's (a row outside the user's projects).
        cases.push_back({"INSERT INTO Users (Username) VALUES ('ALICE')", 1644, "The database server refused this change"});
        cases.push_back({"INSERT INTO Catagories (ProjectID, CatagoryName) VALUES (99, 'x')", 1369,
                         "The change would put data where your account has no access"});
    } else {
        cases.push_back({"INSERT INTO Users (Username) VALUES ('ALICE')", 1062, "An entry with this name"});
    }
    for (const Case& c : cases) {
        auto query = session().newQuery();
        query->SetSQL(c.statement);
        try {
            query->Execute();
            ADD_FAILURE() << "no error for " << c.code;
        } catch (const EmySQLDatabaseError& error) {
            EXPECT_EQ(error.ServerError(), c.code);
            const QString shown = errorText(error);
            EXPECT_TRUE(shown.startsWith(c.sentenceStart)) << shown.toStdString();
            EXPECT_TRUE(shown.endsWith(QString::fromUtf8(error.what()))) << "the server's text follows";
            // Through the event guard: one message, with the error icon.
            m_platform.clear();
            guarded([&] { throw error; });
            ASSERT_EQ(m_platform.shown.size(), 1u);
            EXPECT_TRUE(m_platform.shown[0].error);
            EXPECT_EQ(m_platform.shown[0].text, shown);
        }
    }
    // The row was not cut short by the refused update.
    EXPECT_EQ(sql("SELECT RequirementName FROM Requirements WHERE RequirementID = 10"), "Quarterly Plan");
}

TEST_F(Everyday, FieldLimitsAreTheSchemasColumnLengths)
{
    struct Case {
        const char* table;
        const char* column;
        int limit;
    };
    using namespace data::limits;
    const Case cases[] = {{"Projects", "ProjectName", kProjectName},
                          {"Catagories", "CatagoryName", kCategoryName},
                          {"Requirements", "RequirementName", kDocumentTopic},
                          {"Req_messages", "Subject", kMessageSubject},
                          {"Users", "Username", kUserName},
                          {"Users", "FirstName", kUserDetail},
                          {"Users", "LastName", kUserDetail},
                          {"Users", "email", kUserDetail},
                          {"Users", "Position", kUserDetail},
                          {"Attachments", "Link", kAttachmentLink},
                          {"Attachments", "Description", kAttachmentDescription},
                          {"global_settings", "commondir", kSharedFolder},
                          {"global_settings", "documents", kSharedFolder}};
    for (const Case& c : cases)
        EXPECT_EQ(sql(std::string("SELECT CHARACTER_MAXIMUM_LENGTH FROM information_schema.COLUMNS WHERE "
                                  "TABLE_SCHEMA = DATABASE() AND TABLE_NAME = '") +
                      c.table + "' AND COLUMN_NAME = '" + c.column + "'"),
                  std::to_string(c.limit))
            << c.table << "." << c.column;
}

TEST_F(Everyday, NewDocumentsAndCategoriesAreSelectedAndShown)
{
    loginAndOpen();
    select("  ...Area");
    emit mainWindow().documentDialogRequested();
    QWidget* dialog = forms().Form_CreateRequirement;
    ASSERT_TRUE(dialog);
    auto& topic = child<QLineEdit>(*dialog, "Edit1");
    EXPECT_EQ(dialog->focusWidget(), &topic) << "the topic field has the keyboard";
    QTest::keyClicks(&topic, "First new");
    child<QPushButton>(*dialog, "Button1").click();  // Create
    EXPECT_FALSE(dialog->isVisible());
    ASSERT_TRUE(tree().currentItem());
    EXPECT_EQ(tree().currentItem()->text(0), "First new");
    EXPECT_EQ(mainChild<QLineEdit>("Edit_RequireMentName").text(), "First new");
    // "Create and Continue" keeps the selection, so that the next one goes to the same place.
    mainChild<QAction>("NewReq1").trigger();  // "New Document": beside the selected one
    QTest::keyClicks(&topic, "Second new");
    child<QPushButton>(*dialog, "Button2").click();
    EXPECT_EQ(tree().currentItem()->text(0), "First new");
    EXPECT_EQ(sql("SELECT group_concat(Level, ':', ParentID ORDER BY RequirementID) FROM Requirements WHERE "
                  "RequirementName LIKE '%new'"),
              "2:1,2:1");
    // Cancel closes the dialog and creates nothing.
    QTest::keyClicks(&topic, "Not made");
    child<QPushButton>(*dialog, "btnCancel").click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(sql("SELECT count(*) FROM Requirements WHERE RequirementName = 'Not made'"), "0");

    // A new category is selected, its panel shown.
    mainChild<QAction>("AddCatagory1").trigger();
    ASSERT_TRUE(tree().currentItem());
    EXPECT_EQ(tree().currentItem()->text(0), "New Catagory");
    EXPECT_TRUE(mainChild<QWidget>("Pan_Catagory").isVisible());
}

TEST_F(Everyday, AttachmentButtonsAddAndDeleteBesideTheList)
{
    sql("INSERT INTO Attachments (AttachID, RequirementID, Link, Description, Owner, Created, Filetype) VALUES "
        "(5, 10, 'https://example.org/a', 'A link', 'ALICE', now(), 1)");
    sql("UPDATE Requirements SET Attachments = 1 WHERE RequirementID = 10");
    loginAndOpen();
    select("Quarterly Plan");
    auto& tabs = mainChild<QTabWidget>("Tab_Control");
    tabs.setCurrentWidget(&mainChild<QWidget>("Attachments"));
    auto& list = mainChild<QTreeWidget>("ListView1");
    ASSERT_EQ(list.topLevelItemCount(), 1);

    // Add URL opens the attachment dialog.
    mainChild<QPushButton>("btnAddURL").click();
    ASSERT_TRUE(forms().Dialog_attach);
    EXPECT_TRUE(forms().Dialog_attach->isVisible());
    forms().Dialog_attach->hide();

    // Delete asks first; No keeps the row, Yes deletes it.
    list.setCurrentItem(list.topLevelItem(0));
    mainChild<QPushButton>("btnDeleteAttachment").click();
    EXPECT_EQ(sql("SELECT count(*) FROM Attachments"), "1");
    m_platform.answers.push_back(Platform::Answer::Yes);
    mainChild<QPushButton>("btnDeleteAttachment").click();
    EXPECT_EQ(sql("SELECT count(*) FROM Attachments"), "0");
    EXPECT_EQ(list.topLevelItemCount(), 0);
}

TEST_F(Everyday, UserGridButtonsAddEditAndDeleteWithoutTheContextMenu)
{
    QTest::keyClicks(&loginChild<QLineEdit>("UserID"), "admin");
    QTest::keyClicks(&loginChild<QLineEdit>("Password"), "admin");
    loginChild<QPushButton>("Button1").click();
    ASSERT_FALSE(login().isVisible()) << m_platform.messages().join("|").toStdString();
    mainChild<QAction>("UserManagement1").trigger();
    QWidget& admin = *forms().UserAdmin_form;
    ASSERT_TRUE(admin.isVisible());
    auto& grid = child<QTableView>(admin, "DBGrid1");
    const auto selectUser = [&grid](const QString& name) {
        for (int r = 0; r < grid.model()->rowCount(); ++r)
            if (grid.model()->data(grid.model()->index(r, 1)).toString() == name)
                grid.setCurrentIndex(grid.model()->index(r, 0));
    };

    child<QPushButton>(admin, "btnAddUser").click();
    EXPECT_TRUE(forms().Form_UserCreate->isVisible());
    forms().Form_UserCreate->hide();

    selectUser("ALICE");
    child<QPushButton>(admin, "btnEditUser").click();
    EXPECT_TRUE(forms().Form_UserEditor->isVisible());
    forms().Form_UserEditor->hide();

    m_platform.clear();
    m_platform.answers.push_back(Platform::Answer::Yes);
    child<QPushButton>(admin, "btnDeleteUser").click();
    ASSERT_EQ(m_platform.shown.size(), 1u);
    EXPECT_EQ(m_platform.shown[0].text, "Are you sure you want to delete user: ALICE");
    EXPECT_EQ(sql("SELECT count(*) FROM Users WHERE Username = 'ALICE'"), "0");
}
