#include "windows/panels/CategoryPanel.h"

#include "data/Outline.h"
#include "session/Session.h"
#include "ui/Ui.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QVBoxLayout>

namespace vt::app {

using ui::named;

CategoryPanel::CategoryPanel(Session& session, QWidget* parent) : QFrame(parent), m_session(session)
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
    connect(CatagoryName, &QLineEdit::textChanged, this, &CategoryPanel::nameChanged);
}

void CategoryPanel::ShowCatagory(qint32 catagoryId)
{
    m_session.CurrentCatagoryID = catagoryId;
    if (const auto found = data::outline::category(m_session, catagoryId)) {
        CatagoryDescription->setPlainText(found->Description);
        CatagoryDescription->document()->setModified(false);
        CatagoryName->setText(found->CatagoryName);
        CatagoryName->setModified(false);
    }
    CatagoryName->setEnabled(m_session.IsProjectManager);
    CatagoryDescription->setEnabled(m_session.IsProjectManager);
}

void CategoryPanel::SaveCatagory()
{
    if (CatagoryName->isModified()) {
        data::outline::renameCategory(m_session, m_session.CurrentCatagoryID, CatagoryName->text());
        CatagoryName->setModified(false);
    }
    if (CatagoryDescription->document()->isModified()) {
        data::outline::describeCategory(m_session, m_session.CurrentCatagoryID, CatagoryDescription->toPlainText());
        CatagoryDescription->document()->setModified(false);
    }
}

}  // namespace vt::app
