// The report's writer without a server: names are never cut, and in a Windows code page the
// report is written in that code page, declares it (also in the bodies' own documents) and
// keeps characters the code page lacks as numeric references.

#include "AppFixture.h"

#include "report/ProjectReport.h"
#include "session/TextCodec.h"

#include "richtext/RichEditor.h"

#include <QBuffer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <climits>

using namespace vt::app;

namespace {

class CodePageScope {
public:
    explicit CodePageScope(int codePage) : m_previous(clientCodePage()) { setClientCodePage(codePage); }
    ~CodePageScope() { setClientCodePage(m_previous); }

private:
    int m_previous;
};

QByteArray writeReport(const std::function<void(report::ReportWriter&)>& write)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    report::ReportWriter writer(buffer);
    write(writer);
    return bytes;
}

}  // namespace

TEST(ReportWriter, NamesLongerThanAnyPieceAreWrittenWhole)
{
    const QString name = QString(3000, QLatin1Char('n')) + QStringLiteral("<END>");
    const QByteArray html = writeReport([&](report::ReportWriter& w) { w.WriteCategorySection(name); });
    EXPECT_TRUE(html.contains(QString(3000, QLatin1Char('n')).toUtf8() + "&lt;END&gt;<br></span>"));
    const QByteArray topic = writeReport([&](report::ReportWriter& w) { w.beginDocumentSection(2, name); });
    EXPECT_TRUE(topic.contains(QString(3000, QLatin1Char('n')).toUtf8() + "&lt;END&gt;</strong>"));
}

TEST(ReportWriter, SectionsAreIndentedOneCellPerLevelUpToTheDeepestIndent)
{
    // A chain of documents as deep as the outline allows must not make each section as large as
    // its depth (a chain of 100,000 would write some 10^11 bytes).
    constexpr int kMax = report::ReportWriter::kMaxIndentCells;
    const struct {
        int level;
        int cells;
    } cases[] = {{1, 0}, {2, 1}, {3, 2}, {kMax, kMax - 1}, {kMax + 1, kMax}, {kMax + 2, kMax}, {100000, kMax},
                 {INT_MAX, kMax}};
    for (const auto& c : cases) {
        const QByteArray section = writeReport([&](report::ReportWriter& w) { w.beginDocumentSection(c.level, "T"); });
        EXPECT_EQ(section.count("<td>&nbsp;&nbsp;</td>"), c.cells) << "level " << c.level;
        EXPECT_TRUE(section.contains(">T</strong>")) << "level " << c.level;
    }
}

TEST(ReportWriter, WindowsCodePageIsWrittenAndDeclaredWithReferencesForTheRest)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    CodePageScope cp1252(1252);
    ASSERT_EQ(clientCodePage(), 1252);

    vt::rt::RichEditor view;
    view.appendParagraph(QStringLiteral("Grüße € 日本"));
    const QByteArray html = writeReport([&](report::ReportWriter& w) {
        w.WriteReportHeader();
        w.WriteProjectSection(QStringLiteral("Café 日本 😀"), QStringLiteral("2026/12/10"));
        w.beginDocumentSection(2, QStringLiteral("Ärger"));
        w.writeBody(view, dir.path() + "/");
        w.endDocumentSection();
        w.WriteReportFooter();
    });
    EXPECT_TRUE(html.startsWith("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                                "charset=windows-1252\"><title>Report</title>"));
    // Single bytes of the code page where it has the character, references elsewhere.
    EXPECT_TRUE(html.contains("<strong>Caf\xE9 &#26085;&#26412; &#128512;</strong>")) << html.toStdString();
    EXPECT_TRUE(html.contains("<strong>\xC4rger</strong>"));
    EXPECT_TRUE(html.contains("Gr\xFC\xDF"
                              "e \x80 &#26085;&#26412;"));
    EXPECT_TRUE(html.contains("<meta charset=\"windows-1252\">"));
    EXPECT_FALSE(html.contains("utf-8"));
    EXPECT_TRUE(html.endsWith("</p></body></html>"));

    // A reader that follows the declaration sees the names as typed.
    if (QStandardPaths::findExecutable("xmllint").isEmpty()) return;
    QFile file(dir.filePath("report.html"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(html);
    file.close();
    QProcess xmllint;
    xmllint.start("xmllint", {"--html", "--xpath", "string(//table[@id='Table6']//strong)", file.fileName()});
    ASSERT_TRUE(xmllint.waitForFinished(30000));
    EXPECT_EQ(QString::fromUtf8(xmllint.readAllStandardOutput()).trimmed(), QStringLiteral("Café 日本 😀"));
}
