#pragma once
// The History page of the document panel: the kept versions of the shown document, newest
// first with date, user and size; the selected one shown read-only as the engine renders it,
// with a word-level comparison of its text against the current text, and "Restore this
// version", which the panel stores as a new revision.

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class QTextBrowser;
class QTreeWidget;

namespace vt::rt {
class RichEditor;
}

namespace vt::app {

class Session;

class HistoryPage : public QWidget {
    Q_OBJECT
public:
    explicit HistoryPage(Session& session, QWidget* parent = nullptr);

    // The current text the comparison is made against (the editor's, edits included).
    void setCurrentText(std::function<QString()> currentText) { m_currentText = std::move(currentText); }

    // Reloads the list for the document (0: none) and shows nothing selected.
    void showHistory(qint32 requirementId);
    // Selects a revision of the list and shows it with its comparison; false when not listed.
    bool selectRevision(qint32 revision);
    // The revision selected (0 for none).
    qint32 selectedRevision() const;
    // Empties the page (Log Off, document gone).
    void clear();

signals:
    // "Restore this version" for the selected revision.
    void restoreRequested(qint32 revision);

private:
    void showSelected();

    Session& m_session;
    std::function<QString()> m_currentText;
    qint32 m_documentId = 0;
    QTreeWidget* m_list = nullptr;
    vt::rt::RichEditor* m_view = nullptr;
    QTextBrowser* m_comparison = nullptr;
    QLabel* m_note = nullptr;
    QPushButton* m_restore = nullptr;
};

}  // namespace vt::app
