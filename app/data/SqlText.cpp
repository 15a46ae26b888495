#include "SqlEscape.h"

#include "SqlText.h"
#include "TextCodec.h"

namespace vt::app {

std::string sqlEscaped(const QString& text)
{
    return EscapeText(bytesFromText(text));
}

} // namespace vt::app
