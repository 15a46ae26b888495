#include "windows/UserAdminForm.h"

#include "data/SqlText.h"
#include "data/Users.h"
#include "platform/Platform.h"
#include "session/Rights.h"
#include "session/Session.h"
#include "ui/Colours.h"
#include "ui/Columns.h"
#include "ui/QueryModel.h"
#include "ui/Ui.h"
#include "ui/WindowLayout.h"
#include "windows/Forms.h"
#include "windows/UserCreateForm.h"
#include "windows/UserEditorForm.h"

#include "db/TmySQLQuery.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace vt::app {

using namespace ui;

TUserAdmin_form::TUserAdmin_form(Session& session, QWidget* parent)
    : QDialog(parent), m_session(session), mySQLQuery1(session.newQuery())
{
    setObjectName(QStringLiteral("UserAdmin_form"));
    setWindowTitle(QStringLiteral("User Account Administration"));
    resize(720, 380);

    mySQLQuery1->SetName("mySQLQuery1");
    mySQLQuery1->SetSQL(data::users::kListSql);
    mySQLQuery1->SetRequestLive(true);

    m_model = new QueryModel(this);
    m_model->setTitle(QStringLiteral("Username"), QStringLiteral("UserName *"));
    m_model->setTitle(QStringLiteral("Firstname"), QStringLiteral("First Name"));
    m_model->setTitle(QStringLiteral("Lastname"), QStringLiteral("Last Name"));
    // The server names a column of a table as the statement writes it, but a view's column by
    // the view's own name ("email"): the title must not depend on which one the database has.
    m_model->setTitle(QStringLiteral("Email"), QStringLiteral("Email"));
    m_model->setBold(QStringLiteral("Username"));

    DBGrid1 = named(new QTableView(this), "DBGrid1");
    DBGrid1->setModel(m_model);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->verticalHeader()->hide();
    // A selected row would turn every column title bold; only the user name's title is.
    DBGrid1->horizontalHeader()->setHighlightSections(false);
    ui::setPartBackground(DBGrid1, ui::kTooltipYellow);
    ui::readableColumns(DBGrid1);
    DBGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    DBGrid1->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(DBGrid1);
    // The context menu's commands as buttons too, so that they are found without it.
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(6, 4, 6, 6);
    auto* addButton = named(new QPushButton(QStringLiteral("Add User"), this), "btnAddUser");
    auto* editButton = named(new QPushButton(QStringLiteral("Edit User"), this), "btnEditUser");
    auto* deleteButton = named(new QPushButton(QStringLiteral("Delete User"), this), "btnDeleteUser");
    for (QPushButton* b : {addButton, editButton, deleteButton}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    layout->addLayout(buttons);

    userMan_pop_up = named(new QMenu(this), "userMan_pop_up");
    QAction* edit = menuItem(userMan_pop_up, "EditUser1", QStringLiteral("Edit User"));
    userMan_pop_up->addSeparator();
    QAction* add = menuItem(userMan_pop_up, "AddUser1", QStringLiteral("Add User"));
    QAction* remove = menuItem(userMan_pop_up, "DeleteUser1", QStringLiteral("Delete User"));
    menuItem(userMan_pop_up, "DisableUser1", QStringLiteral("Disable User"))->setEnabled(false);
    userMan_pop_up->addSeparator();
    QAction* refresh = menuItem(userMan_pop_up, "Refresh1", QStringLiteral("Refresh"));

    onEvent(edit, &QAction::triggered, this, [this] { EditUser1Click(); });
    onEvent(add, &QAction::triggered, this, [this] { AddUser1Click(); });
    onEvent(remove, &QAction::triggered, this, [this] { DeleteUser1Click(); });
    onEvent(refresh, &QAction::triggered, this, [this] { Refresh1Click(); });
    onEvent(addButton, &QPushButton::clicked, this, [this] { AddUser1Click(); });
    onEvent(editButton, &QPushButton::clicked, this, [this] { EditUser1Click(); });
    onEvent(deleteButton, &QPushButton::clicked, this, [this] { DeleteUser1Click(); });
    onEvent(DBGrid1, &QTableView::doubleClicked, this, [this] { DBGrid1DblClick(); });
    QObject::connect(DBGrid1, &QWidget::customContextMenuRequested, this,
                     [this](const QPoint& at) { userMan_pop_up->popup(DBGrid1->viewport()->mapToGlobal(at)); });
    onShow(this, [this] { FormShow(); });
}

TUserAdmin_form::~TUserAdmin_form() { m_model->setQuery(nullptr); }

// Every command of the window is the administrator's, tested when it runs: the window may
// have been opened by another user before a Log Off.
bool TUserAdmin_form::mayAdminister() const
{
    if (m_session.isAdministrator()) return true;
    platform().showMessage(rights::userAdministrationRefusal());
    return false;
}

void TUserAdmin_form::FormShow()
{
    if (!m_session.isAdministrator()) return;  // the grid stays empty
    mySQLQuery1->SetDatabase(&m_session.connection());
    reload();
}

void TUserAdmin_form::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    if (event->spontaneous()) return;
    guarded([this] {
        // The user's column widths, given back when the grid is next filled.
        if (m_session.isLoggedIn() && m_model->columnCount() > 0)
            platform().setSetting(ui::userSettingsKey(m_session.CurrentUser) + objectName() + QStringLiteral("/layout"),
                                  ui::layoutState(*this));
        m_model->setQuery(nullptr);
        mySQLQuery1->Close();
    });
}

void TUserAdmin_form::reload()
{
    if (!mayAdminister()) return;
    const int row = DBGrid1->currentIndex().isValid() ? DBGrid1->currentIndex().row() : 0;
    m_model->setQuery(nullptr);
    mySQLQuery1->Close();
    mySQLQuery1->Open();
    m_model->setQuery(mySQLQuery1.get());
    mySQLQuery1AfterOpen();
    if (m_model->rowCount() > 0) DBGrid1->setCurrentIndex(m_model->index(std::min(row, m_model->rowCount() - 1), 0));
}

void TUserAdmin_form::mySQLQuery1AfterOpen()
{
    const int widths[] = {51, 88, 106, 106, 176, 150};
    for (int i = 0; i < m_model->columnCount() && i < 6; ++i)
        DBGrid1->setColumnWidth(i, widths[i]);
    ui::fitTitles(DBGrid1->horizontalHeader());
    ui::applyLayoutState(
        *this, platform()
                   .setting(ui::userSettingsKey(m_session.CurrentUser) + objectName() + QStringLiteral("/layout"))
                   .toMap());
}

bool TUserAdmin_form::toCurrentRow()
{
    const QModelIndex current = DBGrid1->currentIndex();
    return m_model->selectRow(current.isValid() ? current.row() : 0);
}

QString TUserAdmin_form::currentText(const char* column) const { return data::textOf(*mySQLQuery1, column); }

void TUserAdmin_form::EditUser1Click()
{
    if (!mayAdminister()) return;
    if (!toCurrentRow()) return;
    data::users::Profile profile;
    profile.firstName = currentText("FirstName");
    profile.lastName = currentText("LastName");
    profile.email = currentText("email");
    profile.position = currentText("Position");
    profile.role = data::users::roleOf(currentText("Role"));
    if (TForm_UserEditor* editor = forms().Form_UserEditor) editor->editAccount(currentText("Username"), profile);
}

void TUserAdmin_form::AddUser1Click()
{
    if (!mayAdminister()) return;
    if (TForm_UserCreate* create = forms().Form_UserCreate)
        create->show();  // its show step starts with "Create User" disabled
}

bool TUserAdmin_form::mayDelete(const QString& name) const
{
    if (!data::users::isMasterAccount(name)) return true;
    platform().showMessage(QStringLiteral("You cannot delete the Master Admin Account"));
    return false;
}

void TUserAdmin_form::DeleteUser1Click()
{
    if (!mayAdminister()) return;
    if (!toCurrentRow()) return;
    const QString name = currentText("Username");
    if (!mayDelete(name)) return;
    if (!platform().AskConfirmation(QStringLiteral("Are you sure you want to delete user: ") + ui::isolated(name))) return;
    {
        HourglassCursor wait;
        data::users::remove(m_session, name);
    }
    reload();
}

// The grid's own delete goes through the live result; the master account is kept here too.
void TUserAdmin_form::DBGrid1CtrlDelete()
{
    if (!mayAdminister()) return;
    if (!mySQLQuery1->Active() || mySQLQuery1->IsEmpty() || !toCurrentRow()) return;
    // Read before asking: painting the grid behind the question moves the query's cursor.
    const QString name = currentText("Username");
    if (!mayDelete(name)) return;
    if (!platform().askOkCancel(QStringLiteral("Delete record?"))) return;
    if (m_session.perUserAccounts()) {
        // The server account goes with the row: the same path as Delete User.
        {
            HourglassCursor wait;
            data::users::remove(m_session, name);
        }
        reload();
        return;
    }
    ui::deleteCurrentRow(*DBGrid1, *m_model, *mySQLQuery1, [this] { mySQLQuery1AfterOpen(); });
}

bool TUserAdmin_form::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == DBGrid1 && ui::isCtrlDelete(event)) {
        guarded([this] { DBGrid1CtrlDelete(); });
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace vt::app
