#include "windows/DiscEntryForm.h"

namespace vt::app {

TDisc_Entry_Form::TDisc_Entry_Form(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Disc_Entry_Form"));
    setWindowTitle(QStringLiteral("Create a New Discussion Item"));
}

}  // namespace vt::app
