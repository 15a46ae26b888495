// What the search box's text becomes for the FULLTEXT indexes: user input never reaches
// boolean-mode syntax except as words of letters and digits, and what the index cannot find
// is checked with LIKE on the term as typed.

#include "data/SearchTerms.h"

#include <gtest/gtest.h>

using namespace vt::app::data::search;

namespace {

struct Case {
    const char* input;
    int tokenSize;
    bool withPairs;
    const char* boolean;  // expected boolean expression
    QStringList likes;    // expected LIKE texts
};

}  // namespace

TEST(SearchTerms, BooleanExpressionAndLikeFallbacks)
{
    const Case cases[] = {
        {"café", 2, false, "+café", {}},
        {"UI", 2, false, "+UI", {}},
        {"UI", 3, false, "", {"UI"}},  // shorter than the server's token size
        {"C++", 2, false, "", {"C++"}},
        {"REQ-1042", 2, false, "+\"REQ 1042\"", {}},  // a phrase, never an exclusion
        {"e-mail", 2, false, "+mail", {"e-mail"}},
        {"\"project plan\" budget", 2, false, "+\"project plan\" +budget", {}},
        {"\"QA plan", 3, false, "+plan", {"QA plan"}},  // an unclosed quote runs to the end
        {"mana*", 2, false, "+mana*", {}},
        {"project pl*", 2, false, "+project +pl*", {}},        // two terms
        {"\"project pl\"*", 2, false, "+\"project pl\"", {}},  // a '*' after a phrase is no prefix
        {"REQ-10*", 2, false, "+REQ +10*", {"REQ-10"}},
        // Markup, quotes, comment markers and operators are no syntax: only words go through.
        {"<b>x</b> it's", 2, false, "+it", {"<b>x</b>", "it's"}},
        {"'; drop table Users; --", 2, false, "+drop +table +Users", {}},
        {"+a -b ~c @d (e) >f", 1, false, "+a +b +c +d +e +f", {}},
        {"-- * \"\"", 2, false, "", {}},
        // Chinese and Japanese: pairs where the pairs are stored (bodies), LIKE elsewhere.
        {"需求", 2, true, "+需求", {}},
        {"管理系统", 2, true, "+\"管理 理系 系统\"", {}},
        {"管理系统", 2, false, "", {"管理系统"}},
        {"管", 2, true, "", {"管"}},
        {"Qt需求", 2, true, "+需求", {"Qt需求"}},
        {"仕様書", 2, true, "+\"仕様 様書\"", {}},
    };
    for (const Case& c : cases) {
        const TermConditions got = termConditions(parseTerms(QString::fromUtf8(c.input)), c.tokenSize, c.withPairs);
        EXPECT_EQ(got.boolean, QString::fromUtf8(c.boolean)) << c.input;
        EXPECT_EQ(got.likes, c.likes) << c.input;
    }
}

TEST(SearchTerms, TermsAreCappedAndEmptyInputGivesNone)
{
    EXPECT_TRUE(parseTerms(QString()).isEmpty());
    EXPECT_TRUE(parseTerms(QStringLiteral("   \t ")).isEmpty());
    QString many;
    for (int i = 0; i < 40; ++i)
        many += QStringLiteral("word%1 ").arg(i);
    EXPECT_EQ(parseTerms(many).size(), kMaxTerms);
    // A NUL is no word character: it separates words and never reaches the expression.
    const QString withNul = QStringLiteral("abc") + QChar(0) + QStringLiteral("def");
    EXPECT_EQ(termConditions(parseTerms(withNul), 2, false).boolean, QStringLiteral("+\"abc def\""));
}

TEST(SearchTerms, CjkRunsBecomeOverlappingPairs)
{
    EXPECT_EQ(cjkPairs(QStringLiteral("需求管理 and 仕様書を作成")),
              QStringLiteral("需求 求管 管理 仕様 様書 書を を作 作成"));
    EXPECT_EQ(cjkPairs(QStringLiteral("a 管 b")), QString());  // a single character gives none
    EXPECT_EQ(cjkPairs(QStringLiteral("no such script")), QString());
    // A character outside the basic plane (CJK extension B) stays whole in its pair.
    const QString ext = QString::fromUcs4(U"\U00020000\u4E00");
    EXPECT_EQ(cjkPairs(ext), ext);
}

TEST(SearchTerms, LikePatternEscapesItsWildcards)
{
    EXPECT_EQ(likeAnywhere(QStringLiteral("50%_a\\b")), QStringLiteral("%50\\%\\_a\\\\b%"));
}

TEST(SearchTerms, SnippetIsEscapedAndMatchesAreBoldWithoutRegardToCaseAndAccents)
{
    const auto terms = parseTerms(QStringLiteral("cafe \"<b>\""));
    EXPECT_EQ(highlighted(QStringLiteral("Le CAFÉ <b> & café"), terms),
              QStringLiteral("Le <b>CAFÉ</b> <b>&lt;b&gt;</b> &amp; <b>café</b>"));
    EXPECT_EQ(anchorWord(parseTerms(QStringLiteral("e-mail x"))), QStringLiteral("mail"));
    EXPECT_EQ(anchorWord(parseTerms(QStringLiteral("C++"))), QStringLiteral("C"));
}
