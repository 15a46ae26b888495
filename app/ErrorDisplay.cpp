#include "ErrorDisplay.h"

#include "platform/Platform.h"
#include "session/TextCodec.h"

namespace vt::app {

void showError(const std::exception& error) { platform().showMessage(textFromBytes(error.what())); }

void showUnknownError() { platform().showMessage(QStringLiteral("Unknown error")); }

bool VeltranaApplication::notify(QObject* receiver, QEvent* event)
{
    bool result = false;
    guarded([&] { result = QApplication::notify(receiver, event); });
    return result;
}

}  // namespace vt::app
