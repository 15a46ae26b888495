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
    // (Session::IsProjectManager); the fields are open to the manager only. False, with the
    // panel empty and nobody its manager, when there is no such project (or id 0).
    bool ShowProjectInfo(qint32 projectId);
    // Stores name and description, for the project the panel shows, when the user changed
    // either. A name another project has already is refused with a message, and nothing is
    // stored.
    void SaveProjectInfo();
    // Empties the panel; nothing is stored for it afterwards (Log Off, no project).
    void clear();

    // The handlers of the Members page.
    void Tab_membersShow();
    void But_AddMemberClick();
    void But_removeMemberClick();
    // Stores a manager chosen from the selector's entries.
    void ProjectManagerChange(const QString& chosen);

signals:
    // The project's new name was stored.
    void projectRenamed(qint32 projectId, const QString& name);

private:
    Session& m_session;
    // The project the fields show, with its name and manager as stored; 0 for none.
    qint32 m_projectId = 0;
    QString m_storedName;
    QString m_storedManager;
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
