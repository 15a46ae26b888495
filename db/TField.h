#pragma once
// One field of an open dataset: a column of the result with its type, read from the current row.

#include <cstdint>
#include <string>

#include "db/TFieldType.h"
#include "db/Variant.h"

class TmySQLDataSet;

class TField {
public:
    TField(TmySQLDataSet& dataSet, std::string name, TFieldType type, int size, int fieldNo)
        : m_dataSet(&dataSet), m_fieldName(std::move(name)), m_dataType(type), m_size(size), m_fieldNo(fieldNo)
    {
    }

    const std::string& FieldName() const { return m_fieldName; }
    TFieldType DataType() const { return m_dataType; }
    int Size() const { return m_size; }        // text fields: the working length
    int FieldNo() const { return m_fieldNo; }  // column position from 1
    bool Required() const { return m_required; }
    bool ReadOnly() const { return m_readOnly; }
    bool Calculated() const { return m_calculated; }  // an expression column (no table)
    bool Transliterate() const { return m_dataType == ftString || m_dataType == ftMemo; }
    bool IsBlob() const { return m_dataType == ftBlob || m_dataType == ftMemo; }
    TmySQLDataSet& DataSet() const { return *m_dataSet; }

    // Values of the current row.
    bool IsNull() const;
    // ftString: text or null; integers: 32-bit integer (ftLargeint 64-bit) or null; ftFloat:
    // double or null; dates and times: date-time or null; ftBoolean: boolean or null;
    // ftMemo and ftBlob: the whole value as text, empty (never null) for NULL.
    Variant Value() const;
    // Text for showing: floats, dates and times in the regional formats, booleans "True" or
    // "False", NULL as "".
    std::string AsString() const;
    std::string Text() const { return AsString(); }
    // Integer fields: the value, NULL giving 0. Floats: rounded. Text: strict conversion
    // ("'%s' is not a valid integer value"). Others: "Cannot access field '%s' as type Integer".
    int32_t AsInteger() const;
    int64_t AsLargeInt() const;
    double AsFloat() const;
    double AsDateTime() const;
    bool AsBoolean() const;

    // Assigns the field of the row being edited or inserted (live results only); a null
    // Variant stores NULL.
    void SetValue(const Variant& value);
    void Clear() { SetValue(Variant::Null()); }

    // Whether the field belongs to the open dataset. A field of a closed dataset stays valid
    // as an object; reading its value raises "Cannot perform this operation on a closed
    // dataset".
    bool Bound() const { return m_bound; }

    // Set by the dataset when it builds the field list.
    void SetRequired(bool on) { m_required = on; }
    void SetReadOnly(bool on) { m_readOnly = on; }
    void SetCalculated(bool on) { m_calculated = on; }
    void SetBound(bool on) { m_bound = on; }

private:
    void checkBound() const;
    const Variant& current() const;  // the value of the current row, converted on first read

    TmySQLDataSet* m_dataSet;
    std::string m_fieldName;
    TFieldType m_dataType;
    int m_size;
    int m_fieldNo;
    bool m_required = false;
    bool m_readOnly = false;
    bool m_calculated = false;
    bool m_bound = true;
};
