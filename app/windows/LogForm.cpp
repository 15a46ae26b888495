#include "windows/LogForm.h"

#include "ui/Ui.h"
#include "windows/Forms.h"

#include <QAction>
#include <QMenu>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace vt::app {

using ui::named;

TLog_Form::TLog_Form(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Log_Form"));
    setWindowTitle(QStringLiteral("Log_Form"));
    setGeometry(636, 203, 626, 640);

    Memo1 = named(new QPlainTextEdit(this), "Memo1");
    Memo1->setPlainText(QStringLiteral("Memo1"));
    Memo1->setStyleSheet(QStringLiteral("QPlainTextEdit { color: yellow; background: maroon; }"));
    ui::tight(new QVBoxLayout(this))->addWidget(Memo1);

    PopupMenu1 = named(new QMenu(this), "PopupMenu1");
    QAction* clear = ui::menuItem(PopupMenu1, "clear1", QStringLiteral("clear"));
    connect(clear, &QAction::triggered, Memo1, &QPlainTextEdit::clear);
    Memo1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Memo1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu1->popup(Memo1->mapToGlobal(pos)); });
}

void TLog_Form::appendLine(const QString& text) { Memo1->appendPlainText(text); }

void LogLine(const QString& text)
{
    TLog_Form* console = forms().Log_Form;
    if (console && console->isVisible()) console->appendLine(text);
}

}  // namespace vt::app
