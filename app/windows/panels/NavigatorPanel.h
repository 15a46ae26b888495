#pragma once
// The navigator on the left of the main window: project selector, unread messages, project
// outline with its popup menu, and who's online.

#include <QFrame>

class QComboBox;
class QGroupBox;
class QListWidget;
class QMenu;
class QAction;
class QTextEdit;
class QTreeWidget;

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

signals:
    // "Refresh" of the who's-online list.
    void onlineRefreshRequested();

private:
    QComboBox* Combo_projects = nullptr;
    QGroupBox* GroupBox1 = nullptr;   // "Unread Messages"
    QListWidget* ListBox1 = nullptr;
    QGroupBox* GroupBox5 = nullptr;   // "Project Outline:"
    QTreeWidget* ProjectTree = nullptr;
    QGroupBox* GroupBox2 = nullptr;   // "Who's Online"
    QListWidget* OnlineList = nullptr;
    QTextEdit* RichEdit2 = nullptr;   // renders bodies for the report; never shown

    QMenu* PopupMenu1 = nullptr;
    QAction *NewReq1 = nullptr, *NewSubRequirement1 = nullptr, *Delete1 = nullptr,
            *AddCatagory1 = nullptr, *DeleteCatagory1 = nullptr, *ExpandAll1 = nullptr,
            *CollapseAll1 = nullptr, *refreshlist1 = nullptr;
    QMenu* onlineRefresh = nullptr;
    QAction* Refresh1 = nullptr;
};

} // namespace vt::app
