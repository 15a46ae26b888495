#pragma once
// The one place where bytes from the database layer become QString and back, in the client's
// code page (UTF-8 when it is not one of the Windows code pages 1250..1258).

#include <QString>

#include <string>
#include <string_view>

namespace vt::app {

// Decides the client's code page for the whole program: this codec and the access layer's
// conversion of text read from the server both follow it. Called once at start-up with the
// platform's code page; tests call it to switch code pages everywhere at once.
void setClientCodePage(int codePage);
int clientCodePage();

QString textFromBytes(std::string_view bytes);
std::string bytesFromText(const QString& text);

}  // namespace vt::app
