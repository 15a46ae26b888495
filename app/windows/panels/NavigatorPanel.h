#pragma once
// The navigator on the left of the main window: project selector, unread messages, project
// outline with its popup menu, and who's online.

#include "data/Discussions.h"
#include "data/Outline.h"
#include "data/Projects.h"

#include <QFrame>
#include <QPoint>

#include <optional>
#include <vector>

class QComboBox;
class QGroupBox;
class QListWidget;
class QMenu;
class QAction;
class QTextEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace vt::app {

class NavigatorPanel : public QFrame {
    Q_OBJECT
public:
    explicit NavigatorPanel(QWidget* parent = nullptr);
    // Empties the outline first: the tree's own clean-up recurses as deep as the outline.
    ~NavigatorPanel() override;

    // The project selector lists the projects' names, none chosen, with its prompt as text.
    void showProjectNames(const std::vector<data::projects::ProjectEntry>& projects);
    // Who's online: replaces the list with names; an empty result keeps the previous list.
    void showOnlineUsers(const QStringList& names);
    // Places the search box at the top of the navigator.
    void setSearchBox(QWidget* box);
    // Empties the project selector and the unread-messages list (start-up and Log Off).
    void clearSelectors();
    // Empties the project selector and the outline (Log Off).
    void clearOutline();
    // Shows the outline popup menu's items for the level of the selected node.
    void updateOutlineMenu();

    // The project selector's text, and setting it without choosing a project; the entry
    // shown as chosen is the one of projectId, or when 0 the first of that text.
    QString projectText() const;
    void setProjectText(const QString& text, qint32 projectId = 0);
    // The ProjectID of the entry the selector shows as chosen; 0 when its text is not that of
    // a listed entry (typed text).
    qint32 chosenProjectId() const;
    // A project got a new name: its entry in the selector, and the selector's text when it is
    // the project shown (shownProjectId). The outline's root shows it from the next load.
    void renameProject(qint32 projectId, const QString& name, qint32 shownProjectId);

    // Rebuilds the outline: the project root captioned rootCaption, its categories and their
    // documents at every depth; the root is expanded one level. Nothing is selected.
    void showOutline(const QString& rootCaption, const std::vector<data::outline::CategoryNode>& tree);
    // The selected node's level (0 project, 1 category, 2 and deeper documents), -1 for none,
    // and its CatagoryID or RequirementID (0 for the project).
    int selectedLevel() const;
    qint32 selectedId() const;
    // The ParentID of the selected document's record (0 for other nodes).
    qint32 selectedParentId() const;
    // The selected node's caption (live captions of the category and topic fields).
    void setSelectedCaption(const QString& caption);
    // Adds a just-created document, without state picture and unselected: as the last child of
    // the selected node, or as the last node beside it. Nothing when no node is selected.
    void addDocumentNode(const data::outline::TReqRec& document, bool asChild);
    // Removes the selected node with its subtree and selects its parent (a change of
    // selection, as the user makes it).
    void removeSelected();
    // Empties the tree; nothing is selected afterwards, and no change of selection is told.
    void clearTree();

    // The node at a point of the tree's viewport, as a drop there sees it.
    struct DropTarget {
        bool found = false;      // a node lies at the point
        bool inDragged = false;  // it is the selected node or one of its descendants
        bool onCaption = false;  // the point lies on its caption or its pictures
        int level = -1;
        qint32 id = 0;  // CatagoryID or RequirementID; 0 for the project
        QTreeWidgetItem* node = nullptr;
    };
    DropTarget dropTargetAt(const QPoint& viewportPoint) const;
    // Moves the selected node with its subtree to be the last child of the target; its record
    // takes newParentId. The selection stays on the moved node.
    void moveSelectedTo(const DropTarget& target, qint32 newParentId);
    // Selects the root, giving the tree the focus when takeFocus is set; selects the first
    // document with this id (by position, from the top) and gives the tree the focus; false
    // when there is none.
    void selectRoot(bool takeFocus);
    bool selectDocument(qint32 requirementId);
    // Selects the category with this id and gives the tree the focus; false when there is none.
    bool selectCategory(qint32 catagoryId);
    void expandAll();
    void collapseAll();

    // Every node of the outline in display order, parents before children, collapsed branches
    // included: its level, its CatagoryID or RequirementID (0 for the project) and its name as
    // loaded (the project's caption, the category's name, the document's topic).
    struct OutlineNode {
        int level = 0;
        qint32 id = 0;
        QString name;
    };
    std::vector<OutlineNode> outlineNodes() const;
    // Gives the outline the input focus.
    void focusOutline();

    // The unread-messages list: the group is shown only while it has entries.
    void showUnread(const std::vector<data::discussions::UnreadMessage>& messages);
    void clearUnread();
    // The document of the selected unread entry; nothing when no entry is selected.
    std::optional<qint32> selectedUnreadDocument() const;

signals:
    // "Refresh" of the who's-online list.
    void onlineRefreshRequested();
    // The user picked a project or edited the selector's text.
    void projectChosen();
    void projectTyped();
    // The outline's selected node changed (by the user or by the program).
    void selectionChanged();
    // A click on an entry of the unread list.
    void unreadClicked();
    // "Refresh" of the outline's popup menu.
    void outlineRefreshRequested();
    // The outline popup menu is about to show.
    void outlineMenuAboutToShow();
    // "Delete Document" and "Delete Catagory" of the outline's popup menu.
    void deleteDocumentRequested();
    void deleteCategoryRequested();
    // "New Document", "New Sub-Document" and "Add Catagory" of the outline's popup menu.
    void newDocumentRequested();
    void newSubDocumentRequested();
    void addCategoryRequested();
    // A node of the outline was dropped at a point of the tree's viewport.
    void droppedAt(const QPoint& viewportPoint);

private:
    QComboBox* Combo_projects = nullptr;
    QGroupBox* GroupBox1 = nullptr;  // "Unread Messages"
    QListWidget* ListBox1 = nullptr;
    QGroupBox* GroupBox5 = nullptr;  // "Project Outline:"
    QTreeWidget* ProjectTree = nullptr;
    QGroupBox* GroupBox2 = nullptr;  // "Who's Online"
    QListWidget* OnlineList = nullptr;
    QTextEdit* RichEdit2 = nullptr;  // renders bodies for the report; never shown

    QMenu* PopupMenu1 = nullptr;
    QAction *NewReq1 = nullptr, *NewSubRequirement1 = nullptr, *Delete1 = nullptr, *AddCatagory1 = nullptr,
            *DeleteCatagory1 = nullptr, *ExpandAll1 = nullptr, *CollapseAll1 = nullptr, *refreshlist1 = nullptr;
    QMenu* onlineRefresh = nullptr;
    QAction* Refresh1 = nullptr;
};

}  // namespace vt::app
