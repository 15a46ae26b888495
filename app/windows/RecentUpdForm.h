#pragma once
// The list of recent changes in the user's projects: a read-only grid over a live query of the
// twenty latest document saves, opened while the window is shown. A double-click asks the main
// window to show the document; Ctrl+Delete deletes the current row through the live result.
// Created once at start-up and shown when needed.

#include <QDialog>

#include <memory>

class QTableView;
class TmySQLQuery;

namespace vt::app {

class Session;
namespace ui {
class QueryModel;
}

class TRecent_upd_form : public QDialog {
    Q_OBJECT
public:
    explicit TRecent_upd_form(Session& session, QWidget* parent = nullptr);
    ~TRecent_upd_form() override;

    void DBGrid1DblClick();
    void DBGrid1CtrlDelete();

signals:
    // The user chose the document of an update (double-click on its row).
    void documentChosen(qint32 projectId, const QString& projectName, qint32 documentId);

protected:
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void mySQLQuery1AfterOpen();
    bool toCurrentRow();

    Session& m_session;
    std::unique_ptr<TmySQLQuery> mySQLQuery1;
    ui::QueryModel* m_model = nullptr;
    QTableView* DBGrid1 = nullptr;
};

}  // namespace vt::app
