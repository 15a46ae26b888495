#pragma once
// The category panel of the content area: the category's name and its description.

#include <QFrame>

class QLineEdit;
class QPlainTextEdit;
class QTabWidget;

namespace vt::app {

class Session;

class CategoryPanel : public QFrame {
    Q_OBJECT
public:
    CategoryPanel(Session& session, QWidget* parent = nullptr);

    // Fills the panel for the category (Session::CurrentCatagoryID := catagoryId); the fields
    // are open to the project's manager only.
    void ShowCatagory(qint32 catagoryId);
    // Stores name and description of the category the panel shows, each when the user
    // changed it.
    void SaveCatagory();
    // Empties the panel; nothing is stored for it afterwards (Log Off, category gone).
    void clear();
    // The CatagoryID the panel shows; 0 for none.
    qint32 shownId() const { return m_catagoryId; }

signals:
    // The name field's text changed (by the user or when the panel is filled).
    void nameChanged(const QString& name);

private:
    Session& m_session;
    qint32 m_catagoryId = 0;
    QLineEdit* CatagoryName = nullptr;
    QTabWidget* m_descriptionPages = nullptr;
    QPlainTextEdit* CatagoryDescription = nullptr;
};

}  // namespace vt::app
