#pragma once
// Named parameters of a query. Names compare without regard to case.

#include <memory>
#include <string>
#include <vector>

#include "db/TFieldType.h"
#include "db/Variant.h"

class TmySQLDataSet;

class TParam {
public:
    TParam() = default;
    explicit TParam(std::string name, TFieldType dataType = ftUnknown, TParamType paramType = ptUnknown)
        : m_name(std::move(name)), m_dataType(dataType), m_paramType(paramType) {}

    const std::string& Name() const { return m_name; }
    void SetName(std::string name) { m_name = std::move(name); }
    TFieldType DataType() const { return m_dataType; }
    void SetDataType(TFieldType type) { m_dataType = type; }
    TParamType ParamType() const { return m_paramType; }
    void SetParamType(TParamType type) { m_paramType = type; }
    int Size() const { return m_size; }
    void SetSize(int size) { m_size = size; }
    int Precision() const { return m_precision; }
    void SetPrecision(int precision) { m_precision = precision; }

    const Variant& Value() const { return m_value; }
    // Stores the value and sets the bound flag; while DataType is ftUnknown it is taken from
    // the kind of the value (a DataType already set never changes).
    void SetValue(Variant value);
    bool Bound() const { return m_bound; }
    void SetBound(bool bound) { m_bound = bound; }
    bool IsNull() const { return m_value.IsNullOrEmpty(); }
    void Clear();  // value empty, bound flag off

    // Typed setters: set DataType to the given type, then the value.
    void SetAsString(const std::string& text);     // ftString
    void SetAsInteger(int32_t value);              // ftInteger
    void SetAsFloat(double value);                 // ftFloat
    void SetAsBoolean(bool value);                 // ftBoolean
    void SetAsDateTime(double value);              // ftDateTime
    void SetAsDate(double value);                  // ftDate
    void SetAsTime(double value);                  // ftTime
    void SetAsBlob(const std::string& bytes);      // ftBlob
    void SetAsMemo(const std::string& text);       // ftMemo
    std::string AsString() const { return m_value.AsString(); }
    int32_t AsInteger() const { return m_value.AsInteger(); }

    // Reads the whole file as bytes: DataType := type, then Value := the bytes as text.
    // EFOpenError "Cannot open file %s" when the file cannot be opened (parameter unchanged).
    void LoadValueFromFile(const std::string& path, TFieldType type);

    // Takes data type, value, bound flag, name spelling, size and precision of other, and its
    // parameter type while this one's is ptUnknown.
    void AssignFrom(const TParam& other);

private:
    std::string m_name;
    TFieldType m_dataType = ftUnknown;
    TParamType m_paramType = ptUnknown;
    Variant m_value;
    bool m_bound = false;
    int m_size = 0;
    int m_precision = 0;
};

class TParams {
public:
    TParams() = default;
    explicit TParams(TmySQLDataSet* owner) : m_owner(owner) {}
    TParams(const TParams& other);
    TParams& operator=(const TParams& other);  // copies the parameters, keeps the owner
    TParams(TParams&&) = default;
    TParams& operator=(TParams&&) = default;

    int Count() const { return static_cast<int>(m_items.size()); }
    bool IsEmpty() const { return m_items.empty(); }
    TParam& operator[](int i) { return *m_items.at(i); }
    const TParam& operator[](int i) const { return *m_items.at(i); }

    TParam& CreateParam(TFieldType type, const std::string& name, TParamType paramType = ptInput);
    TParam& Add(const std::string& name);  // ftUnknown, ptUnknown
    void Clear() { m_items.clear(); }
    // First parameter of that name, or nullptr.
    TParam* FindParam(const std::string& name);
    const TParam* FindParam(const std::string& name) const;
    // The same, raising EDatabaseError "Parameter '%s' not found" (prefixed with the owning
    // query's name and ": " when it has one).
    TParam& ParamByName(const std::string& name);
    const TParam& ParamByName(const std::string& name) const;

    TmySQLDataSet* Owner() const { return m_owner; }
    void SetOwner(TmySQLDataSet* owner) { m_owner = owner; }

private:
    std::vector<std::unique_ptr<TParam>> m_items;  // stable addresses for callers' references
    TmySQLDataSet* m_owner = nullptr;
};
