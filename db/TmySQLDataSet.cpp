#include "db/TmySQLDataSet.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "db/DateTimeUtil.h"
#include "db/DbInternal.h"
#include "db/TNativeDataSet.h"
#include "db/TmySQLDatabase.h"
#include "db/TmySQLEngine.h"
#include "protocol/TMysqlResult.h"

namespace {

// Integer columns: the server sends plain decimal digits; anything else takes the strict path
// with its error "'%s' is not a valid integer value".
int32_t int32FromText(const char* bytes, size_t length)
{
    int32_t v = 0;
    auto r = std::from_chars(bytes, bytes + length, v);
    if (r.ec == std::errc() && r.ptr == bytes + length) return v;
    return StrToInt(std::string(bytes, length));
}

double floatFromText(const char* bytes, size_t length)
{
    double v = 0;
    const char* begin = bytes;
    const char* end = bytes + length;
    if (begin < end && *begin == '+') ++begin;
    auto r = std::from_chars(begin, end, v);
    return r.ec == std::errc() ? v : 0;
}

}  // namespace

TmySQLDataSet::TmySQLDataSet(std::string name) : m_name(std::move(name)) {}

TmySQLDataSet::~TmySQLDataSet()
{
    if (m_database) m_database->DetachDataSet(this);
}

void TmySQLDataSet::databaseError(const std::string& message) const
{
    throw EDatabaseError(m_name.empty() ? message : m_name + ": " + message);
}

void TmySQLDataSet::SetDatabase(TmySQLDatabase* database)
{
    if (database == m_database) return;
    connectionClosing();
    if (m_database) {
        if (m_dbFlags != 0) m_database->UnregisterClient(this);
        m_dbFlags = 0;
        m_database->DetachDataSet(this);
    }
    m_database = database;
    if (m_database) m_database->AttachDataSet(this);
}

void TmySQLDataSet::setDbFlag(DbFlag flag, bool on)
{
    if (on) {
        if (m_dbFlags & flag) return;
        if (m_dbFlags == 0 && m_database) m_database->RegisterClient(this);
        m_dbFlags |= flag;
    } else {
        if (!(m_dbFlags & flag)) return;
        m_dbFlags &= ~unsigned(flag);
        if (m_dbFlags == 0 && m_database) m_database->UnregisterClient(this);
    }
}

void TmySQLDataSet::connectionClosing()
{
    // The connection goes away: no unregistering, the component resets its count itself.
    m_dbFlags = 0;
    if (m_active) {
        if (BeforeClose) BeforeClose(*this);
        closeCursor();
        m_active = false;
        if (AfterClose) AfterClose(*this);
    }
}

void TmySQLDataSet::databaseDestroyed()
{
    m_dbFlags = 0;
    m_database = nullptr;
}

void TmySQLDataSet::SetActive(bool on)
{
    if (on == m_active) return;
    if (on) {
        if (BeforeOpen) BeforeOpen(*this);
        try {
            openCursor();
            positionFirst();
        } catch (...) {
            closeCursor();
            throw;
        }
        m_active = true;
        if (AfterOpen) AfterOpen(*this);
    } else {
        if (BeforeClose) BeforeClose(*this);
        closeCursor();
        m_active = false;
        if (AfterClose) AfterClose(*this);
    }
}

void TmySQLDataSet::closeCursor()
{
    m_state = State::Browse;
    for (auto& f : m_fields) {
        f->SetBound(false);
        m_retiredFields.push_back(std::move(f));
    }
    m_fields.clear();
    m_rowValues.clear();
    m_converted.clear();
    m_blobCache.clear();
    ++m_generation;
    m_eof = m_bof = true;
    if (m_cursor) m_cursor->FreeResult();
    m_cursor = nullptr;
    setDbFlag(dbOpen, false);
}

void TmySQLDataSet::bindFields(TNativeDataSet& native)
{
    m_cursor = &native;
    m_fields.clear();
    ++m_generation;
    for (const TmySQLField& f : native.Fields()) {
        if (f.FieldType == ftUnknown) continue;
        const int size = f.FieldType == ftString ? f.Size : 0;
        // A field of an earlier open that describes the same column is bound again, so a
        // reference kept across close and open reads the new rows.
        std::unique_ptr<TField> field;
        for (auto it = m_retiredFields.begin(); it != m_retiredFields.end(); ++it) {
            TField& old = **it;
            if (old.FieldNo() == f.FieldNo && old.DataType() == f.FieldType && old.Size() == size &&
                old.FieldName() == f.Name) {
                field = std::move(*it);
                m_retiredFields.erase(it);
                break;
            }
        }
        if (!field) field = std::make_unique<TField>(*this, f.Name, f.FieldType, size, f.FieldNo);
        field->SetRequired(f.Required);
        field->SetCalculated(f.Calculated);
        field->SetReadOnly(false);
        field->SetBound(true);
        m_fields.push_back(std::move(field));
    }
    m_rowValues.assign(native.Fields().size(), Variant::Null());
    m_converted.assign(native.Fields().size(), 0);
}

void TmySQLDataSet::checkActive() const
{
    if (!m_active) databaseError("Cannot perform this operation on a closed dataset");
}

int64_t TmySQLDataSet::currentRowIndex() const
{
    if (!m_cursor || m_cursor->CursorPosition() != TNativeDataSet::Position::OnRow) return -1;
    return m_cursor->Row();
}

std::shared_ptr<const TMysqlResult> TmySQLDataSet::sharedResult() const
{
    return m_cursor ? m_cursor->SharedResult() : nullptr;
}

void TmySQLDataSet::rowChanged() { std::fill(m_converted.begin(), m_converted.end(), 0); }

// Converts one non-blob column of the current row into its typed value. A failure (an
// integer out of range, an impossible date) is raised to the reader and leaves the column
// unconverted, so reading it again raises again.
void TmySQLDataSet::convertColumn(size_t i) const
{
    const TmySQLField& f = m_cursor->Fields()[i];
    Variant& out = m_rowValues[i];
    size_t length = 0;
    const char* bytes = columnBytes(static_cast<int>(i) + 1, length);
    if (!bytes) {
        out = Variant::Null();
    } else if (f.IsBoolean) {
        char c = length > 0 ? static_cast<char>(std::tolower(static_cast<unsigned char>(bytes[0]))) : 0;
        out = Variant(c == 't' || c == 'y');
    } else {
        switch (f.NativeType) {
        case MysqlType::DECIMAL:
        case MysqlType::FLOAT:
        case MysqlType::DOUBLE: out = Variant(floatFromText(bytes, length)); break;
        case MysqlType::TINY:
        case MysqlType::SHORT: {
            int32_t v = int32FromText(bytes, length);
            out = Variant(f.FieldType == ftWord ? int(uint16_t(v)) : int(int16_t(v)));
            break;
        }
        case MysqlType::LONG:
        case MysqlType::INT24:
        case MysqlType::YEAR: out = Variant(int32FromText(bytes, length)); break;
        case MysqlType::LONGLONG: {
            int64_t v = 0;
            auto r = std::from_chars(bytes, bytes + length, v);
            out = Variant::Int64(
                r.ec == std::errc() && r.ptr == bytes + length ? v : StrToInt64(std::string(bytes, length)));
            break;
        }
        case MysqlType::TIMESTAMP: out = Variant::DateTime(TimestampFromColumnText(std::string(bytes, length))); break;
        case MysqlType::TIME: out = Variant::DateTime(TimeFromColumnText(std::string(bytes, length))); break;
        case MysqlType::DATE:
        case MysqlType::NEWDATE:
        case MysqlType::DATETIME: out = Variant::DateTime(DateTimeFromColumnText(std::string(bytes, length))); break;
        default: {  // ENUM, SET, VAR_STRING, STRING: the text up to its first NUL byte
            size_t n = strnlen(bytes, length);
            out = Variant(convertReadText(bytes, n));
            break;
        }
        }
    }
    m_converted[i] = 1;
}

void TmySQLDataSet::positionFirst()
{
    m_cursor->SetToBegin();
    m_bof = true;
    m_eof = m_cursor->MoveNext() != 0;
    rowChanged();
}

int TmySQLDataSet::RecordCount() const
{
    checkActive();
    return static_cast<int>(m_cursor->RecordCount());
}

bool TmySQLDataSet::IsEmpty() const
{
    checkActive();
    return m_cursor->RecordCount() == 0;
}

void TmySQLDataSet::First()
{
    checkActive();
    positionFirst();
}

void TmySQLDataSet::Last()
{
    checkActive();
    m_cursor->SetToEnd();
    m_bof = m_cursor->MovePrior() != 0;
    m_eof = true;
    rowChanged();
}

void TmySQLDataSet::Next()
{
    checkActive();
    if (m_cursor->MoveNext() == EngineCode::EndOfTable) {
        m_eof = true;  // the last row stays current
        return;
    }
    m_bof = m_eof = false;
    rowChanged();
}

void TmySQLDataSet::Prior()
{
    checkActive();
    if (m_cursor->MovePrior() == EngineCode::BeginOfTable) {
        m_bof = true;  // the first row stays current
        return;
    }
    m_bof = m_eof = false;
    rowChanged();
}

int TmySQLDataSet::RecNo() const
{
    checkActive();
    return static_cast<int>(currentRowIndex() + 1);
}

void TmySQLDataSet::SetRecNo(int recNo)
{
    checkActive();
    if (m_cursor->SetRow(recNo - 1) != 0) return;
    m_bof = m_eof = false;
    rowChanged();
}

TField* TmySQLDataSet::FindField(const std::string& name) const
{
    for (const auto& f : m_fields)
        if (sameText(f->FieldName(), name)) return f.get();
    return nullptr;
}

TField& TmySQLDataSet::FieldByName(const std::string& name) const
{
    if (TField* f = FindField(name)) return *f;
    databaseError("Field '" + name + "' not found");
}

bool TmySQLDataSet::columnIsNull(int fieldNo) const
{
    size_t length = 0;
    return columnBytes(fieldNo, length) == nullptr;
}

const Variant& TmySQLDataSet::columnValue(int fieldNo) const
{
    static const Variant null = Variant::Null();
    if (currentRowIndex() < 0 || fieldNo < 1 || static_cast<size_t>(fieldNo) > m_rowValues.size()) return null;
    const size_t i = static_cast<size_t>(fieldNo) - 1;
    if (!m_converted[i]) convertColumn(i);
    return m_rowValues[i];
}

const char* TmySQLDataSet::columnBytes(int fieldNo, size_t& length) const
{
    length = 0;
    if (currentRowIndex() < 0) return nullptr;
    if (fieldNo >= 1 && static_cast<size_t>(fieldNo) <= m_rowValues.size())
        return m_cursor->ColumnBytes(fieldNo - 1, length);
    // A bad column number is reported by the native statement with an engine code; it
    // reaches the caller through the engine's guard as EmySQLDatabaseError.
    const char* bytes = nullptr;
    TmySQLEngine fallback;
    TmySQLEngine& engine = m_database ? m_database->Engine() : fallback;
    engine.Run([&] { bytes = m_cursor->ColumnBytes(fieldNo - 1, length); });
    return bytes;
}

bool TmySQLDataSet::cachedBlob(int fieldNo, std::string_view& value) const
{
    auto it = m_blobCache.find({currentRowIndex(), fieldNo});
    if (it == m_blobCache.end()) return false;
    value = it->second;
    return true;
}

void TmySQLDataSet::storeCachedBlob(int64_t row, int fieldNo, std::string_view value)
{
    m_blobCache[{row, fieldNo}] = value;
}

std::unique_ptr<TmySQLBlobStream> TmySQLDataSet::OpenBlobReader(TField& field, TBlobStreamMode mode)
{
    return std::make_unique<TmySQLBlobStream>(field, mode);
}

// ---- Live editing ----------------------------------------------------------------------

void TmySQLDataSet::checkLive() const
{
    checkActive();
    if (!m_cursor->Live) databaseError("Cannot modify a read-only dataset");
}

std::vector<Variant> TmySQLDataSet::currentRow() const
{
    std::vector<Variant> row(m_cursor->Fields().size(), Variant::Null());
    for (const TmySQLField& f : m_cursor->Fields()) {
        const size_t i = static_cast<size_t>(f.FieldNo) - 1;
        if (f.FieldType == ftBlob || f.FieldType == ftMemo) {
            size_t length = 0;
            const char* bytes = columnBytes(f.FieldNo, length);
            if (bytes) row[i] = Variant(std::string(bytes, length));
        } else if (f.FieldType != ftUnknown) {
            row[i] = columnValue(f.FieldNo);
        }
    }
    return row;
}

void TmySQLDataSet::Edit()
{
    checkLive();
    if (m_state != State::Browse) return;
    if (currentRowIndex() < 0) {
        Insert();
        return;
    }
    m_oldRow = currentRow();
    m_newRow = m_oldRow;
    m_changed.assign(m_oldRow.size(), 0);
    m_state = State::Edit;
}

void TmySQLDataSet::Insert()
{
    checkLive();
    if (m_state != State::Browse) return;
    m_oldRow.clear();
    m_newRow.assign(m_cursor->Fields().size(), Variant::Null());
    m_changed.assign(m_newRow.size(), 0);
    m_state = State::Insert;
}

void TmySQLDataSet::Cancel()
{
    m_state = State::Browse;
    m_oldRow.clear();
    m_newRow.clear();
    m_changed.clear();
}

void TmySQLDataSet::setFieldValue(int fieldNo, const Variant& value)
{
    checkActive();
    if (m_state == State::Browse) databaseError("Dataset not in edit or insert mode");
    if (fieldNo < 1 || static_cast<size_t>(fieldNo) > m_newRow.size()) return;
    m_newRow[static_cast<size_t>(fieldNo) - 1] = value.IsEmpty() ? Variant::Null() : value;
    m_changed[static_cast<size_t>(fieldNo) - 1] = 1;
}

const Variant* TmySQLDataSet::editValue(int fieldNo) const
{
    if (m_state == State::Browse || fieldNo < 1 || static_cast<size_t>(fieldNo) > m_newRow.size()) return nullptr;
    return &m_newRow[static_cast<size_t>(fieldNo) - 1];
}

// Runs the statement again with the same text; the fields stay as they are. Until it has
// run the cursor stands on no row.
void TmySQLDataSet::runAgain()
{
    m_rowValues.assign(m_cursor->Fields().size(), Variant::Null());
    m_converted.assign(m_cursor->Fields().size(), 0);
    m_blobCache.clear();
    ++m_generation;
    m_eof = m_bof = true;
    TmySQLEngine& engine = m_database->Engine();
    engine.Run([&] {
        engine.LastObject = m_cursor;
        m_cursor->Execute(true);
    });
}

void TmySQLDataSet::placeAt(int64_t row)
{
    const int64_t count = m_cursor->RecordCount();
    if (count == 0) {
        m_cursor->SetToBegin();
        m_eof = m_bof = true;
    } else {
        m_cursor->SetRow(std::clamp<int64_t>(row, 0, count - 1));
        m_eof = m_bof = false;
    }
    rowChanged();
}

void TmySQLDataSet::Post()
{
    checkActive();
    if (m_state == State::Browse) return;
    for (const auto& field : m_fields)
        if (field->Required() && m_newRow[static_cast<size_t>(field->FieldNo()) - 1].IsNullOrEmpty())
            databaseError("Field '" + field->FieldName() + "' must have a value");

    TmySQLEngine& engine = m_database->Engine();
    const int64_t former = currentRowIndex();
    TNativeDataSet::KeyColumns keys;
    std::string sql;
    engine.Run([&] {
        engine.LastObject = m_cursor;
        if (!m_cursor->Live) throw EmySQLException(EngineCode::TableReadOnly);
        keys = m_cursor->Keys();
        sql = m_state == State::Edit ? m_cursor->BuildUpdate(m_oldRow, m_newRow, m_changed)
                                     : m_cursor->BuildInsert(m_newRow);
        if (!sql.empty()) m_cursor->SendChange(sql);
    });
    const State was = m_state;
    std::vector<Variant> wanted = std::move(m_newRow);
    const std::vector<Variant> oldRow = std::move(m_oldRow);
    Cancel();
    if (sql.empty()) return;
    m_affectedRowsOfChange = m_cursor->AffectedRows();
    m_insertIdOfChange = m_cursor->InsertId();
    // An update that found its row but changed nothing in it reports 0 rows: count the rows its
    // conditions name instead.
    uint64_t changedRows = m_affectedRowsOfChange;
    if (was == State::Edit && changedRows == 0) {
        engine.Run([&] { changedRows = std::min<uint64_t>(m_cursor->CountRows(oldRow), 1); });
    }
    if (was == State::Insert)
        for (const TmySQLField* f : keys.Fields)
            if (f->FieldType == ftAutoInc || (f->Flags & MysqlFieldFlag::AUTO_INCREMENT)) {
                Variant& v = wanted[static_cast<size_t>(f->FieldNo) - 1];
                if (v.IsNullOrEmpty()) v = Variant::Int64(static_cast<int64_t>(m_insertIdOfChange));
            }
    runAgain();
    const int64_t found = m_cursor->FindRow(keys, wanted);
    if (found >= 0)
        placeAt(found);
    else
        placeAt(was == State::Insert ? m_cursor->RecordCount() - 1 : former);
    if (was == State::Edit) checkOneRowChanged("Update", changedRows);
}

// A change names one row; any other count means the row shown was not the row on the server
// (gone, or not told apart from others). Raised after the query ran again, so that the
// result shows what the server now holds.
void TmySQLDataSet::checkOneRowChanged(const char* change, uint64_t rows)
{
    if (rows == 1) return;
    databaseError(std::string(change) + " of a row of " + m_cursor->TableName() + " affected " + std::to_string(rows) +
                  " rows instead of 1");
}

void TmySQLDataSet::Delete()
{
    checkActive();
    if (m_state == State::Insert) {
        Cancel();
        return;
    }
    Cancel();
    const int64_t former = currentRowIndex();
    if (former < 0) databaseError("Cannot perform this operation on an empty dataset");
    const std::vector<Variant> row = currentRow();
    TmySQLEngine& engine = m_database->Engine();
    engine.Run([&] {
        engine.LastObject = m_cursor;
        if (!m_cursor->Live) throw EmySQLException(EngineCode::TableReadOnly);
        const std::string sql = m_cursor->BuildDelete(row);
        if (!sql.empty()) m_cursor->SendChange(sql);
    });
    m_affectedRowsOfChange = m_cursor->AffectedRows();
    runAgain();
    placeAt(former);
    checkOneRowChanged("Delete", m_affectedRowsOfChange);
}
