#include "windows/UserAdminForm.h"

namespace vt::app {

TUserAdmin_form::TUserAdmin_form(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("UserAdmin_form"));
    setWindowTitle(QStringLiteral("User Account Administration"));
}

} // namespace vt::app
