#pragma once
// The project panel of the content area: the pages "Project Info" (name, description and
// manager of the current project) and "Members" (adding and removing the project's members).

#include <QFrame>

class QComboBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace vt::app {

class Session;

class ProjectPanel : public QFrame {
    Q_OBJECT
public:
    ProjectPanel(Session& session, QWidget* parent = nullptr);

    // Fills the panel for the project and decides whether the user is its manager
    // (Session::IsProjectManager); the fields are open to the manager only.
    void ShowProjectInfo(qint32 projectId);
    // Stores name and description when the user changed either.
    void SaveProjectInfo();
    // Empties the panel (Log Off).
    void clear();

    // The handlers of the Members page.
    void Tab_membersShow();
    void But_AddMemberClick();
    void But_removeMemberClick();
    void ProjectManagerChange();

private:
    Session& m_session;
    QTabWidget* PageControl1 = nullptr;
    QWidget* Tab_ProjectInfo = nullptr;
    QWidget* Tab_members = nullptr;
    QComboBox* ProjectManager = nullptr;
    QLineEdit* ProjectName = nullptr;
    QPlainTextEdit* ProjectDescription = nullptr;
    QPlainTextEdit* Memo3 = nullptr;
    QListWidget* non_list = nullptr;
    QListWidget* member_list = nullptr;
    QPushButton* But_AddMember = nullptr;
    QPushButton* But_removeMember = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
};

}  // namespace vt::app
