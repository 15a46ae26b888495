#include "data/SqlText.h"

#include "session/TextCodec.h"

#include "db/DateTimeUtil.h"
#include "db/SqlText.h"
#include "db/TField.h"
#include "db/TmySQLDataSet.h"

#include <QDateTime>

namespace vt::app::data {

std::string sqlEscaped(const QString& text) { return EscapeText(bytesFromText(text)); }

std::string sqlQuoted(const QString& text) { return "'" + sqlEscaped(text) + "'"; }

double currentDateTime()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    return EncodeDate(d.year(), d.month(), d.day()) + EncodeTime(t.hour(), t.minute(), t.second(), t.msec());
}

QString textOf(const TmySQLDataSet& rows, const char* column)
{
    // ftString, ftMemo and ftBlob fields all give their whole value as bytes here; only the
    // code page turns them into text.
    return textFromBytes(rows.FieldByName(column).AsString());
}

}  // namespace vt::app::data
