#include "windows/panels/DocumentPanel.h"

#include "ui/Ui.h"

#include <QAction>
#include <QMenu>
#include <QSplitter>
#include <QTabWidget>
#include <QTextEdit>
#include <QVBoxLayout>

#include <algorithm>

namespace vt::app {

using ui::menuItem;
using ui::named;

namespace {
constexpr int kPageAreaHeight = 250;
}

DocumentPanel::DocumentPanel(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("Pan_Req_Panel"));
    auto* column = ui::tight(new QVBoxLayout(this));
    m_pageSplitter = named(new QSplitter(Qt::Vertical, this), "Splitter2");
    column->addWidget(m_pageSplitter);

    Pan_tabContent = named(new QFrame(m_pageSplitter), "Pan_tabContent");
    Tab_Control = named(new QTabWidget(Pan_tabContent), "Tab_Control");
    Tab_Details = named(new QWidget, "Tab_Details");
    Tab_Req_Discussions = named(new QWidget, "Tab_Req_Discussions");
    Attachments = named(new QWidget, "Attachments");
    Tab_Control->addTab(Tab_Details, QStringLiteral("Details"));
    Tab_Control->addTab(Tab_Req_Discussions, QStringLiteral("Discussion"));
    Tab_Control->addTab(Attachments, QStringLiteral("Attachments"));
    (new QVBoxLayout(Pan_tabContent))->addWidget(Tab_Control);

    auto* editorArea = new QWidget(m_pageSplitter);
    auto* editorColumn = ui::tight(new QVBoxLayout(editorArea));
    Ruler1 = named(new QFrame(editorArea), "Ruler1");
    Ruler1->setFixedHeight(24);
    editorColumn->addWidget(Ruler1);
    RichEdit1 = named(new QTextEdit(editorArea), "RichEdit1");
    RichEdit1->setContextMenuPolicy(Qt::CustomContextMenu);
    editorColumn->addWidget(RichEdit1, 1);
    m_pageSplitter->addWidget(Pan_tabContent);
    m_pageSplitter->addWidget(editorArea);

    AttachmentsPopUp = named(new QMenu(this), "AttachmentsPopUp");
    menuItem(AttachmentsPopUp, "AddURL1", QStringLiteral("Add URL"));
    menuItem(AttachmentsPopUp, "AddFile1", QStringLiteral("Add File"));
    menuItem(AttachmentsPopUp, "AddText1", QStringLiteral("Add Text"))->setEnabled(false);
    menuItem(AttachmentsPopUp, "Edit2", QStringLiteral("Edit"))->setEnabled(false);
    menuItem(AttachmentsPopUp, "Delete2", QStringLiteral("Delete"));

    PopupMenu2 = named(new QMenu(this), "PopupMenu2");
    menuItem(PopupMenu2, "Bold1", QStringLiteral("Bold"));
    menuItem(PopupMenu2, "Italic1", QStringLiteral("Italic"));
    menuItem(PopupMenu2, "Underline1", QStringLiteral("Underline"));
    connect(RichEdit1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        PopupMenu2->popup(RichEdit1->viewport()->mapToGlobal(pos));
    });
}

void DocumentPanel::resetPageAreaHeight()
{
    m_pageSplitter->setSizes({kPageAreaHeight, std::max(1, height() - kPageAreaHeight)});
    Pan_tabContent->resize(Pan_tabContent->width(), kPageAreaHeight);
}

} // namespace vt::app
