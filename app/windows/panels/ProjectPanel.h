#pragma once
// The project panel of the content area: the pages "Project Info" and "Members".

#include <QFrame>

class QTabWidget;

namespace vt::app {

class ProjectPanel : public QFrame {
    Q_OBJECT
public:
    explicit ProjectPanel(QWidget* parent = nullptr);

private:
    QTabWidget* PageControl1 = nullptr;
    QWidget* Tab_ProjectInfo = nullptr;
    QWidget* Tab_members = nullptr;
};

} // namespace vt::app
