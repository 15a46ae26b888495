// Names, topics, references and server texts are shown as typed: every label that shows data
// and every message box of the desktop platform take their text as plain text, so markup in the
// data neither formats nor loads anything (an <img> of /dev/zero would read until memory ran out).

#include "AppFixture.h"
#include "ShownText.h"

#include "platform/QtPlatform.h"
#include "ui/Columns.h"
#include "ui/Ui.h"
#include "windows/CreateProjectsForm.h"
#include "windows/DiscEntryChildForm.h"
#include "windows/UserEditorForm.h"
#include "windows/panels/FormatToolbar.h"

#include "richtext/DocStyles.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTableView>
#include <QToolTip>
#include <QTreeWidget>

using namespace vt::app;
using vt::test::hoverTip;
using vt::test::shownText;
using vt::test::tailLeftToRight;

namespace {

const QString kHostile[] = {
    QStringLiteral("<b>x</b>"),
    QStringLiteral("&amp;"),
    QStringLiteral("<a href=\"javascript:alert(1)\">click</a>"),
    QStringLiteral("<qt><h1>big</h1>"),
    QStringLiteral("Ünïcödé <i>Café</i> 日本"),
    QStringLiteral("<img src=\"/dev/zero\">"),
};

// Texts that are no markup but test what a tooltip keeps: runs of spaces, line breaks, a bidi
// override, combining marks, 4-byte characters and a long word without a space.
const QString kOdd[] = {
    QStringLiteral("a  b\nc"),
    QString::fromUtf8("\u202Eevil.exe\u202C done"),
    QString::fromUtf8("e\u0301\u0301\u0301 \U0001F600 \U00020BB7"),
    QString(3000, QLatin1Char('W')),
};

// The label is plain text and shows exactly text.
void expectLiteral(const QLabel& label, const QString& text)
{
    EXPECT_EQ(label.textFormat(), Qt::PlainText) << label.objectName().toStdString();
    EXPECT_EQ(label.text(), text) << label.objectName().toStdString();
}

}  // namespace

class PlainText : public AppFixture {};

TEST_F(PlainText, LabelsShowingDataTakeMarkupLiterally)
{
    startApp();
    auto& reply = *forms().Disc_entry_Child_Form;
    auto& editor = *forms().Form_UserEditor;
    QLabel* status = nullptr;
    for (QLabel* label : mainWindow().statusBar()->findChildren<QLabel*>())
        if (label->text() == QLatin1String("Ready")) status = label;
    ASSERT_NE(status, nullptr);

    QStringList texts;
    for (const QString& t : kHostile) texts << t;
    texts << QString(3000, QLatin1Char('W'));
    for (const QString& text : texts) {
        SCOPED_TRACE(text.left(60).toStdString());
        // The reply window's document topic.
        reply.setSource({}, [&] { return text; });
        reply.show();
        expectLiteral(child<QLabel>(reply, "Lab_Requirement"), text);
        // A long word is cut at the label's edge; the window stays within the screen.
        EXPECT_LE(reply.minimumSizeHint().width(), m_platform.screen.width());
        reply.hide();
        // The user editor's account name.
        editor.editAccount(text, {});
        expectLiteral(child<QLabel>(editor, "Lab_Username"), text);
        EXPECT_LE(editor.minimumSizeHint().width(), m_platform.screen.width());
        editor.hide();
        // The status bar's first panel.
        mainWindow().setStatusText(text);
        expectLiteral(*status, text);
    }
    // Labels filled from settings and templates.
    EXPECT_EQ(loginChild<QLabel>("Label1").textFormat(), Qt::PlainText);
    EXPECT_EQ(child<QLabel>(*forms().CreateProjectsForm, "ProjectTypeName").textFormat(), Qt::PlainText);
}

TEST_F(PlainText, DesktopMessageBoxesShowMarkupLiterally)
{
    for (const QString& text : kHostile) {
        SCOPED_TRACE(text.toStdString());
        auto box = makeMessageBox(QMessageBox::Information, QStringLiteral("Veltrana"), text, QMessageBox::Ok);
        ASSERT_EQ(box->textFormat(), Qt::PlainText);
        EXPECT_EQ(box->text(), text);
        // Shown (without waiting for an answer), the box's label holds the text as given.
        box->show();
        QApplication::processEvents();
        const QLabel* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        EXPECT_EQ(label->text(), text);
        box->hide();
    }
}

TEST_F(PlainText, TooltipsShowDataLiterally)
{
    QStringList texts;
    for (const QString& t : kHostile) texts << t;
    for (const QString& t : kOdd) texts << t;
    texts << QString::fromUtf16(u"nul\0inside", 10);

    // A grid over a model and a list of items, as the windows make them readable: the whole text
    // of a cell under the mouse is its tooltip.
    QStandardItemModel model(int(texts.size()), 1);
    for (int i = 0; i < texts.size(); ++i) model.setItem(i, 0, new QStandardItem(texts[i]));
    QTableView grid;
    grid.setModel(&model);
    QTreeWidget tree;
    for (const QString& t : texts) new QTreeWidgetItem(&tree, QStringList{t});
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(&grid), static_cast<QAbstractItemView*>(&tree)}) {
        vt::app::ui::readableColumns(view);
        view->resize(200, 4000);
        view->show();
        for (int i = 0; i < texts.size(); ++i) {
            SCOPED_TRACE(texts[i].left(60).toStdString());
            const QString tip = hoverTip(*view, view->model()->index(i, 0));
            if (texts[i].contains(QChar(0))) continue;  // shown without crashing is enough
            EXPECT_EQ(shownText(tip), texts[i]);
        }
        view->hide();
    }
    QToolTip::hideText();

    // The font box names a font the body asks for that is not installed.
    FormatToolbar toolbar;
    auto& fonts = child<QComboBox>(toolbar, "cmbFont");
    for (const QString& t : texts) {
        SCOPED_TRACE(t.left(60).toStdString());
        vt::rt::TextStyle style;
        style.fontName = t.toStdString();
        toolbar.RichEdit1CurTextStyleChanged(style);
        if (t.contains(QChar(0))) continue;
        EXPECT_EQ(shownText(fonts.toolTip()), t + QStringLiteral(" is not installed; a similar font shows the text."));
    }
}

TEST(Bidi, QuotedTextKeepsItsDirectionMarksToItself)
{
    const QString after = QStringLiteral(" is editing this document since 12:30");
    struct Case {
        QString text;
        QString quoted;  // ⁨ and ⁩ are the isolate's start and end
    };
    const Case cases[] = {
        {u"\u202Eevil"_qs, u"⁨\u202Eevil⁩"_qs},
        {u"\u202Eevil\u202C"_qs, u"⁨\u202Eevil\u202C⁩"_qs},
        {u"\u202Eevil⁩⁩"_qs, u"⁨\u202Eevil⁩"_qs},        // ends of no isolate are dropped
        {u"\u2067\u202Eevil"_qs, u"⁨\u2067\u202Eevil⁩⁩"_qs},  // an isolate left open is closed
        {u"ok\n\u202Eevil"_qs, u"⁨ok \u202Eevil⁩"_qs},        // a break would end the isolate
        {u"a\r\u2029\u0085b"_qs, u"⁨a   b⁩"_qs},
        {u"\u202B\u202D\u202Enested"_qs, u"⁨\u202B\u202D\u202Enested⁩"_qs},
        {u"\u05E9\u05DC\u05D5\u05DD 42"_qs, u"⁨\u05E9\u05DC\u05D5\u05DD 42⁩"_qs},  // right-to-left name
        // Left-to-right text is kept as it is.
        {u"<b>ALICE</b> &amp; 42"_qs, u"<b>ALICE</b> &amp; 42"_qs},
        {u"Ünïcödé e\u0301 \U0001F600"_qs, u"Ünïcödé e\u0301 \U0001F600"_qs},
        {QString(), QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const QString quoted = vt::app::ui::isolated(c.text);
        EXPECT_EQ(quoted, c.quoted);
        EXPECT_TRUE(tailLeftToRight(quoted + after, quoted.size()));
    }
    // The check itself: an override that is not isolated reverses the words after it.
    EXPECT_FALSE(tailLeftToRight(u"\u202Eevil"_qs + after, 5));
}
