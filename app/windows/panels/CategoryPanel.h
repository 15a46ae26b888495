#pragma once
// The category panel of the content area: the category's name and its description.

#include <QFrame>

class QLineEdit;
class QPlainTextEdit;
class QTabWidget;

namespace vt::app {

class CategoryPanel : public QFrame {
    Q_OBJECT
public:
    explicit CategoryPanel(QWidget* parent = nullptr);

private:
    QLineEdit* CatagoryName = nullptr;
    QTabWidget* m_descriptionPages = nullptr;
    QPlainTextEdit* CatagoryDescription = nullptr;
};

} // namespace vt::app
