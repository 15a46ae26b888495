#include "windows/panels/ProjectPanel.h"

#include "ErrorDisplay.h"
#include "db/DbErrors.h"
#include "data/FieldLimits.h"
#include "data/Projects.h"
#include "platform/Platform.h"
#include "session/Rights.h"
#include "session/Session.h"
#include "ui/Columns.h"
#include "ui/Icons.h"
#include "ui/Ui.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

namespace vt::app {

using ui::named;

namespace {

QPlainTextEdit* helpText(QWidget* parent, const char* name, const QStringList& lines)
{
    auto* memo = named(new QPlainTextEdit(parent), name);
    memo->setPlainText(lines.join(QLatin1Char('\n')));
    memo->setReadOnly(true);
    memo->setFrameShape(QFrame::NoFrame);
    memo->setMaximumHeight(110);
    QPalette quiet = memo->palette();
    quiet.setColor(QPalette::Base, parent->palette().color(QPalette::Window));
    memo->setPalette(quiet);
    return memo;
}

// Replaces the selector's entries and keeps its text.
void refill(QComboBox* selector, const QStringList& entries)
{
    const QSignalBlocker quiet(selector);
    const QString text = selector->currentText();
    selector->clear();
    selector->addItems(entries);
    selector->setCurrentIndex(-1);
    selector->setEditText(text);
}

QStringList upperCased(QStringList names)
{
    for (QString& n : names)
        n = n.toUpper();
    return names;
}

}  // namespace

ProjectPanel::ProjectPanel(Session& session, QWidget* parent) : QFrame(parent), m_session(session)
{
    setObjectName(QStringLiteral("Pan_Project_Overview"));
    PageControl1 = named(new QTabWidget(this), "PageControl1");
    Tab_ProjectInfo = named(new QWidget, "Tab_ProjectInfo");
    Tab_members = named(new QWidget, "Tab_members");
    PageControl1->addTab(Tab_ProjectInfo, ui::imageList(ui::kProject), QStringLiteral("Project Info"));
    PageControl1->addTab(Tab_members, ui::imageList(ui::kMembers), QStringLiteral("Members"));
    (new QVBoxLayout(this))->addWidget(PageControl1);

    // Project Info
    auto* info = new QGridLayout(Tab_ProjectInfo);
    ProjectManager = named(new QComboBox(Tab_ProjectInfo), "ProjectManager");
    ProjectManager->setEditable(true);
    ProjectManager->setInsertPolicy(QComboBox::NoInsert);
    ProjectName = ui::lineEdit(Tab_ProjectInfo, "ProjectName");
    ui::limitLength(ProjectName, data::limits::kProjectName);
    ProjectDescription = named(new QPlainTextEdit(Tab_ProjectInfo), "ProjectDescription");
    info->addWidget(new QLabel(QStringLiteral("Project Manager:"), Tab_ProjectInfo), 0, 0);
    info->addWidget(ProjectManager, 0, 1);
    info->addWidget(new QLabel(QStringLiteral("Project Name:"), Tab_ProjectInfo), 1, 0);
    info->addWidget(ProjectName, 1, 1);
    info->addWidget(new QLabel(QStringLiteral("Description:"), Tab_ProjectInfo), 2, 0, Qt::AlignTop);
    info->addWidget(ProjectDescription, 2, 1);
    Memo3 = helpText(Tab_ProjectInfo, "Memo3",
                     {QStringLiteral("Use this panel to manage your project overview."), QString(),
                      QStringLiteral("Only the current Project manager has modify rights on this panel."),
                      QStringLiteral("The project Manager can release management of the project to "),
                      QStringLiteral("another user in the project Members list.")});
    info->addWidget(Memo3, 3, 0, 1, 2);
    info->setRowStretch(2, 1);

    // Members
    auto* members = new QVBoxLayout(Tab_members);
    auto* lists = new QHBoxLayout;
    auto* nonGroup = named(new QGroupBox(QStringLiteral("Non Members"), Tab_members), "GroupBox3");
    non_list = named(new QListWidget(nonGroup), "non_list");
    (new QVBoxLayout(nonGroup))->addWidget(non_list);
    auto* memberGroup = named(new QGroupBox(QStringLiteral("Project Members"), Tab_members), "GroupBox4");
    member_list = named(new QListWidget(memberGroup), "member_list");
    (new QVBoxLayout(memberGroup))->addWidget(member_list);
    ui::readableColumns(non_list);
    ui::readableColumns(member_list);
    auto* buttons = new QVBoxLayout;
    But_AddMember = named(new QPushButton(QStringLiteral("Add >"), Tab_members), "But_AddMember");
    But_removeMember = named(new QPushButton(QStringLiteral("< Remove"), Tab_members), "But_removeMember");
    But_AddMember->setEnabled(false);
    But_removeMember->setEnabled(false);
    buttons->addStretch(1);
    buttons->addWidget(But_AddMember);
    buttons->addWidget(But_removeMember);
    buttons->addStretch(1);
    lists->addWidget(nonGroup, 1);
    lists->addLayout(buttons);
    lists->addWidget(memberGroup, 1);
    members->addLayout(lists, 1);
    Memo1 = helpText(Tab_members, "Memo1",
                     {QStringLiteral("Use this panel to Add and Remove members from your projects."),
                      QStringLiteral("Non-Members will not be able to see or access the project.")});
    members->addWidget(Memo1);

    onEvent(non_list, &QListWidget::itemClicked, this, [this] { But_AddMember->setEnabled(true); });
    onEvent(member_list, &QListWidget::itemClicked, this, [this] { But_removeMember->setEnabled(true); });
    onEvent(But_AddMember, &QPushButton::clicked, this, [this] { But_AddMemberClick(); });
    onEvent(But_removeMember, &QPushButton::clicked, this, [this] { But_removeMemberClick(); });
    connect(ProjectManager, &QComboBox::textActivated, this,
            [this](const QString& chosen) { guarded([&] { ProjectManagerChange(chosen); }); });
}

bool ProjectPanel::ShowProjectInfo(qint32 projectId)
{
    const auto info = projectId > 0 ? data::projects::projectInfo(m_session, projectId) : std::nullopt;
    if (info) {
        m_projectId = projectId;
        m_storedName = info->name;
        m_storedManager = info->manager;
        ui::setStoredText(ProjectDescription, info->description);
        ProjectDescription->document()->setModified(false);
        const QSignalBlocker quiet(ProjectManager);
        // The entries of another project are no choice for this one.
        ProjectManager->clear();
        ProjectManager->setEditText(info->manager);
        ProjectName->setText(info->name);
        ProjectName->setModified(false);
    } else {
        // No such project (a name typed into the selector): nobody manages it, rather than
        // the manager of the project shown before, and nothing is stored for it.
        clear();
    }
    m_session.IsProjectManager = info && rights::isProjectManager(m_session.CurrentUser, info->manager);
    const bool manager = m_session.IsProjectManager;
    ProjectDescription->setEnabled(manager);
    ProjectName->setEnabled(manager);
    ProjectManager->setEnabled(manager);
    if (manager) refill(ProjectManager, upperCased(data::projects::memberNames(m_session, m_projectId)));
    Tab_membersShow();
    return info.has_value();
}

void ProjectPanel::SaveProjectInfo()
{
    if (!ProjectDescription->document()->isModified() && !ProjectName->isModified()) return;
    if (m_projectId <= 0) return;
    const QString name = ProjectName->text();
    const auto refuseTakenName = [this] {
        ProjectName->setText(m_storedName);
        ProjectName->setModified(false);
        platform().showMessage(QStringLiteral("A project with this name already exists. Choose another name."));
    };
    // Projects are found by name: a second project of the same name would open for whoever
    // types it.
    if (ProjectName->isModified() && data::projects::nameTaken(m_session, name, m_projectId)) {
        refuseTakenName();
        return;
    }
    try {
        data::projects::saveProjectInfo(m_session, m_projectId, name, ProjectDescription->toPlainText());
    } catch (const EmySQLDatabaseError& error) {
        // With per-user accounts the server also knows the names of projects the user cannot
        // see, and refuses such a name as a duplicate.
        if (error.ServerError() != 1062) throw;
        refuseTakenName();
        return;
    }
    ProjectDescription->document()->setModified(false);
    ProjectName->setModified(false);
    if (name != m_storedName) {
        m_storedName = name;
        emit projectRenamed(m_projectId, name);
    }
}

void ProjectPanel::clear()
{
    m_projectId = 0;
    m_storedName.clear();
    m_storedManager.clear();
    const QSignalBlocker quiet(ProjectManager);
    ProjectManager->clear();
    ProjectManager->clearEditText();
    ProjectName->clear();
    ProjectName->setModified(false);
    ProjectDescription->clear();
    ProjectDescription->document()->setModified(false);
    non_list->clear();
    member_list->clear();
    But_AddMember->setEnabled(false);
    But_removeMember->setEnabled(false);
}

void ProjectPanel::ProjectManagerChange(const QString& chosen)
{
    // Only an entry is a choice; text typed into the selector is not stored, nor the manager
    // the project has already.
    if (m_projectId <= 0 || ProjectManager->findText(chosen, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0 ||
        chosen == m_storedManager)
        return;
    data::projects::setProjectManager(m_session, m_projectId, chosen);
    m_storedManager = chosen;
}

void ProjectPanel::Tab_membersShow()
{
    non_list->clear();
    member_list->clear();
    But_AddMember->setEnabled(false);
    But_removeMember->setEnabled(false);
    if (m_projectId <= 0) return;
    non_list->addItems(upperCased(data::projects::userNames(m_session)));
    member_list->addItems(data::projects::memberNames(m_session, m_projectId));
}

void ProjectPanel::But_AddMemberClick()
{
    if (!rights::mayManageProject(m_session.UserRole, m_session.IsProjectManager)) {
        platform().showMessage(QStringLiteral("You must have Admin or Project Manager Rights"));
        return;
    }
    const QListWidgetItem* selected = non_list->currentItem();
    if (!selected || m_projectId <= 0) return;
    const QString name = selected->text().toUpper();
    bool member = false;
    for (int i = 0; i < member_list->count(); ++i)
        member = member || member_list->item(i)->text().toUpper() == name;
    if (!member) {
        data::projects::addMember(m_session, m_projectId, name);
        member_list->addItem(name);
    }
    But_AddMember->setEnabled(false);
}

void ProjectPanel::But_removeMemberClick()
{
    if (!rights::mayManageProject(m_session.UserRole, m_session.IsProjectManager)) {
        platform().showMessage(QStringLiteral("You must have Admin or Project Manager Rights"));
        return;
    }
    QListWidgetItem* selected = member_list->currentItem();
    if (!selected || m_projectId <= 0) return;
    data::projects::removeMember(m_session, m_projectId, selected->text());
    delete selected;
    But_removeMember->setEnabled(false);
}

}  // namespace vt::app
