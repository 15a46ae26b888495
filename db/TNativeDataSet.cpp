#include "db/TNativeDataSet.h"

#include <algorithm>
#include <strings.h>

#include "db/DbInternal.h"
#include "db/SqlText.h"
#include "db/TNativeConnect.h"
#include "db/TmySQLEngine.h"
#include "protocol/TMysqlClient.h"
#include "protocol/TMysqlResult.h"

namespace {
std::vector<std::string> splitAllowed(const std::string& list)
{
    std::vector<std::string> items;
    std::string cur;
    for (char c : list) {
        if (c == ',' || c == ' ') {
            if (!cur.empty()) items.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) items.push_back(cur);
    return items;
}

constexpr uint8_t kNewDecimal = 246;

bool isBooleanLetter(char c)
{
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c == 'f' || c == 'n' || c == 't' || c == 'y';
}
}  // namespace

namespace {

// "DESCRIBE table 'column'" with both names as the server sent them, quoted: the table as a
// back-quoted name, the column as a string whose LIKE wildcards match only themselves, so a
// name holding quotes, "%" or "_" probes exactly its own column.
std::string describeProbe(const std::string& table, const std::string& column)
{
    // The LIKE pattern first (its escape character is the backslash, so "\\", "%" and "_"
    // stand for themselves), then the string literal around it.
    std::string pattern;
    for (char c : column) {
        if (c == '%' || c == '_' || c == '\\') pattern += '\\';
        pattern += c;
    }
    return "DESCRIBE " + QuoteIdentifier(table) + " '" + EscapeText(pattern) + "'";
}

}  // namespace

TNativeDataSet::TNativeDataSet(TNativeConnect& connection, bool live) : Live(live), m_connection(&connection)
{
    m_connection->Statements.push_back(this);
}

TNativeDataSet::~TNativeDataSet()
{
    auto& list = m_connection->Statements;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void TNativeDataSet::FreeResult()
{
    m_result.reset();
    m_row = -1;
    m_position = Position::Unpositioned;
}

bool TNativeDataSet::Execute(bool probes)
{
    FreeResult();
    m_result = m_connection->Query(Text);
    TMysqlClient& client = m_connection->Client();
    m_affectedRows = client.AffectedRows();
    m_insertId = client.InsertId();
    if (!m_result) return false;
    dbTrace(TraceOp::Fetch, Text);
    if (probes && m_indexes.empty()) readIndexes();
    return true;
}

std::string TNativeDataSet::TableName() const { return TableNameOfStatement(Text); }

void TNativeDataSet::readIndexes()
{
    std::string table = TableName();
    if (table.empty()) return;
    bool ok = false;
    std::shared_ptr<TMysqlResult> r = m_connection->CachedProbe("SHOW INDEX FROM " + table, true, ok);
    if (!r) return;
    for (int64_t i = 0; i < r->RowCount(); ++i) {
        r->Seek(i);
        auto text = [&](int col) {
            const char* v = r->FieldValue(col);
            return std::string(v ? v : "");
        };
        bool unique = text(1) == "0";
        std::string keyName = text(2);
        bool primary = false;
        if (unique) {
            size_t n = std::min(keyName.size(), size_t(7));
            primary = strncasecmp(keyName.c_str(), "PRIMARY", n) == 0;
        }
        std::string name = primary ? std::string() : keyName.substr(0, 260);
        auto it = std::find_if(m_indexes.begin(), m_indexes.end(),
                               [&](const TmySQLIndex& x) { return x.Name == name && x.Primary == primary; });
        if (it == m_indexes.end()) {
            TmySQLIndex index;
            index.Number = static_cast<int>(m_indexes.size()) + 1;
            index.Name = name;
            index.Primary = primary;
            index.Unique = unique;
            m_indexes.push_back(index);
            it = m_indexes.end() - 1;
            if (primary && m_primaryIndex == 0) m_primaryIndex = index.Number;
        }
        if (text(5) != "A") it->Descending = true;
        it->Columns.push_back(text(4));
        int fieldNo = 0;
        for (const TmySQLField& f : m_fields)
            if (sameText(f.Name, text(4))) fieldNo = f.FieldNo;
        it->FieldNumbers.push_back(fieldNo);
    }
    m_indexesRead = true;
}

void TNativeDataSet::DescribeFields()
{
    if (m_fieldsBuilt || !m_result) return;
    const uint32_t count = m_result->FieldCount();
    m_fields.clear();
    m_fields.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        const TMysqlFieldInfo* info = m_result->FieldDef(static_cast<int>(i));
        TmySQLField f;
        f.FieldNo = static_cast<int>(i) + 1;
        f.Flags = info->Flags;
        f.Table = info->Table;
        f.DeclaredLength = info->Length;
        f.Calculated = info->Table.empty();
        std::string name = convertReadText(info->Name.data(), info->Name.size());
        f.Name = name.substr(0, 63);

        // Column probes: allowed values of ENUM/SET, then whether a NOT NULL column has a default.
        const bool enumOrSet = (f.Flags & (MysqlFieldFlag::ENUM | MysqlFieldFlag::SET)) != 0;
        const std::string probe = describeProbe(info->Table, info->Name);
        if (enumOrSet && !info->Table.empty()) {
            bool ok = false;
            std::shared_ptr<TMysqlResult> r = m_connection->CachedProbe(probe, false, ok);
            if (ok && r && r->RowCount() > 0) {
                r->First();
                const char* type = r->FieldValue(1);
                std::string t = type ? type : "";
                size_t open = t.find('(');
                if (open != std::string::npos) {
                    size_t close = t.find(')', open);
                    std::string list =
                        t.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
                    list.erase(std::remove(list.begin(), list.end(), '\''), list.end());
                    f.AllowedValues = list;
                }
            }
        }
        if ((f.Flags & MysqlFieldFlag::NOT_NULL) && !info->Table.empty()) {
            bool ok = false;
            std::shared_ptr<TMysqlResult> r = m_connection->CachedProbe(probe, false, ok);
            if (ok && r && r->RowCount() > 0) {
                r->First();
                f.HasDefault = r->FieldValue(4) != nullptr;
            }
        }

        // Type adjustments. Servers since 5.0 send exact DECIMAL columns as NEWDECIMAL (246);
        // it is the same text, read like DECIMAL.
        uint8_t type = info->FieldType == kNewDecimal ? uint8_t(MysqlType::DECIMAL) : info->FieldType;
        if (f.Flags & MysqlFieldFlag::ENUM) {
            std::vector<std::string> items = splitAllowed(f.AllowedValues);
            f.IsBoolean =
                items.size() == 2 && info->Length == 1 && isBooleanLetter(items[0][0]) && isBooleanLetter(items[1][0]);
        }
        uint32_t length = std::max(info->Length, info->MaxLength);
        if (f.Flags & MysqlFieldFlag::SET) {
            type = MysqlType::SET;
            if (info->MaxLength != 0) length = info->MaxLength;
        }
        if (type == MysqlType::BLOB && (f.Flags & MysqlFieldFlag::BLOB) && !(f.Flags & MysqlFieldFlag::BINARY))
            f.IsMemo = true;
        if ((type == MysqlType::VAR_STRING || type == MysqlType::STRING) && length >= 256) {
            type = MysqlType::BLOB;
            f.IsMemo = true;
        }
        f.NativeType = type;
        f.NativeSize = length;

        const bool isUnsigned = (f.Flags & MysqlFieldFlag::UNSIGNED) != 0;
        const bool autoInc = (f.Flags & MysqlFieldFlag::AUTO_INCREMENT) != 0;
        TFieldType ft = ftUnknown;
        if (f.IsBoolean) {
            ft = ftBoolean;
        } else {
            switch (type) {
            case MysqlType::DECIMAL:
            case MysqlType::FLOAT:
            case MysqlType::DOUBLE: ft = ftFloat; break;
            case MysqlType::TINY:
            case MysqlType::SHORT: ft = isUnsigned ? ftWord : ftSmallint; break;
            case MysqlType::LONG:
            case MysqlType::INT24:
            case MysqlType::YEAR: ft = !isUnsigned && autoInc ? ftAutoInc : ftInteger; break;
            case MysqlType::LONGLONG: ft = ftLargeint; break;
            case MysqlType::TIMESTAMP:
            case MysqlType::DATETIME: ft = ftDateTime; break;
            case MysqlType::DATE:
            case MysqlType::NEWDATE: ft = ftDate; break;
            case MysqlType::TIME: ft = ftTime; break;
            case MysqlType::NULL_:
            case MysqlType::ENUM:
            case MysqlType::SET:
            case MysqlType::VAR_STRING:
            case MysqlType::STRING:
                if (length != 0) {
                    ft = ftString;
                    f.Size = static_cast<int>(length);
                }
                break;
            case MysqlType::BLOB: ft = f.IsMemo ? ftMemo : ftBlob; break;
            default: break;
            }
        }
        f.FieldType = ft;

        // Unique names among the fields: id, id_1, id_2 ...
        if (ft != ftUnknown) {
            auto taken = [&](const std::string& n) {
                return std::any_of(m_fields.begin(), m_fields.end(), [&](const TmySQLField& o) {
                    return o.FieldType != ftUnknown && sameText(o.Name, n);
                });
            };
            if (taken(f.Name)) {
                std::string base = f.Name;
                for (int k = 1;; ++k) {
                    std::string candidate = base + "_" + std::to_string(k);
                    if (!taken(candidate)) {
                        f.Name = candidate;
                        break;
                    }
                }
            }
        }
        const bool keyFlags =
            (f.Flags & (MysqlFieldFlag::NOT_NULL | MysqlFieldFlag::PRI_KEY | MysqlFieldFlag::UNIQUE_KEY)) != 0;
        f.Required =
            keyFlags && !f.HasDefault && ft != ftAutoInc && !(info->FieldType == MysqlType::LONGLONG && autoInc);
        m_fields.push_back(std::move(f));
    }
    m_fieldsBuilt = true;
    for (TmySQLIndex& index : m_indexes)
        for (size_t k = 0; k < index.Columns.size(); ++k)
            for (const TmySQLField& f : m_fields)
                if (sameText(f.Name, index.Columns[k])) index.FieldNumbers[k] = f.FieldNo;
}

int64_t TNativeDataSet::RecordCount() const { return m_result ? m_result->RowCount() : 0; }

// The one row position over the stored result. A move past either end from a row reports
// the end and leaves that row current; values are read by row index, so the result keeps
// no position of its own in step.
uint16_t TNativeDataSet::MoveNext()
{
    const int64_t count = RecordCount();
    if (m_position == Position::AfterLast) return EngineCode::EndOfTable;
    int64_t target = m_position == Position::OnRow ? m_row + 1 : 0;
    if (target >= count) {
        if (m_position != Position::OnRow) {
            m_position = Position::AfterLast;
            m_row = count;
        }
        return EngineCode::EndOfTable;
    }
    m_row = target;
    m_position = Position::OnRow;
    return 0;
}

uint16_t TNativeDataSet::MovePrior()
{
    const int64_t count = RecordCount();
    if (m_position == Position::BeforeFirst) return EngineCode::BeginOfTable;
    int64_t target = m_position == Position::OnRow ? m_row - 1 : count - 1;
    if (target < 0) {
        if (m_position != Position::OnRow) {
            m_position = Position::BeforeFirst;
            m_row = -1;
        }
        return EngineCode::BeginOfTable;
    }
    m_row = target;
    m_position = Position::OnRow;
    return 0;
}

void TNativeDataSet::SetToBegin()
{
    m_position = Position::BeforeFirst;
    m_row = -1;
}

void TNativeDataSet::SetToEnd()
{
    m_position = Position::AfterLast;
    m_row = RecordCount();
}

uint16_t TNativeDataSet::SetRow(int64_t index)
{
    if (index < 0 || index >= RecordCount()) return EngineCode::NoCurrentRecord;
    m_row = index;
    m_position = Position::OnRow;
    return 0;
}

const char* TNativeDataSet::ColumnBytes(int column, size_t& length) const
{
    length = 0;
    if (!m_result || column < 0 || static_cast<uint32_t>(column) >= m_result->FieldCount())
        throw EmySQLException(EngineCode::InvalidRecordStructure);
    if (m_position != Position::OnRow) return nullptr;
    uint32_t n = 0;
    const char* v = m_result->RowValue(m_row, column, n);
    length = n;
    return v;
}
