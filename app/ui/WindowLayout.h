#pragma once
// Window places, splitter positions and column widths: where a window goes on first start, how
// a kept place is fitted to the screen of today, and the state of a window's splitters and
// columns as a value the settings store keeps.

#include <QRect>
#include <QSize>
#include <QString>
#include <QVariantMap>

class QWidget;

namespace vt::app::ui {

// Room left around a window's client area for the frame the window manager draws.
inline constexpr int kFrameAllowanceX = 8;
inline constexpr int kFrameAllowanceY = 32;

// The first place of a main window on the available screen: at least the share of the screen a
// work window usually takes, the wanted size where the screen has room for it, never larger
// than the screen (frame included), centred.
QRect firstPlace(const QRect& available, const QSize& wanted);

// A kept place fitted into the available screen: shrunk to the screen when larger and moved
// inside it, so that a place kept on a larger screen or another scale never leaves the window
// off-screen.
QRect fitIntoScreen(const QRect& place, const QRect& available);

// The sizes of every named splitter and the section widths of every named column header below
// root (a header without a name goes by its view's name), keyed "splitters/<name>" and
// "columns/<name>".
QVariantMap layoutState(const QWidget& root);
// Gives the splitters and headers below root the kept sizes; entries that no longer fit (another
// number of panes or columns, nothing positive) are ignored.
void applyLayoutState(QWidget& root, const QVariantMap& state);

// The settings group of a user: "users/<name>/", the name percent-encoded so that a slash or a
// backslash in it makes no group of its own.
QString userSettingsKey(const QString& userName);

}  // namespace vt::app::ui
