#pragma once
// The dialog that creates a project from one of the "New Project" templates. Created once at
// start-up and shown by the menu commands.

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vt::app {

class TCreateProjectsForm : public QDialog {
    Q_OBJECT
public:
    // Stores the project and opens it; false when it was refused (the refusal already shown).
    using Creator = std::function<bool(const QString& name, const QString& description, int projectTemplate)>;

    explicit TCreateProjectsForm(QWidget* parent = nullptr);

    // Set once at start-up: what "Create Project" does with the dialog's contents.
    void setCreator(Creator creator) { m_creator = std::move(creator); }
    // Takes the template (0 to 4) and its heading and shows the dialog.
    void showForTemplate(int projectTemplate);
    int ProjectTemplate() const { return m_projectTemplate; }

    void Button1Click();
    void Button2Click();
    // Showing and hiding empty the name and the description.
    void FormShow();
    void FormHide();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    Creator m_creator;
    int m_projectTemplate = 0;
    QLabel* ProjectTypeName = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
};

}  // namespace vt::app
