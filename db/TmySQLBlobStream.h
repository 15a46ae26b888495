#pragma once
// Reader over the bytes of a blob or memo field of the current row. Memo blocks are
// converted as read text; blob bytes pass unchanged. A value read whole from its start is
// kept in the row's blob cache, so later readers of the same row and field use the cache.
// The reader shares the stored result, so it reads its value whole even after the query was
// closed, reopened or freed.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "db/TFieldType.h"

class TField;
class TmySQLDataSet;
class TMysqlResult;

class TmySQLBlobStream {
public:
    // Raises EVariantError "Invalid class typecast" for a field that is not ftBlob or ftMemo.
    TmySQLBlobStream(TField& field, TBlobStreamMode mode = bmRead);
    ~TmySQLBlobStream();
    TmySQLBlobStream(const TmySQLBlobStream&) = delete;
    TmySQLBlobStream& operator=(const TmySQLBlobStream&) = delete;

    int64_t Size() const { return static_cast<int64_t>(m_size); }
    int64_t Position() const { return static_cast<int64_t>(m_position); }
    void Seek(int64_t position);  // clamped to 0..Size
    // Copies at most count bytes from the position; 0 at the end.
    size_t Read(void* buffer, size_t count);
    // Everything from the position to the end.
    std::string ReadAll();

private:
    std::weak_ptr<TmySQLDataSet*> m_dataSet;  // for the blob cache; expires with the dataset
    uint64_t m_generation = 0;                // the dataset's open the value came from
    std::shared_ptr<const TMysqlResult> m_result;  // keeps m_bytes alive
    int m_fieldNo = 0;
    const char* m_bytes = nullptr;  // the stored value or the cached one
    size_t m_size = 0;
    size_t m_position = 0;
    bool m_fromCache = false;
    bool m_wholeFromStart = true;   // every byte so far was read in order from position 0
    bool m_memo = false;
    int64_t m_row = -1;
};
