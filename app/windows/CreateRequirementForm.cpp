#include "windows/CreateRequirementForm.h"

namespace vt::app {

TForm_CreateRequirement::TForm_CreateRequirement(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form_CreateRequirement"));
    setWindowTitle(QStringLiteral("Create Document"));
}

}  // namespace vt::app
