#include "SqlEscape.h"

#include "TextCodec.h"

#include "SqlText.h"
#include "TParam.h"

namespace vt::app {

std::string sqlEscaped(const QString& text)
{
    TParam value("value");
    value.SetAsString(bytesFromText(text));
    const std::string quoted = RenderParam(value);   // 'escaped'
    return quoted.size() >= 2 ? quoted.substr(1, quoted.size() - 2) : std::string();
}

} // namespace vt::app
