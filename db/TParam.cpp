#include "db/TParam.h"

#include <fstream>
#include <iterator>

#include "db/DbErrors.h"
#include "db/DbInternal.h"
#include "db/TmySQLDataSet.h"

namespace {
TFieldType typeOfKind(VarKind kind) {
    switch (kind) {
    case VarKind::Smallint: case VarKind::ShortInt: case VarKind::Byte: return ftSmallint;
    case VarKind::Integer: case VarKind::Word: return ftInteger;
    case VarKind::Single: case VarKind::Double: case VarKind::LongWord: return ftFloat;
    case VarKind::Currency: return ftBCD;
    case VarKind::DateTime: return ftDateTime;
    case VarKind::String: case VarKind::WideString: return ftString;
    case VarKind::Boolean: return ftBoolean;
    case VarKind::Int64: return ftLargeint;
    default: return ftUnknown;
    }
}
} // namespace

void TParam::SetValue(Variant value) {
    if (m_dataType == ftUnknown) m_dataType = typeOfKind(value.Kind());
    m_value = std::move(value);
    m_bound = true;
}

void TParam::Clear() {
    m_value = Variant();
    m_bound = false;
}

void TParam::SetAsString(const std::string& text) { m_dataType = ftString; SetValue(text); }
void TParam::SetAsInteger(int32_t value) { m_dataType = ftInteger; SetValue(value); }
void TParam::SetAsFloat(double value) { m_dataType = ftFloat; SetValue(value); }
void TParam::SetAsBoolean(bool value) { m_dataType = ftBoolean; SetValue(value); }
void TParam::SetAsDateTime(double value) { m_dataType = ftDateTime; SetValue(Variant::DateTime(value)); }
void TParam::SetAsDate(double value) { m_dataType = ftDate; SetValue(Variant::DateTime(value)); }
void TParam::SetAsTime(double value) { m_dataType = ftTime; SetValue(Variant::DateTime(value)); }
void TParam::SetAsBlob(const std::string& bytes) { m_dataType = ftBlob; SetValue(bytes); }
void TParam::SetAsMemo(const std::string& text) { m_dataType = ftMemo; SetValue(text); }

void TParam::LoadValueFromFile(const std::string& path, TFieldType type) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw EFOpenError("Cannot open file " + path);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    m_dataType = type;
    SetValue(std::move(bytes));
}

void TParam::AssignFrom(const TParam& other) {
    m_dataType = other.m_dataType;
    m_value = other.m_value;
    m_bound = other.m_bound;
    m_name = other.m_name;
    m_size = other.m_size;
    m_precision = other.m_precision;
    if (m_paramType == ptUnknown) m_paramType = other.m_paramType;
}

TParams::TParams(const TParams& other) : m_owner(other.m_owner) { *this = other; }

TParams& TParams::operator=(const TParams& other) {
    if (this == &other) return *this;
    m_items.clear();
    for (const auto& p : other.m_items)
        m_items.push_back(std::make_unique<TParam>(*p));
    return *this;
}

TParam& TParams::CreateParam(TFieldType type, const std::string& name, TParamType paramType) {
    m_items.push_back(std::make_unique<TParam>(name, type, paramType));
    return *m_items.back();
}

TParam& TParams::Add(const std::string& name) {
    m_items.push_back(std::make_unique<TParam>(name));
    return *m_items.back();
}

TParam* TParams::FindParam(const std::string& name) {
    for (auto& p : m_items)
        if (sameText(p->Name(), name)) return p.get();
    return nullptr;
}

const TParam* TParams::FindParam(const std::string& name) const {
    return const_cast<TParams*>(this)->FindParam(name);
}

TParam& TParams::ParamByName(const std::string& name) {
    if (TParam* p = FindParam(name)) return *p;
    std::string message = "Parameter '" + name + "' not found";
    if (m_owner) m_owner->databaseError(message);
    throw EDatabaseError(message);
}

const TParam& TParams::ParamByName(const std::string& name) const {
    return const_cast<TParams*>(this)->ParamByName(name);
}
