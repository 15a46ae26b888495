#include "ui/Columns.h"

#include "ui/Ui.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QHelpEvent>
#include <QListView>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolTip>
#include <QTreeView>

#include <algorithm>

namespace vt::app::ui {

namespace {

// Shows the whole text of the cell or title under the mouse as the tooltip.
class WholeTextTips : public QObject {
public:
    WholeTextTips(QAbstractItemView* view, QHeaderView* header) : QObject(view), m_view(view), m_header(header) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::ToolTip) return false;
        auto* help = static_cast<QHelpEvent*>(event);
        QString text;
        QRect area;
        if (watched == m_view->viewport()) {
            const QModelIndex index = m_view->indexAt(help->pos());
            text = index.data(Qt::ToolTipRole).toString();
            if (text.isEmpty()) text = index.data(Qt::DisplayRole).toString();
            area = m_view->visualRect(index);
        } else if (m_header && watched == m_header->viewport()) {
            const int section = m_header->logicalIndexAt(help->pos());
            if (section >= 0 && m_header->model())
                text = m_header->model()->headerData(section, m_header->orientation()).toString();
        } else {
            return false;
        }
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), plainToolTip(text), static_cast<QWidget*>(watched), area);
        return true;
    }

private:
    QAbstractItemView* m_view;
    QHeaderView* m_header;
};

// A list lays its entries out as wide as their text, which scrolls instead of being cut: its
// entries are made no wider than the list, so that the text is cut with "…".
class FitToList : public QStyledItemDelegate {
public:
    FitToList(QListView* list) : QStyledItemDelegate(list), m_list(list) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setWidth(std::min(size.width(), std::max(1, m_list->viewport()->width())));
        return size;
    }

private:
    QListView* m_list;
};

}  // namespace

void readableColumns(QAbstractItemView* view)
{
    view->setTextElideMode(Qt::ElideRight);
    QHeaderView* header = nullptr;
    if (auto* list = qobject_cast<QListView*>(view)) {
        list->setWordWrap(false);
        list->setResizeMode(QListView::Adjust);  // lays the entries out again as the list resizes
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        if (list->itemDelegate()->metaObject() == &QStyledItemDelegate::staticMetaObject)
            list->setItemDelegate(new FitToList(list));
    } else if (auto* table = qobject_cast<QTableView*>(view)) {
        table->setWordWrap(false);
        header = table->horizontalHeader();
    } else if (auto* tree = qobject_cast<QTreeView*>(view)) {
        tree->setWordWrap(false);
        header = tree->header();
    }
    if (header) {
        header->setSectionResizeMode(QHeaderView::Interactive);
        header->setTextElideMode(Qt::ElideRight);
        header->setMinimumSectionSize(24);
    }
    auto* tips = new WholeTextTips(view, header);
    view->viewport()->installEventFilter(tips);
    if (header) header->viewport()->installEventFilter(tips);
}

void fitTitles(QHeaderView* header)
{
    for (int i = 0; i < header->count(); ++i)
        if (!header->isSectionHidden(i))
            header->resizeSection(i, std::max(header->sectionSize(i), header->sectionSizeHint(i)));
}

}  // namespace vt::app::ui
