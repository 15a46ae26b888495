#include "windows/panels/AttachmentsPage.h"

#include "data/Attachments.h"
#include "platform/Platform.h"
#include "session/Rights.h"
#include "session/Session.h"
#include "ui/Columns.h"
#include "ui/Icons.h"
#include "ui/Ui.h"
#include "windows/AttachDialog.h"
#include "windows/Forms.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace vt::app {

using ui::menuItem;
using ui::named;

namespace {
enum Column { kReference = 0, kDescription, kCreated, kOwner, kAttachId };

// Draws each cell with a grid line on its right and bottom edges, in the palette's line colour,
// after the style has drawn the cell; the selection keeps the desktop's highlight colours.
class GridLines : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(option.palette.color(QPalette::Mid));
        painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->restore();
    }
};

// Web links show image 10 of the shared list, files and unknown kinds image 2.
QIcon kindIcon(int kind) { return ui::imageList(kind == data::attachments::WebLink ? 10 : 2); }
}  // namespace

AttachmentsPage::AttachmentsPage(Session& session, QWidget* parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("Attachments"));
    auto* column = ui::tight(new QVBoxLayout(this));
    ListView1 = named(new QTreeWidget(this), "ListView1");
    ListView1->setColumnCount(5);
    ListView1->setHeaderLabels({QStringLiteral("Reference:"), QStringLiteral("Description:"),
                                QStringLiteral("Created:"), QStringLiteral("Owner:"), QStringLiteral("AttachID")});
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setIconSize(QSize(16, 16));
    ListView1->setItemDelegate(new GridLines(ListView1));
    ui::readableColumns(ListView1);
    const int widths[] = {250, 150, 70, 130};
    for (int i = 0; i < 4; ++i)
        ListView1->setColumnWidth(i, widths[i]);
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    column->addWidget(ListView1);
    // The context menu's commands as buttons beside the list, so that they are found without it.
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(4, 4, 4, 4);
    auto* addLink = named(new QPushButton(QStringLiteral("Add URL"), this), "btnAddURL");
    auto* addFileButton = named(new QPushButton(QStringLiteral("Add File"), this), "btnAddFile");
    auto* deleteButton = named(new QPushButton(QStringLiteral("Delete"), this), "btnDeleteAttachment");
    for (QPushButton* b : {addLink, addFileButton, deleteButton}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    column->addLayout(buttons);

    AttachmentsPopUp = named(new QMenu(this), "AttachmentsPopUp");
    QAction* addUrl = menuItem(AttachmentsPopUp, "AddURL1", QStringLiteral("Add URL"));
    QAction* addFile = menuItem(AttachmentsPopUp, "AddFile1", QStringLiteral("Add File"));
    menuItem(AttachmentsPopUp, "AddText1", QStringLiteral("Add Text"))->setEnabled(false);
    menuItem(AttachmentsPopUp, "Edit2", QStringLiteral("Edit"))->setEnabled(false);
    AttachmentsPopUp->addSeparator();
    QAction* remove = menuItem(AttachmentsPopUp, "Delete2", QStringLiteral("Delete"));

    onEvent(addUrl, &QAction::triggered, this, [this] { AddReference1Click(); });
    onEvent(addFile, &QAction::triggered, this, [this] { AddFile1Click(); });
    onEvent(remove, &QAction::triggered, this, [this] { Delete2Click(); });
    onEvent(addLink, &QPushButton::clicked, this, [this] { AddReference1Click(); });
    onEvent(addFileButton, &QPushButton::clicked, this, [this] { AddFile1Click(); });
    onEvent(deleteButton, &QPushButton::clicked, this, [this] { Delete2Click(); });
    onEvent(ListView1, &QTreeWidget::itemDoubleClicked, this, [this] { ListView1DblClick(); });
    connect(ListView1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { AttachmentsPopUp->popup(ListView1->viewport()->mapToGlobal(at)); });
}

void AttachmentsPage::AttachmentsShow()
{
    HourglassCursor wait;
    ListView1->clear();
    ListView1->repaint();
    for (const auto& a : data::attachments::list(m_session, m_session.CurrentDocumentID)) {
        auto* row = new QTreeWidgetItem(
            ListView1, QStringList{a.Link, a.Description, a.Created, a.Owner, QString::number(a.AttachID)});
        row->setIcon(kReference, kindIcon(a.FileType));
    }
    // Dates are never cut: a cut date reads as another date.
    ListView1->setColumnWidth(kCreated,
                              std::max(ListView1->columnWidth(kCreated),
                                       static_cast<QAbstractItemView*>(ListView1)->sizeHintForColumn(kCreated)));
}

void AttachmentsPage::AddAttachment(int kind, const QString& reference, const QString& description)
{
    // The dialog may be submitted after Log Off: a reference needs the user and the document.
    if (!m_session.isLoggedIn()) {
        platform().showMessage(rights::loggedOffRefusal());
        return;
    }
    if (m_session.CurrentDocumentID <= 0) {
        platform().showMessage(QStringLiteral("Select a Document in the Project Outline first"));
        return;
    }
    HourglassCursor wait;
    const QString stored = data::attachments::storedReference(kind, reference);
    auto* row = new QTreeWidgetItem(ListView1, QStringList{stored, description, data::attachments::today(),
                                                           m_session.CurrentUser, QStringLiteral("NEW")});
    row->setIcon(kReference, kindIcon(kind));
    // The row shows "NEW" until the list is loaded again; it goes when the database refuses it.
    try {
        data::attachments::insert(m_session, m_session.CurrentDocumentID, kind, stored, description,
                                  m_session.CurrentUser);
    } catch (...) {
        delete row;
        throw;
    }
    data::attachments::setFlag(m_session, m_session.CurrentDocumentID, true);
}

void AttachmentsPage::AddReference1Click()
{
    if (TDialog_attach* dialog = forms().Dialog_attach) dialog->showForWebLink();
}

void AttachmentsPage::AddFile1Click()
{
    if (TDialog_attach* dialog = forms().Dialog_attach) dialog->showForFile();
}

void AttachmentsPage::Delete2Click()
{
    QTreeWidgetItem* row = ListView1->currentItem();
    if (!row || !row->isSelected()) return;
    const QString idText = row->text(kAttachId);
    // Rows added since the list was loaded have no id yet.
    if (idText.isEmpty() || idText.compare(QLatin1String("NEW"), Qt::CaseInsensitive) == 0) return;
    bool ok = false;
    const qint32 id = idText.toInt(&ok);
    if (!ok) return;
    if (!platform().AskConfirmation(QStringLiteral("Are you sure you want to delete this Attachment?"))) return;
    HourglassCursor wait;
    data::attachments::remove(m_session, id);
    delete row;
    if (ListView1->topLevelItemCount() == 0) data::attachments::setFlag(m_session, m_session.CurrentDocumentID, false);
}

void AttachmentsPage::ListView1DblClick()
{
    const QTreeWidgetItem* row = ListView1->currentItem();
    if (!row || !row->isSelected()) return;
    const auto check = data::attachments::checkReference(row->text(kReference));
    if (check.target.isEmpty()) {
        platform().showMessage(check.refusal);
        return;
    }
    if (!platform().shellOpen(check.target)) platform().showMessage(QStringLiteral("Could not open ") + check.target);
}

void AttachmentsPage::clear() { ListView1->clear(); }

}  // namespace vt::app
