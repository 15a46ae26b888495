#pragma once
// Readable columns for every list, grid and tree: the user resizes any column, text that does
// not fit is cut with "…" instead of wrapping onto a second line, and the whole text of a cell
// shows in its tooltip.

class QAbstractItemView;
class QHeaderView;

namespace vt::app::ui {

void readableColumns(QAbstractItemView* view);

// Widens each column to at least its title (a title is never cut, as "Jpdated By" was).
void fitTitles(QHeaderView* header);

}  // namespace vt::app::ui
