#pragma once
// The dialog that creates a project from a template. Created once at start-up and shown when needed.

#include <QDialog>

namespace vt::app {

class TCreateProjectsForm : public QDialog {
    Q_OBJECT
public:
    explicit TCreateProjectsForm(QWidget* parent = nullptr);
};

}  // namespace vt::app
