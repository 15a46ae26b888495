#include "TmySQLDataSet.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "DateTimeUtil.h"
#include "DbInternal.h"
#include "TMysqlResult.h"
#include "TNativeDataSet.h"
#include "TmySQLDatabase.h"
#include "TmySQLEngine.h"

namespace {

// Integer columns: the server sends plain decimal digits; anything else takes the strict path
// with its error "'%s' is not a valid integer value".
int32_t int32FromText(const char* bytes, size_t length) {
    int32_t v = 0;
    auto r = std::from_chars(bytes, bytes + length, v);
    if (r.ec == std::errc() && r.ptr == bytes + length) return v;
    return StrToInt(std::string(bytes, length));
}

double floatFromText(const char* bytes, size_t length) {
    double v = 0;
    const char* begin = bytes;
    const char* end = bytes + length;
    if (begin < end && *begin == '+') ++begin;
    auto r = std::from_chars(begin, end, v);
    return r.ec == std::errc() ? v : 0;
}

} // namespace

TmySQLDataSet::TmySQLDataSet(std::string name) : m_name(std::move(name)) {}

TmySQLDataSet::~TmySQLDataSet() {
    if (m_database) m_database->DetachDataSet(this);
}

void TmySQLDataSet::databaseError(const std::string& message) const {
    throw EDatabaseError(m_name.empty() ? message : m_name + ": " + message);
}

void TmySQLDataSet::SetDatabase(TmySQLDatabase* database) {
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

void TmySQLDataSet::setDbFlag(DbFlag flag, bool on) {
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

void TmySQLDataSet::connectionClosing() {
    // The connection goes away: no unregistering, the component resets its count itself.
    m_dbFlags = 0;
    if (m_active) {
        if (BeforeClose) BeforeClose(*this);
        closeCursor();
        m_active = false;
        if (AfterClose) AfterClose(*this);
    }
}

void TmySQLDataSet::databaseDestroyed() {
    m_dbFlags = 0;
    m_database = nullptr;
}

void TmySQLDataSet::SetActive(bool on) {
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

void TmySQLDataSet::closeCursor() {
    m_fields.clear();
    m_rowValues.clear();
    m_blobCache.clear();
    m_row = -1;
    m_eof = m_bof = true;
    if (m_cursor) m_cursor->FreeResult();
    m_cursor = nullptr;
    setDbFlag(dbOpen, false);
}

void TmySQLDataSet::bindFields(TNativeDataSet& native) {
    m_cursor = &native;
    m_fields.clear();
    for (const TmySQLField& f : native.Fields()) {
        if (f.FieldType == ftUnknown) continue;
        auto field = std::make_unique<TField>(*this, f.Name, f.FieldType, f.FieldType == ftString ? f.Size : 0, f.FieldNo);
        field->SetRequired(f.Required);
        field->SetCalculated(f.Calculated);
        m_fields.push_back(std::move(field));
    }
    m_rowValues.assign(native.Fields().size(), Variant::Null());
}

void TmySQLDataSet::checkActive() const {
    if (!m_active) databaseError("Cannot perform this operation on a closed dataset");
}

void TmySQLDataSet::readCurrentRow() {
    const auto& descriptors = m_cursor->Fields();
    for (size_t i = 0; i < descriptors.size(); ++i) {
        const TmySQLField& f = descriptors[i];
        Variant& out = m_rowValues[i];
        if (f.FieldType == ftUnknown || f.NativeType == MysqlType::BLOB) continue;
        size_t length = 0;
        const char* bytes = columnBytes(static_cast<int>(i) + 1, length);
        if (!bytes) {
            out = Variant::Null();
            continue;
        }
        if (f.IsBoolean) {
            char c = length > 0 ? static_cast<char>(std::tolower(static_cast<unsigned char>(bytes[0]))) : 0;
            out = Variant(c == 't' || c == 'y');
            continue;
        }
        switch (f.NativeType) {
        case MysqlType::DECIMAL: case MysqlType::FLOAT: case MysqlType::DOUBLE:
            out = Variant(floatFromText(bytes, length));
            break;
        case MysqlType::TINY: case MysqlType::SHORT: {
            int32_t v = int32FromText(bytes, length);
            out = Variant(f.FieldType == ftWord ? int(uint16_t(v)) : int(int16_t(v)));
            break;
        }
        case MysqlType::LONG: case MysqlType::INT24: case MysqlType::YEAR:
            out = Variant(int32FromText(bytes, length));
            break;
        case MysqlType::LONGLONG: {
            int64_t v = 0;
            auto r = std::from_chars(bytes, bytes + length, v);
            out = Variant::Int64(r.ec == std::errc() && r.ptr == bytes + length ? v : StrToInt64(std::string(bytes, length)));
            break;
        }
        case MysqlType::TIMESTAMP:
            out = Variant::DateTime(TimestampFromColumnText(std::string(bytes, length)));
            break;
        case MysqlType::DATE: case MysqlType::NEWDATE: case MysqlType::TIME: case MysqlType::DATETIME:
            out = Variant::DateTime(DateTimeFromColumnText(std::string(bytes, length)));
            break;
        default: {  // ENUM, SET, VAR_STRING, STRING: the text up to its first NUL byte
            size_t n = strnlen(bytes, length);
            out = Variant(convertReadText(bytes, n));
            break;
        }
        }
    }
}

void TmySQLDataSet::positionFirst() {
    m_cursor->SetToBegin();
    m_bof = true;
    if (m_cursor->MoveNext() != 0) {
        m_row = -1;
        m_eof = true;
        return;
    }
    m_row = m_cursor->Row();
    m_eof = false;
    readCurrentRow();
}

int TmySQLDataSet::RecordCount() const {
    checkActive();
    return static_cast<int>(m_cursor->RecordCount());
}

bool TmySQLDataSet::IsEmpty() const {
    checkActive();
    return m_cursor->RecordCount() == 0;
}

void TmySQLDataSet::First() {
    checkActive();
    positionFirst();
}

void TmySQLDataSet::Last() {
    checkActive();
    m_cursor->SetToEnd();
    if (m_cursor->MovePrior() == 0) {
        m_row = m_cursor->Row();
        readCurrentRow();
        m_bof = false;
    } else {
        m_row = -1;
        m_bof = true;
    }
    m_eof = true;
}

void TmySQLDataSet::Next() {
    checkActive();
    if (m_row >= 0) m_cursor->SetRow(m_row);
    if (m_cursor->MoveNext() == EngineCode::EndOfTable) {
        // The last row stays current.
        if (m_row >= 0) m_cursor->SetRow(m_row);
        m_eof = true;
        return;
    }
    m_row = m_cursor->Row();
    m_bof = false;
    m_eof = false;
    readCurrentRow();
}

void TmySQLDataSet::Prior() {
    checkActive();
    if (m_row >= 0) m_cursor->SetRow(m_row);
    if (m_cursor->MovePrior() == EngineCode::BeginOfTable) {
        if (m_row >= 0) m_cursor->SetRow(m_row);
        m_bof = true;
        return;
    }
    m_row = m_cursor->Row();
    m_bof = false;
    m_eof = false;
    readCurrentRow();
}

int TmySQLDataSet::RecNo() const {
    checkActive();
    return static_cast<int>(m_row + 1);
}

void TmySQLDataSet::SetRecNo(int recNo) {
    checkActive();
    if (m_cursor->SetRow(recNo - 1) != 0) return;
    m_row = recNo - 1;
    m_bof = m_eof = false;
    readCurrentRow();
}

TField* TmySQLDataSet::FindField(const std::string& name) const {
    for (const auto& f : m_fields)
        if (sameText(f->FieldName(), name)) return f.get();
    return nullptr;
}

TField& TmySQLDataSet::FieldByName(const std::string& name) const {
    if (TField* f = FindField(name)) return *f;
    databaseError("Field '" + name + "' not found");
}

bool TmySQLDataSet::columnIsNull(int fieldNo) const {
    if (!m_cursor || m_row < 0) return true;
    size_t length = 0;
    return columnBytes(fieldNo, length) == nullptr;
}

const Variant& TmySQLDataSet::columnValue(int fieldNo) const {
    static const Variant null = Variant::Null();
    if (!m_cursor || m_row < 0 || fieldNo < 1 || static_cast<size_t>(fieldNo) > m_rowValues.size()) return null;
    return m_rowValues[fieldNo - 1];
}

const char* TmySQLDataSet::columnBytes(int fieldNo, size_t& length) const {
    length = 0;
    if (!m_cursor || m_row < 0) return nullptr;
    // The native statement reports a bad column number with an engine code; it reaches the
    // caller through the engine's guard as EmySQLDatabaseError.
    const char* bytes = nullptr;
    TmySQLEngine fallback;
    TmySQLEngine& engine = m_database ? m_database->Engine() : fallback;
    engine.Run([&] { bytes = m_cursor->ColumnBytes(fieldNo - 1, length); });
    return bytes;
}

bool TmySQLDataSet::cachedBlob(int fieldNo, std::string_view& value) const {
    auto it = m_blobCache.find({m_row, fieldNo});
    if (it == m_blobCache.end()) return false;
    value = it->second;
    return true;
}

void TmySQLDataSet::storeCachedBlob(int fieldNo, std::string_view value) {
    m_blobCache[{m_row, fieldNo}] = value;
}

std::unique_ptr<TmySQLBlobStream> TmySQLDataSet::OpenBlobReader(TField& field, TBlobStreamMode mode) {
    return std::make_unique<TmySQLBlobStream>(field, mode);
}

// ---- TField ----

bool TField::IsNull() const {
    if (IsBlob()) return m_dataSet->columnIsNull(m_fieldNo);
    return m_dataSet->columnValue(m_fieldNo).IsNull();
}

Variant TField::Value() const {
    if (IsBlob()) {
        size_t length = 0;
        const char* bytes = m_dataSet->columnBytes(m_fieldNo, length);
        if (!bytes) return Variant(std::string());
        if (m_dataType == ftMemo) return Variant(convertReadText(bytes, length));
        return Variant(std::string(bytes, length));
    }
    return m_dataSet->columnValue(m_fieldNo);
}

std::string TField::AsString() const {
    if (IsBlob()) return Value().RawText();
    const Variant& v = m_dataSet->columnValue(m_fieldNo);
    if (v.IsNull()) return {};
    switch (m_dataType) {
    case ftFloat: return FloatToStr(v.RawDouble());
    case ftDate: return DateToStr(v.RawDouble());
    case ftTime: return TimeToStr(v.RawDouble());
    case ftDateTime: return DateTimeToStr(v.RawDouble());
    default: return v.AsString();
    }
}

namespace {
[[noreturn]] void cannotAccess(const TField& f, const char* type) {
    f.DataSet().databaseError("Cannot access field '" + f.FieldName() + "' as type " + type);
}
} // namespace

int32_t TField::AsInteger() const {
    switch (m_dataType) {
    case ftSmallint: case ftWord: case ftInteger: case ftAutoInc: {
        const Variant& v = m_dataSet->columnValue(m_fieldNo);
        return v.IsNull() ? 0 : static_cast<int32_t>(v.RawInt());
    }
    case ftLargeint: {
        const Variant& v = m_dataSet->columnValue(m_fieldNo);
        return v.IsNull() ? 0 : static_cast<int32_t>(v.RawInt());
    }
    case ftFloat: {
        const Variant& v = m_dataSet->columnValue(m_fieldNo);
        return v.IsNull() ? 0 : static_cast<int32_t>(std::lrint(v.RawDouble()));
    }
    case ftString: case ftMemo:
        return StrToInt(AsString());
    default:
        cannotAccess(*this, "Integer");
    }
}

int64_t TField::AsLargeInt() const {
    switch (m_dataType) {
    case ftSmallint: case ftWord: case ftInteger: case ftAutoInc: case ftLargeint: {
        const Variant& v = m_dataSet->columnValue(m_fieldNo);
        return v.IsNull() ? 0 : v.RawInt();
    }
    case ftFloat: {
        const Variant& v = m_dataSet->columnValue(m_fieldNo);
        return v.IsNull() ? 0 : std::llrint(v.RawDouble());
    }
    case ftString: case ftMemo:
        return StrToInt64(AsString());
    default:
        cannotAccess(*this, "Largeint");
    }
}

double TField::AsFloat() const {
    switch (m_dataType) {
    case ftSmallint: case ftWord: case ftInteger: case ftAutoInc: case ftLargeint: case ftFloat:
    case ftDate: case ftTime: case ftDateTime: {
        const Variant& v = m_dataSet->columnValue(m_fieldNo);
        return v.IsNull() ? 0 : v.AsFloat();
    }
    case ftString: case ftMemo: {
        std::string t = AsString();
        double d = 0;
        auto r = std::from_chars(t.data(), t.data() + t.size(), d);
        if (r.ec != std::errc() || r.ptr != t.data() + t.size())
            throw EConvertError("'" + t + "' is not a valid floating point value");
        return d;
    }
    default:
        cannotAccess(*this, "Float");
    }
}

double TField::AsDateTime() const {
    switch (m_dataType) {
    case ftDate: case ftTime: case ftDateTime: {
        const Variant& v = m_dataSet->columnValue(m_fieldNo);
        return v.IsNull() ? 0 : v.RawDouble();
    }
    default:
        cannotAccess(*this, "DateTime");
    }
}

bool TField::AsBoolean() const {
    if (m_dataType == ftBoolean) {
        const Variant& v = m_dataSet->columnValue(m_fieldNo);
        return !v.IsNull() && v.RawInt() != 0;
    }
    if (m_dataType == ftString || m_dataType == ftMemo) {
        std::string t = lowerCase(AsString());
        if (!t.empty() && (t[0] == 't' || t[0] == 'y')) return true;
        if (t.empty() || t[0] == 'f' || t[0] == 'n') return false;
        throw EConvertError("'" + AsString() + "' is not a valid boolean value");
    }
    cannotAccess(*this, "Boolean");
}

// ---- TmySQLBlobStream ----

TmySQLBlobStream::TmySQLBlobStream(TField& field, TBlobStreamMode mode)
    : m_dataSet(&field.DataSet()), m_field(&field) {
    (void)mode;
    if (!field.IsBlob()) throw EVariantError("Invalid class typecast");
    m_memo = field.DataType() == ftMemo;
    m_row = m_dataSet->currentRowIndex();
    std::string_view cached;
    if (m_dataSet->cachedBlob(field.FieldNo(), cached)) {
        m_bytes = cached.data();
        m_size = cached.size();
        m_fromCache = true;
    } else {
        m_bytes = m_dataSet->columnBytes(field.FieldNo(), m_size);
    }
}

TmySQLBlobStream::~TmySQLBlobStream() = default;

void TmySQLBlobStream::Seek(int64_t position) {
    if (position < 0) position = 0;
    if (static_cast<size_t>(position) > m_size) position = static_cast<int64_t>(m_size);
    if (static_cast<size_t>(position) != m_position) m_wholeFromStart = false;
    m_position = static_cast<size_t>(position);
}

size_t TmySQLBlobStream::Read(void* buffer, size_t count) {
    if (!m_bytes || m_position >= m_size) return 0;
    size_t n = std::min(count, m_size - m_position);
    std::memcpy(buffer, m_bytes + m_position, n);
    if (m_memo) {
        std::string converted = convertReadText(static_cast<const char*>(buffer), n);
        std::memcpy(buffer, converted.data(), n);
    }
    m_position += n;
    if (m_position == m_size && m_wholeFromStart && !m_fromCache && m_dataSet->currentRowIndex() == m_row) {
        m_dataSet->storeCachedBlob(m_field->FieldNo(), std::string_view(m_bytes, m_size));
        m_fromCache = true;
    }
    return n;
}

std::string TmySQLBlobStream::ReadAll() {
    std::string out(m_size > m_position ? m_size - m_position : 0, '\0');
    size_t n = Read(out.data(), out.size());
    out.resize(n);
    return out;
}
