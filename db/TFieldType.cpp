#include "db/TFieldType.h"

#include <cctype>

#include "db/DbInternal.h"
#include "protocol/MysqlCharsets.h"

const char* FieldTypeName(TFieldType type) {
    static const char* const names[] = {
        "ftUnknown", "ftString", "ftSmallint", "ftInteger", "ftWord", "ftBoolean", "ftFloat",
        "ftCurrency", "ftBCD", "ftDate", "ftTime", "ftDateTime", "ftBytes", "ftVarBytes",
        "ftAutoInc", "ftBlob", "ftMemo", "ftGraphic", "ftFmtMemo", "ftParadoxOle", "ftDBaseOle",
        "ftTypedBinary", "ftCursor", "ftFixedChar", "ftWideString", "ftLargeint", "ftADT",
        "ftArray", "ftReference", "ftDataSet", "ftOraBlob", "ftOraClob", "ftVariant",
        "ftInterface", "ftIDispatch", "ftGuid", "ftTimeStamp", "ftFMTBcd"};
    return type < sizeof names / sizeof names[0] ? names[type] : "ftUnknown";
}

bool sameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string lowerCase(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return r;
}

std::string upperCase(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return r;
}

std::string convertReadText(const char* bytes, size_t length) {
    std::string r(bytes, length);
    uint8_t from = ServerCharsetIndex, to = ClientCharsetIndex();
    if (from != to && from != 0 && to != 0 && length > 0)
        ConvertCharset(r.data(), r.data(), r.size(), from, to);
    return r;
}
