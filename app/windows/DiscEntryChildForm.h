#pragma once
// The entry form for a reply to a discussion item. Created once at start-up and shown when needed.

#include <QDialog>

namespace vt::app {

class TDisc_entry_Child_Form : public QDialog {
    Q_OBJECT
public:
    explicit TDisc_entry_Child_Form(QWidget* parent = nullptr);
};

}  // namespace vt::app
