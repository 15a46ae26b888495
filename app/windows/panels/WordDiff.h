#pragma once
// A word-level comparison of two texts, for the history of a document: the pieces that both
// share, and those only the older or only the newer one has.
//
// The common beginning and end are matched first; the rest is compared as a longest common
// subsequence of words (and the spaces between them). When that rest is too large for the
// table (more than kMaxCells word pairs), lines are compared instead, and when even those are
// too many the rest is shown as removed and added whole: memory stays bounded for any text.

#include <QString>

#include <vector>

namespace vt::app::worddiff {

enum class Kind { Same, Removed, Added };

struct Piece {
    Kind kind = Kind::Same;
    QString text;
    bool operator==(const Piece&) const = default;
};

struct Result {
    std::vector<Piece> pieces;  // in text order; neighbours never share a kind
    bool coarse = false;        // compared by lines or as a whole, not by words
};

inline constexpr qint64 kMaxCells = 4'000'000;

Result compare(const QString& older, const QString& newer, qint64 maxCells = kMaxCells);

// The comparison as HTML (every text escaped): removed pieces struck through on red, added
// ones on green, spaces and line breaks kept.
QString toHtml(const Result& result);

}  // namespace vt::app::worddiff
