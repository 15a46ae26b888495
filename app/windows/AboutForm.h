#pragma once
// The About box: the application title, a short description and a Close button.

#include <QDialog>

class QLabel;

namespace vt::app {

class Session;

class TAbout_Form : public QDialog {
    Q_OBJECT
public:
    explicit TAbout_Form(Session& session, QWidget* parent = nullptr);

    // Shows the application title.
    void FormShow();

private:
    Session& m_session;
    QLabel* m_title = nullptr;
};

}  // namespace vt::app
