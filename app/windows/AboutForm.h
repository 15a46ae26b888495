#pragma once
// The About box: the application title, a short description and a Close button.

#include <QDialog>

class QLabel;

namespace vt::app {

class TAbout_Form : public QDialog {
    Q_OBJECT
public:
    explicit TAbout_Form(QWidget* parent = nullptr);

    QLabel* titleLabel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace vt::app
