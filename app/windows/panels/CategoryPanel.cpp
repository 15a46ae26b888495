#include "windows/panels/CategoryPanel.h"

#include "ui/Ui.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QVBoxLayout>

namespace vt::app {

using ui::named;

CategoryPanel::CategoryPanel(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("Pan_Catagory"));
    auto* column = new QVBoxLayout(this);
    column->addWidget(new QLabel(QStringLiteral("Catagory Name:"), this));
    CatagoryName = ui::lineEdit(this, "CatagoryName");
    column->addWidget(CatagoryName);
    PageControl2 = named(new QTabWidget(this), "PageControl2");
    CatagoryDescription = named(new QPlainTextEdit, "CatagoryDescription");
    PageControl2->addTab(CatagoryDescription, QStringLiteral("Description:"));
    column->addWidget(PageControl2, 1);
}

} // namespace vt::app
