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
    m_descriptionPages = named(new QTabWidget(this), "PageControl2");
    CatagoryDescription = named(new QPlainTextEdit, "CatagoryDescription");
    m_descriptionPages->addTab(CatagoryDescription, QStringLiteral("Description:"));
    column->addWidget(m_descriptionPages, 1);
}

} // namespace vt::app
