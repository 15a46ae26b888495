#pragma once
// The document panel of the content area: the pages Details, Discussion and Attachments above,
// the ruler and the document editor below, with a splitter between them.

#include <QFrame>

class QMenu;
class QSplitter;
class QTabWidget;
class QTextEdit;

namespace vt::app {

class DocumentPanel : public QFrame {
    Q_OBJECT
public:
    explicit DocumentPanel(QWidget* parent = nullptr);

    // The page area above the editor gets its design height of 250.
    void resetPageAreaHeight();

private:
    QSplitter* m_pageSplitter = nullptr;
    QFrame* Pan_tabContent = nullptr;
    QTabWidget* Tab_Control = nullptr;
    QWidget* Tab_Details = nullptr;
    QWidget* Tab_Req_Discussions = nullptr;
    QWidget* Attachments = nullptr;
    QWidget* Ruler1 = nullptr;
    QTextEdit* RichEdit1 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QMenu* AttachmentsPopUp = nullptr;
};

} // namespace vt::app
