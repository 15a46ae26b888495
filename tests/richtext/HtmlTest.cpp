// HTML export for the report: a complete document written at the file's current position,
// pictures as files of their own, every text escaped.
#include "TestDocs.h"
#include "richtext/HtmlWriter.h"
#include "richtext/RichEditor.h"
#include "richtext/RichTextError.h"
#include "richtext/RtfWriter.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTextDocument>

#include <gtest/gtest.h>

using namespace vt::rt;
using namespace vt::rt::test;

TEST(Html, CompleteDocumentAtTheFilesPositionWithPictureFiles)
{
    QString dir = tempFolder("html");
    RichEditor ed;
    ed.setPictureListRequest(samplePictureList);
    ed.setModel(fullDocument());
    QFile f(dir + "/report.html");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<html><body><div>");
    ed.writeHtml(f, dir + "/", "", "vt_");
    f.write("</div></body></html>");
    f.close();
    QString html = QString::fromUtf8(readFile(dir + "/report.html"));
    ASSERT_TRUE(html.startsWith("<html><body><div><!DOCTYPE html>\n<html>\n<head>"));
    EXPECT_TRUE(html.endsWith("</body>\n</html>\n</div></body></html>"));
    for (const char* part :
         {"<title></title>", "<style type=\"text/css\">", "</head>\n<body>",
          "A justified paragraph &amp; &lt;markup&gt; that is not markup.",
          "href=\"https://example.com/a?b=1&amp;c=&quot;2&quot;\"", "<ul style=\"list-style-type: disc\">",
          "<ol style=\"list-style-type: lower-roman\">", "<table border=\"1\"",
          ".t6 { font-family: 'DejaVu Serif'; font-size: 14pt; font-weight: bold; "
          "font-style: italic; text-decoration: underline line-through; color: #123456; background-color: #ffff00; }",
          ".p2 { text-align: right; margin: 6px 30px 8px 40px; text-indent: -20px; }", "background-color: #f8f4e8"})
        EXPECT_TRUE(html.contains(QString::fromUtf8(part))) << part;
    EXPECT_EQ(html.count("<tr>"), 3);
    EXPECT_EQ(html.count("<li "), 5);
    // Three pictures, each a file named vt_..., the stored ones byte for byte.
    QRegularExpression img("<img src=\"(vt_[0-9a-f]{16}\\.(png|jpg))\"");
    QStringList files;
    for (auto it = img.globalMatch(html); it.hasNext();)
        files << it.next().captured(1);
    ASSERT_EQ(files.size(), 3);
    EXPECT_TRUE(files[1].endsWith(".jpg"));
    DocModel m = fullDocument();
    EXPECT_EQ(readFile(dir + "/" + files[0]), QByteArray::fromStdString(m.pictures[0].bytes));
    EXPECT_EQ(readFile(dir + "/" + files[1]), QByteArray::fromStdString(m.pictures[1].bytes));
    EXPECT_FALSE(QImage(dir + "/" + files[2]).isNull());
    EXPECT_TRUE(html.contains("<img src=\"" + files[0] + "\" width=\"32\" height=\"24\""));
    // An HTML reader sees the text.
    QTextDocument reader;
    reader.setHtml(html);
    EXPECT_TRUE(reader.toPlainText().contains(QString::fromUtf8("Ünïcödé Café € 日本語 😀")));
    EXPECT_TRUE(reader.toPlainText().contains("A justified paragraph & <markup> that is not markup."));
}

TEST(Html, HostileTextStaysText)
{
    QString dir = tempFolder("html_hostile");
    DocModel m;
    TextStyle evil = m.styles.textStyles[0];
    evil.fontName = "x'; } body { display:none } .y { font-family: '";
    int n = m.styles.appendText(evil);
    TextStyle placeholders = m.styles.textStyles[0];
    placeholders.fontName = "%1 %2 %9";
    const int p = m.styles.appendText(placeholders);
    Block b;
    Item it;
    it.style = n;
    it.text = "<script>alert('x')</script> \"quoted\"";
    it.link = "javascript:\"><script>";
    b.paragraph.items.push_back(it);
    m.blocks.push_back(b);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    writeHtml(m, {}, out, dir + "/", "<title>&", "vt_");
    QString html = QString::fromUtf8(out.data());
    EXPECT_FALSE(html.contains("<script>"));
    EXPECT_TRUE(html.contains("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &quot;quoted&quot;"));
    EXPECT_TRUE(html.contains("<title>&lt;title&gt;&amp;</title>"));
    // A script link is no link: only its text is written.
    EXPECT_FALSE(html.contains("href="));
    EXPECT_FALSE(html.contains("javascript"));
    EXPECT_TRUE(html.contains("font-family: 'x  body  display:none  .y  font-family: '"));
    // Placeholders in a font name stay text and take nothing of the rule's values.
    const QString rule = ".t" + QString::number(p) + " { font-family: '%1 %2 %9'; font-size: " +
                         QString::number(placeholders.size) + "pt; font-weight: " +
                         (placeholders.bold ? "bold" : "normal") + "; font-style: ";
    EXPECT_TRUE(html.contains(rule)) << html.toStdString();
}

TEST(Html, OnlyWebAndMailLinksStayLinksInHtmlAndRtf)
{
    struct Case {
        const char* target;
        bool link;
    };
    const Case cases[] = {
        {"http://example.com/", true},
        {"HTTPS://example.com/a?b=c#d", true},
        {"mailto:someone@example.com", true},
        {"Ftp://files.example.com/x", true},
        {"  https://example.com/  ", true},
        {"notes/plan.html", true},
        {"../up/plan.html#part:2", true},
        {"plan.html?at=10:30", true},
        {"#section", true},
        {"/absolute/path", true},
        {"javascript:alert(1)", false},
        {" JavaScript:alert(1)", false},
        {"JAVASCRIPT:alert(1)", false},
        {"java\tscript:alert(1)", false},
        {"java\nscript:alert(1)", false},
        {"\x01javascript:alert(1)", false},
        {"javascript\t:alert(1)", false},
        {"vbscript:msgbox(1)", false},
        {"data:text/html,<script>alert(1)</script>", false},
        {"file:///etc/passwd", false},
        {"FILE:c:/windows", false},
        {"//evil.example.com/share", false},
        {"\\\\server\\share", false},
        {"/\\server", false},
        {"java script:alert(1)", false},
        {"ht\xc5\xbftp://x", false},
        {"about:blank", false},
        {"c:\\windows\\x.exe", false},
        {"", false},
        {"   ", false},
    };
    for (const Case& c : cases) {
        const QString target = QString::fromUtf8(c.target);
        SCOPED_TRACE(c.target);
        EXPECT_EQ(isSafeLink(target), c.link);
        DocModel m;
        Block b;
        Item it;
        it.text = "the text";
        it.link = c.target;
        b.paragraph.items.push_back(it);
        m.blocks.push_back(b);
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        writeHtml(m, {}, out, tempFolder("html_links") + "/");
        const QString html = QString::fromUtf8(out.data());
        EXPECT_TRUE(html.contains("the text"));
        EXPECT_EQ(html.contains("<a "), c.link);
        EXPECT_EQ(html.contains("href="), c.link);
        // RTF files are opened by other programs, which follow their links as readily.
        const std::string rtf = writeRtf(m);
        EXPECT_NE(rtf.find("the text"), std::string::npos);
        EXPECT_EQ(rtf.find("HYPERLINK") != std::string::npos, c.link);
    }
}

TEST(Html, ClassPrefixKeepsEachDocumentsStylesToItself)
{
    DocModel m;
    m.hasBackground = true;
    m.background = 0x102030;
    Block b;
    Item it;
    it.style = 1;
    it.text = "heading";
    it.link = "https://example.com/";
    b.paragraph.style = 1;
    b.paragraph.items.push_back(it);
    m.blocks.push_back(b);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    writeHtml(m, {}, out, tempFolder("html_prefix") + "/", {}, "vt_", "d7-<\">");
    const QString html = QString::fromUtf8(out.data());
    // Every rule is on the prefixed classes or inside the document's wrapper; nothing styles the
    // page's body, paragraphs or bare classes.
    const QString sheet = html.section("<style type=\"text/css\">\n", 1).section("</style>", 0, 0);
    for (const QString& rule : sheet.split('\n', Qt::SkipEmptyParts))
        EXPECT_TRUE(rule.startsWith(".d7-")) << rule.toStdString();
    EXPECT_TRUE(sheet.contains(".d7-doc { background-color: #102030; }"));
    EXPECT_TRUE(sheet.contains(".d7-t1 { "));
    EXPECT_TRUE(sheet.contains(".d7-p1 { "));
    EXPECT_TRUE(html.contains("<body>\n<div class=\"d7-doc\">\n<p class=\"d7-p1\"><a class=\"d7-t1\" "
                              "href=\"https://example.com/\"><span class=\"d7-t1\">heading</span></a></p>\n</div>\n"
                              "</body>"));
}

TEST(Html, DocumentsSharingAFolderKeepTheirOwnPictures)
{
    QString dir = tempFolder("html_shared");
    auto docWithPicture = [](QColor c) {
        DocModel m;
        m.pictures.push_back({PictureFormat::Png, pictureString(3, 3, c)});
        Block b;
        Item it;
        it.kind = Item::Kind::Picture;
        b.paragraph.items.push_back(it);
        m.blocks.push_back(b);
        return m;
    };
    QBuffer one, two;
    one.open(QIODevice::WriteOnly);
    two.open(QIODevice::WriteOnly);
    writeHtml(docWithPicture(Qt::red), {}, one, dir + "/");
    writeHtml(docWithPicture(Qt::blue), {}, two, dir + "/");
    EXPECT_EQ(QDir(dir).entryList({"vt_*.png"}).size(), 2);
    EXPECT_NE(one.data(), two.data());
    EXPECT_THROW(writeHtml(docWithPicture(Qt::green), {}, one, dir + "/missing/"), RichTextError);
}
