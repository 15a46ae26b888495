#include "windows/panels/WordDiff.h"

#include <algorithm>
#include <cstdint>

namespace vt::app::worddiff {

namespace {

using Tokens = std::vector<QStringView>;

// Words and the runs of spaces between them, so that the pieces put together give the text.
Tokens words(const QString& text)
{
    Tokens out;
    qsizetype start = 0;
    for (qsizetype i = 1; i <= text.size(); ++i)
        if (i == text.size() || text.at(i).isSpace() != text.at(start).isSpace()) {
            out.push_back(QStringView(text).mid(start, i - start));
            start = i;
        }
    return out;
}

// Lines, each with its line break.
Tokens lines(const QString& text)
{
    Tokens out;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text.at(i) == QLatin1Char('\n')) {
            out.push_back(QStringView(text).mid(start, i + 1 - start));
            start = i + 1;
        }
    if (start < text.size()) out.push_back(QStringView(text).mid(start));
    return out;
}

void add(std::vector<Piece>& pieces, Kind kind, QStringView text)
{
    if (text.isEmpty()) return;
    if (!pieces.empty() && pieces.back().kind == kind)
        pieces.back().text += text;
    else
        pieces.push_back(Piece{kind, text.toString()});
}

void addAll(std::vector<Piece>& pieces, Kind kind, const Tokens& tokens, size_t from, size_t to)
{
    for (size_t i = from; i < to; ++i)
        add(pieces, kind, tokens[i]);
}

// Compares a[0..n) with b[0..m) after their common ends are gone; false when the table would
// exceed maxCells. The table holds the lengths of the common subsequences of the suffixes;
// its values never exceed min(n, m), which the cell limit keeps small.
bool lcs(const Tokens& a, size_t aFrom, size_t aTo, const Tokens& b, size_t bFrom, size_t bTo, qint64 maxCells,
         std::vector<Piece>& pieces)
{
    const size_t n = aTo - aFrom;
    const size_t m = bTo - bFrom;
    if (n == 0 || m == 0) {
        addAll(pieces, Kind::Removed, a, aFrom, aTo);
        addAll(pieces, Kind::Added, b, bFrom, bTo);
        return true;
    }
    if (static_cast<qint64>(n + 1) * static_cast<qint64>(m + 1) > maxCells) return false;
    std::vector<uint32_t> table((n + 1) * (m + 1), 0);
    const auto at = [&](size_t i, size_t j) -> uint32_t& { return table[i * (m + 1) + j]; };
    for (size_t i = n; i-- > 0;)
        for (size_t j = m; j-- > 0;)
            at(i, j) = a[aFrom + i] == b[bFrom + j] ? at(i + 1, j + 1) + 1 : std::max(at(i + 1, j), at(i, j + 1));
    size_t i = 0;
    size_t j = 0;
    while (i < n && j < m) {
        if (a[aFrom + i] == b[bFrom + j]) {
            add(pieces, Kind::Same, a[aFrom + i]);
            ++i;
            ++j;
        } else if (at(i + 1, j) >= at(i, j + 1)) {
            add(pieces, Kind::Removed, a[aFrom + i++]);
        } else {
            add(pieces, Kind::Added, b[bFrom + j++]);
        }
    }
    addAll(pieces, Kind::Removed, a, aFrom + i, aTo);
    addAll(pieces, Kind::Added, b, bFrom + j, bTo);
    return true;
}

// Common ends matched, the middle by lcs(); false when the middle is too large.
bool compareTokens(const Tokens& a, const Tokens& b, qint64 maxCells, std::vector<Piece>& pieces)
{
    size_t head = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head])
        ++head;
    size_t tail = 0;
    while (tail < a.size() - head && tail < b.size() - head && a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
        ++tail;
    std::vector<Piece> middle;
    if (!lcs(a, head, a.size() - tail, b, head, b.size() - tail, maxCells, middle)) return false;
    addAll(pieces, Kind::Same, a, 0, head);
    for (const Piece& p : middle)
        add(pieces, p.kind, p.text);
    addAll(pieces, Kind::Same, a, a.size() - tail, a.size());
    return true;
}

}  // namespace

Result compare(const QString& older, const QString& newer, qint64 maxCells)
{
    Result result;
    if (compareTokens(words(older), words(newer), maxCells, result.pieces)) return result;
    result.coarse = true;
    result.pieces.clear();
    const Tokens a = lines(older);
    const Tokens b = lines(newer);
    if (compareTokens(a, b, maxCells, result.pieces)) return result;
    // Too many lines as well: only the common ends are matched.
    size_t head = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head])
        ++head;
    size_t tail = 0;
    while (tail < a.size() - head && tail < b.size() - head && a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
        ++tail;
    result.pieces.clear();
    addAll(result.pieces, Kind::Same, a, 0, head);
    addAll(result.pieces, Kind::Removed, a, head, a.size() - tail);
    addAll(result.pieces, Kind::Added, b, head, b.size() - tail);
    addAll(result.pieces, Kind::Same, a, a.size() - tail, a.size());
    return result;
}

QString toHtml(const Result& result)
{
    QString html = QStringLiteral("<div style=\"white-space: pre-wrap\">");
    for (const Piece& p : result.pieces) {
        const QString text = p.text.toHtmlEscaped();
        switch (p.kind) {
        case Kind::Same: html += text; break;
        case Kind::Removed:
            html += QStringLiteral("<span style=\"background-color:#f8d0d0; text-decoration:line-through\">") + text +
                    QStringLiteral("</span>");
            break;
        case Kind::Added:
            html += QStringLiteral("<span style=\"background-color:#c8f0c8\">") + text + QStringLiteral("</span>");
            break;
        }
    }
    return html + QStringLiteral("</div>");
}

}  // namespace vt::app::worddiff
