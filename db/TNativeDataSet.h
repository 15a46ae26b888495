#pragma once
// A statement created on a native connection: its text, its stored result, the column and
// index descriptors (built on first open and kept across closes) and the cursor.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "db/TFieldType.h"
#include "db/Variant.h"

class TNativeConnect;
class TMysqlResult;
struct TMysqlFieldInfo;

// One column descriptor, numbered from 1 in column order.
struct TmySQLField {
    int FieldNo = 0;
    std::string Name;                  // at most 63 characters, converted as read text
    TFieldType FieldType = ftUnknown;  // ftUnknown: the column has no field
    int Size = 0;
    int Offset = 0;
    uint8_t NativeType = 0;       // type code after the adjustments
    uint32_t NativeSize = 0;      // working length
    uint32_t DeclaredLength = 0;  // the column's declared length, as the server sent it
    std::string AllowedValues;    // ENUM / SET: "Y,N"
    bool Required = false;
    bool HasDefault = false;
    bool IsBoolean = false;
    bool IsMemo = false;
    bool Calculated = false;  // no table name
    uint32_t Flags = 0;
    std::string Table;
};

struct TmySQLIndex {
    int Number = 0;
    std::string Name;  // at most 260 characters; the primary index has ""
    bool Primary = false;
    bool Unique = false;
    bool Descending = false;
    int KeyLength = 0;
    std::vector<std::string> Columns;
    std::vector<int> FieldNumbers;  // 0 for a key column not in the result
    int KeyCount() const { return static_cast<int>(Columns.size()); }
};

class TNativeDataSet {
public:
    TNativeDataSet(TNativeConnect& connection, bool live);
    ~TNativeDataSet();
    TNativeDataSet(const TNativeDataSet&) = delete;
    TNativeDataSet& operator=(const TNativeDataSet&) = delete;

    TNativeConnect& Connection() { return *m_connection; }
    std::string Text;
    bool Live = false;

    // Runs Text with the result stored (EmySQLException with the client's error on failure);
    // with probes, runs the index probe while there are no index descriptors yet (its
    // failure raises too). Returns whether a result set came back.
    bool Execute(bool probes);
    // Builds the column descriptors once (column probes included).
    void DescribeFields();
    void FreeResult();

    TMysqlResult* Result() const { return m_result.get(); }
    // The stored result shared with readers that must outlive a close of the statement.
    std::shared_ptr<const TMysqlResult> SharedResult() const { return m_result; }
    const std::vector<TmySQLField>& Fields() const { return m_fields; }
    const std::vector<TmySQLIndex>& Indexes() const { return m_indexes; }
    bool IndexesRead() const { return m_indexesRead; }
    int PrimaryIndex() const { return m_primaryIndex; }
    uint64_t AffectedRows() const { return m_affectedRows; }
    uint64_t InsertId() const { return m_insertId; }
    std::string TableName() const;

    // Cursor. Moves return 0, or 8706 / 8705 past the end / beginning: from a row that row
    // stays current, otherwise the position stays at that end.
    enum class Position { Unpositioned, OnRow, BeforeFirst, AfterLast };
    int64_t RecordCount() const;
    uint16_t MoveNext();
    uint16_t MovePrior();
    void SetToBegin();
    void SetToEnd();
    uint16_t SetRow(int64_t index);  // 0-based; 8709 when out of range
    int64_t Row() const { return m_row; }
    Position CursorPosition() const { return m_position; }

    // Raw bytes of column (0-based) of the current row; nullptr for NULL. 10003 for a column
    // out of range.
    const char* ColumnBytes(int column, size_t& length) const;

    // Live editing. Rows are given as one value per column (index FieldNo - 1), a null
    // Variant for NULL; blob and memo columns hold their bytes as text.
    //
    // The key columns that name a row: those of the first primary index, else of the first
    // unique index, else every non-blob column of the result that comes from the table itself
    // (then Unique is false). 10003 when an index column is not selected by the query.
    struct KeyColumns {
        std::vector<const TmySQLField*> Fields;
        std::vector<std::string> Names;
        bool Unique = true;
    };
    KeyColumns Keys() const;
    // "col=literal AND ..." for the key columns of row; "" when no key column gives a condition.
    std::string KeyConditions(const KeyColumns& keys, const std::vector<Variant>& row) const;
    // The statements of the three changes; "" when there is nothing to send. A delete or
    // update whose key columns give no condition is refused (EDatabaseError), so neither goes
    // out without WHERE; one by every column (no unique key) is limited to one row.
    std::string BuildDelete(const std::vector<Variant>& row) const;
    std::string BuildUpdate(const std::vector<Variant>& oldRow, const std::vector<Variant>& newRow,
                            const std::vector<uint8_t>& changed) const;
    std::string BuildInsert(const std::vector<Variant>& row) const;
    // Sends one change (traced); 10763 when the statement is not live. The caller runs the
    // query again afterwards.
    void SendChange(const std::string& statement);
    // The rows of the table that the key conditions of row match now (a query of its own): an
    // update that changes nothing reports 0 rows even when it found its row.
    uint64_t CountRows(const std::vector<Variant>& row) const;
    // Index of the row of the stored result whose key columns hold the values of row, or -1.
    int64_t FindRow(const KeyColumns& keys, const std::vector<Variant>& row) const;

private:
    void readIndexes();

    TNativeConnect* m_connection;
    std::shared_ptr<TMysqlResult> m_result;
    std::vector<TmySQLField> m_fields;
    bool m_fieldsBuilt = false;
    std::vector<TmySQLIndex> m_indexes;
    bool m_indexesRead = false;
    int m_primaryIndex = 0;
    uint64_t m_affectedRows = 0;
    uint64_t m_insertId = 0;
    int64_t m_row = -1;
    Position m_position = Position::Unpositioned;
};
