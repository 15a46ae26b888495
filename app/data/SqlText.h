#pragma once
// Text values placed between single quotes in a statement, escaped as the query component
// escapes its string parameters.

#include <QString>

#include <string>

namespace vt::app {

// The bytes of text (client code page) with the string-literal escaping, without the quotes.
std::string sqlEscaped(const QString& text);

} // namespace vt::app
