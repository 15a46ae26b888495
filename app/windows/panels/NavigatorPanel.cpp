#include "windows/panels/NavigatorPanel.h"

#include "ErrorDisplay.h"
#include "ui/Columns.h"
#include "ui/Icons.h"
#include "ui/Ui.h"

#include <QAction>
#include <QComboBox>
#include <QDropEvent>
#include <QGroupBox>
#include <QKeySequence>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QSignalBlocker>
#include <QStyleOptionViewItem>
#include <QTextEdit>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace vt::app {

using ui::menuItem;
using ui::named;

namespace {

// The node's CatagoryID or RequirementID, and the unread entry's msgID and RequirementID.
constexpr int kIdRole = Qt::UserRole;
constexpr int kStateRole = Qt::UserRole + 1;
constexpr int kMsgRole = Qt::UserRole + 2;
// The name a node was loaded with; its caption may since show unsaved edits.
constexpr int kNameRole = Qt::UserRole + 3;
constexpr int kParentRole = Qt::UserRole + 4;  // a document node's ParentID
constexpr int kProjectRole = Qt::UserRole;     // a selector entry's ProjectID

// The format of the items a tree view drags: drops of anything else are no move in the outline.
const QString kOutlineDragFormat = QStringLiteral("application/x-qabstractitemmodeldatalist");

// The outline tree: every position is accepted while dragging one of its own nodes, and a drop
// is reported by its point only; moving the node is left to the outline's rules.
class OutlineTree : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;
    std::function<void(const QPoint&)> onDrop;

    // The part of the node's row that its pictures and caption cover.
    QRect captionRect(QTreeWidgetItem* node) const
    {
        const QRect row = visualItemRect(node);
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        option.rect = row;
        const QModelIndex index = indexFromItem(node);
        const int width = itemDelegateForIndex(index)->sizeHint(option, index).width();
        return QRect(row.left(), row.top(), std::min(width, row.width()), row.height());
    }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override
    {
        QTreeWidget::dragEnterEvent(event);  // the view's dragging state
        if (event->mimeData()->hasFormat(kOutlineDragFormat))
            event->acceptProposedAction();
        else
            event->ignore();
    }
    void dragMoveEvent(QDragMoveEvent* event) override
    {
        QTreeWidget::dragMoveEvent(event);  // scrolls near the edges
        if (event->mimeData()->hasFormat(kOutlineDragFormat))
            event->acceptProposedAction();
        else
            event->ignore();
    }
    void dropEvent(QDropEvent* event) override
    {
        if (!event->mimeData()->hasFormat(kOutlineDragFormat)) {
            event->ignore();
            return;
        }
        // The view's own drop would move the row; only its dragging state is ended here.
        stopAutoScroll();
        setState(NoState);
        viewport()->update();
        // Reported as a copy, so that the view does not remove the dragged row itself.
        event->setDropAction(Qt::CopyAction);
        event->accept();
        // Handled once the drag has ended: the outline's messages must not open inside it.
        const QPoint at = event->position().toPoint();
        QMetaObject::invokeMethod(
            this,
            [this, at] {
                if (onDrop) onDrop(at);
            },
            Qt::QueuedConnection);
    }
};

int levelOf(const QTreeWidgetItem* node)
{
    int level = -1;
    for (; node; node = node->parent())
        ++level;
    return level;
}

// Visits every node in outline order with its level, carrying the level down instead of
// counting each node's parents, which would be quadratic in a deep outline. visit returns
// false to stop.
template <typename Visit>
void forEachNode(QTreeWidget* tree, Visit visit)
{
    std::vector<std::pair<QTreeWidgetItem*, int>> pending;
    for (int i = tree->topLevelItemCount() - 1; i >= 0; --i)
        pending.emplace_back(tree->topLevelItem(i), 0);
    while (!pending.empty()) {
        const auto [node, level] = pending.back();
        pending.pop_back();
        if (!visit(node, level)) return;
        for (int i = node->childCount() - 1; i >= 0; --i)
            pending.emplace_back(node->child(i), level + 1);
    }
}

// Adds the documents and their subtrees below parent. A work list instead of recursion: an
// outline may be as deep as it has documents.
void addDocuments(QTreeWidgetItem* parent, const std::vector<data::outline::DocumentNode>& nodes)
{
    std::vector<std::pair<QTreeWidgetItem*, const std::vector<data::outline::DocumentNode>*>> pending{{parent, &nodes}};
    while (!pending.empty()) {
        const auto [under, children] = pending.back();
        pending.pop_back();
        for (const auto& node : *children) {
            auto* item = new QTreeWidgetItem(under, QStringList{node.record.RequirementName});
            const int state = data::outline::stateIndex(node.record);
            item->setIcon(0, ui::outlineIcon(ui::kDocument, ui::kSelectedDocument, state));
            item->setData(0, kIdRole, node.record.RequirementID);
            item->setData(0, kStateRole, state);
            item->setData(0, kNameRole, node.record.RequirementName);
            item->setData(0, kParentRole, node.record.ParentID);
            if (!node.children.empty()) pending.push_back({item, &node.children});
        }
    }
}

}  // namespace

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
    // Typed text never becomes an entry: entries are the listed projects, each with its id.
    Combo_projects->setInsertPolicy(QComboBox::NoInsert);
    column->addWidget(Combo_projects);

    GroupBox1 = named(new QGroupBox(QStringLiteral("Unread Messages"), this), "GroupBox1");
    GroupBox1->setFixedHeight(160);
    ListBox1 = named(new QListWidget(GroupBox1), "ListBox1");
    // One line of text per entry: sizing one entry sizes them all, however many unread
    // messages there are.
    ListBox1->setUniformItemSizes(true);
    (new QVBoxLayout(GroupBox1))->addWidget(ListBox1);
    GroupBox1->hide();
    column->addWidget(GroupBox1);

    GroupBox5 = named(new QGroupBox(QStringLiteral("Project Outline:"), this), "GroupBox5");
    auto* tree = new OutlineTree(GroupBox5);
    tree->onDrop = [this](const QPoint& at) { emit droppedAt(at); };
    ProjectTree = named(static_cast<QTreeWidget*>(tree), "ProjectTree");
    ProjectTree->setHeaderHidden(true);
    ProjectTree->setIndentation(19);
    ProjectTree->setSelectionBehavior(QAbstractItemView::SelectRows);
    ProjectTree->setDragEnabled(true);
    ProjectTree->setAcceptDrops(true);
    ProjectTree->viewport()->setAcceptDrops(true);
    ProjectTree->setDragDropMode(QAbstractItemView::DragDrop);
    ProjectTree->setDefaultDropAction(Qt::MoveAction);
    ProjectTree->setContextMenuPolicy(Qt::CustomContextMenu);
    ProjectTree->setIconSize(ui::outlineIconSize());
    ProjectTree->setAllColumnsShowFocus(true);
    (new QVBoxLayout(GroupBox5))->addWidget(ProjectTree);
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(ProjectTree), static_cast<QAbstractItemView*>(ListBox1)})
        ui::readableColumns(view);
    column->addWidget(GroupBox5, 1);

    GroupBox2 = named(new QGroupBox(QStringLiteral("Who's Online"), this), "GroupBox2");
    GroupBox2->setFixedHeight(128);
    OnlineList = named(new QListWidget(GroupBox2), "OnlineList");
    OnlineList->setSortingEnabled(true);
    OnlineList->setContextMenuPolicy(Qt::CustomContextMenu);
    (new QVBoxLayout(GroupBox2))->addWidget(OnlineList);
    ui::readableColumns(OnlineList);
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
    // F5 reloads the outline from anywhere in the main window, not only from the open popup.
    ui::setShortcut(refreshlist1, QKeySequence(Qt::Key_F5));
    addAction(refreshlist1);
    connect(PopupMenu1, &QMenu::aboutToShow, this, &NavigatorPanel::outlineMenuAboutToShow);
    onEvent(ExpandAll1, &QAction::triggered, this, [this] { expandAll(); });
    onEvent(CollapseAll1, &QAction::triggered, this, [this] { collapseAll(); });
    connect(refreshlist1, &QAction::triggered, this, &NavigatorPanel::outlineRefreshRequested);
    connect(Delete1, &QAction::triggered, this, &NavigatorPanel::deleteDocumentRequested);
    connect(DeleteCatagory1, &QAction::triggered, this, &NavigatorPanel::deleteCategoryRequested);
    connect(NewReq1, &QAction::triggered, this, &NavigatorPanel::newDocumentRequested);
    connect(NewSubRequirement1, &QAction::triggered, this, &NavigatorPanel::newSubDocumentRequested);
    connect(AddCatagory1, &QAction::triggered, this, &NavigatorPanel::addCategoryRequested);
    connect(ProjectTree, &QTreeWidget::currentItemChanged, this, &NavigatorPanel::selectionChanged);
    connect(ListBox1, &QListWidget::itemClicked, this, &NavigatorPanel::unreadClicked);
    connect(Combo_projects, &QComboBox::textActivated, this, &NavigatorPanel::projectChosen);
    connect(Combo_projects->lineEdit(), &QLineEdit::textEdited, this, &NavigatorPanel::projectTyped);
    connect(ProjectTree, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu1->popup(ProjectTree->viewport()->mapToGlobal(pos)); });

    onlineRefresh = named(new QMenu(this), "onlineRefresh");
    Refresh1 = menuItem(onlineRefresh, "Refresh1", QStringLiteral("Refresh"));
    connect(OnlineList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { onlineRefresh->popup(OnlineList->mapToGlobal(pos)); });
    connect(Refresh1, &QAction::triggered, this, &NavigatorPanel::onlineRefreshRequested);
}

NavigatorPanel::~NavigatorPanel()
{
    const QSignalBlocker quiet(ProjectTree);
    ui::clearTree(ProjectTree);
}

void NavigatorPanel::setSearchBox(QWidget* box)
{
    box->setParent(this);
    static_cast<QVBoxLayout*>(layout())->insertWidget(0, box);
}

void NavigatorPanel::showProjectNames(const std::vector<data::projects::ProjectEntry>& projects)
{
    Combo_projects->clear();
    for (const auto& project : projects)
        Combo_projects->addItem(project.name, project.id);
    Combo_projects->setFocus();
    Combo_projects->setCurrentIndex(-1);
    Combo_projects->setEditText(QStringLiteral("Select a Project..."));
}

void NavigatorPanel::showOnlineUsers(const QStringList& names)
{
    if (names.isEmpty()) return;
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
    const QSignalBlocker quiet(ProjectTree);
    ui::clearTree(ProjectTree);
    Combo_projects->clear();
}

void NavigatorPanel::updateOutlineMenu()
{
    const int level = selectedLevel();
    const bool category = level == 1;
    const bool document = level >= 2;
    NewReq1->setVisible(category || document);
    NewSubRequirement1->setVisible(document);
    Delete1->setVisible(document);
    AddCatagory1->setVisible(level == 0 || category);
    DeleteCatagory1->setVisible(category);
}

QString NavigatorPanel::projectText() const { return Combo_projects->currentText(); }

void NavigatorPanel::setProjectText(const QString& text, qint32 projectId)
{
    const QSignalBlocker quiet(Combo_projects);
    const int index = projectId > 0 ? Combo_projects->findData(projectId, kProjectRole)
                                    : Combo_projects->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    Combo_projects->setCurrentIndex(index);
    Combo_projects->setEditText(text);
}

qint32 NavigatorPanel::chosenProjectId() const
{
    const int index = Combo_projects->currentIndex();
    if (index < 0 || Combo_projects->itemText(index) != Combo_projects->currentText()) return 0;
    return Combo_projects->itemData(index, kProjectRole).toInt();
}

void NavigatorPanel::renameProject(qint32 projectId, const QString& name, qint32 shownProjectId)
{
    const QSignalBlocker quiet(Combo_projects);
    const int index = Combo_projects->findData(projectId, kProjectRole);
    if (index >= 0) Combo_projects->setItemText(index, name);
    if (projectId != shownProjectId) return;
    if (index >= 0) Combo_projects->setCurrentIndex(index);
    Combo_projects->setEditText(name);
}

void NavigatorPanel::showOutline(const QString& rootCaption, const std::vector<data::outline::CategoryNode>& tree)
{
    // Rebuilding is no change of selection: nothing is saved or shown meanwhile.
    const QSignalBlocker quiet(ProjectTree);
    ProjectTree->setEnabled(false);
    ui::clearTree(ProjectTree);
    ProjectTree->setEnabled(true);
    auto* root = new QTreeWidgetItem(ProjectTree, QStringList{rootCaption});
    root->setIcon(0, ui::outlineIcon(ui::kProject, ui::kSelectedProject, 0));
    root->setData(0, kIdRole, 0);
    for (const auto& category : tree) {
        auto* node = new QTreeWidgetItem(root, QStringList{QStringLiteral("  ...") + category.record.CatagoryName});
        node->setIcon(0, ui::outlineIcon(ui::kCategory, ui::kSelectedCategory, 0));
        node->setData(0, kIdRole, category.record.CatagoryID);
        node->setData(0, kNameRole, category.record.CatagoryName);
        addDocuments(node, category.children);
    }
    ProjectTree->setCurrentItem(nullptr);
    root->setExpanded(true);
}

int NavigatorPanel::selectedLevel() const { return levelOf(ProjectTree->currentItem()); }

qint32 NavigatorPanel::selectedId() const
{
    const QTreeWidgetItem* node = ProjectTree->currentItem();
    return node ? node->data(0, kIdRole).toInt() : 0;
}

qint32 NavigatorPanel::selectedParentId() const
{
    const QTreeWidgetItem* node = ProjectTree->currentItem();
    return node ? node->data(0, kParentRole).toInt() : 0;
}

void NavigatorPanel::setSelectedCaption(const QString& caption)
{
    if (QTreeWidgetItem* node = ProjectTree->currentItem()) node->setText(0, caption);
}

void NavigatorPanel::addDocumentNode(const data::outline::TReqRec& document, bool asChild)
{
    QTreeWidgetItem* selected = ProjectTree->currentItem();
    if (!selected) return;
    QTreeWidgetItem* parent = asChild ? selected : selected->parent();
    if (!parent) return;
    auto* item = new QTreeWidgetItem(QStringList{document.RequirementName});
    item->setIcon(0, ui::outlineIcon(ui::kDocument, ui::kSelectedDocument, 0));
    item->setData(0, kIdRole, document.RequirementID);
    item->setData(0, kStateRole, 0);
    item->setData(0, kParentRole, document.ParentID);
    parent->addChild(item);
}

void NavigatorPanel::removeSelected()
{
    QTreeWidgetItem* node = ProjectTree->currentItem();
    if (!node) return;
    QTreeWidgetItem* parent = node->parent();
    {
        const QSignalBlocker quiet(ProjectTree);
        ProjectTree->setCurrentItem(nullptr);
        ui::deleteTreeItems({parent ? parent->takeChild(parent->indexOfChild(node))
                                    : ProjectTree->takeTopLevelItem(ProjectTree->indexOfTopLevelItem(node))});
    }
    if (parent) ProjectTree->setCurrentItem(parent);
}

void NavigatorPanel::clearTree()
{
    const QSignalBlocker quiet(ProjectTree);
    ui::clearTree(ProjectTree);
}

NavigatorPanel::DropTarget NavigatorPanel::dropTargetAt(const QPoint& viewportPoint) const
{
    DropTarget target;
    QTreeWidgetItem* node = ProjectTree->itemAt(viewportPoint);
    if (!node) return target;
    target.found = true;
    target.node = node;
    target.level = levelOf(node);
    target.id = node->data(0, kIdRole).toInt();
    const QTreeWidgetItem* dragged = ProjectTree->currentItem();
    for (const QTreeWidgetItem* n = node; n; n = n->parent())
        if (n == dragged) target.inDragged = true;
    target.onCaption = static_cast<const OutlineTree*>(ProjectTree)->captionRect(node).contains(viewportPoint);
    return target;
}

void NavigatorPanel::moveSelectedTo(const DropTarget& target, qint32 newParentId)
{
    QTreeWidgetItem* node = ProjectTree->currentItem();
    QTreeWidgetItem* to = target.node;
    if (!node || !to || !node->parent()) return;
    // The node stays selected throughout: moving it is no change of selection.
    const QSignalBlocker quiet(ProjectTree);
    const bool expanded = node->isExpanded();
    node->parent()->removeChild(node);
    to->addChild(node);
    node->setData(0, kParentRole, newParentId);
    node->setExpanded(expanded);
    to->setExpanded(true);
    ProjectTree->setCurrentItem(node);
}

void NavigatorPanel::selectRoot(bool takeFocus)
{
    if (takeFocus) ProjectTree->setFocus();
    if (QTreeWidgetItem* root = ProjectTree->topLevelItem(0)) ProjectTree->setCurrentItem(root);
}

bool NavigatorPanel::selectDocument(qint32 requirementId)
{
    QTreeWidgetItem* found = nullptr;
    forEachNode(ProjectTree, [&](QTreeWidgetItem* node, int level) {
        if (level >= 2 && node->data(0, kIdRole).toInt() == requirementId) found = node;
        return found == nullptr;
    });
    if (!found) return false;
    ProjectTree->setFocus();
    ProjectTree->setCurrentItem(found);
    return true;
}

bool NavigatorPanel::selectCategory(qint32 catagoryId)
{
    for (QTreeWidgetItemIterator it(ProjectTree); *it; ++it) {
        if (levelOf(*it) == 1 && (*it)->data(0, kIdRole).toInt() == catagoryId) {
            ProjectTree->setFocus();
            ProjectTree->setCurrentItem(*it);
            return true;
        }
    }
    return false;
}

void NavigatorPanel::expandAll()
{
    if (QTreeWidgetItem* root = ProjectTree->topLevelItem(0)) {
        root->setExpanded(true);
        for (QTreeWidgetItemIterator it(root); *it; ++it)
            (*it)->setExpanded(true);
    }
}

void NavigatorPanel::collapseAll()
{
    if (QTreeWidgetItem* root = ProjectTree->topLevelItem(0)) {
        for (QTreeWidgetItemIterator it(root); *it; ++it)
            (*it)->setExpanded(false);
        root->setExpanded(true);
    }
}

std::vector<NavigatorPanel::OutlineNode> NavigatorPanel::outlineNodes() const
{
    std::vector<OutlineNode> nodes;
    forEachNode(ProjectTree, [&](QTreeWidgetItem* node, int level) {
        const QVariant name = node->data(0, kNameRole);
        nodes.push_back({level, node->data(0, kIdRole).toInt(), name.isValid() ? name.toString() : node->text(0)});
        return true;
    });
    return nodes;
}

void NavigatorPanel::focusOutline() { ProjectTree->setFocus(); }

void NavigatorPanel::showUnread(const std::vector<data::discussions::UnreadMessage>& messages)
{
    ListBox1->clear();
    for (const auto& m : messages) {
        // Author and subject isolated: an override in either must not reorder the rest.
        auto* entry = new QListWidgetItem(ui::isolated(m.Name) + QStringLiteral("> \"") + ui::isolated(m.Subject) +
                                              QStringLiteral("\" (") + m.Created + QStringLiteral(")"),
                                          ListBox1);
        entry->setData(kMsgRole, m.msgID);
        entry->setData(kIdRole, m.RequirementID);
    }
    GroupBox1->setVisible(!messages.empty());
}

void NavigatorPanel::clearUnread()
{
    GroupBox1->hide();
    ListBox1->clear();
}

std::optional<qint32> NavigatorPanel::selectedUnreadDocument() const
{
    const QListWidgetItem* entry = ListBox1->currentItem();
    if (!entry || !entry->isSelected()) return std::nullopt;
    return entry->data(kIdRole).toInt();
}

}  // namespace vt::app
