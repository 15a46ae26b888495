#include "Application.h"

#include "AboutForm.h"
#include "AttachDialog.h"
#include "CreateProjectsForm.h"
#include "CreateRequirementForm.h"
#include "DiscEntryChildForm.h"
#include "DiscEntryForm.h"
#include "LogForm.h"
#include "LoginForm.h"
#include "MainWindow.h"
#include "OptionsForm.h"
#include "Regional.h"
#include "RecentUpdForm.h"
#include "UserAdminForm.h"
#include "UserCreateForm.h"
#include "UserEditorForm.h"

#include <QApplication>

namespace vt::app {

Forms& forms()
{
    static Forms registry;
    return registry;
}

template <class W> W* VeltranaApp::create(W*& slot)
{
    auto window = std::make_unique<W>();
    slot = window.get();
    m_order.push_back(window.get());
    m_owned.push_back(std::move(window));
    return slot;
}

VeltranaApp::VeltranaApp()
{
    QCoreApplication::setApplicationName(QStringLiteral("Veltrana"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Veltrana"));
    // Only the main window ends the program; the other windows merely hide when closed.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    applySystemFormatSettings();
    forms() = Forms{};
    Forms& f = forms();
    create(f.Veltrana);
    create(f.Disc_Entry_Form);
    create(f.Disc_entry_Child_Form);
    create(f.CreateProjectsForm);
    create(f.Form_CreateRequirement);
    create(f.Login_Form)->show();   // created visible: shown while the rest are being created
    create(f.UserAdmin_form);
    create(f.Log_Form);
    create(f.About_Form);
    create(f.Dialog_attach);
    create(f.Form_UserEditor);
    create(f.Form_UserCreate);
    create(f.Recent_upd_form);
    create(f.TOptions);
}

VeltranaApp::~VeltranaApp()
{
    // Windows go in reverse order of creation; the registry forgets them first.
    forms() = Forms{};
    while (!m_owned.empty())
        m_owned.pop_back();
}

void VeltranaApp::start()
{
    forms().Veltrana->show();
    forms().Login_Form->raise();
    forms().Login_Form->activateWindow();
}

int VeltranaApp::run()
{
    start();
    return QApplication::exec();
}

} // namespace vt::app
