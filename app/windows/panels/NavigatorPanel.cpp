#include "windows/panels/NavigatorPanel.h"

#include "ErrorDisplay.h"
#include "ui/Ui.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QListWidget>
#include <QMenu>
#include <QTextEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vt::app {

using ui::menuItem;
using ui::named;

NavigatorPanel::NavigatorPanel(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("pan_Navigator"));
    setMinimumWidth(120);
    resize(256, height());
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);

    Combo_projects = named(new QComboBox(this), "Combo_projects");
    Combo_projects->setEditable(true);
    Combo_projects->setFixedHeight(25);
    QFont bold = Combo_projects->font();
    bold.setBold(true);
    Combo_projects->setFont(bold);
    Combo_projects->setEditText(QStringLiteral("Select Project..."));
    column->addWidget(Combo_projects);

    GroupBox1 = named(new QGroupBox(QStringLiteral("Unread Messages"), this), "GroupBox1");
    GroupBox1->setFixedHeight(160);
    ListBox1 = named(new QListWidget(GroupBox1), "ListBox1");
    (new QVBoxLayout(GroupBox1))->addWidget(ListBox1);
    GroupBox1->hide();
    column->addWidget(GroupBox1);

    GroupBox5 = named(new QGroupBox(QStringLiteral("Project Outline:"), this), "GroupBox5");
    ProjectTree = named(new QTreeWidget(GroupBox5), "ProjectTree");
    ProjectTree->setHeaderHidden(true);
    ProjectTree->setIndentation(19);
    ProjectTree->setSelectionBehavior(QAbstractItemView::SelectRows);
    ProjectTree->setDragEnabled(true);
    ProjectTree->setContextMenuPolicy(Qt::CustomContextMenu);
    (new QVBoxLayout(GroupBox5))->addWidget(ProjectTree);
    column->addWidget(GroupBox5, 1);

    GroupBox2 = named(new QGroupBox(QStringLiteral("Who's Online"), this), "GroupBox2");
    GroupBox2->setFixedHeight(128);
    OnlineList = named(new QListWidget(GroupBox2), "OnlineList");
    OnlineList->setSortingEnabled(true);
    OnlineList->setContextMenuPolicy(Qt::CustomContextMenu);
    (new QVBoxLayout(GroupBox2))->addWidget(OnlineList);
    column->addWidget(GroupBox2);

    RichEdit2 = named(new QTextEdit(this), "RichEdit2");
    RichEdit2->setReadOnly(true);
    RichEdit2->hide();

    PopupMenu1 = named(new QMenu(this), "PopupMenu1");
    NewReq1 = menuItem(PopupMenu1, "NewReq1", QStringLiteral("New Document"));
    NewSubRequirement1 = menuItem(PopupMenu1, "NewSubRequirement1", QStringLiteral("New Sub-Document"));
    Delete1 = menuItem(PopupMenu1, "Delete1", QStringLiteral("Delete Document"));
    PopupMenu1->addSeparator();
    AddCatagory1 = menuItem(PopupMenu1, "AddCatagory1", QStringLiteral("Add Catagory"));
    DeleteCatagory1 = menuItem(PopupMenu1, "DeleteCatagory1", QStringLiteral("Delete Catagory"));
    PopupMenu1->addSeparator();
    ExpandAll1 = menuItem(PopupMenu1, "ExpandAll1", QStringLiteral("Expand All"));
    CollapseAll1 = menuItem(PopupMenu1, "CollapseAll1", QStringLiteral("Collapse All"));
    refreshlist1 = menuItem(PopupMenu1, "refreshlist1", QStringLiteral("Refresh"));
    onEvent(PopupMenu1, &QMenu::aboutToShow, this, [this] { updateOutlineMenu(); });
    connect(ProjectTree, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        PopupMenu1->popup(ProjectTree->viewport()->mapToGlobal(pos));
    });

    onlineRefresh = named(new QMenu(this), "onlineRefresh");
    Refresh1 = menuItem(onlineRefresh, "Refresh1", QStringLiteral("Refresh"));
    connect(OnlineList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { onlineRefresh->popup(OnlineList->mapToGlobal(pos)); });
    connect(Refresh1, &QAction::triggered, this, &NavigatorPanel::onlineRefreshRequested);
}

void NavigatorPanel::showProjectNames(const QStringList& names)
{
    Combo_projects->clear();
    Combo_projects->addItems(names);
    Combo_projects->setFocus();
    Combo_projects->setCurrentIndex(-1);
    Combo_projects->setEditText(QStringLiteral("Select a Project..."));
}

void NavigatorPanel::showOnlineUsers(const QStringList& names)
{
    if (names.isEmpty())
        return;
    OnlineList->clear();
    for (const QString& name : names)
        OnlineList->addItem(ui::sortedListEntry(name));
}

void NavigatorPanel::clearSelectors()
{
    Combo_projects->clear();
    ListBox1->clear();
}

void NavigatorPanel::clearOutline()
{
    ProjectTree->clear();
    Combo_projects->clear();
}

void NavigatorPanel::updateOutlineMenu()
{
    int level = -1;
    for (const QTreeWidgetItem* n = ProjectTree->currentItem(); n; n = n->parent())
        ++level;
    const bool category = level == 1;
    const bool document = level >= 2;
    NewReq1->setVisible(category || document);
    NewSubRequirement1->setVisible(document);
    Delete1->setVisible(document);
    AddCatagory1->setVisible(level == 0 || category);
    DeleteCatagory1->setVisible(category);
}

} // namespace vt::app
