#include "windows/CreateProjectsForm.h"

namespace vt::app {

TCreateProjectsForm::TCreateProjectsForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("CreateProjectsForm"));
    setWindowTitle(QStringLiteral("Create New Project Form"));
}

}  // namespace vt::app
