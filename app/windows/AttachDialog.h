#pragma once
// The dialog that adds or edits an attachment. Created once at start-up and shown when needed.

#include <QDialog>

namespace vt::app {

class TDialog_attach : public QDialog {
    Q_OBJECT
public:
    explicit TDialog_attach(QWidget* parent = nullptr);
};

}  // namespace vt::app
