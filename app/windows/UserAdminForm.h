#pragma once
// The user account administration window. Created once at start-up and shown when needed.

#include <QDialog>

namespace vt::app {

class TUserAdmin_form : public QDialog {
    Q_OBJECT
public:
    explicit TUserAdmin_form(QWidget* parent = nullptr);
};

} // namespace vt::app
