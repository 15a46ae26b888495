#pragma once
// The navigator on the left of the main window: project selector, unread messages, project
// outline with its popup menu, and who's online.

#include "data/Discussions.h"
#include "data/Outline.h"

#include <QFrame>

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

    // The project selector lists names, none chosen, with its prompt as text.
    void showProjectNames(const QStringList& names);
    // Who's online: replaces the list with names; an empty result keeps the previous list.
    void showOnlineUsers(const QStringList& names);
    // Empties the project selector and the unread-messages list (start-up and Log Off).
    void clearSelectors();
    // Empties the project selector and the outline (Log Off).
    void clearOutline();
    // Shows the outline popup menu's items for the level of the selected node.
    void updateOutlineMenu();

    // The project selector's text.
    QString projectText() const;
    // Sets the selector's text as the program does (no change is signalled).
    void setProjectText(const QString& name);

    // Rebuilds the outline: the project root captioned rootCaption, its categories and their
    // documents at every depth; the root is expanded one level. Nothing is selected.
    void showOutline(const QString& rootCaption, const std::vector<data::outline::CategoryNode>& tree);
    // The selected node's level (0 project, 1 category, 2 and deeper documents), -1 for none,
    // and its CatagoryID or RequirementID (0 for the project).
    int selectedLevel() const;
    qint32 selectedId() const;
    // The selected node's caption (live captions of the category and topic fields).
    void setSelectedCaption(const QString& caption);
    // Selects the root, giving the tree the focus when takeFocus is set; selects the first
    // document with this id (by position, from the top) and gives the tree the focus; false
    // when there is none.
    void selectRoot(bool takeFocus);
    bool selectDocument(qint32 requirementId);
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
