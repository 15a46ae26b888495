#pragma once
// The dialog that creates a user account. Created once at start-up and shown when needed.

#include <QDialog>

namespace vt::app {

class TForm_UserCreate : public QDialog {
    Q_OBJECT
public:
    explicit TForm_UserCreate(QWidget* parent = nullptr);
};

} // namespace vt::app
