#include "ui/FindBar.h"

#include "ui/Ui.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolButton>

namespace vt::app::ui {

FindBar::FindBar(QTextEdit* editor, QWidget* parent) : QFrame(parent), m_editor(editor)
{
    setObjectName(QStringLiteral("findBar"));
    setFrameShape(QFrame::StyledPanel);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    row->addWidget(new QLabel(QStringLiteral("Find:"), this));
    m_text = lineEdit(this, "findText",
                      QStringLiteral("Text to find in the document (Enter: next, Shift+Enter: "
                                     "previous, Escape: close)"));
    m_text->setClearButtonEnabled(true);
    row->addWidget(m_text, 1);
    m_previous = named(new QToolButton(this), "findPrevious");
    m_previous->setText(QStringLiteral("Previous"));
    m_previous->setToolTip(QStringLiteral("Previous match (Shift+Enter)"));
    m_next = named(new QToolButton(this), "findNext");
    m_next->setText(QStringLiteral("Next"));
    m_next->setToolTip(QStringLiteral("Next match (Enter)"));
    m_matchCase = named(new QCheckBox(QStringLiteral("Match case"), this), "findMatchCase");
    m_wholeWords = named(new QCheckBox(QStringLiteral("Whole words"), this), "findWholeWords");
    m_count = named(new QLabel(this), "findCount");
    m_count->setTextFormat(Qt::PlainText);
    // Room for the longest count, so that the row does not squeeze it.
    m_count->setMinimumWidth(m_count->fontMetrics().horizontalAdvance(QStringLiteral("99999 of 99999")));
    m_close = named(new QToolButton(this), "findClose");
    m_close->setText(QStringLiteral("Close"));
    m_close->setToolTip(QStringLiteral("Close the find bar (Escape)"));
    for (QWidget* w :
         {static_cast<QWidget*>(m_previous), static_cast<QWidget*>(m_next), static_cast<QWidget*>(m_matchCase),
          static_cast<QWidget*>(m_wholeWords), static_cast<QWidget*>(m_count), static_cast<QWidget*>(m_close)})
        row->addWidget(w);

    // A new search text or option finds the first match from the caret on.
    const auto search = [this] {
        refresh();
        if (m_current < 0 && !m_matches.isEmpty()) step(true);
    };
    connect(m_text, &QLineEdit::textChanged, this, search);
    for (QCheckBox* option : {m_matchCase, m_wholeWords})
        connect(option, &QCheckBox::toggled, this, search);
    connect(m_next, &QToolButton::clicked, this, [this] { findNext(); });
    connect(m_previous, &QToolButton::clicked, this, [this] { findPrevious(); });
    connect(m_close, &QToolButton::clicked, this, [this] { close(); });
    // Edits move the matches, and a loaded body is a new document: the matches are looked for
    // again while the bar is open.
    // Queued: the signal comes while the document is still inside its edit, and changing the
    // editor's extra selections there frees cursors the document is about to use.
    connect(
        m_editor, &QTextEdit::textChanged, this,
        [this] {
            if (isVisible() && !m_stepping) refresh();
        },
        Qt::QueuedConnection);
    m_text->installEventFilter(this);
    hide();
}

void FindBar::open()
{
    const QTextCursor selection = m_editor->textCursor();
    if (selection.hasSelection() && !selection.selectedText().contains(QChar::ParagraphSeparator))
        m_text->setText(selection.selectedText());
    show();
    m_text->setFocus(Qt::ShortcutFocusReason);
    m_text->selectAll();
    refresh();
}

void FindBar::close()
{
    hide();
    m_matches.clear();
    m_current = -1;
    m_editor->setExtraSelections({});
    m_editor->setFocus(Qt::OtherFocusReason);
}

bool FindBar::findNext() { return step(true); }

bool FindBar::findPrevious() { return step(false); }

void FindBar::refresh()
{
    m_matches.clear();
    m_current = -1;
    const QString needle = m_text->text();
    const QTextCursor selected = m_editor->textCursor();
    QTextDocument* doc = m_editor->document();
    if (!needle.isEmpty()) {
        QTextDocument::FindFlags flags;
        if (m_matchCase->isChecked()) flags |= QTextDocument::FindCaseSensitively;
        if (m_wholeWords->isChecked()) flags |= QTextDocument::FindWholeWords;
        QTextCursor at(doc);
        while (true) {
            at = doc->find(needle, at, flags);
            if (at.isNull()) break;
            // The match the editor has selected stays the current one.
            if (at.selectionStart() == selected.selectionStart() && at.selectionEnd() == selected.selectionEnd())
                m_current = int(m_matches.size());
            m_matches.append({at.selectionStart(), at.selectionEnd()});
            // A match is never empty, so the search always moves on.
        }
    }
    showMatches();
}

bool FindBar::step(bool forward)
{
    if (m_matches.isEmpty()) {
        showMatches();
        return false;
    }
    if (m_current < 0) {
        // The first match after (or before) the caret.
        const int caret = m_editor->textCursor().selectionStart();
        m_current = forward ? 0 : int(m_matches.size()) - 1;
        for (int i = 0; i < m_matches.size(); ++i) {
            const int k = forward ? i : int(m_matches.size()) - 1 - i;
            if (forward ? m_matches[k].first >= caret : m_matches[k].first < caret) {
                m_current = k;
                break;
            }
        }
    } else {
        const int n = int(m_matches.size());
        m_current = (m_current + (forward ? 1 : n - 1)) % n;
    }
    m_stepping = true;
    m_editor->setTextCursor(cursorFor(m_current));
    m_editor->ensureCursorVisible();
    m_stepping = false;
    showMatches();
    return true;
}

QTextCursor FindBar::cursorFor(int match) const
{
    QTextCursor c(m_editor->document());
    c.setPosition(m_matches[match].first);
    c.setPosition(m_matches[match].second, QTextCursor::KeepAnchor);
    return c;
}

void FindBar::showMatches()
{
    QList<QTextEdit::ExtraSelection> marks;
    const QPalette& colours = m_editor->palette();
    for (int i = 0; i < m_matches.size(); ++i) {
        QTextEdit::ExtraSelection mark;
        mark.cursor = cursorFor(i);
        if (i == m_current) {
            mark.format.setBackground(colours.highlight());
            mark.format.setForeground(colours.highlightedText());
        } else {
            // The desktop's highlight, lighter, so the text stays readable in light and dark.
            QColor soft = colours.highlight().color();
            soft.setAlpha(90);
            mark.format.setBackground(soft);
        }
        marks.append(mark);
    }
    m_editor->setExtraSelections(marks);
    if (m_text->text().isEmpty())
        m_count->clear();
    else if (m_matches.isEmpty())
        m_count->setText(QStringLiteral("No matches"));
    else if (m_current < 0)
        m_count->setText(m_matches.size() == 1 ? QStringLiteral("1 match")
                                               : QStringLiteral("%1 matches").arg(m_matches.size()));
    else
        m_count->setText(QStringLiteral("%1 of %2").arg(m_current + 1).arg(m_matches.size()));
}

bool FindBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_text && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            close();
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            step(!(key->modifiers() & Qt::ShiftModifier));
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

}  // namespace vt::app::ui
