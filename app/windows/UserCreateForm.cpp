#include "windows/UserCreateForm.h"

namespace vt::app {

TForm_UserCreate::TForm_UserCreate(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form_UserCreate"));
    setWindowTitle(QStringLiteral("Create New User Account"));
}

} // namespace vt::app
