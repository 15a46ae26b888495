#include "data/SearchTerms.h"

#include <QChar>

#include <algorithm>
#include <vector>

namespace vt::app::data::search {

namespace {

// The tokenizer's longest word (innodb_ft_max_token_size's default): longer ones are not
// indexed.
constexpr int kMaxTokenSize = 84;

bool isWordChar(char32_t c) { return c == U'_' || QChar::isLetterOrNumber(c) || QChar::isMark(c); }

QString fromUcs4(const std::u32string& s) { return QString::fromUcs4(s.data(), qsizetype(s.size())); }

// The words of text as the tokenizer cuts it: maximal runs of letters, digits, marks and '_'.
std::vector<std::u32string> words(const QString& text)
{
    std::vector<std::u32string> found;
    std::u32string current;
    for (char32_t c : text.toStdU32String()) {
        if (isWordChar(c)) {
            current += c;
        } else if (!current.empty()) {
            found.push_back(std::move(current));
            current.clear();
        }
    }
    if (!current.empty()) found.push_back(std::move(current));
    return found;
}

// A word cut where it changes between Chinese/Japanese characters and others.
struct Segment {
    bool cjk = false;
    std::u32string text;
};
std::vector<Segment> segments(const std::u32string& word)
{
    std::vector<Segment> found;
    for (char32_t c : word) {
        const bool cjk = isCjk(c);
        if (found.empty() || found.back().cjk != cjk) found.push_back({cjk, {}});
        found.back().text += c;
    }
    return found;
}

QStringList pairsOf(const std::u32string& run)
{
    QStringList pairs;
    for (std::size_t i = 0; i + 1 < run.size(); ++i)
        pairs << fromUcs4(run.substr(i, 2));
    return pairs;
}

// Folds case and accents one UTF-16 unit at a time, so positions stay those of the text.
QString folded(const QString& text)
{
    QString out = text;
    for (QChar& c : out) {
        if (c.decompositionTag() == QChar::Canonical) {
            const QString d = c.decomposition();
            if (!d.isEmpty() && !d.at(0).isSurrogate()) c = d.at(0);
        }
        c = c.toCaseFolded();
    }
    return out;
}

}  // namespace

bool isCjk(char32_t c)
{
    switch (QChar::script(c)) {
    case QChar::Script_Han:
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana: return true;
    default: return c == U'\u30FC';  // the prolonged sound mark of katakana words
    }
}

QString cjkPairs(const QString& text)
{
    QStringList out;
    std::u32string run;
    auto flush = [&] {
        out << pairsOf(run);
        run.clear();
    };
    for (char32_t c : text.toStdU32String()) {
        if (isCjk(c))
            run += c;
        else if (!run.empty())
            flush();
    }
    flush();
    return out.join(QLatin1Char(' '));
}

QList<SearchTerm> parseTerms(const QString& input)
{
    QList<SearchTerm> terms;
    const qsizetype n = input.size();
    for (qsizetype i = 0; i < n && terms.size() < kMaxTerms;) {
        if (input.at(i).isSpace()) {
            ++i;
            continue;
        }
        SearchTerm term;
        if (input.at(i) == QLatin1Char('"')) {
            const qsizetype close = input.indexOf(QLatin1Char('"'), i + 1);
            const qsizetype end = close < 0 ? n : close;
            term.text = input.mid(i + 1, end - i - 1).simplified();
            i = close < 0 ? n : close + 1;
        } else {
            qsizetype end = i;
            while (end < n && !input.at(end).isSpace() && input.at(end) != QLatin1Char('"'))
                ++end;
            term.text = input.mid(i, end - i);
            i = end;
            while (term.text.endsWith(QLatin1Char('*'))) {
                term.text.chop(1);
                term.prefix = true;
            }
        }
        // A term without a letter or digit ("--", "*") finds nothing useful and is left out.
        if (!words(term.text).empty()) terms << term;
    }
    return terms;
}

TermConditions termConditions(const QList<SearchTerm>& terms, int minTokenSize, bool withPairs)
{
    TermConditions result;
    QStringList required;
    for (const SearchTerm& term : terms) {
        // Groups of words the index holds that must stand side by side, as typed.
        std::vector<QStringList> groups;
        QStringList latin;  // the group being built of words in other scripts
        bool latinLast = false;
        bool needLike = false;
        auto flushLatin = [&] {
            if (!latin.isEmpty()) groups.push_back(latin);
            latin.clear();
        };
        const auto termWords = words(term.text);
        for (const std::u32string& word : termWords) {
            const auto parts = segments(word);
            latinLast = false;
            if (parts.size() == 1 && !parts.front().cjk) {
                const auto size = qsizetype(word.size());
                if (size >= minTokenSize && size <= kMaxTokenSize) {
                    latin << fromUcs4(word);
                    latinLast = true;
                } else {
                    needLike = true;
                    flushLatin();
                }
                continue;
            }
            flushLatin();
            // A word mixing scripts is one word to the tokenizer: its parts are no words of
            // the index, only the pairs of its Chinese or Japanese runs are.
            if (parts.size() > 1) needLike = true;
            for (const Segment& part : parts) {
                if (part.cjk && withPairs && part.text.size() >= 2)
                    groups.push_back(pairsOf(part.text));
                else
                    needLike = true;
            }
        }
        flushLatin();
        if (groups.size() > 1) needLike = true;

        if (term.prefix) {
            const bool singleWord = groups.size() == 1 && groups.front().size() == 1 && latinLast;
            if (singleWord && !needLike) {
                required << QLatin1Char('+') + groups.front().front() + QLatin1Char('*');
                continue;
            }
            // A phrase cannot end in a prefix: its words are required one by one, the last as
            // a prefix when it is one of them, and the whole is checked as typed.
            needLike = true;
            std::vector<QStringList> single;
            for (std::size_t g = 0; g < groups.size(); ++g) {
                const bool pairs = isCjk(groups[g].front().toStdU32String().front());
                if (pairs) {
                    single.push_back(groups[g]);
                    continue;
                }
                for (const QString& w : groups[g])
                    single.push_back({w});
            }
            groups = single;
            if (latinLast && !groups.empty()) groups.back().back() += QLatin1Char('*');
        }
        for (const QStringList& group : groups)
            required << (group.size() == 1 ? QLatin1Char('+') + group.front()
                                           : QStringLiteral("+\"") + group.join(QLatin1Char(' ')) + QLatin1Char('"'));
        if (needLike) result.likes << term.text;
    }
    result.boolean = required.join(QLatin1Char(' '));
    return result;
}

QString likeAnywhere(const QString& text)
{
    QString escaped;
    escaped.reserve(text.size() + 2);
    for (QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('%') || c == QLatin1Char('_')) escaped += QLatin1Char('\\');
        escaped += c;
    }
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

QString anchorWord(const QList<SearchTerm>& terms)
{
    if (terms.isEmpty()) return {};
    QString best;
    for (const std::u32string& w : words(terms.front().text)) {
        const QString word = fromUcs4(w);
        if (word.size() > best.size()) best = word;
    }
    return best.isEmpty() ? terms.front().text : best;
}

QString highlighted(const QString& text, const QList<SearchTerm>& terms)
{
    QStringList needles;
    for (const SearchTerm& term : terms) {
        needles << folded(term.text);
        for (const std::u32string& w : words(term.text))
            if (w.size() >= 2 || (w.size() == 1 && isCjk(w.front()))) needles << folded(fromUcs4(w));
    }
    const QString hay = folded(text);
    std::vector<bool> bold(std::size_t(text.size()), false);
    for (const QString& needle : needles) {
        if (needle.isEmpty()) continue;
        for (qsizetype at = hay.indexOf(needle); at >= 0; at = hay.indexOf(needle, at + 1))
            std::fill(bold.begin() + at, bold.begin() + at + needle.size(), true);
    }
    QString html;
    for (qsizetype i = 0; i < text.size();) {
        qsizetype end = i;
        while (end < text.size() && bold[std::size_t(end)] == bold[std::size_t(i)])
            ++end;
        const QString piece = text.mid(i, end - i).toHtmlEscaped();
        html += bold[std::size_t(i)] ? QStringLiteral("<b>") + piece + QStringLiteral("</b>") : piece;
        i = end;
    }
    return html;
}

}  // namespace vt::app::data::search
