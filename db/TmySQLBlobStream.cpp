#include "db/TmySQLBlobStream.h"

#include <algorithm>
#include <cstring>

#include "db/DbErrors.h"
#include "db/DbInternal.h"
#include "db/TField.h"
#include "db/TmySQLDataSet.h"


TmySQLBlobStream::TmySQLBlobStream(TField& field, TBlobStreamMode mode) {
    (void)mode;
    if (!field.IsBlob()) throw EVariantError("Invalid class typecast");
    if (!field.Bound()) field.DataSet().databaseError("Cannot perform this operation on a closed dataset");
    TmySQLDataSet& dataSet = field.DataSet();
    m_dataSet = dataSet.lifeToken();
    m_generation = dataSet.generation();
    m_result = dataSet.sharedResult();
    m_fieldNo = field.FieldNo();
    m_memo = field.DataType() == ftMemo;
    m_row = dataSet.currentRowIndex();
    std::string_view cached;
    if (dataSet.cachedBlob(m_fieldNo, cached)) {
        m_bytes = cached.data();
        m_size = cached.size();
        m_fromCache = true;
    } else {
        m_bytes = dataSet.columnBytes(m_fieldNo, m_size);
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
        // The conversion stops at the first NUL byte; the bytes after it stay as they are.
        std::string converted = convertReadText(static_cast<const char*>(buffer), n);
        std::memcpy(buffer, converted.data(), std::min(n, converted.size()));
    }
    m_position += n;
    if (m_position == m_size && m_wholeFromStart && !m_fromCache) {
        // Cached only while the dataset still holds the result this value came from.
        std::shared_ptr<TmySQLDataSet*> owner = m_dataSet.lock();
        if (owner && (*owner)->generation() == m_generation && (*owner)->currentRowIndex() == m_row)
            (*owner)->storeCachedBlob(m_row, m_fieldNo, std::string_view(m_bytes, m_size));
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
