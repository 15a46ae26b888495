#pragma once
// The dialog that creates a user account: name, profile, password entered twice and role.
// Created once at start-up and shown when needed; stays on top.

#include <QDialog>

class QButtonGroup;
class QLineEdit;
class QPushButton;

namespace vt::app {

class Session;

class TForm_UserCreate : public QDialog {
    Q_OBJECT
public:
    explicit TForm_UserCreate(Session& session, QWidget* parent = nullptr);

    void Button2Click();  // "Create User"

signals:
    // An account was created: the administration grid reloads.
    void accountsChanged();

private:
    void FormShow();

    Session& m_session;
    QLineEdit* UserName = nullptr;
    QLineEdit* FirstName = nullptr;
    QLineEdit* LastName = nullptr;
    QLineEdit* Email = nullptr;
    QLineEdit* Position = nullptr;
    QLineEdit* Password = nullptr;
    QLineEdit* Password2 = nullptr;
    QButtonGroup* m_roles = nullptr;
    QPushButton* Button2 = nullptr;
};

}  // namespace vt::app
