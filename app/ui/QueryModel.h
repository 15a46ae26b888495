#pragma once
// A read-only grid model over an open query: one column per field, one row per stored row, the
// cells as the fields show their values. Reading a cell moves the query's cursor, so a window
// that reads the grid's current row first moves the cursor there (selectRow).

#include <QAbstractTableModel>
#include <QMap>

#include <functional>

class QEvent;
class QTableView;
class TmySQLDataSet;

namespace vt::app::ui {

class QueryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit QueryModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    // The query shown; null shows nothing. reload() after it was opened, closed or changed.
    void setQuery(TmySQLDataSet* query);
    void reload();

    // A title instead of the field name, and a column drawn in bold (title and cells).
    void setTitle(const QString& fieldName, const QString& title);
    void setBold(const QString& fieldName);
    // Shows only these fields, in this order (a grid with set columns); empty shows every field.
    void setColumns(const QStringList& fieldNames);

    // Moves the query to the grid row (from 0); false when there is no such row.
    bool selectRow(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QString fieldName(int column) const;
    // The query's field shown in a grid column; -1 when the query lacks it.
    int fieldIndex(int column) const;
    bool isBold(int column) const;

    TmySQLDataSet* m_query = nullptr;
    QMap<QString, QString> m_titles;  // by upper-case field name
    QStringList m_bold;               // upper-case field names
    QStringList m_columns;            // the fields shown, when set
};

// The live grids' Ctrl+Delete key.
bool isCtrlDelete(const QEvent* event);

// Deletes the grid's current row through the query's live result. The grid is detached while
// the query runs again, then shows the new result with the row the cursor stands on selected
// (the nearest row when the cursor stands on none); afterOpen runs once the grid shows it.
// A failing delete leaves the grid on what the query still holds and passes the error on.
void deleteCurrentRow(QTableView& grid, QueryModel& model, TmySQLDataSet& query,
                      const std::function<void()>& afterOpen);

}  // namespace vt::app::ui
