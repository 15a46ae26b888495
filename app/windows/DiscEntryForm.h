#pragma once
// The entry form for a new discussion item. Created once at start-up and shown when needed.

#include <QDialog>

namespace vt::app {

class TDisc_Entry_Form : public QDialog {
    Q_OBJECT
public:
    explicit TDisc_Entry_Form(QWidget* parent = nullptr);
};

}  // namespace vt::app
