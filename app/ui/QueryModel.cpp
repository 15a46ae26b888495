#include "ui/QueryModel.h"

#include "session/TextCodec.h"

#include "db/TField.h"
#include "db/TmySQLDataSet.h"

#include <QFont>
#include <QKeyEvent>
#include <QTableView>

#include <algorithm>
#include <exception>

namespace vt::app::ui {

void QueryModel::setQuery(TmySQLDataSet* query)
{
    beginResetModel();
    m_query = query;
    endResetModel();
}

void QueryModel::reload()
{
    beginResetModel();
    endResetModel();
}

void QueryModel::setTitle(const QString& fieldName, const QString& title)
{
    m_titles.insert(fieldName.toUpper(), title);
}

void QueryModel::setBold(const QString& fieldName) { m_bold << fieldName.toUpper(); }

void QueryModel::setColumns(const QStringList& fieldNames)
{
    beginResetModel();
    m_columns = fieldNames;
    endResetModel();
}

int QueryModel::fieldIndex(int column) const
{
    if (m_columns.isEmpty()) return column;
    if (column < 0 || column >= m_columns.size()) return -1;
    const QString wanted = m_columns.at(column).toUpper();
    for (int i = 0; i < m_query->FieldCount(); ++i)
        if (textFromBytes(m_query->Fields(i).FieldName()).toUpper() == wanted) return i;
    return -1;
}

bool QueryModel::selectRow(int row) const
{
    if (!m_query || !m_query->Active() || row < 0 || row >= m_query->RecordCount()) return false;
    m_query->SetRecNo(row + 1);
    return m_query->RecNo() == row + 1;
}

int QueryModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !m_query || !m_query->Active()) return 0;
    return m_query->RecordCount();
}

int QueryModel::columnCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !m_query || !m_query->Active()) return 0;
    return m_columns.isEmpty() ? m_query->FieldCount() : static_cast<int>(m_columns.size());
}

QString QueryModel::fieldName(int column) const
{
    if (!m_columns.isEmpty()) return m_columns.value(column);
    return textFromBytes(m_query->Fields(column).FieldName());
}

bool QueryModel::isBold(int column) const { return m_bold.contains(fieldName(column).toUpper()); }

QVariant QueryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.column() >= columnCount() || index.row() >= rowCount()) return {};
    if (role == Qt::FontRole && isBold(index.column())) {
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    if (role != Qt::DisplayRole) return {};
    // Painting must never fail: a value the field cannot show is shown empty.
    try {
        const int field = fieldIndex(index.column());
        if (field < 0 || !selectRow(index.row())) return {};
        return textFromBytes(m_query->Fields(field).AsString());
    } catch (const std::exception&) {
        return {};
    }
}

QVariant QueryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::FontRole && isBold(section)) {
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    if (role != Qt::DisplayRole) return {};
    const QString name = fieldName(section);
    return m_titles.value(name.toUpper(), name);
}

bool isCtrlDelete(const QEvent* event)
{
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<const QKeyEvent*>(event);
    return key->key() == Qt::Key_Delete && (key->modifiers() & Qt::ControlModifier);
}

void deleteCurrentRow(QTableView& grid, QueryModel& model, TmySQLDataSet& query, const std::function<void()>& afterOpen)
{
    const int row = grid.currentIndex().isValid() ? grid.currentIndex().row() : 0;
    // Detached while the delete runs the query again, so the grid never reads a half-built
    // result. The cursor is put on the grid's row only now: painting the grid (behind a
    // confirmation, say) reads cells and so moves the cursor to whatever row it drew last.
    model.setQuery(nullptr);
    try {
        if (query.Active() && row < query.RecordCount()) {
            query.SetRecNo(row + 1);
            if (query.RecNo() == row + 1) query.Delete();
        }
    } catch (...) {
        model.setQuery(query.Active() ? &query : nullptr);
        throw;
    }
    const int at = query.RecNo() - 1;
    model.setQuery(&query);
    if (afterOpen) afterOpen();
    if (model.rowCount() > 0) grid.setCurrentIndex(model.index(at >= 0 ? at : std::min(row, model.rowCount() - 1), 0));
}

}  // namespace vt::app::ui
