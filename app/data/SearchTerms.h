#pragma once
// What a search box's text asks of the server's FULLTEXT indexes: pure functions, no
// statements. The user's text never reaches boolean-mode syntax as typed: it is cut into
// words of letters, digits and '_' (as the server's tokenizer cuts text), and only those words
// are written into the boolean expression, each term as a required word or phrase. What the
// index cannot find (words shorter than its token size, single Chinese or Japanese characters,
// terms it cannot split the way they were typed) is checked with LIKE on the term as typed.

#include <QString>
#include <QStringList>

namespace vt::app::data::search {

// Chinese and Japanese characters (Han, Hiragana, Katakana), which the tokenizer treats as
// letters of one long word since these scripts put no spaces between words.
bool isCjk(char32_t c);

// The Chinese and Japanese runs of text written again as overlapping two-character words,
// separated by spaces ("需求管理" gives "需求 求管 管理"); a run of one character gives none.
// Stored beside a body so that a word inside a longer run is found as a phrase of pairs.
QString cjkPairs(const QString& text);

// One term of the search box: a word, a "quoted phrase", or a word ending in '*' (a prefix).
struct SearchTerm {
    QString text;  // as typed, without the quotes and the trailing '*'
    bool prefix = false;
};
// The terms of the search box's text. At most kMaxTerms; an unclosed quote runs to the end.
QList<SearchTerm> parseTerms(const QString& input);
inline constexpr int kMaxTerms = 12;

// The conditions for one kind of text. Every term must match: the boolean expression (empty
// when no term has a word the index holds), and a LIKE '%text%' for each text in `likes`.
struct TermConditions {
    QString boolean;  // for MATCH ... AGAINST (... IN BOOLEAN MODE); only words and + " *
    QStringList likes;
    bool empty() const { return boolean.isEmpty() && likes.isEmpty(); }
};
// withPairs: the text searched has the two-character words of cjkPairs() beside it (bodies).
// minTokenSize: the server's innodb_ft_min_token_size.
TermConditions termConditions(const QList<SearchTerm>& terms, int minTokenSize, bool withPairs);

// A LIKE pattern that matches text anywhere: '%' + text with '\', '%' and '_' escaped + '%'.
QString likeAnywhere(const QString& text);

// The word a snippet is centred on: the first term's longest word, or its text when it has
// none.
QString anchorWord(const QList<SearchTerm>& terms);

// The snippet as HTML: the text escaped, every occurrence of a term or of one of its words
// (two characters or more) in bold, compared without regard to case and accents.
QString highlighted(const QString& text, const QList<SearchTerm>& terms);

}  // namespace vt::app::data::search
