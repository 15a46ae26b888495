#pragma once
// Colours from the desktop's palette. The few colours the windows name themselves (the tooltip
// yellow of the grids and memos, the sky blue of the grid titles) are kept on a light palette
// and turned into a dark shade of the same hue under a dark one, with text that reads on them.

#include <QColor>

class QPalette;
class QWidget;

namespace vt::app::ui {

inline const QColor kTooltipYellow{0xFF, 0xFF, 0xE1};
inline const QColor kSkyBlue{0xA6, 0xCA, 0xF0};

// True for a dark desktop theme: the window colour is darker than its text.
bool isDark(const QPalette& palette);
// A named background colour as it shows under this palette.
QColor partBackground(const QColor& named, const QPalette& palette);
// Black or white, whichever reads better on background.
QColor textOn(const QColor& background);
// WCAG contrast ratio of two colours (1 to 21).
double contrast(const QColor& a, const QColor& b);

// Gives widget (and its children) the named background with readable text through its palette:
// the window and base colours and their texts. The highlight colours stay the desktop's.
void setPartBackground(QWidget* widget, const QColor& named);

}  // namespace vt::app::ui
