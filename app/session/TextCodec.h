#pragma once
// The one place where bytes from the database layer become QString and back, in the client's
// code page (UTF-8 when the code page index is 0).

#include <QString>

#include <string>
#include <string_view>

namespace vt::app {

QString textFromBytes(std::string_view bytes);
std::string bytesFromText(const QString& text);

} // namespace vt::app
