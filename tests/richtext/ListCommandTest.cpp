// The list commands of the editor: starting, continuing, ending and nesting lists, and keeping
// them through the document format and RTF.
#include "richtext/RichEditor.h"

#include <QKeyEvent>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextList>

#include <gtest/gtest.h>

using namespace vt::rt;

namespace {

// The body as one line per paragraph: "text" for a plain paragraph, "text [list kind level]"
// for a list item, where list is the list's number in the model.
std::vector<std::string> shape(const DocModel& m)
{
    std::vector<std::string> lines;
    for (const Block& b : m.blocks) {
        if (b.kind != Block::Kind::Paragraph) continue;
        std::string line;
        for (const Item& it : b.paragraph.items)
            line += it.text;
        if (b.paragraph.list >= 0) {
            const ListDef& def = m.lists.at(size_t(b.paragraph.list));
            line += " [" + std::to_string(b.paragraph.list) + " " + std::to_string(int(def.kind)) + " " +
                    std::to_string(def.level) + "]";
        }
        lines.push_back(line);
    }
    return lines;
}

// An editor with one plain paragraph per text.
void fill(RichEditor& ed, const std::vector<const char*>& texts)
{
    ed.clear();
    for (size_t i = 0; i < texts.size(); ++i) {
        if (i == 0) {
            QTextCursor c(ed.document());
            c.insertText(QString::fromUtf8(texts[0]));
        } else {
            ed.appendParagraph(QString::fromUtf8(texts[i]));
        }
    }
}

// Selects paragraphs first..last (0-based), or puts the caret into first when last < 0.
void selectParagraphs(RichEditor& ed, int first, int last = -1)
{
    QTextCursor c(ed.document()->findBlockByNumber(first));
    if (last >= 0) {
        const QTextBlock end = ed.document()->findBlockByNumber(last);
        c.setPosition(end.position() + end.length() - 1, QTextCursor::KeepAnchor);
    }
    ed.setTextCursor(c);
}

constexpr int kDisc = int(ListKind::Disc);
constexpr int kDecimal = int(ListKind::Decimal);

std::string item(const char* text, int list, int kind, int level)
{
    return std::string(text) + " [" + std::to_string(list) + " " + std::to_string(kind) + " " + std::to_string(level) +
           "]";
}

}  // namespace

TEST(ListCommands, StartContinueEndAndSwitchKind)
{
    RichEditor ed;
    fill(ed, {"intro", "one", "two", "three", "after"});

    // Start: a numbered list over two selected paragraphs, a user edit.
    selectParagraphs(ed, 1, 2);
    ed.toggleList(ListKind::Decimal);
    EXPECT_TRUE(ed.isModified());
    EXPECT_EQ(shape(ed.toModel()), (std::vector<std::string>{"intro", item("one", 0, kDecimal, 1),
                                                             item("two", 0, kDecimal, 1), "three", "after"}));

    // Continue: the next paragraph joins the same list, so its number goes on (3).
    selectParagraphs(ed, 3);
    ed.toggleList(ListKind::Decimal);
    EXPECT_EQ(shape(ed.toModel())[3], item("three", 0, kDecimal, 1));
    EXPECT_EQ(ed.document()->findBlockByNumber(3).textList()->itemNumber(ed.document()->findBlockByNumber(3)), 2);

    // End: the command on items of its own kind takes them out of the list; the paragraphs
    // keep no indent of the list.
    selectParagraphs(ed, 3);
    ed.toggleList(ListKind::Decimal);
    EXPECT_EQ(shape(ed.toModel())[3], "three");
    EXPECT_EQ(ed.document()->findBlockByNumber(3).blockFormat().indent(), 0);

    // Another kind over items turns them into items of that kind, not into plain paragraphs.
    selectParagraphs(ed, 1, 2);
    ed.toggleList(ListKind::Disc);
    const auto bullets = shape(ed.toModel());
    EXPECT_EQ(bullets[1], item("one", 0, kDisc, 1));
    EXPECT_EQ(bullets[2], item("two", 0, kDisc, 1));

    // A mixed selection (items and a plain paragraph) becomes one list.
    selectParagraphs(ed, 2, 3);
    ed.toggleList(ListKind::Disc);
    const auto mixed = shape(ed.toModel());
    EXPECT_EQ(mixed[2], item("two", 0, kDisc, 1));
    EXPECT_EQ(mixed[3], item("three", 0, kDisc, 1));
    EXPECT_EQ(mixed[4], "after");
}

TEST(ListCommands, NestingByLevelAndTabKeysThenFormatRoundTrip)
{
    RichEditor ed;
    fill(ed, {"top", "inner a", "inner b", "back out", "plain"});
    selectParagraphs(ed, 0, 3);
    ed.toggleList(ListKind::Decimal);

    // Tab at the start of an item nests it; a second nested item continues the inner list.
    selectParagraphs(ed, 1);
    QTest::keyClick(&ed, Qt::Key_Tab);
    selectParagraphs(ed, 2);
    ed.changeListLevel(1);
    // Shift+Tab brings an item out again, into the outer list, whose numbering goes on.
    selectParagraphs(ed, 3);
    ed.changeListLevel(1);
    QTest::keyClick(&ed, Qt::Key_Backtab);
    // Levels stop at 1: bringing a top item further out leaves it.
    selectParagraphs(ed, 0);
    ed.changeListLevel(-1);

    const DocModel model = ed.toModel();
    const std::vector<std::string> expected = {item("top", 0, kDecimal, 1), item("inner a", 1, kDecimal, 2),
                                               item("inner b", 1, kDecimal, 2), item("back out", 0, kDecimal, 1),
                                               "plain"};
    EXPECT_EQ(shape(model), expected);
    EXPECT_EQ(ed.document()->findBlockByNumber(3).textList()->itemNumber(ed.document()->findBlockByNumber(3)), 1)
        << "the outer list goes on with number 2";

    // Tab elsewhere is typed as text.
    selectParagraphs(ed, 4);
    QTest::keyClick(&ed, Qt::Key_Tab);
    EXPECT_EQ(ed.document()->findBlockByNumber(4).text(), QStringLiteral("\tplain"));

    // The document format keeps lists, kinds and levels.
    RichEditor back;
    back.loadFromBytes(ed.saveToBytes());
    EXPECT_EQ(shape(back.toModel()), shape(ed.toModel()));
}
