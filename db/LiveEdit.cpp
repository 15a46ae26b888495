#include "db/LiveEdit.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "db/DateTimeUtil.h"
#include "db/DbErrors.h"
#include "db/DbInternal.h"
#include "db/DbSettings.h"
#include "db/SqlText.h"
#include "db/TNativeConnect.h"
#include "db/TNativeDataSet.h"
#include "db/TmySQLEngine.h"
#include "protocol/TMysqlClient.h"
#include "protocol/TMysqlResult.h"

namespace {

std::string quoted(std::string_view text) { return "'" + EscapeText(text) + "'"; }

// Fixed separators: statements never follow the regional settings.
const TFormatSettings& statementFormats()
{
    static const TFormatSettings fs = [] {
        TFormatSettings f;
        f.DateSeparator = '-';
        f.TimeSeparator = ':';
        return f;
    }();
    return fs;
}

std::string pad2(long long v) { return v < 10 ? "0" + std::to_string(v) : std::to_string(v); }

// A TIME value may be negative or longer than a day (up to 838 hours).
std::string timeLiteral(double days)
{
    long long seconds = std::llround(std::fabs(days) * 86400.0);
    std::string text = pad2(seconds / 3600) + ":" + pad2(seconds / 60 % 60) + ":" + pad2(seconds % 60);
    return days < 0 && seconds != 0 ? "-" + text : text;
}

std::vector<std::string> allowedItems(const std::string& list)
{
    std::vector<std::string> items;
    std::string cur;
    for (char c : list) {
        if (c == ',') {
            items.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!list.empty()) items.push_back(cur);
    return items;
}

// The bit sum of a SET value: 2^k for every item found at position k of the allowed values.
std::string setSum(const std::string& value, const std::string& allowed)
{
    const std::vector<std::string> items = allowedItems(allowed);
    unsigned long long sum = 0;
    for (const std::string& item : allowedItems(value))
        for (size_t k = 0; k < items.size() && k < 64; ++k)
            if (sameText(items[k], item)) sum |= 1ull << k;
    return std::to_string(sum);
}

std::string booleanLetter(bool value, const std::string& allowed)
{
    const std::string a = lowerCase(allowed);
    if (!value) return (a == "y,n" || a == "n,y") ? "'n'" : "'f'";
    return (a == "t,f" || a == "f,t") ? "'t'" : "'y'";
}

// The table's own name from its statement form: `db`.`t` gives t.
std::string bareTableName(const std::string& name)
{
    std::string bare = name.substr(name.find_last_of('.') == std::string::npos ? 0 : name.find_last_of('.') + 1);
    if (bare.size() >= 2 && bare.front() == '`' && bare.back() == '`') bare = bare.substr(1, bare.size() - 2);
    return bare;
}

}  // namespace

namespace {
// A key value of the re-run result against the value sought: texts without regard to case,
// numbers as numbers, dates, times and booleans by their literal forms.
bool sameKeyValue(const TmySQLField& f, const Variant& want, std::string_view got)
{
    switch (f.FieldType) {
    case ftString:
    case ftMemo:
    case ftBlob: return sameText(want.AsString().c_str(), got.substr(0, strnlen(got.data(), got.size())));
    case ftSmallint:
    case ftWord:
    case ftInteger:
    case ftAutoInc:
    case ftLargeint: {
        int64_t v = 0;
        return TryStrToInt64(std::string(got), v) && v == want.AsInt64();
    }
    case ftFloat: return std::strtod(std::string(got).c_str(), nullptr) == want.AsFloat();
    case ftBoolean: {
        const char c = got.empty() ? 0 : static_cast<char>(std::tolower(static_cast<unsigned char>(got[0])));
        return (c == 't' || c == 'y') == want.AsBoolean();
    }
    default: return sameText(FieldLiteral(f, want, LiteralUse::Condition), "'" + std::string(got) + "'");
    }
}
}  // namespace

std::string FieldLiteral(const TmySQLField& field, const Variant& value, LiteralUse use)
{
    const double d = value.IsFloat() || value.Kind() == VarKind::DateTime ? value.RawDouble() : 0;
    switch (field.FieldType) {
    case ftString: {
        std::string text = value.AsString();
        text.resize(strnlen(text.c_str(), text.size()));
        if (use == LiteralUse::Assignment && (field.Flags & MysqlFieldFlag::SET))
            return setSum(text, field.AllowedValues);
        return quoted(text);
    }
    case ftDate: {
        const double v = value.AsDateTime();
        if (std::trunc(v) == 0) return "'0000-00-00'";
        return "'" + FormatDateTime("yyyy/mm/dd", v, statementFormats()) + "'";
    }
    case ftTime: return "'" + timeLiteral(value.AsDateTime()) + "'";
    case ftDateTime: {
        const double v = value.AsDateTime();
        if (std::trunc(v) == 0) return "'0000-00-00 00:00:00'";
        return "'" + FormatDateTime("yyyy/mm/dd hh:nn:ss", v, statementFormats()) + "'";
    }
    case ftBoolean: return booleanLetter(value.AsBoolean(), field.AllowedValues);
    case ftSmallint:
    case ftWord:
    case ftInteger:
    case ftAutoInc:
    case ftLargeint: return std::to_string(value.AsInt64());
    case ftFloat: return FloatToStrGeneral(value.IsFloat() ? d : value.AsFloat(), '.');
    case ftMemo:
    case ftBlob: {
        // A memo is text (a VARCHAR beyond 255 bytes becomes one, such as a user name of 400
        // utf8mb4 characters) and names its row like any text; binary bytes do not.
        if (use == LiteralUse::Condition) return field.FieldType == ftMemo ? quoted(value.AsString()) : std::string();
        const std::string& bytes = value.IsText() ? value.RawText() : value.AsString();
        // Compared unsigned: a LONGBLOB or LONGTEXT declares 4294967295 and takes any value.
        if (bytes.size() > field.DeclaredLength) throw EmySQLException(0, "Image size exceeds maximum blob field size");
        return quoted(bytes);
    }
    default: return quoted(value.AsString());
    }
}

// ---- Statements of the native statement ----------------------------------------------

TNativeDataSet::KeyColumns TNativeDataSet::Keys() const
{
    KeyColumns keys;
    const TmySQLIndex* index = nullptr;
    for (const TmySQLIndex& i : m_indexes)
        if (i.Primary) {
            index = &i;
            break;
        }
    if (!index)
        for (const TmySQLIndex& i : m_indexes)
            if (i.Unique) {
                index = &i;
                break;
            }
    if (index) {
        for (size_t k = 0; k < index->Columns.size(); ++k) {
            const int no = index->FieldNumbers[k];
            if (no < 1 || static_cast<size_t>(no) > m_fields.size())
                throw EmySQLException(EngineCode::InvalidRecordStructure);
            keys.Fields.push_back(&m_fields[static_cast<size_t>(no) - 1]);
            keys.Names.push_back(index->Columns[k]);
        }
        return keys;
    }
    // No usable key: every column the query selects from the table names the row, memo
    // columns included (two rows may differ in a memo only). Columns of other tables of a join
    // are no columns of the table; blob bytes give no condition.
    keys.Unique = false;
    const std::string table = bareTableName(TableName());
    const auto ofTable = [&](const TmySQLField& f) { return table.empty() || sameText(f.Table, table); };
    const bool anyOfTable = std::any_of(m_fields.begin(), m_fields.end(),
                                        [&](const TmySQLField& f) { return !f.Calculated && ofTable(f); });
    for (const TmySQLField& f : m_fields) {
        if (f.FieldType == ftUnknown || f.FieldType == ftBlob || f.Calculated) continue;
        // Under an alias no field carries the table's name: then every field counts.
        if (anyOfTable && !ofTable(f)) continue;
        keys.Fields.push_back(&f);
        keys.Names.push_back(f.Name);
    }
    return keys;
}

uint64_t TNativeDataSet::CountRows(const std::vector<Variant>& row) const
{
    const std::string conditions = KeyConditions(Keys(), row);
    if (conditions.empty()) return 0;
    const std::unique_ptr<TMysqlResult> r =
        m_connection->Query("SELECT COUNT(*) FROM " + TableName() + " WHERE " + conditions);
    if (!r || r->RowCount() < 1) return 0;
    r->Seek(0);
    const char* v = r->FieldValue(0);
    return v ? std::strtoull(v, nullptr, 10) : 0;
}

std::string TNativeDataSet::KeyConditions(const KeyColumns& keys, const std::vector<Variant>& row) const
{
    std::string out;
    for (size_t k = 0; k < keys.Fields.size(); ++k) {
        const TmySQLField& f = *keys.Fields[k];
        const Variant& v = row.at(static_cast<size_t>(f.FieldNo) - 1);
        std::string condition = QuoteIdentifier(keys.Names[k]);
        if (v.IsNullOrEmpty()) {
            condition += (f.Flags & MysqlFieldFlag::NOT_NULL) ? "=''" : " IS NULL";
        } else {
            const std::string literal = FieldLiteral(f, v, LiteralUse::Condition);
            if (literal.empty()) continue;  // a blob key column gives no condition
            condition += "=" + literal;
        }
        if (!out.empty()) out += " AND ";
        out += condition;
    }
    return out;
}

std::string TNativeDataSet::BuildDelete(const std::vector<Variant>& row) const
{
    const KeyColumns keys = Keys();
    const std::string conditions = KeyConditions(keys, row);
    if (conditions.empty()) throw EDatabaseError("Delete refused: no key value names the row in " + TableName());
    std::string sql = "DELETE FROM " + TableName() + " WHERE " + conditions;
    // Without a unique key, equal rows would all go: only the chosen one does.
    if (!keys.Unique) sql += " LIMIT 1";
    return sql;
}

std::string TNativeDataSet::BuildUpdate(const std::vector<Variant>& oldRow, const std::vector<Variant>& newRow,
                                        const std::vector<uint8_t>& changed) const
{
    std::string assignments;
    for (const TmySQLField& f : m_fields) {
        const size_t i = static_cast<size_t>(f.FieldNo) - 1;
        if (f.FieldType == ftUnknown || f.Calculated || !changed.at(i)) continue;
        if (!assignments.empty()) assignments += ", ";
        assignments += QuoteIdentifier(f.Name) + "=";
        const Variant& v = newRow.at(i);
        assignments += v.IsNullOrEmpty() ? "NULL" : FieldLiteral(f, v, LiteralUse::Assignment);
    }
    if (assignments.empty()) return {};
    const KeyColumns keys = Keys();
    const std::string conditions = KeyConditions(keys, oldRow);
    // Without a condition the statement would change every row of the table.
    if (conditions.empty())
        throw EDatabaseError("Update refused: no key value names the row, and an update without "
                             "a condition would change every row of " +
                             TableName());
    std::string sql = "UPDATE " + TableName() + " SET " + assignments + " WHERE " + conditions;
    if (!keys.Unique) sql += " LIMIT 1";
    return sql;
}

std::string TNativeDataSet::BuildInsert(const std::vector<Variant>& row) const
{
    std::string columns, values;
    for (const TmySQLField& f : m_fields) {
        const Variant& v = row.at(static_cast<size_t>(f.FieldNo) - 1);
        if (f.FieldType == ftUnknown || f.Calculated || v.IsNullOrEmpty()) continue;
        if (!columns.empty()) {
            columns += ", ";
            values += ", ";
        }
        columns += f.Name;
        values += FieldLiteral(f, v, LiteralUse::Assignment);
    }
    if (columns.empty()) return {};
    return "INSERT INTO " + TableName() + " (" + columns + ") VALUES (" + values + ")";
}

void TNativeDataSet::SendChange(const std::string& statement)
{
    if (!Live) throw EmySQLException(EngineCode::TableReadOnly);
    m_connection->Query(statement);  // a change returns no rows
    TMysqlClient& client = m_connection->Client();
    m_affectedRows = client.AffectedRows();
    m_insertId = client.InsertId();
}

int64_t TNativeDataSet::FindRow(const KeyColumns& keys, const std::vector<Variant>& row) const
{
    if (!m_result || keys.Fields.empty()) return -1;
    for (int64_t r = 0; r < m_result->RowCount(); ++r) {
        bool same = true;
        for (const TmySQLField* f : keys.Fields) {
            const Variant& want = row.at(static_cast<size_t>(f->FieldNo) - 1);
            uint32_t n = 0;
            const char* got = m_result->RowValue(r, f->FieldNo - 1, n);
            if (want.IsNullOrEmpty() || !got) {
                same = want.IsNullOrEmpty() && !got;
            } else {
                same = sameKeyValue(*f, want, std::string_view(got, n));
            }
            if (!same) break;
        }
        if (same) return r;
    }
    return -1;
}
