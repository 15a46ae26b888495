// RTF export, read back by an independent reader: LibreOffice converts the file to flat
// OpenDocument XML, in which the test looks up what became of each piece.
#include "TestDocs.h"
#include "richtext/RichEditor.h"
#include "richtext/RtfWriter.h"

#include <QDir>
#include <QDomDocument>
#include <QHash>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextCursor>

#include <gtest/gtest.h>

using namespace vt::rt;
using namespace vt::rt::test;

namespace {

// The flat OpenDocument text LibreOffice makes of an RTF file.
class OdtView {
public:
    bool load(const QByteArray& xml)
    {
        if (!m_doc.setContent(xml)) return false;
        QDomNodeList styles = m_doc.elementsByTagName("style:style");
        for (int i = 0; i < styles.size(); ++i) {
            QDomElement s = styles.at(i).toElement();
            QHash<QString, QString> props;
            for (QDomElement p = s.firstChildElement(); !p.isNull(); p = p.nextSiblingElement()) {
                QDomNamedNodeMap a = p.attributes();
                for (int k = 0; k < a.size(); ++k)
                    props[a.item(k).nodeName()] = a.item(k).nodeValue();
            }
            if (s.hasAttribute("style:list-style-name")) props["list-style"] = s.attribute("style:list-style-name");
            m_styles[s.attribute("style:name")] = props;
        }
        return true;
    }
    // Properties of the text span whose text is `text`.
    QHash<QString, QString> span(const QString& text) const { return styleOfElement("text:span", text); }
    // Properties of the paragraph whose text contains `text`.
    QHash<QString, QString> paragraph(const QString& text) const { return styleOfElement("text:p", text, true); }
    QDomNodeList all(const QString& tag) const { return m_doc.elementsByTagName(tag); }
    QString listStyleFormat(const QString& listStyle) const
    {
        QDomNodeList ls = m_doc.elementsByTagName("text:list-style");
        for (int i = 0; i < ls.size(); ++i) {
            QDomElement e = ls.at(i).toElement();
            if (e.attribute("style:name") != listStyle) continue;
            QDomElement first = e.firstChildElement();
            return first.tagName() == "text:list-level-style-bullet" ? "bullet" : first.attribute("style:num-format");
        }
        return {};
    }
    QString text() const { return m_doc.documentElement().text(); }

private:
    QHash<QString, QString> styleOfElement(const QString& tag, const QString& text, bool contains = false) const
    {
        QDomNodeList n = m_doc.elementsByTagName(tag);
        for (int i = 0; i < n.size(); ++i) {
            QDomElement e = n.at(i).toElement();
            if (contains ? e.text().contains(text) : e.text() == text)
                return m_styles.value(e.attribute("text:style-name"));
        }
        ADD_FAILURE() << "no " << tag.toStdString() << " with " << text.toStdString();
        return {};
    }
    QDomDocument m_doc;
    QHash<QString, QHash<QString, QString>> m_styles;
};

// Converts with LibreOffice headless, with a profile folder of its own so that parallel runs
// do not share one.
QByteArray convertWithLibreOffice(const QString& file, const QString& format)
{
    QString soffice = QStandardPaths::findExecutable("soffice");
    if (soffice.isEmpty()) {
        ADD_FAILURE() << "soffice not found (scripts/install-deps.sh installs libreoffice-writer-nogui)";
        return {};
    }
    QFileInfo fi(file);
    QString out = fi.absolutePath() + "/out";
    QByteArray log;
    int rc = runProgram(soffice,
                        {"-env:UserInstallation=file://" + fi.absolutePath() + "/lo-profile", "--headless",
                         "--norestore", "--convert-to", format, "--outdir", out, fi.absoluteFilePath()},
                        &log);
    EXPECT_EQ(rc, 0) << log.toStdString();
    QByteArray result = readFile(out + "/" + fi.completeBaseName() + "." + format);
    EXPECT_FALSE(result.isEmpty()) << log.toStdString();
    return result;
}

}  // namespace

TEST(Rtf, LibreOfficeReadsTextFormattingListsTablePicturesAndLinks)
{
    QString dir = tempFolder("rtf");
    RichEditor ed;
    ed.setPictureListRequest(samplePictureList);
    ed.setModel(fullDocument());
    ed.setModified(true);
    ed.saveRtfToFile(dir + "/full.rtf");
    EXPECT_TRUE(ed.isModified()) << "exporting is no save of the body";
    OdtView odt;
    ASSERT_TRUE(odt.load(convertWithLibreOffice(dir + "/full.rtf", "fodt")));

    // Text, including characters outside windows-1252 and outside the basic plane.
    QString text = odt.text();
    for (const char* s : {"Heading of the document", "Ünïcödé Café € 日本語 😀", "After the table",
                          "A justified paragraph & <markup> that is not markup."})
        EXPECT_TRUE(text.contains(QString::fromUtf8(s))) << s;

    // Character formatting of each style.
    auto heading = odt.span("Heading of the document");
    EXPECT_EQ(heading["fo:font-weight"], "bold");
    EXPECT_EQ(heading["fo:color"], "#0000ff");
    EXPECT_EQ(heading["fo:font-size"], "10pt");
    EXPECT_EQ(heading["style:font-name"], "Arial");
    auto every = odt.span("every property, ");
    EXPECT_EQ(every["fo:font-weight"], "bold");
    EXPECT_EQ(every["fo:font-style"], "italic");
    EXPECT_EQ(every["style:text-underline-style"], "solid");
    EXPECT_EQ(every["style:text-line-through-style"], "solid");
    EXPECT_EQ(every["fo:font-size"], "14pt");
    EXPECT_EQ(every["fo:color"], "#123456");
    EXPECT_EQ(every["fo:background-color"], "#ffff00");
    EXPECT_EQ(every["style:font-name"], "DejaVu Serif");
    EXPECT_EQ(odt.span("Second bullet")["fo:font-size"], "20pt");
    EXPECT_EQ(odt.span("Second bullet")["fo:color"], "#ff0000");
    EXPECT_EQ(odt.span(QString::fromUtf8("Ünïcödé Café € 日本語 😀"))["fo:font-style"], "italic");

    // Paragraph formatting: alignment and indents (40, 30, -20 units of 1/96 inch, spacing 6, 8).
    EXPECT_EQ(odt.paragraph("Heading of the document")["fo:text-align"], "center");
    auto right = odt.paragraph("every property");
    EXPECT_EQ(right["fo:text-align"], "end");
    EXPECT_NEAR(right["fo:margin-left"].chopped(2).toDouble(), 40 / 96.0, 0.001);
    EXPECT_NEAR(right["fo:margin-right"].chopped(2).toDouble(), 30 / 96.0, 0.001);
    EXPECT_NEAR(right["fo:text-indent"].chopped(2).toDouble(), -20 / 96.0, 0.001);
    EXPECT_NEAR(right["fo:margin-top"].chopped(2).toDouble(), 6 / 96.0, 0.001);
    EXPECT_NEAR(right["fo:margin-bottom"].chopped(2).toDouble(), 8 / 96.0, 0.001);
    EXPECT_EQ(odt.paragraph("A justified paragraph")["fo:text-align"], "justify");

    // Three lists: bullets, decimal numbers, lower-case roman numbers.
    EXPECT_EQ(odt.listStyleFormat(odt.paragraph("First bullet")["list-style"]), "bullet");
    EXPECT_EQ(odt.paragraph("Second bullet")["list-style"], odt.paragraph("First bullet")["list-style"]);
    EXPECT_EQ(odt.listStyleFormat(odt.paragraph("Number two")["list-style"]), "1");
    EXPECT_EQ(odt.listStyleFormat(odt.paragraph("Roman nested")["list-style"]), "i");
    EXPECT_EQ(odt.all("text:list").size(), 3);

    // The table: 3 rows of 2 cells, the second row's second cell with two paragraphs.
    ASSERT_EQ(odt.all("table:table").size(), 1);
    QDomNodeList rows = odt.all("table:table-row");
    ASSERT_EQ(rows.size(), 3);
    for (int r = 0; r < 3; ++r)
        EXPECT_EQ(rows.at(r).toElement().elementsByTagName("table:table-cell").size(), 2);
    QDomElement cell = rows.at(1).toElement().elementsByTagName("table:table-cell").at(1).toElement();
    EXPECT_EQ(cell.elementsByTagName("text:p").size(), 2);
    EXPECT_EQ(cell.text(), "1second line");

    // Pictures: PNG 32 x 24 units, JPEG at natural size, the picture-list entry as PNG.
    QDomNodeList images = odt.all("draw:image");
    ASSERT_EQ(images.size(), 3);
    EXPECT_EQ(images.at(0).toElement().attribute("draw:mime-type"), "image/png");
    EXPECT_EQ(images.at(1).toElement().attribute("draw:mime-type"), "image/jpeg");
    QDomElement frame = images.at(0).parentNode().toElement();
    EXPECT_NEAR(frame.attribute("svg:width").chopped(2).toDouble(), 32 / 96.0, 0.002);
    EXPECT_NEAR(frame.attribute("svg:height").chopped(2).toDouble(), 24 / 96.0, 0.002);

    // The link, with the quote in its target encoded.
    QDomNodeList links = odt.all("text:a");
    ASSERT_EQ(links.size(), 1);
    EXPECT_EQ(links.at(0).toElement().attribute("xlink:href"), "https://example.com/a?b=1&c=%222%22");
    EXPECT_EQ(links.at(0).toElement().text(), "a link");

    // Document properties.
    EXPECT_EQ(odt.all("dc:title").at(0).toElement().text(), "Full document");
}

TEST(Rtf, TextIsEscapedAndNonAsciiHasAFallback)
{
    DocModel m;
    Block b;
    Item it;
    it.text = "{braces} back\\slash\ttab € ő 😀";
    b.paragraph.items.push_back(it);
    m.blocks.push_back(b);
    std::string rtf = writeRtf(m);
    EXPECT_NE(rtf.find("\\{braces\\} back\\\\slash\\tab tab \\u8364\\'80 \\u337? \\u-10179?\\u-8704?"),
              std::string::npos)
        << rtf;
    // Balanced groups.
    int depth = 0;
    for (size_t i = 0; i < rtf.size(); ++i) {
        if (rtf[i] == '\\') {
            ++i;
            continue;
        }
        if (rtf[i] == '{') ++depth;
        if (rtf[i] == '}') --depth;
        ASSERT_GE(depth, 0);
    }
    EXPECT_EQ(depth, 0);
}

TEST(Rtf, LibreOfficeReadsListsMadeByTheListCommandsWithTheirNesting)
{
    QString dir = tempFolder("rtflists");
    RichEditor ed;
    ed.clear();
    QTextCursor(ed.document()).insertText("Outer one");
    for (const char* text : {"Inner item", "Outer two", "Plain after"})
        ed.appendParagraph(QString::fromUtf8(text));
    QTextCursor all(ed.document());
    all.setPosition(ed.document()->findBlockByNumber(2).position() + 1, QTextCursor::KeepAnchor);
    ed.setTextCursor(all);
    ed.toggleList(ListKind::Decimal);
    ed.setTextCursor(QTextCursor(ed.document()->findBlockByNumber(1)));
    ed.changeListLevel(1);
    ed.saveRtfToFile(dir + "/lists.rtf");

    OdtView odt;
    ASSERT_TRUE(odt.load(convertWithLibreOffice(dir + "/lists.rtf", "fodt")));
    const QString outer = odt.paragraph("Outer one")["list-style"];
    ASSERT_FALSE(outer.isEmpty()) << "the first item is read as a list item";
    EXPECT_EQ(odt.listStyleFormat(outer), "1");
    EXPECT_EQ(odt.paragraph("Outer two")["list-style"], outer) << "the outer list goes on after the nested item";
    const QString inner = odt.paragraph("Inner item")["list-style"];
    EXPECT_FALSE(inner.isEmpty());
    EXPECT_TRUE(odt.paragraph("Plain after")["list-style"].isEmpty());
}
