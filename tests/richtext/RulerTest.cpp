// The ruler: shows margins and the caret paragraph's indents; dragging changes the selected
// paragraphs through the sheet.
#include "richtext/Ruler.h"
#include "richtext/RichEditor.h"

#include <QTest>
#include <QTextBlock>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace vt::rt;

namespace {

struct Window {
    QWidget w;
    Ruler* ruler = new Ruler;
    RichEditor* ed = new RichEditor;
    Window()
    {
        auto* l = new QVBoxLayout(&w);
        l->setContentsMargins(0, 0, 0, 0);
        l->setSpacing(0);
        l->addWidget(ruler);
        l->addWidget(ed);
        ruler->setEditor(ed);
        w.resize(1000, 400);
        w.show();
        ed->appendParagraph("first");
        ed->appendParagraph("second");
        ed->appendParagraph("third");
    }
    void drag(Ruler::Marker m, int dx)
    {
        int x = ruler->markerX(m);
        int y = m == Ruler::Marker::FirstIndent ? 2 : ruler->height() - 2;
        QTest::mousePress(ruler, Qt::LeftButton, {}, QPoint(x, y));
        QTest::mouseMove(ruler, QPoint(x + dx, y));
        QTest::mouseRelease(ruler, Qt::LeftButton, {}, QPoint(x + dx, y));
    }
    int paraStyleOf(int block)
    {
        return ed->document()->findBlockByNumber(block).blockFormat().intProperty(QTextFormat::UserProperty);
    }
};

}  // namespace

TEST(Ruler, MarkersStandAtTheMarginsAndIndents)
{
    Window win;
    EXPECT_EQ(win.ruler->objectName(), "Ruler1");
    int origin = win.ruler->xForTextPosition(0);
    EXPECT_EQ(win.ruler->markerX(Ruler::Marker::LeftIndent), origin);
    EXPECT_EQ(win.ruler->markerX(Ruler::Marker::FirstIndent), origin);
    EXPECT_EQ(win.ruler->markerX(Ruler::Marker::RightIndent), origin + 672);
    // The text's left edge in the editor is where the ruler puts the left indent.
    QRect caret = win.ed->cursorRect(QTextCursor(win.ed->document()->begin()));
    int caretInRuler = win.ed->viewport()->mapTo(&win.w, caret.topLeft()).x() - win.ruler->mapTo(&win.w, QPoint()).x();
    EXPECT_NEAR(caretInRuler, origin, 2);
}

TEST(Ruler, DraggingAnIndentConvertsTheSelectedParagraphs)
{
    Window win;
    // Select the first two paragraphs.
    QTextCursor c(win.ed->document()->begin());
    c.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    win.ed->setTextCursor(c);
    win.drag(Ruler::Marker::LeftIndent, 48);  // half an inch
    int n = win.paraStyleOf(0);
    EXPECT_EQ(win.paraStyleOf(1), n);
    EXPECT_EQ(win.paraStyleOf(2), 0);
    EXPECT_EQ(win.ed->styles().para(n).leftIndent, 48);
    EXPECT_TRUE(win.ed->isModified());
    int count = win.ed->styles().paraCount();
    // The same drag on the third paragraph reuses the style.
    win.ed->setTextCursor(QTextCursor(win.ed->document()->findBlockByNumber(2)));
    win.drag(Ruler::Marker::LeftIndent, 48);
    EXPECT_EQ(win.paraStyleOf(2), n);
    EXPECT_EQ(win.ed->styles().paraCount(), count);
    // First-line and right indents; positions snap to 1/16 inch; nothing goes below 0.
    win.drag(Ruler::Marker::FirstIndent, 25);
    EXPECT_EQ(win.ed->styles().para(win.paraStyleOf(2)).firstIndent, 24);
    win.drag(Ruler::Marker::RightIndent, -96);
    EXPECT_EQ(win.ed->styles().para(win.paraStyleOf(2)).rightIndent, 96);
    win.drag(Ruler::Marker::LeftIndent, -500);
    EXPECT_EQ(win.ed->styles().para(win.paraStyleOf(2)).leftIndent, 0);
    win.drag(Ruler::Marker::RightIndent, 500);
    EXPECT_EQ(win.ed->styles().para(win.paraStyleOf(2)).rightIndent, 0);
    // The editor lays the paragraph out with the new indent.
    win.ed->setTextCursor(QTextCursor(win.ed->document()->findBlockByNumber(0)));
    EXPECT_EQ(win.ruler->markerX(Ruler::Marker::LeftIndent), win.ruler->xForTextPosition(48));
}
