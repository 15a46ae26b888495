#pragma once
// Values as they go into and come out of statements: text placed between single quotes is
// escaped as the query component escapes string values; text columns are read as text whatever
// field type their declared size gives them (string, memo or byte string).

#include <QString>

#include <string>

class TmySQLDataSet;

namespace vt::app::data {

// The bytes of text (client code page) with the string-literal escaping, without the quotes.
std::string sqlEscaped(const QString& text);
// The same between single quotes.
std::string sqlQuoted(const QString& text);

// The current local date and time as a date-time parameter value (days since 1899-12-30).
double currentDateTime();

// The current row's value of a text column, in the client's code page; NULL reads as empty.
QString textOf(const TmySQLDataSet& rows, const char* column);

}  // namespace vt::app::data
