#include "windows/AttachDialog.h"

namespace vt::app {

TDialog_attach::TDialog_attach(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Dialog_attach"));
    setWindowTitle(QStringLiteral("Attachment Add/Edit"));
}

}  // namespace vt::app
