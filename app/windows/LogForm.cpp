#include "LogForm.h"

#include "Forms.h"

#include <QMenu>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace vt::app {

TLog_Form::TLog_Form(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Log_Form"));
    setWindowTitle(QStringLiteral("Log_Form"));
    setGeometry(636, 203, 626, 640);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setPlainText(QStringLiteral("Memo1"));
    Memo1->setStyleSheet(QStringLiteral("QPlainTextEdit { color: yellow; background: maroon; }"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Memo1);

    popupMenu = new QMenu(this);
    popupMenu->setObjectName(QStringLiteral("PopupMenu1"));
    QAction* clear = popupMenu->addAction(QStringLiteral("clear"));
    clear->setObjectName(QStringLiteral("clear1"));
    connect(clear, &QAction::triggered, Memo1, &QPlainTextEdit::clear);
    Memo1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Memo1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { popupMenu->popup(Memo1->mapToGlobal(pos)); });
}

void LogLine(const QString& text)
{
    TLog_Form* console = forms().Log_Form;
    if (console && console->isVisible())
        console->Memo1->appendPlainText(text);
}

} // namespace vt::app
