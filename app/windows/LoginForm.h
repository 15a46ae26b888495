#pragma once
// The login dialog: user name and password, and the connection settings kept in "defaults.cfg".
// "Login" hands the fields to the session, which connects and logs in.

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vt::app {

class Session;
struct ConnectionValues;

class TLogin_Form : public QDialog {
    Q_OBJECT
public:
    explicit TLogin_Form(Session& session, QWidget* parent = nullptr);

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

signals:
    // The user closed the dialog with the window's close button.
    void closedByUser();

protected:
    // Escape does not dismiss the dialog: it stays until a login succeeds.
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    ConnectionValues connectionValues() const;

    Session& m_session;
    QLabel* m_titleLabel = nullptr;  // the application title
    QLineEdit* UserID = nullptr;
    QLineEdit* Password = nullptr;
    QPushButton* Button1 = nullptr;          // "Login"
    QPushButton* Button2 = nullptr;          // "Connect Options>>>"
    QGroupBox* m_connectionGroup = nullptr;  // connection settings
    QLineEdit* Edit1 = nullptr;              // database name
    QLineEdit* Edit2 = nullptr;              // server name or address, optionally host:port
    QLineEdit* Edit3 = nullptr;              // database account
    QLineEdit* Edit4 = nullptr;              // database password
    QLabel* m_dbPasswordLabel = nullptr;     // "DB Password:"
    // The file's TLS keys: no field shows them; they are kept when the file is written again.
    bool m_tlsRequired = false;
    QString m_tlsCaFile;
    // "#PU:1": per-user server accounts (no field shows it either).
    bool m_perUser = false;
    // Asks for a new password until one is set or the user cancels; true when it was set and
    // the login can go on with it.
    bool renewExpiredPassword();
};

}  // namespace vt::app
