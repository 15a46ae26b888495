#pragma once
// The Options dialog: shows the shared folder settings to an administrator. It writes nothing;
// those settings live in the database's global_settings row.

#include <QDialog>

class QGroupBox;
class QLineEdit;
class QRadioButton;
class QButtonGroup;
class QPushButton;

namespace vt::app {

class TTOptions : public QDialog {
    Q_OBJECT
public:
    explicit TTOptions(QWidget* parent = nullptr);

    QGroupBox* AdminPanel = nullptr;
    QLineEdit* CommonPath = nullptr;
    QGroupBox* RadioGroup1 = nullptr;
    QRadioButton* inDatabase = nullptr;
    QRadioButton* inSharedFolder = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

    void FormShow();
    void Button1Click();
    void Button2Click();

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace vt::app
