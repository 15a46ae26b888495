#pragma once
// Start-up: creates the application's fourteen windows once, in their fixed order, and owns
// them until the program ends.

#include "Forms.h"

#include <QWidget>

#include <memory>
#include <vector>

namespace vt::app {

class VeltranaApp {
public:
    // Sets the application title and creates the windows; the login dialog is shown as soon
    // as it exists (it reads the main window's title, so the main window comes first).
    VeltranaApp();
    ~VeltranaApp();
    VeltranaApp(const VeltranaApp&) = delete;
    VeltranaApp& operator=(const VeltranaApp&) = delete;

    // What happens when the event loop starts: the main window appears behind the login dialog.
    void start();
    // start() followed by the event loop; returns the loop's exit code.
    int run();

    // The windows in creation order.
    const std::vector<QWidget*>& windows() const { return m_order; }

private:
    template <class W> W* create(W*& slot);

    std::vector<std::unique_ptr<QWidget>> m_owned;
    std::vector<QWidget*> m_order;
};

} // namespace vt::app
