#include "windows/panels/EditingLine.h"

#include "ui/Ui.h"

#include "db/DateTimeUtil.h"

#include <QPalette>

namespace vt::app {

EditingLine::EditingLine(QWidget* parent) : QLabel(parent)
{
    setObjectName(QStringLiteral("EditingLine"));
    ui::dataLabel(this);
    setWordWrap(true);
    setMargin(3);
    setAutoFillBackground(true);
    QPalette warning = palette();
    warning.setColor(QPalette::Window, QColor(255, 243, 176));
    warning.setColor(QPalette::WindowText, Qt::black);
    setPalette(warning);
    hide();
}

QString EditingLine::lineFor(const QString& user, double since)
{
    return ui::isolated(user) + QStringLiteral(" is editing this document since ") +
           QString::fromStdString(FormatDateTime("hh:nn", since));
}

void EditingLine::showEditors(const std::vector<data::presence::OnlineUser>& users, qint32 documentId,
                              const QString& self)
{
    QStringList lines;
    if (documentId > 0)
        for (const auto& user : users)
            if (user.editingDocument == documentId && user.name.toUpper() != self.toUpper())
                lines << lineFor(user.name, user.editingSince);
    setText(lines.join(QLatin1Char('\n')));
    setVisible(!lines.isEmpty());
}

}  // namespace vt::app
