// The HTML project report on the real main window against the private test server: the file
// compared byte for byte with one built from the report's fixed pieces, names escaped, bodies
// from both stores with their placeholders, one statement for which documents have a body,
// the encoding it declares, pictures as files, and errors that leave no report opened.

#include "AppFixture.h"
#include "TestServer.h"

#include "report/ProjectReport.h"
#include "session/TextCodec.h"

#include "db/DateTimeUtil.h"
#include "db/DbSettings.h"

#include "richtext/HtmlWriter.h"
#include "richtext/RichEditor.h"
#include "richtext/RvfFormat.h"

#include <QBuffer>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QTextDocument>
#include <QTreeWidget>
#include <QUrl>

using namespace vt::app;

namespace {

// The report's fixed pieces, as the report format gives them.
const QByteArray kHeadBeforeCharset = "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=";
const QByteArray kHeadAfterCharset =
    "\"><title>Report</title><style type=\"text/css\">P{margin-top: 0; margin-bottom: 0;}</style></head>";
const QByteArray kFooter = "</p></body></html>";

QByteArray head(const QByteArray& charset = "UTF-8") { return kHeadBeforeCharset + charset + kHeadAfterCharset; }

QByteArray projectBlock(const QByteArray& name, const QByteArray& date)
{
    return "<!-- ---Project-------------------------------------------------------------------------------------->"
           "<body>"
           "<p><table style=\"width: 623px; height: 87px;\" id=\"Table6\" cellspacing=\"0\" cellpadding=\"0\" "
           "border=\"0\">"
           "<tbody>"
           "<tr style=\"color: rgb(0, 0, 0);\"><td><big><big><big><strong>" +
           name +
           "</strong></big></big></big></td></tr><tr style=\"color: rgb(0, 0, 0);\"><td><big><big><strong><font "
           "size=\"2\"><big><big><big><big><strong><font size=\"2\"><big><big>" +
           date +
           "</big></big></font></strong></big></big></big></big></font></strong></big></big></td></tr></tbody>"
           "</table></p><br>";
}

QByteArray categoryBlock(const QByteArray& name)
{
    return "<!-- ---CATAGORY-------------------------------------------------------------------------------------->"
           "<div style=\"border-style: none none solid; border-color: -moz-use-text-color -moz-use-text-color "
           "windowtext; border-width: medium medium 1pt; padding: 0in 0in 1pt;\">"
           "<big><strong><font color=\"black\" size=\"4\"><big><br><span style=\"font-size: 18pt; color: blue;\">" +
           name + "<br></span></big></font></strong></big></div><br>";
}

QByteArray documentBlock(int level, const QByteArray& topic, const QByteArray& body)
{
    QByteArray cells;
    for (int i = 1; i < level; ++i)
        cells += "<td>&nbsp;&nbsp;</td>";
    return "<!-- ----Document-Loop Within Category ------------------------------------------------->"
           "<table id=\"Table1\">"
           "<tbody><tr>" +
           cells + "<td><font style=\"text-decoration: underline;\" color=\"Black\" size=\"4\"><strong>" + topic +
           "</strong></font><br>"
           "<div>" +
           body + "</div></td></tr><br></tbody></table>";
}

QByteArray today()
{
    const QDate d = QDate::currentDate();
    return QByteArray::fromStdString(DateToStr(EncodeDate(d.year(), d.month(), d.day())));
}

// A body in the document format with one paragraph of text, and optionally a picture.
QByteArray bodyBytes(const QString& text, bool withPicture = false)
{
    vt::rt::RichEditor editor;
    editor.appendParagraph(text, 1, 1);
    if (withPicture) {
        QImage image(8, 6, QImage::Format_RGB32);
        image.fill(QColor(200, 30, 40));
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        editor.moveCursor(QTextCursor::End);
        EXPECT_TRUE(editor.insertPicture(png));
    }
    return editor.saveToBytes();
}

// A body whose text style 1 is redefined: one paragraph of text in that style.
QByteArray styledBody(const QString& text, int points, std::uint32_t colour)
{
    vt::rt::DocModel m;
    m.styles.textStyles[1].size = points;
    m.styles.textStyles[1].color = colour;
    m.styles.textStyles[1].bold = true;
    vt::rt::Block b;
    vt::rt::Item it;
    it.style = 1;
    it.text = text.toStdString();
    b.paragraph.items.push_back(it);
    m.blocks.push_back(b);
    return QByteArray::fromStdString(vt::rt::writeRvf(m));
}

// Headless Chromium's screenshot of a page; a null image (and the browser's complaint) on failure.
QImage screenshot(const QString& chromium, const QString& page, const QString& shot, std::string* error)
{
    QProcess browser;
    browser.start(chromium, {"--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                             "--window-size=900,700", "--screenshot=" + shot, QUrl::fromLocalFile(page).toString()});
    if (!browser.waitForFinished(120000)) *error = "chromium did not finish";
    QImage image(shot);
    if (image.isNull()) *error += browser.readAllStandardError().toStdString();
    return image;
}

// What the report's hidden view writes for the report's body number n, pictures going to folder.
QByteArray rendered(const QByteArray& body, const QString& folder, int n)
{
    vt::rt::RichEditor view;
    view.loadFromBytes(body);
    QByteArray html;
    QBuffer buffer(&html);
    buffer.open(QIODevice::WriteOnly);
    view.writeHtml(buffer, folder, QString(), QStringLiteral("vt_"), QStringLiteral("b%1-").arg(n));
    return html;
}

// Text of the nodes an XPath selects, as libxml2's HTML parser reads the file (it follows the
// declared charset); empty when xmllint is missing.
QString xpathText(const QString& file, const QString& xpath)
{
    QProcess xmllint;
    xmllint.start(QStringLiteral("xmllint"), {"--html", "--xpath", xpath, file});
    xmllint.waitForFinished(30000);
    return QString::fromUtf8(xmllint.readAllStandardOutput()).trimmed();
}

}  // namespace

class Report : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        m_db = vt::test::freshVeltranaDatabase("vt_rep");
        writeFile("defaults.cfg", QByteArray::fromStdString(vt::test::defaultsLine(m_db)));
        sql("INSERT INTO Users (Username, password, Role) VALUES ('ALICE','PW','USER')");
        movePerUserIfAsked(m_db);
        startApp();
    }
    void TearDown() override
    {
        SetTraceHook({});
        AppFixture::TearDown();
    }

    std::string sql(const std::string& statement) { return vt::test::runSql(statement, m_db); }
    void storeBody(int id, const QByteArray& body)
    {
        sql("INSERT INTO Req_objects (RequirementID, Document) VALUES (" + std::to_string(id) + ", 0x" +
            body.toHex().toStdString() + ")");
    }

    void loginAsAdmin()
    {
        QTest::keyClicks(&loginChild<QLineEdit>("UserID"), "admin");
        QTest::keyClicks(&loginChild<QLineEdit>("Password"), "admin");
        loginChild<QPushButton>("Button1").click();
        ASSERT_EQ(m_platform.messages(), QStringList{});
    }
    void chooseProject(const QString& name)
    {
        auto& combo = mainChild<QComboBox>("Combo_projects");
        const int index = combo.findText(name);
        ASSERT_GE(index, 0) << name.toStdString();
        combo.setCurrentIndex(index);
        emit combo.textActivated(name);
    }

    QString reportPath() const { return session().WorkFolder + "vtranTemp.html"; }
    // Runs Reports > "Formatted Project Document" as the user does.
    QByteArray runReport()
    {
        m_platform.clear();
        mainChild<QAction>("StructuredProjectDocument1").trigger();
        QFile file(reportPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QStringList opened() const
    {
        QStringList files;
        for (const auto& s : m_platform.shown)
            if (s.kind == "shell") files << s.text;
        return files;
    }

    std::string m_db;
};

TEST_F(Report, WithNoProjectOpenHoldsOnlyTheHeadAndClosingPiecesAndIsOpened)
{
    loginAsAdmin();
    const QByteArray html = runReport();
    EXPECT_EQ(html, head() + kFooter) << html.toStdString();
    EXPECT_EQ(opened(), QStringList{reportPath()});
    EXPECT_EQ(m_platform.messages(), QStringList{});
}

TEST_F(Report, ADesktopThatCannotOpenTheReportIsSaidSoWithThePath)
{
    loginAsAdmin();
    m_platform.shellOpens = false;
    runReport();
    EXPECT_EQ(opened(), QStringList{reportPath()});
    EXPECT_EQ(m_platform.messages(), QStringList{"Could not open " + reportPath()});
}

TEST_F(Report, DatabaseStoreWalksTheWholeOutlineWithEscapedNamesAndOneBodyTest)
{
    // A category with a document three levels deep (collapsed in the tree), one with none, and
    // names that would break the page or run script if they were written as typed.
    sql("INSERT INTO Projects (ProjectID, ProjectName, Description, ProjectManager) VALUES "
        "(1, 'R&D <Lab>', '', 'ADMIN'), (2, 'Other', '', 'ADMIN')");
    sql("INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName) VALUES "
        "(1, 1, 'Area'), (2, 1, 'Empty \\'quoted\\' \"too\"'), (3, 2, 'Elsewhere')");
    const QString deepTopic = QStringLiteral("1.1.1 Deep");
    sql("INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Created, Owner) VALUES "
        "(10, 2, 1, '1 <script>alert(1)</script>', now(), 'ADMIN'),"
        "(11, 3, 10, '1.1 No body', now(), 'ADMIN'),"
        "(12, 4, 11, '" +
        deepTopic.toStdString() +
        "', now(), 'ADMIN'),"
        "(13, 2, 3, 'Not in this project', now(), 'ADMIN')");
    const QByteArray body10 = bodyBytes("First body & <more>");
    const QByteArray body12 = bodyBytes("Deep body");
    storeBody(10, body10);
    storeBody(12, body12);
    storeBody(13, bodyBytes("never read"));
    loginAsAdmin();
    chooseProject("R&D <Lab>");

    QStringList statements;
    SetTraceHook([&](TraceOp op, const std::string& text) {
        if (op == TraceOp::Execute) statements << QString::fromStdString(text);
    });
    QStringList status;
    QObject::connect(&mainWindow(), &TVeltrana::statusTextShown, [&](const QString& t) { status << t; });
    const QByteArray html = runReport();
    SetTraceHook({});

    const QString folder = session().WorkFolder;
    const QByteArray expected =
        head() + projectBlock("R&amp;D &lt;Lab&gt;", today()) + categoryBlock("Area") +
        documentBlock(2, "1 &lt;script&gt;alert(1)&lt;/script&gt;", rendered(body10, folder, 1)) +
        documentBlock(3, "1.1 No body", "Document Unavailable") +
        documentBlock(4, deepTopic.toUtf8(), rendered(body12, folder, 2)) +
        categoryBlock("Empty &#39;quoted&#39; &quot;too&quot;") + kFooter;
    EXPECT_EQ(html, expected) << html.toStdString();
    EXPECT_EQ(opened(), QStringList{reportPath()});
    EXPECT_EQ(m_platform.messages(), QStringList{});

    // The bodies of all three documents in one statement, and no statement per document.
    EXPECT_EQ(statements
                  .filter(QRegularExpression("^select RequirementID, Document from req_objects where "
                                             "RequirementID in \\(10,11,12\\) order by ObjectID"))
                  .size(),
              1)
        << statements.join('\n').toStdString();
    EXPECT_EQ(
        statements.filter(QRegularExpression("^select .*from req_objects", QRegularExpression::CaseInsensitiveOption))
            .size(),
        1)
        << statements.join('\n').toStdString();
    // Progress in the status bar, then its text as before.
    ASSERT_GE(status.size(), 2);
    EXPECT_EQ(status[status.size() - 2], "Report: 3 of 3 documents");
    EXPECT_EQ(status.back(), "Ready");

    // Running again replaces the file (the project now has one document less).
    sql("DELETE FROM Requirements WHERE RequirementID = 12");
    mainChild<QAction>("refreshlist1").trigger();
    const QByteArray again = runReport();
    EXPECT_EQ(again, head() + projectBlock("R&amp;D &lt;Lab&gt;", today()) + categoryBlock("Area") +
                         documentBlock(2, "1 &lt;script&gt;alert(1)&lt;/script&gt;", rendered(body10, folder, 1)) +
                         documentBlock(3, "1.1 No body", "Document Unavailable") +
                         categoryBlock("Empty &#39;quoted&#39; &quot;too&quot;") + kFooter);

    // A reader of HTML sees the names as typed and no element made from them.
    QTextDocument reader;
    reader.setHtml(QString::fromUtf8(html));
    EXPECT_TRUE(reader.toPlainText().contains("1 <script>alert(1)</script>"));
    EXPECT_TRUE(reader.toPlainText().contains("Empty 'quoted' \"too\""));
    if (!QStandardPaths::findExecutable("xmllint").isEmpty()) {
        EXPECT_EQ(xpathText(reportPath(), "count(//script)"), "0");
        EXPECT_EQ(xpathText(reportPath(), "string(//body//table[@id='Table6']//strong)"), "R&D <Lab>");
    }
}

TEST_F(Report, SharedFolderStoreRendersFilesAndNamesTheMissingOnesPath)
{
    // The folder's name holds characters that must be escaped where the path is shown.
    const QString folder = path("docs & <bodies>");
    ASSERT_TRUE(QDir().mkpath(folder));
    sql("UPDATE global_settings SET documents='" + folder.toStdString() + "', SaveAsFiles=1");
    sql("INSERT INTO Projects (ProjectID, ProjectName, Description, ProjectManager) VALUES (1, 'Files', '', 'ADMIN')");
    sql("INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName) VALUES (1, 1, 'Only')");
    sql("INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Created, Owner) VALUES "
        "(20, 2, 1, 'A has a file', now(), 'ADMIN'), (21, 2, 1, 'B has none', now(), 'ADMIN')");
    const QByteArray body = bodyBytes("From the shared folder", true);
    QFile file(folder + "/20.rvf");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(body);
    file.close();
    // A body row in the database is not looked at in this store.
    storeBody(21, bodyBytes("database copy"));
    loginAsAdmin();
    chooseProject("Files");

    QStringList statements;
    SetTraceHook([&](TraceOp op, const std::string& text) {
        if (op == TraceOp::Execute) statements << QString::fromStdString(text);
    });
    const QByteArray html = runReport();
    SetTraceHook({});
    const QString work = session().WorkFolder;
    const QByteArray bodyHtml = rendered(body, work, 1);
    EXPECT_EQ(html, head() + projectBlock("Files", today()) + categoryBlock("Only") +
                        documentBlock(2, "A has a file", bodyHtml) +
                        documentBlock(2, "B has none",
                                      "Document Not Found: " + vt::rt::htmlEscape(folder + "/21.rvf").toUtf8()) +
                        kFooter)
        << html.toStdString();
    EXPECT_EQ(
        statements.filter(QRegularExpression("Req_Objects|req_objects", QRegularExpression::CaseInsensitiveOption))
            .size(),
        0);

    // The picture is a "vt_" file in the work folder, referenced by the body.
    const QRegularExpression img("<img src=\"(vt_[0-9a-f]+\\.png)\"");
    const auto match = img.match(QString::fromUtf8(html));
    ASSERT_TRUE(match.hasMatch()) << bodyHtml.toStdString();
    QImage picture(work + match.captured(1));
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), QSize(8, 6));
    EXPECT_EQ(picture.pixelColor(3, 3), QColor(200, 30, 40));
}

TEST_F(Report, NonAsciiNamesReadBackThroughTheDeclaredCharset)
{
    if (QStandardPaths::findExecutable("xmllint").isEmpty()) GTEST_SKIP() << "xmllint is not installed";
    sql("INSERT INTO Projects (ProjectID, ProjectName, Description, ProjectManager) VALUES "
        "(1, 'Ünïcödé Café', '', 'ADMIN')");
    sql("INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName) VALUES (1, 1, '日本語 € 😀')");
    sql("INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Created, Owner) VALUES "
        "(30, 2, 1, 'Żółć', now(), 'ADMIN')");
    storeBody(30, bodyBytes("Grüße aus Köln"));
    loginAsAdmin();
    chooseProject("Ünïcödé Café");
    const QByteArray html = runReport();
    ASSERT_TRUE(html.startsWith(head("UTF-8")));
    EXPECT_EQ(xpathText(reportPath(), "string(//table[@id='Table6']//strong)"), "Ünïcödé Café");
    EXPECT_EQ(xpathText(reportPath(), "string(//span)"), "日本語 € 😀");
    EXPECT_EQ(xpathText(reportPath(), "string(//table[@id='Table1']//strong)"), "Żółć");
    EXPECT_TRUE(xpathText(reportPath(), "string(//table[@id='Table1']//div)").contains("Grüße aus Köln"));
}

TEST_F(Report, ErrorsEndTheReportWithOneMessageAndOpenNothing)
{
    sql("INSERT INTO Projects (ProjectID, ProjectName, Description, ProjectManager) VALUES (1, 'Broken', '', 'ADMIN')");
    sql("INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName) VALUES (1, 1, 'C')");
    sql("INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Created, Owner) VALUES "
        "(40, 2, 1, 'Damaged', now(), 'ADMIN')");
    sql("INSERT INTO Req_objects (RequirementID, Document) VALUES (40, 'not a body at all')");
    loginAsAdmin();
    chooseProject("Broken");

    // A damaged body ends the report: its message, no browser, and the window still works.
    runReport();
    ASSERT_EQ(m_platform.messages().size(), 1);
    EXPECT_TRUE(m_platform.messages()[0].contains("not a Veltrana document")) << m_platform.messages()[0].toStdString();
    EXPECT_EQ(opened(), QStringList{});
    EXPECT_EQ(m_platform.waitDepth, 0);

    // A report file that cannot be created: one message naming it, nothing opened.
    sql("DELETE FROM Req_objects");
    ASSERT_TRUE(QFile::remove(reportPath()));
    ASSERT_TRUE(QDir().mkpath(reportPath()));
    runReport();
    ASSERT_EQ(m_platform.messages().size(), 1);
    EXPECT_TRUE(m_platform.messages()[0].startsWith("Cannot create file " + reportPath()))
        << m_platform.messages()[0].toStdString();
    EXPECT_EQ(opened(), QStringList{});

    ASSERT_TRUE(QDir().rmdir(reportPath()));
    runReport();
    EXPECT_EQ(m_platform.messages(), QStringList{});
    EXPECT_EQ(opened(), QStringList{reportPath()});
}

TEST_F(Report, ChromiumRendersTheReportWithItsHeadingsNamesAndPictures)
{
    const QString chromium = QStandardPaths::findExecutable("chromium");
    if (chromium.isEmpty()) GTEST_SKIP() << "chromium is not installed";
    sql("INSERT INTO Projects (ProjectID, ProjectName, Description, ProjectManager) VALUES "
        "(1, 'Ünïcödé <Café>', '', 'ADMIN')");
    sql("INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName) VALUES (1, 1, 'Planning & Money')");
    sql("INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Created, Owner) VALUES "
        "(50, 2, 1, '1 Budget', now(), 'ADMIN'), (51, 3, 50, '1.1 Quotes', now(), 'ADMIN')");
    storeBody(50, bodyBytes("A heading-styled body with a picture:", true));
    loginAsAdmin();
    chooseProject("Ünïcödé <Café>");
    runReport();
    ASSERT_EQ(opened(), QStringList{reportPath()});

    const QString shot = qEnvironmentVariable("VT_REPORT_SCREENSHOT", path("report.png"));
    QProcess browser;
    browser.start(chromium,
                  {"--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars", "--window-size=900,700",
                   "--screenshot=" + shot, QUrl::fromLocalFile(reportPath()).toString()});
    ASSERT_TRUE(browser.waitForFinished(120000));
    QImage page(shot);
    ASSERT_FALSE(page.isNull()) << browser.readAllStandardError().toStdString();
    // The category heading is blue text and the body's picture red: both are on the page.
    int blue = 0, red = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            if (c.blue() > 200 && c.red() < 80 && c.green() < 80) ++blue;
            if (c == QColor(200, 30, 40)) ++red;
        }
    EXPECT_GT(blue, 50);
    EXPECT_GE(red, 30);
}

TEST_F(Report, ChromiumShowsEachBodyInItsOwnStyles)
{
    const QString chromium = QStandardPaths::findExecutable("chromium");
    if (chromium.isEmpty()) GTEST_SKIP() << "chromium is not installed";
    // Two bodies whose sheets give style 1 different sizes and colours: a large red heading
    // first, then the same text small and green.
    sql("INSERT INTO Projects (ProjectID, ProjectName, Description, ProjectManager) VALUES (1, 'Sheets', '', 'ADMIN')");
    sql("INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName) VALUES (1, 1, 'C')");
    sql("INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Created, Owner) VALUES "
        "(60, 2, 1, 'A', now(), 'ADMIN'), (61, 2, 1, 'B', now(), 'ADMIN')");
    storeBody(60, styledBody("Styled heading text", 28, 0xE01010));
    storeBody(61, styledBody("Styled heading text", 10, 0x10A010));
    loginAsAdmin();
    chooseProject("Sheets");
    runReport();
    ASSERT_EQ(opened(), QStringList{reportPath()});

    std::string error;
    const QImage page = screenshot(chromium, reportPath(), path("sheets.png"), &error);
    ASSERT_FALSE(page.isNull()) << error;
    int red = 0, green = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            if (c.red() > 180 && c.green() < 90 && c.blue() < 90) ++red;
            if (c.green() > 120 && c.red() < 90 && c.blue() < 90) ++green;
        }
    // Both colours are on the page, and the red text is drawn much larger than the green.
    EXPECT_GT(green, 20);
    EXPECT_GT(red, 3 * green) << "red " << red << ", green " << green;
}

TEST_F(Report, BodiesTooLargeToShowAreLeftOutOfTheReportAndRefusedInTheDocumentPanel)
{
    // One paragraph more than a document may hold, with text enough to be stored compressed.
    vt::rt::DocModel huge;
    for (int i = 0; i <= 200'000; ++i) {
        vt::rt::Block b;
        vt::rt::Item it;
        it.text = std::to_string(i * 7919 % 100003);
        b.paragraph.items.push_back(it);
        huge.blocks.push_back(b);
    }
    sql("INSERT INTO Projects (ProjectID, ProjectName, Description, ProjectManager) VALUES (1, 'Big', '', 'ADMIN')");
    sql("INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName) VALUES (1, 1, 'C')");
    sql("INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Created, Owner) VALUES "
        "(70, 2, 1, 'Huge', now(), 'ADMIN'), (71, 2, 1, 'Small', now(), 'ADMIN')");
    storeBody(70, QByteArray::fromStdString(vt::rt::writeRvf(huge)));
    const QByteArray small = bodyBytes("Still shown");
    storeBody(71, small);
    loginAsAdmin();
    chooseProject("Big");

    // The report goes on past it, with the placeholder in its place.
    const QByteArray html = runReport();
    EXPECT_EQ(html, head() + projectBlock("Big", today()) + categoryBlock("C") +
                        documentBlock(2, "Huge", "Document Unavailable") +
                        documentBlock(2, "Small", rendered(small, session().WorkFolder, 1)) + kFooter);
    EXPECT_EQ(opened(), QStringList{reportPath()});
    EXPECT_EQ(m_platform.messages(), QStringList{});

    // Selected in the outline, it is refused with one message saying what exceeded; the next
    // document shows as usual.
    auto& tree = mainChild<QTreeWidget>("ProjectTree");
    const auto hugeNode = tree.findItems("Huge", Qt::MatchExactly | Qt::MatchRecursive);
    const auto smallNode = tree.findItems("Small", Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_EQ(hugeNode.size(), 1);
    ASSERT_EQ(smallNode.size(), 1);
    m_platform.clear();
    tree.setCurrentItem(hugeNode.front());
    EXPECT_EQ(m_platform.messages(),
              QStringList{"This document is too large to show: 200001 paragraphs, the limit is 200000"});
    EXPECT_EQ(mainChild<vt::rt::RichEditor>("RichEdit1").itemCount(), 0);
    m_platform.clear();
    tree.setCurrentItem(smallNode.front());
    EXPECT_EQ(m_platform.messages(), QStringList{});
    EXPECT_TRUE(mainChild<vt::rt::RichEditor>("RichEdit1").toPlainText().contains("Still shown"));
}
