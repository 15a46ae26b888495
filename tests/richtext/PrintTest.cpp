// The print object with a PDF printer, checked with poppler's pdfinfo and pdftotext.
#include "TestDocs.h"
#include "richtext/DocPrint.h"
#include "richtext/RichEditor.h"

#include <QFile>
#include <QPrinter>
#include <QRegularExpression>
#include <QStandardPaths>

#include <gtest/gtest.h>

using namespace vt::rt;
using namespace vt::rt::test;

namespace {

QString tool(const char* name)
{
    QString p = QStandardPaths::findExecutable(name);
    if (p.isEmpty()) ADD_FAILURE() << name << " not found (scripts/install-deps.sh installs poppler-utils)";
    return p;
}

QString pdfInfo(const QString& pdf, const QString& key)
{
    QByteArray out;
    runProgram(tool("pdfinfo"), {pdf}, &out);
    QRegularExpression re("^" + key + ":\\s*(.*)$", QRegularExpression::MultilineOption);
    return re.match(QString::fromUtf8(out)).captured(1).trimmed();
}

// The text of one page.
QString pageText(const QString& pdf, int page)
{
    QByteArray out;
    runProgram(tool("pdftotext"), {"-f", QString::number(page), "-l", QString::number(page), "-layout", pdf, "-"},
               &out);
    return QString::fromUtf8(out);
}

// The first "Line NNN" on a page.
QString firstLine(const QString& pdf, int page)
{
    return QRegularExpression("Line \\d{3}").match(pageText(pdf, page)).captured(0);
}

struct Events {
    std::vector<std::pair<DocPrint::Step, int>> formatting, sending;
    void attach(DocPrint& p)
    {
        QObject::connect(&p, &DocPrint::formatting, [this](DocPrint::Step s, int n) { formatting.push_back({s, n}); });
        QObject::connect(&p, &DocPrint::sendingToPrinter, [this](DocPrint::Step s, int n) {
            sending.push_back({s, n});
        });
    }
};

std::vector<std::pair<DocPrint::Step, int>> expectedEvents(std::vector<int> pages, int endNo)
{
    std::vector<std::pair<DocPrint::Step, int>> e{{DocPrint::Step::Start, 0}};
    for (int p : pages)
        e.push_back({DocPrint::Step::PageDone, p});
    e.push_back({DocPrint::Step::End, endNo});
    return e;
}

class PrintTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = tempFolder("print");
        ed.setModel(fullDocument());
        for (int i = 1; i <= 150; ++i)
            ed.appendParagraph(QString("Line %1").arg(i, 3, 10, QChar('0')));
        print.setEditor(&ed);
        events.attach(print);
    }
    std::unique_ptr<QPrinter> pdfPrinter(const QString& name)
    {
        auto p = std::make_unique<QPrinter>(QPrinter::HighResolution);
        p->setOutputFormat(QPrinter::PdfFormat);
        p->setPageSize(QPageSize(QPageSize::A4));
        p->setOutputFileName(dir + "/" + name);
        return p;
    }
    QString dir;
    RichEditor ed;
    DocPrint print;
    Events events;
};

}  // namespace

TEST_F(PrintTest, AllPagesWithProgressInOrderAndTheJobTitle)
{
    auto printer = pdfPrinter("all.pdf");
    int pages = print.formatPages(*printer);
    ASSERT_GE(pages, 3);
    EXPECT_EQ(print.pageCount(), pages);
    std::vector<int> all;
    for (int p = 1; p <= pages; ++p)
        all.push_back(p);
    EXPECT_EQ(events.formatting, expectedEvents(all, pages));
    ASSERT_TRUE(print.print(*printer, QString::fromUtf8("Topic Ü & <1>")));
    EXPECT_EQ(events.sending, expectedEvents(all, 0));
    QString pdf = dir + "/all.pdf";
    EXPECT_EQ(pdfInfo(pdf, "Pages").toInt(), pages);
    EXPECT_EQ(pdfInfo(pdf, "Title"), QString::fromUtf8("Topic Ü & <1>"));
    EXPECT_TRUE(pdfInfo(pdf, "Page size").contains("595 x 842")) << pdfInfo(pdf, "Page size").toStdString();
    QString first = pageText(pdf, 1);
    EXPECT_TRUE(first.contains("Heading of the document"));
    EXPECT_TRUE(pageText(pdf, pages).contains("Line 150"));
    // Every line is printed exactly once, in order.
    QString all_text;
    for (int p = 1; p <= pages; ++p)
        all_text += pageText(pdf, p);
    int last = 0;
    for (auto it = QRegularExpression("Line (\\d{3})").globalMatch(all_text); it.hasNext();) {
        int n = it.next().captured(1).toInt();
        EXPECT_EQ(n, last + 1);
        last = n;
    }
    EXPECT_EQ(last, 150);
    // The text starts 20 mm (56.7 pt) from the left edge of the paper.
    QByteArray bbox;
    runProgram(tool("pdftotext"), {"-f", "1", "-l", "1", "-bbox", pdf, "-"}, &bbox);
    QRegularExpressionMatch m =
        QRegularExpression("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\"").match(QString::fromUtf8(bbox));
    ASSERT_TRUE(m.hasMatch());
    EXPECT_NEAR(m.captured(2).toDouble(), 56.7, 6.0);
}

TEST_F(PrintTest, RangeCopiesAndCollation)
{
    auto full = pdfPrinter("full.pdf");
    int pages = print.formatPages(*full);
    ASSERT_GE(pages, 3);
    print.print(*full, "full");
    QString fullPdf = dir + "/full.pdf";
    std::vector<QString> firstLines;
    for (int p = 1; p <= pages; ++p)
        firstLines.push_back(firstLine(fullPdf, p));

    struct Case {
        const char* name;
        int from, to, copies;
        bool collate;
        std::vector<int> pages;
    };
    Case cases[] = {{"range 2-3", 2, 3, 1, true, {2, 3}},
                    {"last page only", pages, pages, 1, true, {pages}},
                    {"two collated copies", 2, 3, 2, true, {2, 3, 2, 3}},
                    {"two uncollated copies", 2, 3, 2, false, {2, 2, 3, 3}},
                    {"range beyond the end", pages - 1, pages + 5, 1, true, {pages - 1, pages}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto printer = pdfPrinter(QString(c.name).replace(' ', '_') + ".pdf");
        events.sending.clear();
        ASSERT_TRUE(print.print(*printer, c.name, c.from, c.to, c.copies, c.collate));
        QString pdf = printer->outputFileName();
        ASSERT_EQ(pdfInfo(pdf, "Pages").toInt(), int(c.pages.size()));
        for (size_t i = 0; i < c.pages.size(); ++i)
            EXPECT_EQ(firstLine(pdf, int(i) + 1), firstLines[size_t(c.pages[i] - 1)]) << "output page " << i + 1;
        EXPECT_EQ(events.sending, expectedEvents(c.pages, 0));
    }
    auto none = pdfPrinter("none.pdf");
    EXPECT_FALSE(print.print(*none, "none", 3, 2));
}

TEST(Print, EmptyEditorHasNoItemsAndOnePage)
{
    RichEditor ed;
    EXPECT_EQ(ed.itemCount(), 0);  // the program shows "Nothing to Print" and stops
    DocPrint print;
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(tempFolder("print_empty") + "/x.pdf");
    EXPECT_EQ(print.formatPages(printer), 0) << "no editor bound";
    print.setEditor(&ed);
    EXPECT_EQ(print.formatPages(printer), 1);
    {
        RichEditor gone;
        print.setEditor(&gone);
    }
    EXPECT_EQ(print.editor(), nullptr);
    EXPECT_EQ(print.formatPages(printer), 0);
    EXPECT_FALSE(print.print(printer, "x"));
}

TEST_F(PrintTest, PaperChangedAfterLayoutIsLaidOutAgain)
{
    auto a4 = pdfPrinter("a4.pdf");
    int pagesA4 = print.formatPages(*a4);
    auto a5 = pdfPrinter("a5.pdf");
    a5->setPageSize(QPageSize(QPageSize::A5));
    events.formatting.clear();
    ASSERT_TRUE(print.print(*a5, "a5"));
    EXPECT_GT(print.pageCount(), pagesA4);
    EXPECT_FALSE(events.formatting.empty());
    EXPECT_EQ(pdfInfo(a5->outputFileName(), "Pages").toInt(), print.pageCount());
}

TEST(Print, PdfLinksKeepOnlySafeTargets)
{
    RichEditor ed;
    ed.appendParagraph("Links:");
    ed.moveCursor(QTextCursor::End);
    ed.insertLink(" web", "https://example.com/safe");
    ed.insertLink(" script", "javascript:app.alert(1)");
    ed.insertLink(" local", "file:///etc/passwd");
    DocPrint print;
    print.setEditor(&ed);
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(tempFolder("print_links") + "/links.pdf");
    ASSERT_TRUE(print.print(printer, "links"));
    QFile file(printer.outputFileName());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray pdf = file.readAll();
    // A PDF reader follows a link's target when it is clicked.
    EXPECT_TRUE(pdf.contains("https://example.com/safe"));
    EXPECT_FALSE(pdf.contains("javascript"));
    EXPECT_FALSE(pdf.contains("passwd"));
    EXPECT_TRUE(pageText(printer.outputFileName(), 1).contains("web script local"));
    // The editor's document keeps its links.
    EXPECT_EQ(ed.toModel().blocks.back().paragraph.items.size(), 4u);
}
