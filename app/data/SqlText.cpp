#include "data/SqlText.h"

#include "session/TextCodec.h"

#include "db/SqlText.h"
#include "db/TField.h"
#include "db/TmySQLDataSet.h"

namespace vt::app::data {

std::string sqlEscaped(const QString& text) { return EscapeText(bytesFromText(text)); }

std::string sqlQuoted(const QString& text) { return "'" + sqlEscaped(text) + "'"; }

QString textOf(const TmySQLDataSet& rows, const char* column)
{
    // ftString, ftMemo and ftBlob fields all give their whole value as bytes here; only the
    // code page turns them into text.
    return textFromBytes(rows.FieldByName(column).AsString());
}

}  // namespace vt::app::data
