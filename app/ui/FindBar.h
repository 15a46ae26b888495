#pragma once
// The find bar over a text editor: a search field, next and previous, match case, whole words
// and a count of the matches. Every match is highlighted through the editor's extra
// selections, an overlay the document knows nothing of, so finding never changes the text,
// its formatting or its modified flag; the current match becomes the editor's selection.

#include <QFrame>
#include <QList>
#include <QTextCursor>

#include <utility>

class QCheckBox;
class QLabel;
class QLineEdit;
class QTextEdit;
class QToolButton;

namespace vt::app::ui {

class FindBar : public QFrame {
    Q_OBJECT
public:
    explicit FindBar(QTextEdit* editor, QWidget* parent = nullptr);

    // Shows the bar with the search field focused and its text selected; a selection within
    // one paragraph of the editor becomes the text searched for.
    void open();
    // Hides the bar, drops the highlights and gives the editor the focus.
    void close();

    // Moves to the next or previous match, wrapping at the ends; false when there is none.
    bool findNext();
    bool findPrevious();

    // The matches of the search text under the current options, in document order.
    int matchCount() const { return int(m_matches.size()); }
    // 1-based number of the current match; 0 when none is current.
    int currentMatch() const { return m_current + 1; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Searches the whole document again and highlights every match.
    void refresh();
    bool step(bool forward);
    void showMatches();

    QTextEdit* m_editor;
    QLineEdit* m_text = nullptr;
    QToolButton* m_previous = nullptr;
    QToolButton* m_next = nullptr;
    QCheckBox* m_matchCase = nullptr;
    QCheckBox* m_wholeWords = nullptr;
    QLabel* m_count = nullptr;
    QToolButton* m_close = nullptr;
    // Matches as positions (start, end): cursors would outlive a document the editor replaces.
    QList<std::pair<int, int>> m_matches;
    QTextCursor cursorFor(int match) const;
    int m_current = -1;
    bool m_stepping = false;  // the bar is moving the editor's selection to a match
};

}  // namespace vt::app::ui
