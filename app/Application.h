#pragma once
// Start-up: decides the client's code page, creates the session and the application's fourteen
// windows once, in their fixed order, and owns them until the program ends.

#include "windows/Forms.h"

#include <QWidget>

#include <memory>
#include <vector>

namespace vt::app {

class Session;

class VeltranaApp {
public:
    // Sets the application title and creates the windows; the login dialog is shown as soon
    // as it exists.
    VeltranaApp();
    ~VeltranaApp();
    VeltranaApp(const VeltranaApp&) = delete;
    VeltranaApp& operator=(const VeltranaApp&) = delete;

    // What happens when the event loop starts: the main window appears behind the login dialog.
    void start();
    // start() followed by the event loop; returns the loop's exit code.
    int run();

    Session& session() { return *m_session; }
    // The windows in creation order.
    const std::vector<QWidget*>& windows() const { return m_order; }

private:
    template <class W>
    W* create(W*& slot);

    std::unique_ptr<Session> m_session;
    std::vector<std::unique_ptr<QWidget>> m_owned;
    std::vector<QWidget*> m_order;
};

}  // namespace vt::app
