#include "ShownText.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QTextDocument>
#include <QTextLayout>
#include <QToolTip>

namespace vt::test {

namespace {

class NoResources : public QTextDocument {
protected:
    QVariant loadResource(int, const QUrl&) override { return QByteArray(); }
};

}  // namespace

QString shownText(const QString& text, Qt::TextFormat format)
{
    if (format == Qt::PlainText || (format == Qt::AutoText && !Qt::mightBeRichText(text))) return text;
    NoResources doc;
    if (format == Qt::MarkdownText)
        doc.setMarkdown(text);
    else
        doc.setHtml(text);
    return doc.toPlainText().replace(QChar::LineSeparator, QLatin1Char('\n'));
}

QString hoverTip(QAbstractItemView& view, const QModelIndex& index)
{
    const QRect cell = view.visualRect(index);
    if (cell.isEmpty() || !view.viewport()->rect().contains(cell.center())) return {};
    const QPoint at = cell.center();
    // A tooltip hides only a moment after it is asked to: a placeholder shown first tells a
    // hover that shows none from one that shows the last tooltip's text again.
    static const QString placeholder = QStringLiteral("(no tooltip)");
    QToolTip::showText(view.viewport()->mapToGlobal(at), placeholder, view.viewport());
    QHelpEvent help(QEvent::ToolTip, at, view.viewport()->mapToGlobal(at));
    QApplication::sendEvent(view.viewport(), &help);
    const QString tip = QToolTip::isVisible() ? QToolTip::text() : QString();
    return tip == placeholder ? QString() : tip;
}

bool tailLeftToRight(const QString& text, qsizetype from)
{
    QTextLayout layout(text, QApplication::font());
    QTextOption option;
    option.setTextDirection(Qt::LeftToRight);
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    for (qsizetype i = from + 1; i + 2 < text.size(); ++i)
        if (!(line.cursorToX(int(i)) < line.cursorToX(int(i + 1)))) return false;
    return true;
}

QString withoutIsolates(QString text)
{
    text.remove(QChar(0x2068));
    text.remove(QChar(0x2069));
    return text;
}

}  // namespace vt::test
