#pragma once
// The editor of one user account. Created once at start-up and shown when needed.

#include <QDialog>

namespace vt::app {

class TForm_UserEditor : public QDialog {
    Q_OBJECT
public:
    explicit TForm_UserEditor(QWidget* parent = nullptr);
};

} // namespace vt::app
