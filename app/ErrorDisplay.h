#pragma once
// The central error display: every event handler runs through guarded(), which hands any
// exception to showError(); nothing escapes into Qt's event loop and the window stays usable.

#include <QApplication>
#include <QObject>

#include <exception>
#include <utility>

namespace vt::app {

// Shows the exception's message in a message box with the error icon, through the platform
// seam. A server or connection error gets a sentence a user understands first, then the
// server's own text (see errorText()).
void showError(const std::exception& error);
// The text showError() shows for error.
QString errorText(const std::exception& error);
// The sentence for a server error number or client error code (2000..2020); empty for numbers
// without one, whose server text is shown alone.
QString errorSentence(int serverError);
void showUnknownError();

template <class F>
void guarded(F&& handler) noexcept
{
    try {
        std::forward<F>(handler)();
    } catch (const std::exception& error) {
        showError(error);
    } catch (...) {
        showUnknownError();
    }
}

// Connects a signal to a handler that runs under the guard.
template <class Sender, class Signal, class F>
QMetaObject::Connection onEvent(Sender* sender, Signal signal, QObject* context, F handler)
{
    return QObject::connect(sender, signal, context, [handler](auto&&...) { guarded(handler); });
}

// The application object: its notify() is the last line of defence, so that an exception
// thrown by any event handler is shown rather than ending the program.
class VeltranaApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace vt::app
