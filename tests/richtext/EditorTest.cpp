// The editor: the document model on Qt's text engine, loading and saving, the sheet rule.
#include "TestDocs.h"
#include "richtext/RichEditor.h"
#include "richtext/RvfFormat.h"
#include "richtext/TextDocumentBridge.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QCryptographicHash>
#include <QMimeData>
#include <QPointer>
#include <QRegularExpression>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QUrl>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace vt::rt;
using namespace vt::rt::test;

TEST(Editor, FullDocumentSurvivesSaveLoadSave)
{
    RichEditor ed;
    ed.setPictureListRequest(samplePictureList);
    ed.setModel(fullDocument());
    DocModel m = ed.toModel();
    DocModel expected = fullDocument();
    EXPECT_EQ(m.plainText(), expected.plainText());
    QByteArray first = ed.saveToBytes();
    RichEditor other;
    other.setPictureListRequest(samplePictureList);
    other.loadFromBytes(first);
    QByteArray second = other.saveToBytes();
    EXPECT_EQ(first, second);
    DocModel back;
    ASSERT_TRUE(readRvf(std::string_view(second.constData(), size_t(second.size())), back).ok);
    if (!(back == expected)) {
        // Show where they differ.
        EXPECT_TRUE(back.styles == expected.styles);
        EXPECT_EQ(back.lists, expected.lists);
        EXPECT_EQ(back.pictures.size(), expected.pictures.size());
        EXPECT_EQ(back.tables, expected.tables);
        ASSERT_EQ(back.blocks.size(), expected.blocks.size());
        for (size_t i = 0; i < back.blocks.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(back.blocks[i].paragraph.style, expected.blocks[i].paragraph.style);
            EXPECT_EQ(back.blocks[i].paragraph.list, expected.blocks[i].paragraph.list);
            ASSERT_EQ(back.blocks[i].paragraph.items.size(), expected.blocks[i].paragraph.items.size());
            for (size_t k = 0; k < back.blocks[i].paragraph.items.size(); ++k) {
                const Item& a = back.blocks[i].paragraph.items[k];
                const Item& b = expected.blocks[i].paragraph.items[k];
                EXPECT_EQ(int(a.kind), int(b.kind));
                EXPECT_EQ(a.style, b.style);
                EXPECT_EQ(a.text, b.text);
                EXPECT_EQ(a.link, b.link);
                EXPECT_EQ(a.index, b.index);
                EXPECT_EQ(a.width, b.width);
                EXPECT_EQ(a.height, b.height);
            }
        }
        EXPECT_EQ(back.hasBackground, expected.hasBackground);
        EXPECT_EQ(back.background, expected.background);
        EXPECT_EQ(back.layout, expected.layout);
        EXPECT_EQ(back.properties, expected.properties);
    }
    EXPECT_TRUE(back == expected);
}

namespace {

// What the formatting toolbar holds, and its answers to conversions, as the main window
// gives them.
struct Toolbar {
    bool bold = false, italic = false, underline = false;
    std::string font = "Arial";
    int size = 10;
    std::uint32_t color = 0;
    bool transparent = true;
    Alignment alignment = Alignment::Left;
    int textCalls = 0, paraCalls = 0;
    std::vector<int> askedTextStyles;

    void attach(RichEditor& ed)
    {
        ed.setTextStyleConversion([this](DocStyles& s, int n, int code) {
            ++textCalls;
            askedTextStyles.push_back(n);
            TextStyle c = s.text(n);
            switch (code) {
            case 1: c.bold = bold; break;
            case 2: c.italic = italic; break;
            case 3: c.underline = underline; break;
            case 4: c.fontName = font; break;
            case 6: c.size = size; break;
            case 7: c.color = color; break;
            case 8:
                c.transparentBack = transparent;
                c.backColor = color;
                break;
            }
            return s.findOrAppendText(c);
        });
        ed.setParaStyleConversion([this](DocStyles& s, int n, int code) {
            ++paraCalls;
            ParaStyle c = s.para(n);
            switch (code) {
            case 1: c.alignment = alignment; break;
            case 2: c.leftIndent = std::min(c.leftIndent + 20, 200); break;
            case 3: c.leftIndent = std::max(c.leftIndent - 20, 0); break;
            }
            return s.findOrAppendPara(c);
        });
    }
};

void select(RichEditor& ed, int from, int to)
{
    QTextCursor c = ed.textCursor();
    c.setPosition(from);
    c.setPosition(to, QTextCursor::KeepAnchor);
    ed.setTextCursor(c);
}

// Style number of every character of the first paragraph.
std::vector<int> runStyles(RichEditor& ed)
{
    std::vector<int> out;
    QTextBlock b = ed.document()->begin();
    for (auto it = b.begin(); !it.atEnd(); ++it)
        for (int i = 0; i < it.fragment().length(); ++i)
            out.push_back(styleNumberOf(it.fragment().charFormat()));
    return out;
}

// Every run and paragraph carries a number of the sheet whose formatting it has.
void expectSheetRuleHolds(RichEditor& ed)
{
    DocStyles copy = ed.styles();
    QTextDocument* doc = ed.document();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        int pn = styleNumberOf(b.blockFormat());
        ASSERT_GE(pn, 0) << "paragraph without a style: " << b.text().toStdString();
        ASSERT_LT(pn, copy.paraCount());
        EXPECT_TRUE(copy.paraStyles[size_t(pn)].equalTo(fromBlockFormat(b.blockFormat()))) << b.text().toStdString();
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            QTextCharFormat f = it.fragment().charFormat();
            int n = styleNumberOf(f);
            ASSERT_GE(n, 0) << "run without a style: " << it.fragment().text().toStdString();
            ASSERT_LT(n, copy.textCount());
            EXPECT_TRUE(copy.textStyles[size_t(n)].equalTo(fromCharFormat(f))) << it.fragment().text().toStdString();
        }
    }
    EXPECT_FALSE(normalizeDocument(*doc, copy)) << "normalising changed a normalised document";
}

}  // namespace

// A large body is saved compressed and loads back, laid out at the document's fixed width.
TEST(Editor, LargeDocumentSavesCompressedAndLoadsBack)
{
    RichEditor ed;
    ed.setPictureListRequest(samplePictureList);
    ed.setModel(largeDocument());
    QByteArray first = ed.saveToBytes();
    EXPECT_EQ(first[8], 2);
    EXPECT_TRUE(first.contains("ZBDY"));
    RichEditor other;
    other.setPictureListRequest(samplePictureList);
    other.loadFromBytes(first);
    EXPECT_EQ(other.document()->textWidth(), 72 + 672 + 72);
    QByteArray second = other.saveToBytes();
    EXPECT_EQ(first, second);
    DocModel back;
    ASSERT_TRUE(readRvf(std::string_view(second.constData(), size_t(second.size())), back).ok);
    EXPECT_TRUE(back == largeDocument());
}

TEST(Editor, TextConversionsReuseEqualStylesAndAppendOnlyNewCombinations)
{
    RichEditor ed;
    Toolbar tb;
    tb.attach(ed);
    ed.appendParagraph("Hello world");
    select(ed, 6, 11);
    tb.bold = true;
    ed.applyTextConversion(1);
    EXPECT_EQ(ed.styles().textCount(), 7);
    EXPECT_EQ(runStyles(ed), (std::vector<int>{0, 0, 0, 0, 0, 0, 6, 6, 6, 6, 6}));
    select(ed, 0, 5);
    ed.applyTextConversion(1);  // the same combination: reused
    EXPECT_EQ(ed.styles().textCount(), 7);
    EXPECT_EQ(runStyles(ed)[0], 6);
    // A selection over two styles asks once per style.
    select(ed, 0, 11);
    tb.askedTextStyles.clear();
    tb.color = 0x0000FF;  // bold blue is the starting sheet's "Heading"
    ed.applyTextConversion(7);
    EXPECT_EQ(tb.askedTextStyles, (std::vector<int>{6, 0}));
    EXPECT_EQ(runStyles(ed), (std::vector<int>{1, 1, 1, 1, 1, 7, 1, 1, 1, 1, 1}));
    EXPECT_EQ(ed.styles().textCount(), 8);  // blue not bold (the space) is new
    EXPECT_TRUE(ed.isModified());
    expectSheetRuleHolds(ed);
}

TEST(Editor, BoldOffUnderTheCaretChangesWhatIsTypedNext)
{
    RichEditor ed;
    Toolbar tb;
    tb.attach(ed);
    ed.appendParagraph("Heading", 1);
    ed.moveCursor(QTextCursor::End);
    ASSERT_EQ(ed.currentTextStyle(), 1);
    tb.bold = false;  // the context menu flips the down button up first
    tb.color = 0x0000FF;
    ed.applyTextConversion(1);
    int plainBlue = ed.currentTextStyle();
    EXPECT_NE(plainBlue, 1);
    EXPECT_FALSE(ed.styles().text(plainBlue).bold);
    EXPECT_EQ(ed.styles().text(plainBlue).color, 0x0000FFu);
    QTest::keyClicks(&ed, "ab");
    std::vector<int> styles = runStyles(ed);
    EXPECT_EQ(styles.back(), plainBlue);
    EXPECT_EQ(styles.front(), 1);
    expectSheetRuleHolds(ed);
}

TEST(Editor, ParagraphConversionsAndIndentLimits)
{
    RichEditor ed;
    Toolbar tb;
    tb.attach(ed);
    ed.appendParagraph("one");
    ed.appendParagraph("two");
    // "Left" on a left-aligned paragraph still runs a conversion, answered with its own style.
    ed.moveCursor(QTextCursor::Start);
    tb.alignment = Alignment::Left;
    ed.applyParaConversion(1);
    EXPECT_EQ(tb.paraCalls, 1);
    EXPECT_EQ(ed.currentParaStyle(), 0);
    EXPECT_EQ(ed.styles().paraCount(), 2);
    EXPECT_FALSE(ed.isModified());
    // Increase indent eleven times from 0: stops at 200.
    for (int i = 0; i < 11; ++i)
        ed.applyParaConversion(2);
    EXPECT_EQ(ed.styles().para(ed.currentParaStyle()).leftIndent, 200);
    EXPECT_EQ(ed.styles().paraCount(), 2 + 10);
    // Decrease from 10 gives 0, which is the starting style again.
    ed.convertSelectedParagraphs([](ParaStyle& s) { s.leftIndent = 10; });
    ed.applyParaConversion(3);
    EXPECT_EQ(ed.currentParaStyle(), 0);
    // Centring both paragraphs lands on the starting sheet's "Centered".
    ed.selectAll();
    tb.alignment = Alignment::Center;
    ed.applyParaConversion(1);
    for (QTextBlock b = ed.document()->begin(); b.isValid(); b = b.next())
        EXPECT_EQ(styleNumberOf(b.blockFormat()), 1);
    expectSheetRuleHolds(ed);
}

TEST(Editor, PastedFormattingLandsInTheSheetAndUndoesInOneStep)
{
    RichEditor ed;
    ed.appendParagraph("Start ");
    ed.setModified(false);
    ed.moveCursor(QTextCursor::End);
    int stylesBefore = ed.styles().textCount();
    auto* mime = new QMimeData;
    mime->setHtml("<p style='margin-top:12px'><b>bold</b> <span style='color:#ff0000; font-size:18pt; "
                  "font-family:Times'>red</span> <a href='http://example.com/?a=1&amp;b=2'>link</a> "
                  "<span style='background-color:#00ff00'>marked</span></p><ul><li>item</li></ul>"
                  "<table border=1><tr><td><i>cell</i></td></tr></table><img src='does-not-exist.png'>");
    QApplication::clipboard()->setMimeData(mime);
    ed.paste();
    EXPECT_TRUE(ed.isModified());
    EXPECT_GT(ed.styles().textCount(), stylesBefore);
    expectSheetRuleHolds(ed);
    DocModel m = ed.toModel();
    std::string text = m.plainText();
    EXPECT_NE(text.find("bold red link marked"), std::string::npos) << text;
    EXPECT_NE(text.find("cell"), std::string::npos);
    // The link kept its target and is in a hypertext style.
    bool foundLink = false;
    for (const Block& b : m.blocks)
        for (const Item& it : b.paragraph.items)
            if (it.link.rfind("http://example.com/?a=1&", 0) == 0) {
                foundLink = true;
                EXPECT_TRUE(m.styles.text(it.style).hypertext);
            }
    EXPECT_TRUE(foundLink);
    // The same paste again appends no style.
    int afterFirst = ed.styles().textCount();
    ed.paste();
    EXPECT_EQ(ed.styles().textCount(), afterFirst);
    ed.undo();
    ed.undo();
    EXPECT_EQ(ed.toPlainText(), "Start ");
    expectSheetRuleHolds(ed);
}

// Pasted HTML names its pictures and style sheets by file: only regular files are read, so a
// device or a pipe named there (another program's clipboard, a copied web page) cannot make the
// paste read without end; pictures from ordinary files still arrive.
TEST(Editor, PastedHtmlReadsOnlyRegularFiles)
{
    const QString dir = tempFolder("paste_files");
    const QString png = dir + "/pic.png";
    QImage picture(4, 3, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(png));
    const QString fifo = dir + "/pipe.png";
    QFile::remove(fifo);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    for (const QString& source : {QStringLiteral("/dev/zero"), QStringLiteral("file:///dev/zero"), fifo, dir}) {
        SCOPED_TRACE(source.toStdString());
        RichEditor ed;
        ed.appendParagraph("Start ");
        ed.moveCursor(QTextCursor::End);
        auto* mime = new QMimeData;
        mime->setHtml("<p>before<img src='" + source +
                      "'>after</p>");
        QApplication::clipboard()->setMimeData(mime);
        ed.paste();
        ed.format();
        EXPECT_TRUE(ed.toModel().pictures.empty());
        EXPECT_NE(ed.toPlainText().indexOf("after"), -1) << ed.toPlainText().toStdString();
    }
    RichEditor ed;
    ed.appendParagraph("Start ");
    ed.moveCursor(QTextCursor::End);
    auto* mime = new QMimeData;
    mime->setHtml("<p>a<img src='" + QUrl::fromLocalFile(png).toString() + "'>b</p>");
    QApplication::clipboard()->setMimeData(mime);
    ed.paste();
    const DocModel m = ed.toModel();
    ASSERT_EQ(m.pictures.size(), 1u);
    EXPECT_EQ(QImage::fromData(QByteArray::fromStdString(m.pictures[0].bytes)).size(), QSize(4, 3));
    QFile::remove(fifo);
}

TEST(Editor, ModifiedFlagFollowsUserEditsOnly)
{
    RichEditor ed;
    int changes = 0;
    QObject::connect(&ed, &RichEditor::modifiedChanged, [&](bool) { ++changes; });
    ed.appendParagraph("by the program");
    ed.format();
    EXPECT_FALSE(ed.isModified());
    QByteArray saved = ed.saveToBytes();
    ed.loadFromBytes(saved);
    EXPECT_FALSE(ed.isModified());
    ed.moveCursor(QTextCursor::End);
    QTest::keyClicks(&ed, "x");
    EXPECT_TRUE(ed.isModified());
    EXPECT_EQ(changes, 1);
    ed.setModified(false);
    EXPECT_FALSE(ed.isModified());
    ed.undo();  // undo is a user edit
    EXPECT_TRUE(ed.isModified());
    ed.clear();
    EXPECT_FALSE(ed.isModified());
    EXPECT_EQ(ed.itemCount(), 0);
    ed.setEnabled(false);
    EXPECT_FALSE(ed.isEnabled());
}

TEST(Editor, TypingIntoAClearedDocumentUsesTheFirstStyles)
{
    RichEditor ed;
    ed.clear();
    QTest::keyClicks(&ed, "abc");
    QTest::keyClick(&ed, Qt::Key_Return);
    QKeyEvent typed(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromUtf8("Ünï"));
    QApplication::sendEvent(&ed, &typed);
    DocModel m = ed.toModel();
    EXPECT_EQ(m.styles.textCount(), 6);
    EXPECT_EQ(m.styles.paraCount(), 2);
    ASSERT_EQ(m.blocks.size(), 2u);
    EXPECT_EQ(m.blocks[1].paragraph.items.at(0).text, "Ünï");
    EXPECT_EQ(m.blocks[1].paragraph.items.at(0).style, 0);
}

TEST(Editor, ItemCountAndAppendParagraph)
{
    RichEditor ed;
    EXPECT_EQ(ed.itemCount(), 0);
    ed.appendParagraph("");
    EXPECT_EQ(ed.itemCount(), 0);
    ed.clear();
    ed.appendParagraph("Document not found in shared folder:/x/1.rvf");
    EXPECT_EQ(ed.toPlainText(), "Document not found in shared folder:/x/1.rvf");
    EXPECT_EQ(ed.itemCount(), 1);
    ed.appendParagraph("second", 1, 1);
    EXPECT_EQ(ed.itemCount(), 2);
    EXPECT_EQ(ed.document()->blockCount(), 2);
    ed.clear();
    ASSERT_TRUE(ed.insertPicture(pictureBytes(4, 4, Qt::red)));
    EXPECT_EQ(ed.itemCount(), 1);
}

TEST(Editor, CaretStyleNotifications)
{
    RichEditor ed;
    ed.appendParagraph("plain");
    ed.appendParagraph("centred heading", 1, 1);
    std::vector<int> text, para;
    QObject::connect(&ed, &RichEditor::currentTextStyleChanged, [&](int n) { text.push_back(n); });
    QObject::connect(&ed, &RichEditor::currentParaStyleChanged, [&](int n) { para.push_back(n); });
    ed.moveCursor(QTextCursor::Start);
    ed.moveCursor(QTextCursor::Right);
    ed.moveCursor(QTextCursor::End);
    EXPECT_EQ(text, (std::vector<int>{0, 1}));
    EXPECT_EQ(para, (std::vector<int>{0, 1}));
    ed.notifyCurrentStyles();  // after loading, both are announced even when unchanged
    EXPECT_EQ(text.back(), 1);
    EXPECT_EQ(para.back(), 1);
    EXPECT_EQ(text.size(), 3u);
}

TEST(Editor, PictureListIsAskedForOnlyWhenTheDocumentUsesIt)
{
    int asked = 0;
    RichEditor ed;
    ed.setPictureListRequest([&] {
        ++asked;
        return samplePictureList();
    });
    DocModel m;
    ed.setModel(m);
    EXPECT_EQ(asked, 0);
    Block b;
    Item it;
    it.kind = Item::Kind::ListPicture;
    it.index = 2;
    b.paragraph.items.push_back(it);
    it.index = 9;  // not in the list: entry 0
    b.paragraph.items.push_back(it);
    m.blocks.push_back(b);
    std::string bytes = writeRvf(m);
    ed.loadFromBytes(QByteArray(bytes.data(), qsizetype(bytes.size())));
    EXPECT_EQ(asked, 1);
    DocModel back = ed.toModel();
    ASSERT_EQ(back.blocks.at(0).paragraph.items.size(), 2u);
    EXPECT_EQ(back.blocks[0].paragraph.items[0].index, 2);
    EXPECT_EQ(back.blocks[0].paragraph.items[1].index, 0);
}

TEST(Editor, UnreadablePicturesAreSkipped)
{
    DocModel m = fullDocument();
    m.pictures[0].bytes = "\x89PNG\r\n\x1a\n but not really";
    m.pictures[1].format = PictureFormat::Png;  // JPEG bytes announced as PNG
    Picture huge;
    // A PNG header claiming 60000 x 60000 pixels.
    QByteArray big = pictureBytes(1, 1, Qt::red);
    big[16] = 0;
    big[17] = 0;
    big[18] = char(0xEA);
    big[19] = char(0x60);
    big[20] = 0;
    big[21] = 0;
    big[22] = char(0xEA);
    big[23] = char(0x60);
    huge.bytes.assign(big.constData(), size_t(big.size()));
    m.pictures.push_back(huge);
    m.blocks[2].paragraph.items[2].index = 2;  // the huge one instead of the JPEG
    RichEditor ed;
    ed.setModel(m);
    DocModel back = ed.toModel();
    const auto& items = back.blocks[2].paragraph.items;
    // The text around the skipped pictures joins into one run; the picture-list entry stays.
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].text, " between  list ");
    EXPECT_EQ(int(items[1].kind), int(Item::Kind::ListPicture));
    EXPECT_EQ(back.pictures.size(), 0u);
}

TEST(Editor, DamagedBodiesAreNotWrittenBackUnlessEdited)
{
    RichEditor ed;
    ed.appendParagraph("previous document");
    struct Case {
        const char* name;
        QByteArray bytes;
        const char* error;
    };
    std::string good = writeRvf(fullDocument());
    Case cases[] = {{"empty", QByteArray(), "not a Veltrana document"},
                    {"plain text", QByteArray("hello"), "not a Veltrana document"},
                    {"cut short", QByteArray(good.data(), 100), "damaged at byte "}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            ed.loadFromBytes(c.bytes);
            ADD_FAILURE() << "loaded";
        } catch (const RichTextError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.error, 0), 0u) << e.what();
        }
        EXPECT_TRUE(ed.lastLoadFailed());
        EXPECT_FALSE(ed.isModified());
        EXPECT_EQ(ed.itemCount(), 0);
        EXPECT_THROW(ed.saveToBytes(), RichTextError);
    }
    QTest::keyClicks(&ed, "new text");
    EXPECT_FALSE(ed.lastLoadFailed());
    EXPECT_NO_THROW(ed.saveToBytes());
    EXPECT_THROW(ed.loadFromFile("/nonexistent/folder/1.rvf"), RichTextError);
}

TEST(Editor, FilesAndStreams)
{
    QString dir = tempFolder("files");
    RichEditor ed;
    ed.setModel(fullDocument());
    ed.saveToFile(dir + "/1.rvf");
    QByteArray bytes = readFile(dir + "/1.rvf");
    EXPECT_EQ(bytes, ed.saveToBytes());
    // A stream is read from its current position, as a database field's stream would be.
    QByteArray withPrefix = "prefix" + bytes;
    QBuffer buf(&withPrefix);
    buf.open(QIODevice::ReadOnly);
    buf.seek(6);
    RichEditor other;
    other.loadFromStream(buf);
    EXPECT_EQ(other.saveToBytes(), bytes);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    out.write("head");
    other.saveToStream(out);
    EXPECT_EQ(out.data(), "head" + bytes);
    other.clear();
    other.loadFromFile(dir + "/1.rvf");
    EXPECT_EQ(other.documentProperty("Title"), "Full document");
    EXPECT_EQ(other.backgroundColor().value_or(0) & 0xFFFFFF, 0xF8F4E8u);
    EXPECT_THROW(other.saveToFile(dir + "/no/such/folder/x.rvf"), RichTextError);
}

TEST(Editor, MarginsAndFixedTextWidth)
{
    RichEditor ed;
    EXPECT_EQ(ed.leftMarginWidth(), 72);
    EXPECT_EQ(ed.rightMarginWidth(), 72);
    EXPECT_EQ(ed.textWidth(), 672);
    EXPECT_EQ(ed.lineWrapMode(), QTextEdit::FixedPixelWidth);
    EXPECT_EQ(ed.lineWrapColumnOrWidth(), 72 + 672 + 72);
    ed.appendParagraph(QString(400, 'w').replace(QRegularExpression("(w{9})"), "\\1 "));
    ed.format();
    // Lines wrap at the fixed width whatever the window's width.
    ed.resize(300, 200);
    QTextBlock b = ed.document()->begin();
    for (int i = 0; i < b.layout()->lineCount(); ++i)
        EXPECT_LE(b.layout()->lineAt(i).naturalTextWidth(), 672.5);
    EXPECT_GT(b.layout()->lineCount(), 1);
    EXPECT_DOUBLE_EQ(ed.document()->rootFrame()->frameFormat().leftMargin(), 72);
    ed.setMargins(10, 20);
    ed.setTextWidth(0, 0);
    EXPECT_EQ(ed.lineWrapMode(), QTextEdit::WidgetWidth);
    ed.setTextWidth(500, 600);
    EXPECT_EQ(ed.lineWrapColumnOrWidth(), 630);
    DocModel m = ed.toModel();
    EXPECT_EQ(m.layout.leftMargin, 10);
    EXPECT_EQ(m.layout.minTextWidth, 500);
}

TEST(Editor, CopiedLinksKeepOnlySafeTargetsAndTheDocumentKeepsThemAll)
{
    RichEditor ed;
    ed.appendParagraph("before");
    ed.moveCursor(QTextCursor::End);
    ed.insertLink(" web", "https://example.com/a?b=1");
    ed.insertLink(" script", "javascript:alert(document.cookie)");
    ed.insertLink(" hidden", "java\tscript:alert(1)");
    ed.insertLink(" share", "\\\\server\\share\\x.exe");
    ed.insertLink(" local", "file:///etc/passwd");
    for (bool wholeDocument : {true, false}) {
        SCOPED_TRACE(wholeDocument);
        if (wholeDocument) {
            ed.selectAll();
        } else {
            // Only the script link, selected from inside its text.
            QTextCursor c = ed.document()->find("script");
            ASSERT_FALSE(c.isNull());
            ed.setTextCursor(c);
        }
        QApplication::clipboard()->clear();
        ed.copy();
        const QMimeData* copied = QApplication::clipboard()->mimeData();
        ASSERT_NE(copied, nullptr);
        const QString html = copied->html();
        const QString text = copied->text();
        EXPECT_FALSE(html.contains("javascript", Qt::CaseInsensitive)) << html.toStdString();
        EXPECT_FALSE(html.contains("script:", Qt::CaseInsensitive)) << html.toStdString();
        EXPECT_FALSE(html.contains("server")) << html.toStdString();
        EXPECT_FALSE(html.contains("passwd")) << html.toStdString();
        EXPECT_TRUE(text.contains("script"));
        EXPECT_EQ(html.contains("href=\"https://example.com/a?b=1\""), wholeDocument) << html.toStdString();
        if (wholeDocument) {
            EXPECT_TRUE(text.contains("before web script hidden share local")) << text.toStdString();
        }
    }
    // The document itself keeps every target as stored.
    std::vector<std::string> links;
    for (const Block& b : ed.toModel().blocks)
        for (const Item& it : b.paragraph.items)
            if (!it.link.empty()) links.push_back(it.link);
    EXPECT_EQ(links, (std::vector<std::string>{"https://example.com/a?b=1", "javascript:alert(document.cookie)",
                                               "java\tscript:alert(1)", "\\\\server\\share\\x.exe",
                                               "file:///etc/passwd"}));
}

TEST(Editor, ListsTablesLinksAndPicturesInsertedAtTheCaret)
{
    RichEditor ed;
    ed.appendParagraph("one");
    ed.appendParagraph("two");
    ed.selectAll();
    ed.setListKind(ListKind::Decimal);
    ed.moveCursor(QTextCursor::End);
    ed.insertLink(" link", "https://example.com/ä");
    QTest::keyClick(&ed, Qt::Key_Return);
    ed.setListKind(std::nullopt);
    ed.insertTable(2, 3);
    ASSERT_TRUE(ed.insertPicture(pictureBytes(5, 5, Qt::green, "JPEG"), 10, 10));
    EXPECT_FALSE(ed.insertPicture("not a picture"));
    expectSheetRuleHolds(ed);
    DocModel m = ed.toModel();
    ASSERT_EQ(m.lists.size(), 1u);
    EXPECT_EQ(m.lists[0].kind, ListKind::Decimal);
    EXPECT_EQ(m.blocks[0].paragraph.list, 0);
    EXPECT_EQ(m.blocks[1].paragraph.list, 0);
    EXPECT_EQ(m.blocks[1].paragraph.items.back().link, "https://example.com/ä");
    EXPECT_EQ(m.blocks[1].paragraph.items.back().style, 4);
    ASSERT_EQ(m.tables.size(), 1u);
    EXPECT_EQ(m.tables[0].rows, 2);
    EXPECT_EQ(m.tables[0].columns, 3);
    ASSERT_EQ(m.pictures.size(), 1u);
    EXPECT_EQ(m.pictures[0].format, PictureFormat::Jpeg);
    // Saved and read back it is the same document.
    QByteArray bytes = ed.saveToBytes();
    RichEditor other;
    other.loadFromBytes(bytes);
    EXPECT_EQ(other.saveToBytes(), bytes);
}

TEST(Editor, LoadingReplacesTheDocumentWithoutKeepingTheOldOne)
{
    RichEditor ed;
    QByteArray bytes = [] {
        RichEditor src;
        src.setModel(fullDocument());
        return src.saveToBytes();
    }();
    ed.loadFromBytes(bytes);
    QPointer<QTextDocument> first = ed.document();
    ed.loadFromBytes(bytes);
    EXPECT_TRUE(first.isNull());
    // The new document reports its edits.
    ed.moveCursor(QTextCursor::End);
    QTest::keyClicks(&ed, "x");
    EXPECT_TRUE(ed.isModified());
    EXPECT_EQ(ed.document()->parent(), &ed);
}

// The Qt side of loading with hostile content: every mutation of a full body either fails
// with the engine's error or gives a document that saves and reloads to itself.
TEST(Editor, MutatedBodiesLoadOrFailCleanly)
{
    RichEditor src;
    src.setPictureListRequest(samplePictureList);
    src.setModel(fullDocument());
    const QByteArray good = src.saveToBytes();
    RichEditor ed, again;
    ed.setPictureListRequest(samplePictureList);
    again.setPictureListRequest(samplePictureList);
    std::uint32_t seed = 1;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    int loaded = 0, failed = 0;
    for (int i = 0; i < 1500; ++i) {
        QByteArray bytes = good;
        for (int k = 0, n = 1 + int(next() % 4); k < n; ++k) {
            int at = 12 + int(next() % std::uint32_t(bytes.size() - 12));
            switch (next() % 3) {
            case 0: bytes[at] = char(next()); break;
            case 1: bytes[at] = char(bytes[at] ^ (1 << (next() % 8))); break;
            case 2: bytes.remove(at, 1 + int(next() % 8)); break;
            }
        }
        try {
            ed.loadFromBytes(bytes);
        } catch (const RichTextError&) {
            ++failed;
            continue;
        }
        ++loaded;
        QByteArray saved = ed.saveToBytes();
        again.loadFromBytes(saved);
        ASSERT_EQ(again.saveToBytes(), saved) << "mutation " << i;
    }
    EXPECT_GT(loaded, 100);
    EXPECT_GT(failed, 100);
}

namespace {

// A document of n paragraphs of `runs` short text items each (in alternating styles), and `extra`
// more in the last one.
DocModel paragraphs(int n, int runs = 1, int extra = 0)
{
    DocModel m;
    for (int i = 0; i < n; ++i) {
        Block b;
        for (int k = 0; k < runs + (i == n - 1 ? extra : 0); ++k) {
            Item it;
            it.style = k % 2;
            it.text = std::to_string(i * 7919 % 100003);
            b.paragraph.items.push_back(it);
        }
        m.blocks.push_back(b);
    }
    return m;
}

// n paragraphs after a rows x columns table whose first cell holds two paragraphs.
DocModel tableAndParagraphs(int rows, int columns, int n)
{
    DocModel m = paragraphs(n);
    Table t;
    t.rows = rows;
    t.columns = columns;
    t.cells.resize(size_t(rows * columns));
    t.cells[0].resize(2);
    m.tables.push_back(t);
    Block b;
    b.kind = Block::Kind::Table;
    b.table = 0;
    m.blocks.insert(m.blocks.begin(), b);
    return m;
}

// One paragraph of n one-character runs in alternating styles.
DocModel items(int n)
{
    DocModel m;
    Block b;
    for (int i = 0; i < n; ++i) {
        Item it;
        it.style = i % 2;
        it.text = "x";
        b.paragraph.items.push_back(it);
    }
    m.blocks.push_back(b);
    return m;
}

// Pictures of the given sizes; the first `shown` of them are shown by an item, the others
// only stored.
DocModel pictures(const std::vector<QSize>& sizes, size_t shown)
{
    DocModel m;
    Block b;
    for (size_t i = 0; i < sizes.size(); ++i) {
        m.pictures.push_back({PictureFormat::Png, pictureString(sizes[i].width(), sizes[i].height(), Qt::red)});
        if (i >= shown) continue;
        Item it;
        it.kind = Item::Kind::Picture;
        it.index = int(i);
        b.paragraph.items.push_back(it);
    }
    m.blocks.push_back(b);
    return m;
}

QByteArray bytesOf(const DocModel& m)
{
    const std::string s = writeRvf(m);
    return QByteArray(s.data(), qsizetype(s.size()));
}

}  // namespace

TEST(Editor, DocumentsBeyondTheLimitsAreRefusedWithWhatExceeded)
{
    const DocumentLimits small{10, 30, 12, 1000};
    const QByteArray cut = bytesOf(paragraphs(40)).left(200);
    struct Case {
        const char* name;
        DocumentLimits limits;
        QByteArray bytes;
        const char* error;  // nullptr: loads
    };
    const Case cases[] = {
        {"paragraphs at the limit", small, bytesOf(paragraphs(10)), nullptr},
        {"one paragraph more", small, bytesOf(paragraphs(11)),
         "This document is too large to show: 11 paragraphs, the limit is 10"},
        {"far more paragraphs are all counted", small, bytesOf(paragraphs(1000)),
         "This document is too large to show: 1000 paragraphs, the limit is 10"},
        // A 2 x 3 table counts its cells, the two-paragraph cell twice: 7, and 3 paragraphs.
        {"table cells at the limit", small, bytesOf(tableAndParagraphs(2, 3, 3)), nullptr},
        {"table cells past the limit", small, bytesOf(tableAndParagraphs(2, 3, 4)),
         "This document is too large to show: 11 paragraphs, the limit is 10"},
        {"a table larger than the limit", small, bytesOf(tableAndParagraphs(10, 10, 0)),
         "This document is too large to show: 101 paragraphs, the limit is 10"},
        {"items at the limit", small, bytesOf(paragraphs(10, 3)), nullptr},
        {"one item more", small, bytesOf(paragraphs(10, 3, 1)),
         "This document is too large to show: 31 items, the limit is 30"},
        {"a paragraph's items at the limit", small, bytesOf(items(12)), nullptr},
        {"one item more in a paragraph", small, bytesOf(items(13)),
         "This document is too large to show: a paragraph of 13 items, the limit is 12"},
        {"shown pictures at the limit", small, bytesOf(pictures({{20, 20}, {30, 20}}, 2)), nullptr},
        {"one pixel more", small, bytesOf(pictures({{20, 20}, {30, 20}, {1, 1}}, 3)),
         "This document is too large to show: its pictures have 1001 pixels, the limit is 1000"},
        {"stored pictures no item shows cost nothing", small, bytesOf(pictures({{20, 20}, {200, 200}}, 1)), nullptr},
        {"damage is reported before size", small, cut, "damaged at byte "},
        {"the program's limits, compressed body",
         {},
         bytesOf(paragraphs(200'001)),
         "This document is too large to show: 200001 paragraphs, the limit is 200000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RichEditor ed;
        ed.appendParagraph("previous document");
        ed.setDocumentLimits(c.limits);
        if (!c.error) {
            EXPECT_NO_THROW(ed.loadFromBytes(c.bytes));
            EXPECT_FALSE(ed.lastLoadFailed());
            continue;
        }
        try {
            ed.loadFromBytes(c.bytes);
            ADD_FAILURE() << "loaded";
        } catch (const DocumentTooLarge& e) {
            EXPECT_EQ(std::string(e.what()), c.error);
        } catch (const RichTextError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.error, 0), 0u) << e.what();
        }
        // Nothing of either document is shown, and the empty result is not saved over the body.
        EXPECT_TRUE(ed.lastLoadFailed());
        EXPECT_EQ(ed.itemCount(), 0);
        EXPECT_THROW(ed.saveToBytes(), RichTextError);
    }
    // A stored picture no item shows is not even decoded.
    const DocModel m = pictures({{20, 20}, {200, 200}}, 1);
    EXPECT_EQ(shownPicturePixels(m), 400);
    RichEditor ed;
    ed.loadFromBytes(bytesOf(m));
    auto decoded = [&](const std::string& bytes) {
        const QByteArray key = QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha1);
        return ed.document()
            ->resource(QTextDocument::ImageResource, QUrl("vtpic:" + QString::fromLatin1(key.toHex().left(16))))
            .isValid();
    };
    EXPECT_TRUE(decoded(m.pictures[0].bytes));
    EXPECT_FALSE(decoded(m.pictures[1].bytes));
}
