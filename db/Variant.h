#pragma once
// Tagged value of parameters and fields. Text is bytes (std::string); a date-time is a
// double counting days since 1899-12-30, the fraction being the time of day.

#include <cstdint>
#include <string>
#include <string_view>

enum class VarKind : uint8_t {
    Empty,  // never assigned
    Null,
    Smallint,  // 16-bit signed
    Integer,   // 32-bit signed
    Single,
    Double,
    Currency,
    DateTime,
    WideString,
    Boolean,
    ShortInt,  // 8-bit signed
    Byte,
    Word,      // 16-bit unsigned
    LongWord,  // 32-bit unsigned
    Int64,
    String,
};

class Variant {
public:
    Variant() = default;  // empty
    Variant(int v) : m_kind(VarKind::Integer), m_int(v) {}
    Variant(unsigned v) : m_kind(VarKind::LongWord), m_int(v) {}
    Variant(long v) : m_kind(VarKind::Int64), m_int(v) {}
    Variant(long long v) : m_kind(VarKind::Int64), m_int(v) {}
    Variant(double v) : m_kind(VarKind::Double), m_double(v) {}
    Variant(float v) : m_kind(VarKind::Single), m_double(v) {}
    Variant(bool v) : m_kind(VarKind::Boolean), m_int(v ? 1 : 0) {}
    Variant(std::string v) : m_kind(VarKind::String), m_text(std::move(v)) {}
    Variant(std::string_view v) : m_kind(VarKind::String), m_text(v) {}
    Variant(const char* v) : m_kind(VarKind::String), m_text(v ? v : "") {}

    // The kinds without a natural C++ constructor.
    static Variant Null();
    static Variant Smallint(int16_t v);
    static Variant ShortInt(int8_t v);
    static Variant Byte(uint8_t v);
    static Variant Word(uint16_t v);
    static Variant LongWord(uint32_t v);
    static Variant Int64(int64_t v);
    static Variant Single(float v);
    static Variant Currency(double v);
    static Variant DateTime(double days);
    static Variant WideString(std::string utf8);

    VarKind Kind() const { return m_kind; }
    bool IsEmpty() const { return m_kind == VarKind::Empty; }
    bool IsNull() const { return m_kind == VarKind::Null; }
    bool IsNullOrEmpty() const { return IsEmpty() || IsNull(); }
    bool IsText() const { return m_kind == VarKind::String || m_kind == VarKind::WideString; }
    bool IsOrdinal() const;  // any of the integer kinds
    bool IsFloat() const;    // single, double, currency

    // Conversions. Empty and null give "" / 0 / false; numbers use the regional settings
    // in AsString (decimal separator, date and time formats). Text that does not convert
    // raises EConvertError ("'%s' is not a valid integer value" and the like).
    std::string AsString() const;
    int32_t AsInteger() const;
    int64_t AsInt64() const;
    double AsFloat() const;
    double AsDateTime() const;
    bool AsBoolean() const;

    // The raw payloads, valid for their kinds.
    int64_t RawInt() const { return m_int; }
    double RawDouble() const { return m_double; }
    const std::string& RawText() const { return m_text; }

    bool operator==(const Variant& other) const;

private:
    VarKind m_kind = VarKind::Empty;
    int64_t m_int = 0;
    double m_double = 0;
    std::string m_text;
};
