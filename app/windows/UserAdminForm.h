#pragma once
// The user account administration window: a grid of every account over a live query, with a
// context menu to edit, add, delete and refresh, and Ctrl+Delete to delete the current row
// through the live result. Created once at start-up and shown when needed.

#include <QDialog>

#include <memory>

class QAction;
class QMenu;
class QTableView;
class TmySQLQuery;

namespace vt::app {

class Session;
namespace ui {
class QueryModel;
}

class TUserAdmin_form : public QDialog {
    Q_OBJECT
public:
    explicit TUserAdmin_form(Session& session, QWidget* parent = nullptr);
    ~TUserAdmin_form() override;

    // Reloads the grid by closing and opening its query again.
    void reload();

    // The handlers of the context menu, the double-click and Ctrl+Delete.
    void EditUser1Click();
    void AddUser1Click();
    void DeleteUser1Click();
    void Refresh1Click() { reload(); }
    void DBGrid1DblClick() { EditUser1Click(); }
    void DBGrid1CtrlDelete();

protected:
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void mySQLQuery1AfterOpen();
    // Moves the query to the grid's current row; false when the grid is empty.
    bool toCurrentRow();
    QString currentText(const char* column) const;
    // The user is an administrator; otherwise the refusal is shown.
    bool mayAdminister() const;
    // The master account is refused with its message; true when name may be deleted.
    bool mayDelete(const QString& name) const;

    Session& m_session;
    std::unique_ptr<TmySQLQuery> mySQLQuery1;
    ui::QueryModel* m_model = nullptr;
    QTableView* DBGrid1 = nullptr;
    QMenu* userMan_pop_up = nullptr;
};

}  // namespace vt::app
