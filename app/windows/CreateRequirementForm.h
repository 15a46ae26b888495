#pragma once
// The dialog that creates a document in the outline. Created once at start-up and shown when needed.

#include <QDialog>

namespace vt::app {

class TForm_CreateRequirement : public QDialog {
    Q_OBJECT
public:
    explicit TForm_CreateRequirement(QWidget* parent = nullptr);
};

}  // namespace vt::app
