// The formatting toolbar, the editor's context menu and shortcuts, and printing, on the real
// main window offscreen: each conversion code on a selection, styles reused rather than
// duplicated, the toolbar following the caret, and printed pages read back from PDF files.

#include "AppFixture.h"

#include "richtext/RichEditor.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QToolButton>

#include <functional>

using namespace vt::app;
using vt::rt::Alignment;
using vt::rt::ParaStyle;
using vt::rt::TextStyle;

class Formatting : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        startApp();
        mainWindow().show();
        // The document panel as when a document is selected.
        mainChild<QWidget>("Pan_Content").show();
        mainChild<QWidget>("Pan_Req_Panel").show();
        // Showing a document turns the toolbar on; it is off while none is shown.
        mainChild<QWidget>("speedPanel").setEnabled(true);
        editor().clear();
        editor().appendParagraph(QStringLiteral("Hello world"));
        editor().setModified(false);
    }

    vt::rt::RichEditor& editor() { return mainChild<vt::rt::RichEditor>("RichEdit1"); }
    QToolButton& button(const char* name) { return mainChild<QToolButton>(name); }
    QComboBox& combo(const char* name) { return mainChild<QComboBox>(name); }

    void select(int from, int to)
    {
        QTextCursor c = editor().textCursor();
        c.setPosition(from);
        c.setPosition(to, QTextCursor::KeepAnchor);
        editor().setTextCursor(c);
    }
    // The text style of the first run holding text (runs of one style are merged).
    TextStyle styleOf(const QString& text)
    {
        const vt::rt::DocModel model = editor().toModel();
        for (const auto& block : model.blocks)
            for (const auto& item : block.paragraph.items)
                if (QString::fromStdString(item.text).contains(text)) return model.styles.text(item.style);
        ADD_FAILURE() << "no run " << text.toStdString();
        return {};
    }
    int styleNoOf(const QString& text)
    {
        const vt::rt::DocModel model = editor().toModel();
        for (const auto& block : model.blocks)
            for (const auto& item : block.paragraph.items)
                if (QString::fromStdString(item.text).contains(text)) return item.style;
        return -1;
    }
    ParaStyle firstParagraph() { return editor().styles().para(editor().currentParaStyle()); }
};

TEST_F(Formatting, EachTextCodeChangesOnlyTheSelection)
{
    struct Case {
        const char* what;
        std::function<void()> act;
        std::function<bool(const TextStyle&)> holds;
    };
    const Case cases[] = {
        {"Bold", [this] { button("btnBold").click(); }, [](const TextStyle& s) { return s.bold; }},
        {"Italic", [this] { button("btnItalic").click(); }, [](const TextStyle& s) { return s.italic; }},
        {"Underline", [this] { button("btnUnderline").click(); }, [](const TextStyle& s) { return s.underline; }},
        {"font name box",
         [this] {
             QComboBox& box = combo("cmbFont");
             box.setCurrentIndex(box.findText("Courier New"));
             emit box.activated(box.currentIndex());
         },
         [](const TextStyle& s) { return s.fontName == "Courier New"; }},
        {"font dialog",
         [this] {
             QFont font("Times New Roman", 14);
             font.setBold(true);
             font.setStrikeOut(true);
             m_platform.fonts.push_back(font);
             button("btnFont").click();
         },
         [](const TextStyle& s) {
             return s.fontName == "Times New Roman" && s.size == 14 && s.bold && s.strikeOut && !s.italic;
         }},
        {"size box with Enter",
         [this] {
             QComboBox& box = combo("cmbFontSize");
             box.lineEdit()->selectAll();
             QTest::keyClicks(&box, "14");
             QTest::keyClick(&box, Qt::Key_Return);
         },
         [](const TextStyle& s) { return s.size == 14; }},
        {"text colour",
         [this] {
             m_platform.colors.push_back(QColor(0x12, 0x34, 0x56));
             button("btnFontColor").click();
         },
         [](const TextStyle& s) { return s.color == 0x123456; }},
        {"background colour (No, then a colour)",
         [this] {
             m_platform.answers.push_back(Platform::Answer::No);
             m_platform.colors.push_back(QColor(Qt::yellow));
             button("btnFontBackColor").click();
         },
         [](const TextStyle& s) { return !s.transparentBack && s.backColor == 0xFFFF00; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        editor().clear();
        editor().appendParagraph(QStringLiteral("Hello world"));
        editor().notifyCurrentStyles();
        select(6, 11);
        c.act();
        EXPECT_TRUE(c.holds(styleOf("world")));
        EXPECT_FALSE(c.holds(styleOf("Hello ")));
        EXPECT_EQ(styleOf("Hello ").fontName, "Arial");
        EXPECT_TRUE(editor().isModified());
        EXPECT_EQ(m_platform.messages(), QStringList{});
    }
}

TEST_F(Formatting, EqualStylesAreReusedAndCancelledDialogsChangeNothing)
{
    const int before = editor().styles().textCount();
    select(0, 5);
    button("btnBold").click();
    select(6, 11);
    editor().notifyCurrentStyles();
    button("btnBold").click();
    EXPECT_EQ(editor().styles().textCount(), before + 1);
    EXPECT_EQ(styleNoOf("Hello"), styleNoOf("world"));

    // Clicking "Left" on a left-aligned paragraph runs a conversion that answers its own style.
    const int paraBefore = editor().styles().paraCount();
    const int paraStyle = editor().currentParaStyle();
    ASSERT_TRUE(button("btnLeft").isChecked());
    button("btnLeft").click();
    EXPECT_TRUE(button("btnLeft").isChecked());
    EXPECT_EQ(editor().currentParaStyle(), paraStyle);
    EXPECT_EQ(editor().styles().paraCount(), paraBefore);

    // Cancelled font dialog, colour dialog and question: the document stays as it was.
    const vt::rt::DocModel model = editor().toModel();
    editor().setModified(false);
    button("btnFont").click();
    button("btnFontColor").click();
    m_platform.answers.push_back(Platform::Answer::Cancel);
    button("btnFontBackColor").click();
    m_platform.answers.push_back(Platform::Answer::No);  // then the colour dialog is cancelled
    button("btnFontBackColor").click();
    EXPECT_EQ(editor().toModel(), model);
    EXPECT_FALSE(editor().isModified());
    QStringList kinds;
    for (const auto& s : m_platform.shown)
        kinds << s.kind;
    EXPECT_EQ(kinds, (QStringList{"font", "color", "yesnocancel", "yesnocancel", "color"}));
    EXPECT_EQ(m_platform.shown[2].text,
              "Make the selected text background transparent?\r(YES - make transparent; NO - choose color)");
}

TEST_F(Formatting, NothingIsFormattedWhileTheEditorIsHiddenOrDisabled)
{
    select(0, 5);
    const vt::rt::DocModel model = editor().toModel();
    // A disabled editor holds a "not found" message, not a body.
    editor().setEnabled(false);
    button("btnBold").click();
    button("btnCenter").click();
    EXPECT_EQ(editor().toModel(), model);
    EXPECT_FALSE(editor().isModified());
    // Another node's panel is shown: the editor keeps the last body out of sight.
    editor().setEnabled(true);
    mainChild<QWidget>("Pan_Req_Panel").hide();
    button("btnItalic").click();
    button("btnIdentInc").click();
    EXPECT_EQ(editor().toModel(), model);
    EXPECT_FALSE(editor().isModified());
}

TEST_F(Formatting, ParagraphCodesAlignAndIndentWithinTheirLimits)
{
    const std::pair<const char*, Alignment> alignments[] = {{"btnCenter", Alignment::Center},
                                                            {"btnRight", Alignment::Right},
                                                            {"btnJustify", Alignment::Justify},
                                                            {"btnLeft", Alignment::Left}};
    for (const auto& [name, alignment] : alignments) {
        button(name).click();
        EXPECT_EQ(firstParagraph().alignment, alignment) << name;
        for (const char* other : {"btnLeft", "btnCenter", "btnRight", "btnJustify"})
            EXPECT_EQ(button(other).isChecked(), std::string(other) == name) << name << " " << other;
    }

    for (int i = 0; i < 11; ++i)
        button("btnIdentInc").click();
    EXPECT_EQ(firstParagraph().leftIndent, 200);
    editor().convertSelectedParagraphs([](ParaStyle& p) { p.leftIndent = 10; });
    button("btnIdentDec").click();
    EXPECT_EQ(firstParagraph().leftIndent, 0);
    button("btnIdentDec").click();
    EXPECT_EQ(firstParagraph().leftIndent, 0);
}

TEST_F(Formatting, ContextMenuShortcutsSizeBoxAndBackgroundQuestion)
{
    // Caret in bold text: the toolbar shows it, and "Bold" of the context menu turns it off.
    select(0, 5);
    button("btnBold").click();
    select(1, 1);
    editor().notifyCurrentStyles();
    ASSERT_TRUE(button("btnBold").isChecked());
    select(0, 5);
    mainChild<QAction>("Bold1").trigger();
    EXPECT_FALSE(button("btnBold").isChecked());
    EXPECT_FALSE(styleOf("Hello").bold);
    mainChild<QAction>("Italic1").trigger();
    EXPECT_TRUE(styleOf("Hello").italic);
    EXPECT_TRUE(button("btnItalic").isChecked());

    // Ctrl+B and Ctrl+U run the menu's commands; Ctrl+Shift+B and Ctrl+I do nothing here.
    select(6, 11);
    editor().notifyCurrentStyles();
    QTest::keyClick(&editor(), Qt::Key_B, Qt::ControlModifier);
    EXPECT_TRUE(styleOf("world").bold);
    QTest::keyClick(&editor(), Qt::Key_U, Qt::ControlModifier);
    EXPECT_TRUE(styleOf("world").underline);
    const vt::rt::DocModel model = editor().toModel();
    const bool italicDown = button("btnItalic").isChecked();
    QTest::keyClick(&editor(), Qt::Key_B, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(&editor(), Qt::Key_I, Qt::ControlModifier);
    EXPECT_EQ(editor().toModel(), model);
    EXPECT_EQ(button("btnItalic").isChecked(), italicDown);
    EXPECT_EQ(editor().toPlainText(), "Hello world");

    // Letters in the size box and Enter apply size 10; Enter goes no further than the box.
    select(0, 5);
    editor().convertSelectedText([](TextStyle& s) { s.size = 18; });
    QComboBox& size = combo("cmbFontSize");
    size.lineEdit()->selectAll();
    QTest::keyClicks(&size, "abc");
    QTest::keyClick(&size, Qt::Key_Return);
    EXPECT_EQ(styleOf("Hello").size, 10);
    EXPECT_EQ(size.count(), 16);

    // "No" for a transparent background opens the colour dialog on white.
    m_platform.clear();
    m_platform.answers.push_back(Platform::Answer::No);
    button("btnFontBackColor").click();
    ASSERT_EQ(m_platform.shown.size(), 2u);
    EXPECT_EQ(m_platform.shown[1].kind, "color");
    EXPECT_EQ(m_platform.shown[1].text, "#ffffff");
    // "Yes" makes it transparent again.
    m_platform.answers.push_back(Platform::Answer::No);
    m_platform.colors.push_back(QColor(Qt::cyan));
    button("btnFontBackColor").click();
    EXPECT_FALSE(styleOf("Hello").transparentBack);
    m_platform.answers.push_back(Platform::Answer::Yes);
    button("btnFontBackColor").click();
    EXPECT_TRUE(styleOf("Hello").transparentBack);
}

TEST_F(Formatting, ToolbarFollowsTheCaretWithoutApplyingWhatItShows)
{
    editor().clear();
    editor().appendParagraph(QStringLiteral("plain"));
    editor().appendParagraph(QStringLiteral("styled"));
    editor().appendParagraph(QStringLiteral("odd font"));
    select(6, 12);
    editor().convertSelectedText([](TextStyle& s) {
        s.fontName = "Courier New";
        s.size = 14;
        s.bold = true;
        s.underline = true;
    });
    editor().convertSelectedParagraphs([](ParaStyle& p) { p.alignment = Alignment::Center; });
    select(13, 21);
    editor().convertSelectedText([](TextStyle& s) { s.fontName = "No Such Font"; });
    editor().setModified(false);
    const int textStyles = editor().styles().textCount();

    select(8, 8);
    EXPECT_EQ(combo("cmbFont").currentText(), "Courier New");
    EXPECT_EQ(combo("cmbFontSize").currentText(), "14");
    EXPECT_TRUE(button("btnBold").isChecked());
    EXPECT_FALSE(button("btnItalic").isChecked());
    EXPECT_TRUE(button("btnUnderline").isChecked());
    EXPECT_TRUE(button("btnCenter").isChecked());

    select(15, 15);
    // A font that is not installed is shown by its name, and nothing of it is changed.
    EXPECT_EQ(combo("cmbFont").currentIndex(), -1);
    EXPECT_EQ(combo("cmbFont").placeholderText(), "No Such Font");
    EXPECT_TRUE(combo("cmbFont").toolTip().contains("No Such Font"));
    EXPECT_EQ(editor().styles().text(editor().currentTextStyle()).fontName, "No Such Font");
    EXPECT_EQ(combo("cmbFontSize").currentText(), "10");
    EXPECT_FALSE(button("btnBold").isChecked());
    EXPECT_TRUE(button("btnLeft").isChecked());

    select(1, 1);
    EXPECT_EQ(combo("cmbFont").currentText(), "Arial");
    // Showing the caret's style applied nothing.
    EXPECT_EQ(editor().styles().textCount(), textStyles);
    EXPECT_FALSE(editor().isModified());
}

// ---- printing ----

namespace {

QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString pdfInfo(const QString& file, const QString& key)
{
    for (const QString& line : run("pdfinfo", {file}).split('\n'))
        if (line.startsWith(key + ":")) return line.mid(key.size() + 1).trimmed();
    return {};
}

// The first line of each page's text.
QStringList pageHeads(const QString& file)
{
    QStringList heads;
    const int pages = pdfInfo(file, "Pages").toInt();
    for (int p = 1; p <= pages; ++p)
        heads << run("pdftotext", {"-f", QString::number(p), "-l", QString::number(p), "-layout", file, "-"})
                     .trimmed()
                     .section('\n', 0, 0)
                     .trimmed();
    return heads;
}

}  // namespace

class Printing : public Formatting {
protected:
    void SetUp() override
    {
        Formatting::SetUp();
        if (QStandardPaths::findExecutable("pdfinfo").isEmpty()) GTEST_SKIP() << "poppler-utils are not installed";
        editor().clear();
        for (int i = 1; i <= 150; ++i)
            editor().appendParagraph(QStringLiteral("Line %1").arg(i, 3, 10, QLatin1Char('0')));
        mainChild<QLineEdit>("Edit_RequireMentName").setText(QStringLiteral("Quarterly Plan"));
        QObject::connect(&mainWindow(), &TVeltrana::statusTextShown, [this](const QString& t) { m_status << t; });
    }
    // Scripts the print dialog: confirmed, into a PDF file, with the choices given.
    QString choose(const std::function<void(QPrinter&)>& choices)
    {
        const QString file = path(QStringLiteral("out%1.pdf").arg(++m_files));
        m_platform.printAnswers.push_back(true);
        m_platform.printChoices.push_back([file, choices](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(file);
            choices(printer);
        });
        return file;
    }
    QStringList m_status;
    int m_files = 0;
};

TEST_F(Printing, AllPagesUnderTheTopicWithProgressInTheStatusBar)
{
    const QString file = choose([](QPrinter&) {});
    mainWindow().Print1Click();
    ASSERT_EQ(m_platform.messages(), QStringList{});
    ASSERT_EQ(m_platform.shown.size(), 1u);
    const QString offered = m_platform.shown[0].text;  // "1-N"
    const int pages = offered.section('-', 1).toInt();
    ASSERT_GE(pages, 3) << offered.toStdString();
    EXPECT_EQ(offered, "1-" + QString::number(pages));
    EXPECT_EQ(pdfInfo(file, "Pages").toInt(), pages);
    EXPECT_EQ(pdfInfo(file, "Title"), "Quarterly Plan");
    const QStringList heads = pageHeads(file);
    EXPECT_EQ(heads.front(), "Line 001");

    // Laying out reports each page, then sending reports each page, each ending empty.
    QStringList expected{"Repaginating..."};
    for (int p = 1; p <= pages; ++p)
        expected << QStringLiteral("Repaginating (%1)").arg(p);
    expected << "";
    QStringList sending{"Starting..."};
    for (int p = 1; p <= pages; ++p)
        sending << QStringLiteral("Printing (%1)").arg(p);
    sending << "";
    ASSERT_GE(m_status.size(), expected.size() + sending.size());
    EXPECT_EQ(m_status.mid(0, expected.size()), expected);
    EXPECT_EQ(m_status.mid(m_status.size() - sending.size()), sending);
    EXPECT_EQ(m_platform.waitDepth, 0);
}

TEST_F(Printing, PageRangeCopiesAndCollation)
{
    const QString collated = choose([](QPrinter& p) {
        p.setPrintRange(QPrinter::PageRange);
        p.setFromTo(2, 3);
        p.setCopyCount(2);
        p.setCollateCopies(true);
    });
    mainWindow().Print1Click();
    const QStringList heads = pageHeads(collated);
    ASSERT_EQ(heads.size(), 4);
    EXPECT_NE(heads[0], heads[1]);
    EXPECT_EQ(heads[2], heads[0]);
    EXPECT_EQ(heads[3], heads[1]);
    EXPECT_NE(heads[0], "Line 001");

    const QString grouped = choose([](QPrinter& p) {
        p.setPrintRange(QPrinter::PageRange);
        p.setFromTo(2, 3);
        p.setCopyCount(2);
        p.setCollateCopies(false);
    });
    mainWindow().Print1Click();
    EXPECT_EQ(pageHeads(grouped), (QStringList{heads[0], heads[0], heads[1], heads[1]}));
    EXPECT_EQ(m_platform.messages(), QStringList{});
}

TEST_F(Printing, SelectionRangeCancelAndEmptyDocumentPrintNothing)
{
    const QString selection = choose([](QPrinter& p) { p.setPrintRange(QPrinter::Selection); });
    mainWindow().Print1Click();
    EXPECT_FALSE(QFileInfo::exists(selection));

    m_platform.clear();
    m_platform.printAnswers.push_back(false);
    mainWindow().Print1Click();
    EXPECT_EQ(m_platform.shown.size(), 1u);
    EXPECT_EQ(m_platform.messages(), QStringList{});

    // A printer that cannot be opened is told, not taken for printed pages.
    m_platform.clear();
    m_platform.printAnswers.push_back(true);
    m_platform.printChoices.push_back([this](QPrinter& p) {
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(path("no such folder/out.pdf"));
    });
    mainWindow().Print1Click();
    ASSERT_EQ(m_platform.messages().size(), 1);
    EXPECT_TRUE(m_platform.messages()[0].startsWith("Nothing was printed"));

    m_platform.clear();
    editor().clear();
    mainWindow().Print1Click();
    EXPECT_EQ(m_platform.messages(), QStringList{"Nothing to Print"});
    EXPECT_EQ(m_platform.shown.size(), 1u);  // no print dialog
}
