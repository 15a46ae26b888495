#pragma once
// The dialog that adds a reference to the shown document: a web link, or a file path chosen by
// "Browse". Created once at start-up and shown when needed.

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vt::app {

class TDialog_attach : public QDialog {
    Q_OBJECT
public:
    explicit TDialog_attach(QWidget* parent = nullptr);

    // Shows the dialog for a web link (kind 0) or a file (kind 1), with its captions and defaults.
    void showForWebLink();
    void showForFile();
    int kind() const { return m_kind; }

    // What the submit button does with the kind, the reference and the description.
    using Adder = std::function<void(int kind, const QString& reference, const QString& description)>;
    void setAdder(Adder adder) { m_add = std::move(adder); }

    void Button1Click();
    void Button2Click() { close(); }
    void Button3Click();

private:
    Adder m_add;
    int m_kind = 0;
    QLabel* Label2 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* Button3 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
};

}  // namespace vt::app
