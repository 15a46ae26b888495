#pragma once
// The list of recent changes in the user's projects. Created once at start-up and shown when needed.

#include <QDialog>

namespace vt::app {

class TRecent_upd_form : public QDialog {
    Q_OBJECT
public:
    explicit TRecent_upd_form(QWidget* parent = nullptr);
};

}  // namespace vt::app
