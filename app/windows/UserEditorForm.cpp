#include "windows/UserEditorForm.h"

namespace vt::app {

TForm_UserEditor::TForm_UserEditor(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form_UserEditor"));
    setWindowTitle(QStringLiteral("Update User Account"));
}

} // namespace vt::app
