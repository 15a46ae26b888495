#include "protocol/TMysqlResult.h"

#include <cstring>

#include "protocol/MysqlClientImpl.h"
#include "protocol/MysqlPackets.h"

using namespace mysqlpkt;

TMysqlResult::TMysqlResult(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

TMysqlResult::~TMysqlResult()
{
    Impl& r = *m_impl;
    if (!r.buffered && r.client) {
        TMysqlClient::Impl& c = *r.client;
        if (c.currentResult == &r) c.currentResult = nullptr;
        if (c.status == 2) {
            // Drain the rows the caller did not fetch so the connection is usable again.
            for (;;) {
                long length = c.net.ReadReply();
                if (length < 0 || isEofPacket(c.net.ReadPos(), size_t(length))) break;
            }
            c.status = 0;
            c.net.ShrinkBuffer();
            c.affectedRows = uint64_t(r.rowCount);
        }
        r.client = nullptr;
    }
}

bool TMysqlResult::Buffered() const { return m_impl->buffered; }
uint32_t TMysqlResult::FieldCount() const { return m_impl->fieldCount; }
int64_t TMysqlResult::RowCount() const { return m_impl->rowCount; }
int32_t TMysqlResult::RecNo() const { return m_impl->recNo; }
bool TMysqlResult::Eof() const { return m_impl->eof; }
bool TMysqlResult::Bof() const { return m_impl->bof; }

const TMysqlFieldInfo* TMysqlResult::FieldDef(int i) const
{
    if (i < 0 || size_t(i) >= m_impl->fields.size()) return nullptr;
    return &m_impl->fields[size_t(i)];
}

const char* TMysqlResult::FieldValue(int i) const
{
    if (i < 0 || uint32_t(i) >= m_impl->fieldCount) return nullptr;
    const uint8_t* block = m_impl->currentBlock();
    return block ? rowValue(block, uint32_t(i)) : nullptr;
}

const char* TMysqlResult::RowValue(int64_t row, int i, uint32_t& length) const
{
    length = 0;
    const Impl& r = *m_impl;
    if (!r.buffered || row < 0 || row >= int64_t(r.rows.size()) || i < 0 || uint32_t(i) >= r.fieldCount)
        return nullptr;
    const uint8_t* block = r.rows[size_t(row)];
    const char* v = rowValue(block, uint32_t(i));
    if (v) length = rowLength(block, uint32_t(i));
    return v;
}

void TMysqlResult::FetchLengths()
{
    Impl& r = *m_impl;
    r.lengthsValid = true;
    if (!r.buffered) return;  // filled by the fetch
    const uint8_t* block = r.currentBlock();
    for (uint32_t i = 0; i < r.fieldCount; ++i) r.lengths[i] = block ? rowLength(block, i) : 0;
}

uint32_t TMysqlResult::FieldLength(int i) const
{
    if (i < 0 || uint32_t(i) >= m_impl->fieldCount || !m_impl->lengthsValid) return 0;
    return m_impl->lengths[size_t(i)];
}

bool TMysqlResult::First()
{
    Impl& r = *m_impl;
    r.bof = true;
    if (r.buffered) {
        if (r.rowCount > 0) {
            r.current = 0;
            r.lengthsValid = false;
            r.recNo = 0;
        } else {
            r.recNo = -1;
        }
    }
    r.eof = r.rowCount == 0;
    return r.eof;
}

void TMysqlResult::Last()
{
    Impl& r = *m_impl;
    if (r.buffered) {
        if (r.current >= 0 && !r.eof) {
            r.current = r.rowCount - 1;
            r.lengthsValid = false;
        }
        r.eof = true;
        r.bof = r.rowCount == 0;
        r.recNo = int32_t(r.rowCount - 1);
        return;
    }
    r.eof = true;
    r.bof = r.rowCount == 0;
    if (r.client) {
        TMysqlClient::Impl& c = *r.client;
        while (c.fetchRow(r) == 0) ++r.rowCount;
        r.recNo = int32_t(r.rowCount - 1);
        if (r.client) c.detach(r);
    }
}

bool TMysqlResult::Prior()
{
    Impl& r = *m_impl;
    if (r.buffered) {
        if (r.current > 0) {
            --r.current;
            --r.recNo;
            r.bof = false;
            r.lengthsValid = false;
        } else {
            r.bof = true;
        }
    } else {
        r.bof = true;
    }
    r.eof = r.rowCount == 0;
    return r.eof;
}

void TMysqlResult::Next()
{
    Impl& r = *m_impl;
    if (r.buffered) {
        if (r.current >= 0 && r.current + 1 < r.rowCount) {
            ++r.current;
            ++r.recNo;
            r.eof = false;
            r.lengthsValid = false;
        } else {
            r.eof = true;
        }
        r.bof = r.rowCount == 0;
        return;
    }
    r.bof = r.rowCount == 0;
    r.eof = false;
    r.lengthsValid = true;
    if (!r.client) {
        r.eof = true;
        return;
    }
    TMysqlClient::Impl& c = *r.client;
    if (c.fetchRow(r) == 0) {
        r.recNo = int32_t(r.rowCount);
        ++r.rowCount;
    } else {
        r.eof = true;
        if (r.client) c.detach(r);
    }
}

void TMysqlResult::Seek(int64_t i)
{
    Impl& r = *m_impl;
    if (!r.buffered || i < 0 || i >= r.rowCount) return;
    r.current = i;
    r.recNo = int32_t(i);
    r.bof = false;
    r.eof = false;
    r.lengthsValid = false;
}

namespace {

// Types whose values never match in Locate: NULL, YEAR .. BLOB, GEOMETRY.
bool neverMatches(uint8_t type)
{
    return type == MysqlType::NULL_ || (type >= 13 && type <= 252) || type == 255;
}

bool sameText(std::string_view a, std::string_view b, bool caseInsensitive)
{
    if (a.size() != b.size()) return false;
    if (a.empty()) return true;
    if (!caseInsensitive) return std::memcmp(a.data(), b.data(), a.size()) == 0;
    for (size_t i = 0; i < a.size(); ++i) {
        auto up = [](char ch) { return (ch >= 'a' && ch <= 'z') ? char(ch - 32) : ch; };
        if (up(a[i]) != up(b[i])) return false;
    }
    return true;
}

} // namespace

int64_t TMysqlResult::Locate(const int* columns, const std::string* keys, int count,
                             bool caseInsensitive)
{
    Impl& r = *m_impl;
    if (!r.buffered || r.rowCount == 0 || count <= 0 || !columns || !keys) return -1;
    for (int j = 0; j < count; ++j) {
        if (columns[j] < 0 || uint32_t(columns[j]) >= r.fieldCount) return -1;
        if (neverMatches(r.fields[size_t(columns[j])].FieldType)) return -1;
    }
    for (int64_t row = 0; row < r.rowCount; ++row) {
        const uint8_t* block = r.rows[size_t(row)];
        bool all = true;
        for (int j = 0; j < count && all; ++j) {
            uint32_t c = uint32_t(columns[j]);
            const char* v = rowValue(block, c);
            std::string_view value = v ? std::string_view(v, rowLength(block, c)) : std::string_view();
            all = sameText(keys[j], value, caseInsensitive);
        }
        if (all) return row;
    }
    return -1;
}
