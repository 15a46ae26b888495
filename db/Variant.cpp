#include "db/Variant.h"

#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "db/DateTimeUtil.h"
#include "db/DbErrors.h"
#include "db/DbSettings.h"

namespace {

const char* kindName(VarKind k) {
    switch (k) {
    case VarKind::Empty: return "Empty";
    case VarKind::Null: return "Null";
    case VarKind::Smallint: return "Smallint";
    case VarKind::Integer: return "Integer";
    case VarKind::Single: return "Single";
    case VarKind::Double: return "Double";
    case VarKind::Currency: return "Currency";
    case VarKind::DateTime: return "Date";
    case VarKind::WideString: return "OleStr";
    case VarKind::Boolean: return "Boolean";
    case VarKind::ShortInt: return "ShortInt";
    case VarKind::Byte: return "Byte";
    case VarKind::Word: return "Word";
    case VarKind::LongWord: return "LongWord";
    case VarKind::Int64: return "Int64";
    case VarKind::String: return "String";
    }
    return "";
}

[[noreturn]] void cannotConvert(VarKind from, const char* to) {
    throw EVariantError(std::string("Could not convert variant of type (") + kindName(from) +
                        ") into type (" + to + ")");
}

// Text to a number: a decimal integer, else a float with "." or the regional separator.
bool textToFloat(const std::string& text, double& value) {
    if (text.empty()) return false;
    std::string t = text;
    char sep = FormatSettings().DecimalSeparator;
    if (sep != '.')
        for (char& c : t)
            if (c == sep) c = '.';
    const char* begin = t.data();
    const char* end = t.data() + t.size();
    while (begin < end && *begin == ' ')
        ++begin;
    if (begin < end && *begin == '+') ++begin;
    auto r = std::from_chars(begin, end, value);
    return r.ec == std::errc() && r.ptr == end;
}
} // namespace


Variant Variant::Null() { Variant v; v.m_kind = VarKind::Null; return v; }
Variant Variant::Smallint(int16_t x) { Variant v(static_cast<int>(x)); v.m_kind = VarKind::Smallint; return v; }
Variant Variant::ShortInt(int8_t x) { Variant v(static_cast<int>(x)); v.m_kind = VarKind::ShortInt; return v; }
Variant Variant::Byte(uint8_t x) { Variant v(static_cast<int>(x)); v.m_kind = VarKind::Byte; return v; }
Variant Variant::Word(uint16_t x) { Variant v(static_cast<int>(x)); v.m_kind = VarKind::Word; return v; }
Variant Variant::LongWord(uint32_t x) { Variant v(static_cast<long long>(x)); v.m_kind = VarKind::LongWord; return v; }
Variant Variant::Int64(int64_t x) { return Variant(static_cast<long long>(x)); }
Variant Variant::Single(float x) { return Variant(x); }
Variant Variant::Currency(double x) { Variant v(x); v.m_kind = VarKind::Currency; return v; }
Variant Variant::DateTime(double days) { Variant v(days); v.m_kind = VarKind::DateTime; return v; }
Variant Variant::WideString(std::string utf8) { Variant v(std::move(utf8)); v.m_kind = VarKind::WideString; return v; }

bool Variant::IsOrdinal() const {
    switch (m_kind) {
    case VarKind::Smallint: case VarKind::Integer: case VarKind::ShortInt: case VarKind::Byte:
    case VarKind::Word: case VarKind::LongWord: case VarKind::Int64:
        return true;
    default:
        return false;
    }
}

bool Variant::IsFloat() const {
    return m_kind == VarKind::Single || m_kind == VarKind::Double || m_kind == VarKind::Currency;
}

std::string Variant::AsString() const {
    if (IsNullOrEmpty()) return {};
    if (IsOrdinal()) return std::to_string(m_int);
    if (IsFloat()) return FloatToStr(m_double);
    switch (m_kind) {
    case VarKind::DateTime: return DateTimeToStr(m_double);
    case VarKind::Boolean: return m_int ? "True" : "False";
    default: return m_text;
    }
}

int64_t Variant::AsInt64() const {
    if (IsEmpty()) return 0;
    if (IsNull()) cannotConvert(m_kind, "Int64");
    if (IsOrdinal() || m_kind == VarKind::Boolean) return m_int;
    if (IsFloat() || m_kind == VarKind::DateTime) {
        // Outside the 64-bit range (and NaN) rounding has no defined result.
        if (!(std::fabs(m_double) < 9223372036854775808.0))
            throw EVariantError("Overflow while converting variant of type (" + std::string(kindName(m_kind)) +
                                ") into type (Int64)");
        return std::llrint(m_double);
    }
    int64_t i = 0;
    if (TryStrToInt64(m_text, i)) return i;
    double d = 0;
    if (textToFloat(m_text, d)) {
        if (!(std::fabs(d) < 9223372036854775808.0))
            throw EVariantError("Overflow while converting variant of type (" + std::string(kindName(m_kind)) +
                                ") into type (Int64)");
        return std::llrint(d);
    }
    cannotConvert(m_kind, "Int64");
}

int32_t Variant::AsInteger() const {
    if (IsNull()) cannotConvert(m_kind, "Integer");
    if (IsText()) {
        int32_t v = 0;
        if (TryStrToInt(m_text, v)) return v;
        double d = 0;
        if (textToFloat(m_text, d) && std::fabs(d) < 2147483648.0) return static_cast<int32_t>(std::lrint(d));
        cannotConvert(m_kind, "Integer");
    }
    int64_t v = AsInt64();
    if (v < INT32_MIN || v > INT32_MAX) throw EVariantError("Overflow while converting variant of type (" +
                                                            std::string(kindName(m_kind)) + ") into type (Integer)");
    return static_cast<int32_t>(v);
}

double Variant::AsFloat() const {
    if (IsEmpty()) return 0;
    if (IsNull()) cannotConvert(m_kind, "Double");
    if (IsOrdinal() || m_kind == VarKind::Boolean) return static_cast<double>(m_int);
    if (IsFloat() || m_kind == VarKind::DateTime) return m_double;
    double d = 0;
    if (textToFloat(m_text, d)) return d;
    cannotConvert(m_kind, "Double");
}

double Variant::AsDateTime() const {
    if (IsText()) cannotConvert(m_kind, "Date");
    return AsFloat();
}

bool Variant::AsBoolean() const {
    if (IsEmpty()) return false;
    if (IsNull()) cannotConvert(m_kind, "Boolean");
    if (IsOrdinal() || m_kind == VarKind::Boolean) return m_int != 0;
    if (IsFloat() || m_kind == VarKind::DateTime) return m_double != 0;
    std::string t = m_text;
    for (char& c : t)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (t == "true") return true;
    if (t == "false") return false;
    double d = 0;
    if (textToFloat(m_text, d)) return d != 0;
    cannotConvert(m_kind, "Boolean");
}

bool Variant::operator==(const Variant& other) const {
    if (m_kind != other.m_kind) return false;
    if (IsNullOrEmpty()) return true;
    if (IsOrdinal() || m_kind == VarKind::Boolean) return m_int == other.m_int;
    if (IsFloat() || m_kind == VarKind::DateTime) return m_double == other.m_double;
    return m_text == other.m_text;
}
