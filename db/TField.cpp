#include "db/TField.h"

#include <charconv>
#include <cmath>

#include "db/DateTimeUtil.h"
#include "db/DbErrors.h"
#include "db/DbInternal.h"
#include "db/TmySQLDataSet.h"

void TField::checkBound() const
{
    if (!m_bound) m_dataSet->databaseError("Cannot perform this operation on a closed dataset");
}

const Variant& TField::current() const
{
    checkBound();
    if (const Variant* edited = m_dataSet->editValue(m_fieldNo)) return *edited;
    return m_dataSet->columnValue(m_fieldNo);
}

void TField::SetValue(const Variant& value)
{
    checkBound();
    m_dataSet->setFieldValue(m_fieldNo, value);
}

bool TField::IsNull() const
{
    if (const Variant* edited = m_dataSet->editValue(m_fieldNo)) return edited->IsNullOrEmpty();
    if (IsBlob()) return (checkBound(), m_dataSet->columnIsNull(m_fieldNo));
    return current().IsNull();
}

Variant TField::Value() const
{
    if (const Variant* edited = (checkBound(), m_dataSet->editValue(m_fieldNo))) {
        if (IsBlob() && edited->IsNullOrEmpty()) return Variant(std::string());
        return *edited;
    }
    if (IsBlob()) {
        size_t length = 0;
        const char* bytes = (checkBound(), m_dataSet->columnBytes(m_fieldNo, length));
        if (!bytes) return Variant(std::string());
        if (m_dataType == ftMemo) return Variant(convertReadText(bytes, length));
        return Variant(std::string(bytes, length));
    }
    return current();
}

std::string TField::AsString() const
{
    if (IsBlob()) return Value().RawText();
    if (m_dataType == ftLargeint && !m_dataSet->editValue(m_fieldNo)) {
        // The server's decimal digits as they are: this also shows a BIGINT UNSIGNED value
        // beyond the 64-bit signed range, whose value cannot be read.
        size_t length = 0;
        const char* bytes = (checkBound(), m_dataSet->columnBytes(m_fieldNo, length));
        return bytes ? std::string(bytes, length) : std::string();
    }
    const Variant& v = current();
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
[[noreturn]] void cannotAccess(const TField& f, const char* type)
{
    f.DataSet().databaseError("Cannot access field '" + f.FieldName() + "' as type " + type);
}
}  // namespace

int32_t TField::AsInteger() const
{
    switch (m_dataType) {
    case ftSmallint:
    case ftWord:
    case ftInteger:
    case ftAutoInc: {
        const Variant& v = current();
        return v.IsNull() ? 0 : static_cast<int32_t>(v.RawInt());
    }
    case ftLargeint:
    case ftFloat: {
        // Values beyond the 32-bit range raise the overflow error of the value itself.
        const Variant& v = current();
        return v.IsNull() ? 0 : v.AsInteger();
    }
    case ftString:
    case ftMemo: return StrToInt(AsString());
    default: cannotAccess(*this, "Integer");
    }
}

int64_t TField::AsLargeInt() const
{
    switch (m_dataType) {
    case ftSmallint:
    case ftWord:
    case ftInteger:
    case ftAutoInc:
    case ftLargeint: {
        const Variant& v = current();
        return v.IsNull() ? 0 : v.RawInt();
    }
    case ftFloat: {
        const Variant& v = current();
        return v.IsNull() ? 0 : v.AsInt64();
    }
    case ftString:
    case ftMemo: return StrToInt64(AsString());
    default: cannotAccess(*this, "Largeint");
    }
}

double TField::AsFloat() const
{
    switch (m_dataType) {
    case ftSmallint:
    case ftWord:
    case ftInteger:
    case ftAutoInc:
    case ftLargeint:
    case ftFloat:
    case ftDate:
    case ftTime:
    case ftDateTime: {
        const Variant& v = current();
        return v.IsNull() ? 0 : v.AsFloat();
    }
    case ftString:
    case ftMemo: {
        std::string t = AsString();
        double d = 0;
        auto r = std::from_chars(t.data(), t.data() + t.size(), d);
        if (r.ec != std::errc() || r.ptr != t.data() + t.size())
            throw EConvertError("'" + t + "' is not a valid floating point value");
        return d;
    }
    default: cannotAccess(*this, "Float");
    }
}

double TField::AsDateTime() const
{
    switch (m_dataType) {
    case ftDate:
    case ftTime:
    case ftDateTime: {
        const Variant& v = current();
        return v.IsNull() ? 0 : v.RawDouble();
    }
    default: cannotAccess(*this, "DateTime");
    }
}

bool TField::AsBoolean() const
{
    if (m_dataType == ftBoolean) {
        const Variant& v = current();
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
