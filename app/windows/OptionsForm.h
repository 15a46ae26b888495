#pragma once
// The Options dialog: shows the shared folder settings to an administrator. It writes nothing;
// those settings live in the database's global_settings row.

#include <QDialog>

class QGroupBox;
class QLineEdit;
class QRadioButton;
class QPushButton;

namespace vt::app {

class Session;

class TTOptions : public QDialog {
    Q_OBJECT
public:
    explicit TTOptions(Session& session, QWidget* parent = nullptr);

    void FormShow();
    void Button1Click();
    void Button2Click();

private:
    Session& m_session;
    QGroupBox* AdminPanel = nullptr;
    QLineEdit* CommonPath = nullptr;
    QGroupBox* RadioGroup1 = nullptr;
    QRadioButton* m_inDatabase = nullptr;
    QRadioButton* m_inSharedFolder = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
};

}  // namespace vt::app
