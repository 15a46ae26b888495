#include "windows/RecentUpdForm.h"

#include "data/ActivityLog.h"
#include "data/SqlText.h"
#include "platform/Platform.h"
#include "session/Session.h"
#include "session/TextCodec.h"
#include "ui/Colours.h"
#include "ui/Columns.h"
#include "ui/QueryModel.h"
#include "ui/Ui.h"
#include "ui/WindowLayout.h"

#include "db/TField.h"
#include "db/TParam.h"
#include "db/TmySQLQuery.h"

#include <QHeaderView>
#include <QHideEvent>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace vt::app {

using namespace ui;

namespace {
// The grid's columns: field, title (empty: the field name shows) and width.
struct Column {
    const char* field;
    const char* title;
    int width;
};
constexpr Column kColumns[] = {
    {"modifyDate", "Date", 100},
    {"Modifiedby", "Updated By:", 80},
    {"RequirementName", "Topic:", 300},
    {"ProjectName", "", 250},
};
}  // namespace

TRecent_upd_form::TRecent_upd_form(Session& session, QWidget* parent)
    : QDialog(parent), m_session(session), mySQLQuery1(session.newQuery())
{
    setObjectName(QStringLiteral("Recent_upd_form"));
    setWindowTitle(QStringLiteral("Recent Updates"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setModal(false);
    resize(760, 300);

    mySQLQuery1->SetName("mySQLQuery1");
    mySQLQuery1->SetSQL(data::activitylog::kRecentUpdatesSql);
    mySQLQuery1->SetRequestLive(true);

    m_model = new QueryModel(this);
    QStringList fields;
    for (const Column& c : kColumns) {
        fields << QString::fromLatin1(c.field);
        if (*c.title) m_model->setTitle(QString::fromLatin1(c.field), QString::fromLatin1(c.title));
    }
    m_model->setColumns(fields);

    DBGrid1 = named(new QTableView(this), "DBGrid1");
    DBGrid1->setModel(m_model);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->verticalHeader()->hide();
    // Bold titles on a sky-blue title row; cells on the tooltip background.
    ui::setPartBackground(DBGrid1, ui::kTooltipYellow);
    const QColor titleBack = ui::partBackground(ui::kSkyBlue, DBGrid1->palette());
    DBGrid1->horizontalHeader()->setStyleSheet(
        QStringLiteral("QHeaderView::section { background-color: %1; color: %2; font-weight: bold; "
                       "padding: 0 4px; border: 0; border-right: 1px solid %3; }")
            .arg(titleBack.name(), ui::textOn(titleBack).name(), DBGrid1->palette().color(QPalette::Mid).name()));
    ui::readableColumns(DBGrid1);
    DBGrid1->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(DBGrid1);

    onEvent(DBGrid1, &QTableView::doubleClicked, this, [this] { DBGrid1DblClick(); });
    onShow(this, [this] { FormShow(); });
}

TRecent_upd_form::~TRecent_upd_form() { m_model->setQuery(nullptr); }

void TRecent_upd_form::FormShow()
{
    HourglassCursor wait;
    m_model->setQuery(nullptr);
    mySQLQuery1->Close();
    mySQLQuery1->SetDatabase(&m_session.connection());
    mySQLQuery1->ParamByName("username").SetAsString(bytesFromText(m_session.CurrentUser));
    mySQLQuery1->Open();
    m_model->setQuery(mySQLQuery1.get());
    mySQLQuery1AfterOpen();
    if (m_model->rowCount() > 0) DBGrid1->setCurrentIndex(m_model->index(0, 0));
}

void TRecent_upd_form::hideEvent(QHideEvent* event)
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

void TRecent_upd_form::mySQLQuery1AfterOpen()
{
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i)
        DBGrid1->setColumnWidth(i, kColumns[i].width);
    // Titles and dates are never cut: they are short, and a cut date reads as another date.
    ui::fitTitles(DBGrid1->horizontalHeader());
    DBGrid1->setColumnWidth(
        0, std::max(DBGrid1->columnWidth(0), static_cast<QAbstractItemView*>(DBGrid1)->sizeHintForColumn(0)));
    ui::applyLayoutState(
        *this, platform()
                   .setting(ui::userSettingsKey(m_session.CurrentUser) + objectName() + QStringLiteral("/layout"))
                   .toMap());
}

bool TRecent_upd_form::toCurrentRow()
{
    const QModelIndex current = DBGrid1->currentIndex();
    return m_model->selectRow(current.isValid() ? current.row() : 0);
}

void TRecent_upd_form::DBGrid1DblClick()
{
    if (!mySQLQuery1->Active() || !toCurrentRow()) return;
    const qint32 projectId = mySQLQuery1->FieldByName("ProjectID").AsInteger();
    const QString project = data::textOf(*mySQLQuery1, "ProjectName");
    const qint32 document = mySQLQuery1->FieldByName("DocumentID").AsInteger();
    emit documentChosen(projectId, project, document);
}

// The grid's own delete: the current row goes from activity_log through the live result.
void TRecent_upd_form::DBGrid1CtrlDelete()
{
    if (!mySQLQuery1->Active() || mySQLQuery1->IsEmpty() || !toCurrentRow()) return;
    if (!platform().askOkCancel(QStringLiteral("Delete record?"))) return;
    ui::deleteCurrentRow(*DBGrid1, *m_model, *mySQLQuery1, [this] { mySQLQuery1AfterOpen(); });
}

bool TRecent_upd_form::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == DBGrid1 && ui::isCtrlDelete(event)) {
        guarded([this] { DBGrid1CtrlDelete(); });
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace vt::app
