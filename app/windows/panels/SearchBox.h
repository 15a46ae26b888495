#pragma once
// The search box at the top of the navigator: results while the user types (after a short
// pause), grouped by kind (documents by topic, documents by body, discussion messages,
// attachments), each with its project, category path, a snippet with the matched words in bold
// and its date. Enter or a double-click on a result asks for it to be opened.

#include "data/Search.h"

#include <QFrame>

class QLineEdit;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace vt::app {

class Session;

class SearchBox : public QFrame {
    Q_OBJECT
public:
    explicit SearchBox(Session& session, QWidget* parent = nullptr);

    // The pause after the last keystroke before the search runs.
    static constexpr int kDebounceMs = 100;

    // Gives the search field the focus with its text selected (Ctrl+Shift+F).
    void focusSearch();
    // Runs the search for the field's text now.
    void runSearch();
    // Empties the field and the results (Log Off).
    void clear();
    // The hits shown, in display order.
    const std::vector<data::search::Hit>& hits() const { return m_hits; }

signals:
    // A result was chosen with Enter or a double-click.
    void hitChosen(const data::search::Hit& hit);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showHits();
    void choose(QTreeWidgetItem* item);

    Session& m_session;
    QLineEdit* SearchEdit = nullptr;
    QTreeWidget* SearchResults = nullptr;
    QTimer* SearchTimer = nullptr;
    int m_tokenSize = 0;  // the server's, read at the first search after log-in
    QList<data::search::SearchTerm> m_terms;
    std::vector<data::search::Hit> m_hits;
};

}  // namespace vt::app
