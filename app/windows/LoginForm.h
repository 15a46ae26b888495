#pragma once
// The login dialog: user name and password, and the connection settings kept in "defaults.cfg".

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vt::app {

class TLogin_Form : public QDialog {
    Q_OBJECT
public:
    explicit TLogin_Form(QWidget* parent = nullptr);

    QLabel* titleLabel = nullptr;
    QLineEdit* UserID = nullptr;
    QLineEdit* Password = nullptr;
    QPushButton* Button1 = nullptr;   // "Login"
    QPushButton* Button2 = nullptr;   // "Connect Options>>>"
    QGroupBox* GroupBox1 = nullptr;   // connection settings
    QLineEdit* Edit1 = nullptr;       // database name
    QLineEdit* Edit2 = nullptr;       // server name or address, optionally host:port
    QLineEdit* Edit3 = nullptr;       // database account
    QLineEdit* Edit4 = nullptr;       // database password
    QLabel* dbPasswordLabel = nullptr;

    // The dialog's height as a whole window, title bar included (client height + kFrameHeight).
    int formHeight() const;
    void setFormHeight(int height);
    static constexpr int kFrameHeight = 29;

    void FormShow();
    void ReadSettings();
    void WriteSettings();
    void Button1Click();
    void Button2Click();
    // The continuation of "Login" once the connection fields are accepted.
    void ConnectAndLogin();

protected:
    void showEvent(QShowEvent* event) override;
    // Escape does not dismiss the dialog: it stays until a login succeeds.
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace vt::app
