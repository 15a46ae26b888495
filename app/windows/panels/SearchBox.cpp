#include "windows/panels/SearchBox.h"

#include "ErrorDisplay.h"
#include "platform/Platform.h"
#include "session/Rights.h"
#include "session/Session.h"
#include "ui/Ui.h"

#include <QAbstractTextDocumentLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include <algorithm>

namespace vt::app {

using data::search::Hit;
using data::search::HitKind;
using ui::named;

namespace {

constexpr int kHitRole = Qt::UserRole;  // index into the hits, -1 for a group heading

// Draws an item's text as HTML (results carry bold matches), wrapped to the column's width.
class HtmlDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        QTextDocument doc;
        prepare(doc, item);
        item.text.clear();
        item.widget->style()->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);
        painter->save();
        painter->translate(item.rect.topLeft());
        QAbstractTextDocumentLayout::PaintContext context;
        context.palette = item.palette;
        if (item.state & QStyle::State_Selected)
            context.palette.setColor(QPalette::Text, item.palette.color(QPalette::HighlightedText));
        doc.documentLayout()->draw(painter, context);
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        QTextDocument doc;
        prepare(doc, item);
        return QSize(int(doc.idealWidth()), int(doc.size().height()));
    }

private:
    static void prepare(QTextDocument& doc, const QStyleOptionViewItem& item)
    {
        doc.setDefaultFont(item.font);
        doc.setDocumentMargin(2);
        doc.setHtml(item.text);
        const int width = item.widget ? static_cast<const QTreeWidget*>(item.widget)->viewport()->width() : 240;
        doc.setTextWidth(std::max(80, width - item.rect.left() - 4));
    }
};

QString kindHeading(HitKind kind)
{
    switch (kind) {
    case HitKind::Topic: return QStringLiteral("Documents by topic");
    case HitKind::Body: return QStringLiteral("Documents by body");
    case HitKind::Message: return QStringLiteral("Discussion messages");
    case HitKind::Attachment: return QStringLiteral("Attachments");
    }
    return {};
}

}  // namespace

SearchBox::SearchBox(Session& session, QWidget* parent) : QFrame(parent), m_session(session)
{
    setObjectName(QStringLiteral("SearchBox"));
    auto* column = ui::tight(new QVBoxLayout(this));
    SearchEdit = named(new QLineEdit(this), "SearchEdit");
    SearchEdit->setPlaceholderText(QStringLiteral("Search (Ctrl+Shift+F)"));
    SearchEdit->setClearButtonEnabled(true);
    column->addWidget(SearchEdit);
    SearchResults = named(new QTreeWidget(this), "SearchResults");
    SearchResults->setHeaderHidden(true);
    SearchResults->setRootIsDecorated(false);
    SearchResults->setIndentation(8);
    SearchResults->setWordWrap(true);
    SearchResults->setUniformRowHeights(false);
    SearchResults->setItemDelegate(new HtmlDelegate(SearchResults));
    SearchResults->header()->setSectionResizeMode(QHeaderView::Stretch);
    SearchResults->setMinimumHeight(220);
    SearchResults->hide();
    column->addWidget(SearchResults, 1);

    SearchTimer = named(new QTimer(this), "SearchTimer");
    SearchTimer->setSingleShot(true);
    SearchTimer->setInterval(kDebounceMs);
    onEvent(SearchTimer, &QTimer::timeout, this, [this] { runSearch(); });
    connect(SearchEdit, &QLineEdit::textChanged, this, [this] { SearchTimer->start(); });
    connect(SearchResults, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { guarded([&] { choose(item); }); });
    SearchEdit->installEventFilter(this);
}

bool SearchBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == SearchEdit && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // Enter in the field opens the first result (after the search the pause would run).
            guarded([&] {
                if (SearchTimer->isActive()) {
                    SearchTimer->stop();
                    runSearch();
                }
                QTreeWidgetItem* item = SearchResults->currentItem();
                if (!item || item->data(0, kHitRole).toInt() < 0)
                    for (QTreeWidgetItemIterator it(SearchResults); *it; ++it)
                        if ((*it)->data(0, kHitRole).toInt() >= 0) {
                            item = *it;
                            break;
                        }
                if (item) choose(item);
            });
            return true;
        }
        if (key == Qt::Key_Down && SearchResults->isVisible() && SearchResults->topLevelItemCount() > 0) {
            SearchResults->setFocus();
            if (!SearchResults->currentItem()) SearchResults->setCurrentItem(SearchResults->topLevelItem(0));
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

void SearchBox::focusSearch()
{
    SearchEdit->setFocus(Qt::ShortcutFocusReason);
    SearchEdit->selectAll();
}

void SearchBox::runSearch()
{
    SearchTimer->stop();
    m_hits.clear();
    m_terms = data::search::parseTerms(SearchEdit->text());
    if (m_terms.isEmpty() || !m_session.isLoggedIn()) {
        SearchResults->clear();
        SearchResults->hide();
        return;
    }
    HourglassCursor wait;
    if (m_tokenSize <= 0) m_tokenSize = data::search::minTokenSize(m_session);
    m_hits = data::search::find(m_session, m_terms, m_tokenSize, m_session.CurrentUser,
                                rights::isAdministrator(m_session.UserRole));
    showHits();
}

void SearchBox::showHits()
{
    SearchResults->clear();
    QTreeWidgetItem* group = nullptr;
    int groupCount = 0;
    auto closeGroup = [&] {
        if (group) group->setText(0, group->text(0).arg(groupCount));
    };
    for (std::size_t i = 0; i < m_hits.size(); ++i) {
        const Hit& hit = m_hits[i];
        if (i == 0 || m_hits[i - 1].kind != hit.kind) {
            closeGroup();
            group = new QTreeWidgetItem(SearchResults);
            group->setText(0,
                           QStringLiteral("<b>") + kindHeading(hit.kind).toHtmlEscaped() + QStringLiteral(" (%1)</b>"));
            group->setData(0, kHitRole, -1);
            group->setFlags(Qt::ItemIsEnabled);
            groupCount = 0;
        }
        ++groupCount;
        auto* item = new QTreeWidgetItem(group);
        // Each name is isolated, so that an override in one does not reorder the rest of its line.
        QStringList path;
        for (const QString& step : hit.path)
            path << ui::isolated(step);
        const QString where =
            ui::isolated(hit.projectName) + QStringLiteral(" \u203A ") + path.join(QStringLiteral(" / "));
        QString html =
            QStringLiteral("<b>") + data::search::highlighted(ui::isolated(hit.title), m_terms) + QStringLiteral("</b>");
        if (hit.kind != HitKind::Topic)
            html += QStringLiteral(" <span style='color:#555'>(") + ui::isolated(hit.topic).toHtmlEscaped() +
                    QStringLiteral(")</span>");
        html += QStringLiteral("<br><span style='color:#555'>") + where.toHtmlEscaped() + QStringLiteral(" \u00B7 ") +
                hit.date.toHtmlEscaped() + QStringLiteral("</span>");
        if (hit.kind != HitKind::Topic && !hit.snippet.isEmpty())
            html += QStringLiteral("<br>") + data::search::highlighted(hit.snippet, m_terms);
        item->setText(0, html);
        item->setData(0, kHitRole, int(i));
        item->setToolTip(0, ui::plainToolTip(hit.title));
    }
    closeGroup();
    if (m_hits.empty()) {
        auto* none = new QTreeWidgetItem(SearchResults, QStringList{QStringLiteral("No results")});
        none->setData(0, kHitRole, -1);
        none->setFlags(Qt::ItemIsEnabled);
    }
    SearchResults->expandAll();
    SearchResults->show();
}

void SearchBox::choose(QTreeWidgetItem* item)
{
    const int index = item ? item->data(0, kHitRole).toInt() : -1;
    if (index < 0 || index >= int(m_hits.size())) return;
    emit hitChosen(m_hits[std::size_t(index)]);
}

void SearchBox::clear()
{
    SearchTimer->stop();
    const QSignalBlocker quiet(SearchEdit);
    SearchEdit->clear();
    SearchResults->clear();
    SearchResults->hide();
    m_hits.clear();
    m_terms.clear();
    m_tokenSize = 0;
}

}  // namespace vt::app
