// The word-level comparison of the history page: pieces that put together give both texts,
// the changed words marked, and bounded work for texts too large to compare word by word.
#include "windows/panels/WordDiff.h"

#include <gtest/gtest.h>

using namespace vt::app::worddiff;

namespace {

// The older text from the same and removed pieces, the newer from the same and added ones.
std::pair<QString, QString> sides(const Result& r)
{
    QString older, newer;
    for (const Piece& p : r.pieces) {
        if (p.kind != Kind::Added) older += p.text;
        if (p.kind != Kind::Removed) newer += p.text;
    }
    return {older, newer};
}

// The pieces as text: [-removed-] {+added+}.
QString marked(const Result& r)
{
    QString out;
    for (const Piece& p : r.pieces)
        out += p.kind == Kind::Same ? p.text : p.kind == Kind::Removed ? "[-" + p.text + "-]" : "{+" + p.text + "+}";
    return out;
}

}  // namespace

TEST(WordDiff, MarksChangedWordsAndRebuildsBothTexts)
{
    const struct {
        const char* older;
        const char* newer;
        const char* marked;
    } cases[] = {
        {"", "", ""},
        {"same text", "same text", "same text"},
        {"", "new words", "{+new words+}"},
        {"old words", "", "[-old words-]"},
        {"alpha beta gamma", "alpha BOB gamma", "alpha [-beta-]{+BOB+} gamma"},
        {"one two three", "one three", "one [-two -]three"},
        {"a b", "a b c", "a b{+ c+}"},
        {"x y z", "z y x", "[-x-]{+z+} y [-z-]{+x+}"},
        {"Grüße <b>&amp;</b>", "Grüße <i>", "Grüße [-<b>&amp;</b>-]{+<i>+}"},
        {"line one\nline two", "line one\nline 2", "line one\nline [-two-]{+2+}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.older);
        const Result r = compare(QString::fromUtf8(c.older), QString::fromUtf8(c.newer));
        EXPECT_FALSE(r.coarse);
        EXPECT_EQ(marked(r), QString::fromUtf8(c.marked));
        EXPECT_EQ(sides(r), std::make_pair(QString::fromUtf8(c.older), QString::fromUtf8(c.newer)));
        for (size_t i = 1; i < r.pieces.size(); ++i)
            EXPECT_NE(r.pieces[i].kind, r.pieces[i - 1].kind);
    }
}

TEST(WordDiff, HtmlEscapesEveryPiece)
{
    const QString html = toHtml(compare("<b>x</b> & y", "<script>alert(1)</script> & y"));
    EXPECT_FALSE(html.contains("<script>"));
    EXPECT_FALSE(html.contains("<b>x"));
    EXPECT_TRUE(html.contains("&lt;script&gt;"));
    EXPECT_TRUE(html.contains("&amp; y"));
}

// Texts whose changed middle is too large for the word table are compared by lines, and when
// the lines are too many as well, the middle is one removed and one added piece: both texts
// still come back whole, and 1 MB texts take no quadratic memory.
TEST(WordDiff, LargeTextsFallBackToCoarserComparisons)
{
    QString older, newer;
    for (int i = 0; i < 400; ++i) {
        older += QStringLiteral("line %1 of the old text\n").arg(i);
        newer +=
            (i % 50 == 7 ? QStringLiteral("changed line %1\n") : QStringLiteral("line %1 of the old text\n")).arg(i);
    }
    const Result byLines = compare(older, newer, 200'000);
    EXPECT_TRUE(byLines.coarse);
    EXPECT_EQ(sides(byLines), std::make_pair(older, newer));
    EXPECT_TRUE(marked(byLines).contains("[-line 7 of the old text\n-]{+changed line 7\n+}"));

    QString big, other;
    for (int i = 0; i < 100'000; ++i) {
        big += QStringLiteral("w%1\n").arg(i);
        other += QStringLiteral("v%1\n").arg(i);
    }
    big = "same\n" + big + "end\n";
    other = "same\n" + other + "end\n";
    const Result whole = compare(big, other);
    EXPECT_TRUE(whole.coarse);
    EXPECT_EQ(sides(whole), std::make_pair(big, other));
    ASSERT_EQ(whole.pieces.size(), 4u);
    EXPECT_EQ(whole.pieces.front(), (Piece{Kind::Same, "same\n"}));
    EXPECT_EQ(whole.pieces.back(), (Piece{Kind::Same, "end\n"}));
}
