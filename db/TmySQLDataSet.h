#pragma once
// A dataset over the stored result of a native statement: the field list, the cursor, the
// converted values of the current row and the per-row blob cache.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/DbErrors.h"
#include "db/TField.h"
#include "db/TmySQLBlobStream.h"
#include "db/Variant.h"

class TmySQLDatabase;
class TNativeDataSet;
class TMysqlResult;

class TmySQLDataSet {
public:
    explicit TmySQLDataSet(std::string name = {});
    virtual ~TmySQLDataSet();
    TmySQLDataSet(const TmySQLDataSet&) = delete;
    TmySQLDataSet& operator=(const TmySQLDataSet&) = delete;

    // Component name; errors about misuse are prefixed with it and ": " when it is not empty.
    const std::string& Name() const { return m_name; }
    void SetName(std::string name) { m_name = std::move(name); }

    // The connection. Setting it closes the dataset and detaches from the previous one.
    TmySQLDatabase* Database() const { return m_database; }
    void SetDatabase(TmySQLDatabase* database);

    bool Active() const { return m_active; }
    void SetActive(bool on);
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }

    // Rows of the open dataset ("Cannot perform this operation on a closed dataset" when closed).
    int RecordCount() const;
    bool IsEmpty() const;
    void First();
    void Next();
    void Prior();
    void Last();
    bool Eof() const { return m_eof; }
    bool Bof() const { return m_bof; }
    int RecNo() const;  // 1-based
    void SetRecNo(int recNo);

    // Fields (only while open).
    int FieldCount() const { return static_cast<int>(m_fields.size()); }
    TField& Fields(int i) { return *m_fields.at(i); }
    TField* FindField(const std::string& name) const;
    // "Field '%s' not found" (prefixed with the component's name) when there is none.
    TField& FieldByName(const std::string& name) const;
    Variant FieldValues(const std::string& name) const { return FieldByName(name).Value(); }

    // Reader over a blob or memo field of the current row.
    std::unique_ptr<TmySQLBlobStream> OpenBlobReader(TField& field, TBlobStreamMode mode = bmRead);
    std::unique_ptr<TmySQLBlobStream> OpenBlobReader(const std::string& fieldName)
    {
        return OpenBlobReader(FieldByName(fieldName));
    }

    std::function<void(TmySQLDataSet&)> BeforeOpen, AfterOpen, BeforeClose, AfterClose;

    // Live editing. A result opened live (a query with RequestLive) turns each posted change
    // into a statement on its table, runs it, and runs the query again so that the rows show
    // the server's state. On any other result Edit, Insert and Append raise "Cannot modify a
    // read-only dataset" and Delete raises engine code 10763.
    enum class State { Browse, Edit, Insert };
    State EditState() const { return m_state; }
    void Edit();
    void Insert();
    void Append() { Insert(); }
    // Sends the change: "Field '%s' must have a value" for an empty required field before
    // anything is sent; an edit without a changed field sends nothing.
    void Post();
    void Cancel();  // drops the new values; nothing is sent
    // Deletes the current row and stays at its row number (the last row when it was the last).
    void Delete();
    // Affected rows and insert id of the last change sent.
    uint64_t ChangeAffectedRows() const { return m_affectedRowsOfChange; }
    uint64_t ChangeInsertId() const { return m_insertIdOfChange; }
    // Assigns a field of the row being edited or inserted.
    void setFieldValue(int fieldNo, const Variant& value);
    // The value a field shows while its row is edited or inserted; none while browsing.
    const Variant* editValue(int fieldNo) const;

    // For fields and blob readers: the current row's column value. A non-blob column is
    // converted when it is first read on a row, not on every move.
    bool columnIsNull(int fieldNo) const;
    const Variant& columnValue(int fieldNo) const;               // non-blob columns
    const char* columnBytes(int fieldNo, size_t& length) const;  // raw stored bytes
    int64_t currentRowIndex() const;                             // -1 when not on a row
    // Counts opens and closes: a reader made before a change of it no longer belongs here.
    uint64_t generation() const { return m_generation; }
    // The stored result, shared with blob readers so that their bytes outlive a close.
    std::shared_ptr<const TMysqlResult> sharedResult() const;
    // A token that expires with the dataset, for readers that may outlive it.
    std::weak_ptr<TmySQLDataSet*> lifeToken() const { return m_self; }
    // The blob cache of the current row: the value once a reader has read it whole from its
    // start (a view of the stored row, which lives as long as the dataset stays open).
    bool cachedBlob(int fieldNo, std::string_view& value) const;
    void storeCachedBlob(int64_t row, int fieldNo, std::string_view value);

    // Raises EDatabaseError with the message prefixed by the component name.
    [[noreturn]] void databaseError(const std::string& message) const;

    // Called by the connection component when it disconnects: close and drop the statement.
    virtual void connectionClosing();
    // Called when the connection component is destroyed: Database becomes none.
    void databaseDestroyed();

protected:
    // Runs the statement and returns the native statement positioned on its stored result.
    virtual void openCursor() = 0;
    virtual void closeCursor();
    void bindFields(TNativeDataSet& native);
    void checkActive() const;
    // The dataset holds one registration with its connection component while any of these
    // uses is on (open, prepared, executing).
    enum DbFlag : unsigned { dbOpen = 1, dbPrepared = 2, dbExec = 4 };
    void setDbFlag(DbFlag flag, bool on);
    unsigned m_dbFlags = 0;

    TNativeDataSet* m_cursor = nullptr;  // the native statement that holds the open result
    std::string m_name;
    TmySQLDatabase* m_database = nullptr;
    bool m_active = false;

private:
    void positionFirst();
    void checkLive() const;
    std::vector<Variant> currentRow() const;
    void runAgain();
    void placeAt(int64_t row);
    // Raises the error naming the count when a delete or update changed other than one row.
    void checkOneRowChanged(const char* change, uint64_t rows);
    void rowChanged();
    void convertColumn(size_t index) const;

    std::vector<std::unique_ptr<TField>> m_fields;
    // Fields of earlier opens. They stay alive (a reference kept by a caller reads as closed
    // instead of freed memory) and are bound again when a later open has the same column.
    std::vector<std::unique_ptr<TField>> m_retiredFields;
    // Per column (index fieldNo - 1): the value of the current row once converted.
    mutable std::vector<Variant> m_rowValues;
    mutable std::vector<uint8_t> m_converted;
    std::map<std::pair<int64_t, int>, std::string_view> m_blobCache;
    uint64_t m_generation = 0;
    std::shared_ptr<TmySQLDataSet*> m_self = std::make_shared<TmySQLDataSet*>(this);
    bool m_eof = true;
    bool m_bof = true;
    // The row being edited or inserted: values as they were (edit only), the new values and
    // which fields were assigned, one entry per column.
    State m_state = State::Browse;
    std::vector<Variant> m_oldRow, m_newRow;
    std::vector<uint8_t> m_changed;
    uint64_t m_affectedRowsOfChange = 0;
    uint64_t m_insertIdOfChange = 0;
};
