#include "windows/panels/CategoryPanel.h"

#include "data/FieldLimits.h"
#include "data/Outline.h"
#include "session/Session.h"
#include "ui/Ui.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>
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
    ui::limitLength(CatagoryName, data::limits::kCategoryName);
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
        m_catagoryId = catagoryId;
        ui::setStoredText(CatagoryDescription, found->Description);
        CatagoryDescription->document()->setModified(false);
        CatagoryName->setText(found->CatagoryName);
        CatagoryName->setModified(false);
    } else {
        // The fields of the category shown before are not this one's.
        clear();
    }
    CatagoryName->setEnabled(m_session.IsProjectManager);
    CatagoryDescription->setEnabled(m_session.IsProjectManager);
}

void CategoryPanel::SaveCatagory()
{
    if (m_catagoryId <= 0) return;
    if (CatagoryName->isModified()) {
        data::outline::renameCategory(m_session, m_catagoryId, CatagoryName->text());
        CatagoryName->setModified(false);
    }
    if (CatagoryDescription->document()->isModified()) {
        data::outline::describeCategory(m_session, m_catagoryId, CatagoryDescription->toPlainText());
        CatagoryDescription->document()->setModified(false);
    }
}

void CategoryPanel::clear()
{
    m_catagoryId = 0;
    // No node's caption follows: the node of this category is gone or not selected.
    const QSignalBlocker quiet(CatagoryName);
    CatagoryName->clear();
    CatagoryName->setModified(false);
    CatagoryDescription->clear();
    CatagoryDescription->document()->setModified(false);
}

}  // namespace vt::app
