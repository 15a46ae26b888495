#include "windows/DiscEntryChildForm.h"

namespace vt::app {

TDisc_entry_Child_Form::TDisc_entry_Child_Form(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Disc_entry_Child_Form"));
    setWindowTitle(QStringLiteral("Discussion Item Reply Entry Form"));
}

}  // namespace vt::app
