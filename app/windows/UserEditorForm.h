#pragma once
// The editor of one user account: profile and role ("Update"), and a new password ("Set
// Password"). Created once at start-up and shown when needed; stays on top.

#include "data/Users.h"

#include <QDialog>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vt::app {

class Session;

class TForm_UserEditor : public QDialog {
    Q_OBJECT
public:
    explicit TForm_UserEditor(Session& session, QWidget* parent = nullptr);

    // Shows the editor filled with an account; filling counts as no change. The master
    // account's role cannot be changed here.
    void editAccount(const QString& userName, const data::users::Profile& profile);

    void Button2Click();  // "Update"
    void Button1Click();  // "Set Password"

signals:
    // An account was changed: the administration grid reloads.
    void accountsChanged();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    QString chosenRole() const;

    Session& m_session;
    QLabel* Lab_Username = nullptr;
    QLineEdit* FirstName = nullptr;
    QLineEdit* LastName = nullptr;
    QLineEdit* Email = nullptr;
    QLineEdit* Position = nullptr;
    QGroupBox* RadioGroup1 = nullptr;
    QButtonGroup* m_roles = nullptr;
    QPushButton* Button2 = nullptr;
    QLineEdit* Password = nullptr;
    QPushButton* Button1 = nullptr;
};

}  // namespace vt::app
