#include "Application.h"

#include "ErrorDisplay.h"
#include "platform/Platform.h"
#include "platform/Regional.h"
#include "session/Session.h"
#include "session/TextCodec.h"
#include "windows/AboutForm.h"
#include "windows/AttachDialog.h"
#include "windows/CreateProjectsForm.h"
#include "windows/CreateRequirementForm.h"
#include "windows/DiscEntryChildForm.h"
#include "windows/DiscEntryForm.h"
#include "windows/LogForm.h"
#include "windows/LoginForm.h"
#include "windows/MainWindow.h"
#include "windows/OptionsForm.h"
#include "windows/RecentUpdForm.h"
#include "windows/UserAdminForm.h"
#include "windows/UserCreateForm.h"
#include "windows/UserEditorForm.h"

#include <QApplication>

#include <type_traits>

namespace vt::app {

Forms& forms()
{
    static Forms registry;
    return registry;
}

template <class W>
W* VeltranaApp::create(W*& slot)
{
    std::unique_ptr<W> window;
    if constexpr (std::is_constructible_v<W, Session&>)
        window = std::make_unique<W>(*m_session);
    else
        window = std::make_unique<W>();
    slot = window.get();
    m_order.push_back(window.get());
    m_owned.push_back(std::move(window));
    return slot;
}

VeltranaApp::VeltranaApp()
{
    // Only the application name: a display name would be appended to every window title.
    QCoreApplication::setApplicationName(QStringLiteral("Veltrana"));
    // Only the main window ends the program, and the login dialog while the main window is
    // hidden; the other windows merely hide when closed.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    applySystemFormatSettings();
    // The client's code page is decided here, once, for the text codec and the access layer.
    setClientCodePage(platform().codePage());

    m_session = std::make_unique<Session>();
    forms() = Forms{};
    Forms& f = forms();
    create(f.Veltrana);
    create(f.Disc_Entry_Form);
    create(f.Disc_entry_Child_Form);
    create(f.CreateProjectsForm);
    create(f.Form_CreateRequirement);
    create(f.Login_Form)->show();  // created visible: shown while the rest are being created
    create(f.UserAdmin_form);
    create(f.Log_Form);
    create(f.About_Form);
    create(f.Dialog_attach);
    create(f.Form_UserEditor);
    create(f.Form_UserCreate);
    create(f.Recent_upd_form);
    create(f.TOptions);

    // Account changes made in the editor and the creation window reload the administration grid.
    TUserAdmin_form* admin = f.UserAdmin_form;
    onEvent(f.Form_UserEditor, &TForm_UserEditor::accountsChanged, admin, [admin] {
        if (admin->isVisible()) admin->reload();
    });
    onEvent(f.Form_UserCreate, &TForm_UserCreate::accountsChanged, admin, [admin] {
        if (admin->isVisible()) admin->reload();
    });

    TVeltrana* main = f.Veltrana;
    main->connectCollaborationWindows(f);
    // The two creation dialogs: the main window asks for them and does the storing.
    TForm_CreateRequirement* createDocument = f.Form_CreateRequirement;
    createDocument->setCreator(
        [main](const QString& topic, vt::rt::RichEditor& body) { return main->CreateDocument(topic, body); });
    onEvent(createDocument, &TForm_CreateRequirement::createdAndClosed, main,
            [main] { main->selectCreatedDocument(); });
    onEvent(main, &TVeltrana::documentDialogRequested, createDocument,
            [createDocument] { createDocument->showForNewDocument(); });
    TCreateProjectsForm* createProject = f.CreateProjectsForm;
    createProject->setCreator([main](const QString& name, const QString& description, int projectTemplate) {
        return main->CreateProject(name, description, projectTemplate);
    });
    QObject::connect(main, &TVeltrana::projectDialogRequested, createProject, [createProject](int projectTemplate) {
        guarded([&] { createProject->showForTemplate(projectTemplate); });
    });
    // Every window but the login dialog and the console acts for the logged-in user or shows
    // their data: Log Off closes them all, so that nobody at the desk can go on in them.
    m_session->whenLoggedOff([this] {
        const Forms& open = forms();
        for (QWidget* window : m_order)
            if (window != open.Veltrana && window != open.Login_Form && window != open.Log_Form) window->hide();
    });
    onEvent(f.Login_Form, &TLogin_Form::closedByUser, main, [main] {
        if (!main->isVisible()) QCoreApplication::exit(0);
    });
}

VeltranaApp::~VeltranaApp()
{
    // Windows go in reverse order of creation, the registry forgetting them first; the
    // session with its connection goes last.
    forms() = Forms{};
    while (!m_owned.empty())
        m_owned.pop_back();
    m_session.reset();
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

}  // namespace vt::app
