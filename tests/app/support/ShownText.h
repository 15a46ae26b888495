#pragma once
// What the user sees of a text: as a label or tooltip shows it (plain, or the plain text of its
// markup), where a tooltip appears when hovering a cell, and whether a line lays characters out
// in their own order. For tests that put hostile names in the database.

#include <QString>

class QAbstractItemView;
class QModelIndex;

namespace vt::test {

// The text a widget shows for text in format (automatic: markup when it looks like markup).
// Resources are never loaded, so a hostile <img> costs nothing here.
QString shownText(const QString& text, Qt::TextFormat format = Qt::AutoText);

// Hovers over the cell and returns the tooltip shown, empty when none is or the cell is out of
// sight.
QString hoverTip(QAbstractItemView& view, const QModelIndex& index);

// Whether a left-to-right line lays out the characters of text from `from` to its end from left
// to right, each after the one before (an override left open lays them out reversed).
bool tailLeftToRight(const QString& text, qsizetype from);

// Text without the bidi isolates the program puts around quoted names.
QString withoutIsolates(QString text);

}  // namespace vt::test
