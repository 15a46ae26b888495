#pragma once
// The application's windows, created once at start-up. A window looks another up here only to
// show or hide it (the main menu's Console, About and Options, and LogLine's console); state is
// shared through the session, never by one window setting another's widgets.

namespace vt::app {

class TVeltrana;
class TDisc_Entry_Form;
class TDisc_entry_Child_Form;
class TCreateProjectsForm;
class TForm_CreateRequirement;
class TLogin_Form;
class TUserAdmin_form;
class TLog_Form;
class TAbout_Form;
class TDialog_attach;
class TForm_UserEditor;
class TForm_UserCreate;
class TRecent_upd_form;
class TTOptions;

struct Forms {
    TVeltrana* Veltrana = nullptr;
    TDisc_Entry_Form* Disc_Entry_Form = nullptr;
    TDisc_entry_Child_Form* Disc_entry_Child_Form = nullptr;
    TCreateProjectsForm* CreateProjectsForm = nullptr;
    TForm_CreateRequirement* Form_CreateRequirement = nullptr;
    TLogin_Form* Login_Form = nullptr;
    TUserAdmin_form* UserAdmin_form = nullptr;
    TLog_Form* Log_Form = nullptr;
    TAbout_Form* About_Form = nullptr;
    TDialog_attach* Dialog_attach = nullptr;
    TForm_UserEditor* Form_UserEditor = nullptr;
    TForm_UserCreate* Form_UserCreate = nullptr;
    TRecent_upd_form* Recent_upd_form = nullptr;
    TTOptions* TOptions = nullptr;
};

// The windows of the running application; members are null before their window exists.
Forms& forms();

}  // namespace vt::app
