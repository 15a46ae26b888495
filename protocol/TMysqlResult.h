#pragma once
// A result set of the protocol client, buffered (all rows in memory) or unbuffered
// (rows fetched one by one from the connection).

#include <cstdint>
#include <memory>
#include <string>

// One column description of a result.
struct TMysqlFieldInfo {
    std::string Name;
    std::string Table;
    uint8_t FieldType = 0;   // protocol type code (0 DECIMAL ... 255 GEOMETRY)
    uint32_t Length = 0;     // declared length
    uint32_t MaxLength = 0;  // longest value in a buffered result, else 0
    uint32_t Flags = 0;
    uint32_t Decimals = 0;
};

// Protocol type codes.
namespace MysqlType {
enum : uint8_t {
    DECIMAL = 0,
    TINY = 1,
    SHORT = 2,
    LONG = 3,
    FLOAT = 4,
    DOUBLE = 5,
    NULL_ = 6,
    TIMESTAMP = 7,
    LONGLONG = 8,
    INT24 = 9,
    DATE = 10,
    TIME = 11,
    DATETIME = 12,
    YEAR = 13,
    NEWDATE = 14,
    ENUM = 247,
    SET = 248,
    TINY_BLOB = 249,
    MEDIUM_BLOB = 250,
    LONG_BLOB = 251,
    BLOB = 252,
    VAR_STRING = 253,
    STRING = 254,
    GEOMETRY = 255
};
}

// Column flags.
namespace MysqlFieldFlag {
constexpr uint32_t NOT_NULL = 1, PRI_KEY = 2, UNIQUE_KEY = 4, BLOB = 16, UNSIGNED = 32, ZEROFILL = 64, BINARY = 128,
                   ENUM = 256, AUTO_INCREMENT = 512, SET = 2048;
}

// The ten field-flag tests; each is false for a missing description.
bool IsNotNull(const TMysqlFieldInfo* f);
bool IsPrimaryKey(const TMysqlFieldInfo* f);
bool IsUniqueKey(const TMysqlFieldInfo* f);
bool IsBlob(const TMysqlFieldInfo* f);
bool IsUnsigned(const TMysqlFieldInfo* f);
bool IsZerofill(const TMysqlFieldInfo* f);
bool IsBinary(const TMysqlFieldInfo* f);
bool IsEnum(const TMysqlFieldInfo* f);
bool IsAutoIncrement(const TMysqlFieldInfo* f);
bool IsSet(const TMysqlFieldInfo* f);

class TMysqlClient;

class TMysqlResult {
public:
    ~TMysqlResult();  // Destroy: an unbuffered result still attached drains its rows
    TMysqlResult(const TMysqlResult&) = delete;
    TMysqlResult& operator=(const TMysqlResult&) = delete;

    bool Buffered() const;
    uint32_t FieldCount() const;
    int64_t RowCount() const;
    int32_t RecNo() const;
    bool Eof() const;
    bool Bof() const;

    const TMysqlFieldInfo* FieldDef(int i) const;  // nullptr when out of range
    // The current row's value i as 0-terminated bytes; nullptr for SQL NULL, an index out of
    // range, or a buffered result without a current row. Values may contain 0 bytes: use
    // FieldLength for their length.
    const char* FieldValue(int i) const;
    // A buffered result's value i of row (0-based) with its length, without moving the
    // current row; nullptr for SQL NULL, an unbuffered result, or a row or column out of range.
    const char* RowValue(int64_t row, int i, uint32_t& length) const;
    void FetchLengths();
    uint32_t FieldLength(int i) const;  // 0 when out of range or lengths not valid

    bool First();
    void Last();
    bool Prior();
    void Next();
    void Seek(int64_t i);
    int64_t Locate(const int* columns, const std::string* keys, int count, bool caseInsensitive);

    struct Impl;  // layout private to the protocol library
private:
    friend class TMysqlClient;
    explicit TMysqlResult(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};
