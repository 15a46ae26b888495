#pragma once
// The few helpers every window uses to build itself: named widgets, labelled edits, menu items
// and tool buttons, the upper-case edit, and the one show hook through which a window runs its
// show step.

#include "ErrorDisplay.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class QAction;
class QBoxLayout;
class QKeySequence;
class QFormLayout;
class QLabel;
class QLayout;
class QLineEdit;
class QListWidgetItem;
class QMenu;
class QPlainTextEdit;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace vt::app::ui {

// Gives the widget (or action, menu, layout) its object name, by which tests find it.
template <class W>
W* named(W* object, const char* name)
{
    object->setObjectName(QString::fromLatin1(name));
    return object;
}

// A line edit with an object name and an optional hint.
QLineEdit* lineEdit(QWidget* parent, const char* name, const QString& hint = QString());

// Turns typed letters into upper case; text set by the program is kept as given.
void forceUpperCase(QLineEdit* edit);

// Refuses typed or pasted text beyond limit characters (the column's length) and names the
// limit in the edit's tooltip, after any hint it has.
void limitLength(QLineEdit* edit, int limit);

// Makes label one that shows text from the database: plain text, and no wider than its place
// gives it, so that a long word (a name of 400 letters without a space) is cut at the edge
// instead of widening its window beyond the screen.
void dataLabel(QLabel* label);

// A tooltip that shows text exactly as given. Qt takes a tooltip that looks like markup as rich
// text, which would format it and load an <img>'s file (a name from the database can be
// "<img src=/dev/zero>"), so every tooltip that carries data is set through this.
QString plainToolTip(const QString& text);

// Text from the database quoted among the program's words on one line. Text with right-to-left
// letters, direction marks or overrides (U+202E) is wrapped in a bidi isolate, so that they
// end with it instead of reordering the words after it; its line and paragraph breaks become
// spaces, as a paragraph break would end the isolate early, and isolate ends without their
// start are dropped. Other text is returned as it is.
QString isolated(const QString& text);

// A menu item with its object name and caption, added to menu.
QAction* menuItem(QMenu* menu, const char* name, const QString& caption);

// Gives the action its shortcut and names the keys in its tooltip ("Save (Ctrl+S)"); the menu
// shows the keys beside the caption by itself.
void setShortcut(QAction* action, const QKeySequence& keys);

// Puts text read from the database into a plain-text box. A text with a run of more than
// kLongestWord characters without a space or line break wraps anywhere instead of at word
// boundaries: wrapping such a run at word boundaries takes time that grows with the square
// of its length (a million characters took over 20 s).
constexpr int kLongestWord = 1000;
void setStoredText(QPlainTextEdit* edit, const QString& text);

// Shows each typed character of a password field as "*" rather than the style's own mask.
void maskWithAsterisks(QLineEdit* edit);

// A flat tool button added to layout.
QToolButton* toolButton(QWidget* parent, QLayout* layout, const char* name, const QString& text, const QString& hint,
                        bool checkable = false);

// A layout without margins or spacing (for panels that fill their parent).
template <class L>
L* tight(L* layout)
{
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return layout;
}

// An entry for a sorted list box: such lists order their entries as the user's language sorts
// words, ignoring letter case ("aaron", "CHLOÉ", "ÉMILE", "ZOE"); names equal but for case
// keep a fixed order among themselves.
QListWidgetItem* sortedListEntry(const QString& text);

// Runs step under the event guard each time the program shows window (not when the window
// system re-exposes it). Every window's show step goes through here.
void onShow(QWidget* window, std::function<void()> step);
// Gives field the keyboard focus each time the program shows window, so that typing goes to
// the first field, never to the button used last.
void focusOnShow(QWidget* window, QWidget* field);

// Deletes tree items that are in no tree any more, with their subtrees, and empties a tree.
// A tree item deletes its children recursively, which overflows the stack on a tree as deep as
// a chain of rows from the database can be; these delete from the leaves up.
void deleteTreeItems(QList<QTreeWidgetItem*> items);
void clearTree(QTreeWidget* tree);

}  // namespace vt::app::ui
