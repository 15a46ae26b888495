#include "windows/panels/ProjectPanel.h"

#include "ui/Ui.h"

#include <QTabWidget>
#include <QVBoxLayout>

namespace vt::app {

using ui::named;

ProjectPanel::ProjectPanel(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("Pan_Project_Overview"));
    PageControl1 = named(new QTabWidget(this), "PageControl1");
    Tab_ProjectInfo = named(new QWidget, "Tab_ProjectInfo");
    Tab_members = named(new QWidget, "Tab_members");
    PageControl1->addTab(Tab_ProjectInfo, QStringLiteral("Project Info"));
    PageControl1->addTab(Tab_members, QStringLiteral("Members"));
    (new QVBoxLayout(this))->addWidget(PageControl1);
}

} // namespace vt::app
