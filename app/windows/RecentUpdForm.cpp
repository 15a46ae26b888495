#include "windows/RecentUpdForm.h"

namespace vt::app {

TRecent_upd_form::TRecent_upd_form(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Recent_upd_form"));
    setWindowTitle(QStringLiteral("Recent Updates"));
}

}  // namespace vt::app
