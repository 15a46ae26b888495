#include "richtext/DocPrint.h"

#include "richtext/RichEditor.h"
#include "richtext/TextDocumentBridge.h"

#include <QAbstractTextDocumentLayout>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QTextDocument>
#include <QTextFrame>

namespace vt::rt {

namespace {
constexpr double kUnitsPerInch = 96.0;  // engine units
}

DocPrint::DocPrint(QObject* parent) : QObject(parent) {}
DocPrint::~DocPrint() = default;

void DocPrint::setEditor(RichEditor* editor)
{
    m_editor = editor;
    m_doc.reset();
    m_pageCount = 0;
}

QSizeF DocPrint::pageSizeFor(QPrinter& printer) const
{
    printer.setFullPage(false);
    printer.setPageMargins(m_margins, QPageLayout::Millimeter);
    QRectF paint = printer.pageLayout().paintRect(QPageLayout::Inch);
    return QSizeF(paint.width() * kUnitsPerInch, paint.height() * kUnitsPerInch);
}

int DocPrint::formatPages(QPrinter& printer)
{
    emit formatting(Step::Start, 0);
    m_doc.reset();
    m_pageCount = 0;
    if (m_editor) {
        m_pageSize = pageSizeFor(printer);

        m_doc.reset(m_editor->document()->clone());
        // The page's links work in a PDF: only those safe to follow stay links.
        dropUnsafeLinks(*m_doc);
        // The page margins replace the editor's margins; the text fills the page's width.
        QTextFrameFormat root = m_doc->rootFrame()->frameFormat();
        root.setMargin(0);
        root.setPadding(0);
        m_doc->rootFrame()->setFrameFormat(root);
        m_doc->setPageSize(m_pageSize);
        m_pageCount = m_doc->pageCount();
        for (int p = 1; p <= m_pageCount; ++p)
            emit formatting(Step::PageDone, p);
    }
    emit formatting(Step::End, m_pageCount);
    return m_pageCount;
}

bool DocPrint::print(QPrinter& printer, const QString& title, int fromPage, int toPage, int copies, bool collate)
{
    // A layout made for other paper (the print dialog may have changed it) is made again.
    if (!m_doc || pageSizeFor(printer) != m_pageSize) formatPages(printer);
    if (!m_doc || m_pageCount == 0) return false;
    if (fromPage == 0 && toPage == 0) {
        fromPage = 1;
        toPage = m_pageCount;
    }
    fromPage = std::max(fromPage, 1);
    toPage = std::min(toPage, m_pageCount);
    if (fromPage > toPage) return false;
    copies = std::max(copies, 1);

    printer.setDocName(title);
    printer.setFullPage(false);
    printer.setPageMargins(m_margins, QPageLayout::Millimeter);
    std::vector<int> pages;
    if (printer.supportsMultipleCopies()) {
        printer.setCopyCount(copies);
        printer.setCollateCopies(collate);
        for (int p = fromPage; p <= toPage; ++p)
            pages.push_back(p);
    } else if (collate) {
        for (int c = 0; c < copies; ++c)
            for (int p = fromPage; p <= toPage; ++p)
                pages.push_back(p);
    } else {
        for (int p = fromPage; p <= toPage; ++p)
            for (int c = 0; c < copies; ++c)
                pages.push_back(p);
    }

    emit sendingToPrinter(Step::Start, 0);
    QPainter painter;
    if (!painter.begin(&printer)) {
        emit sendingToPrinter(Step::End, 0);
        return false;
    }
    const double scale = painter.device()->logicalDpiX() / kUnitsPerInch;
    const double scaleY = painter.device()->logicalDpiY() / kUnitsPerInch;
    for (size_t i = 0; i < pages.size(); ++i) {
        if (i > 0) printer.newPage();
        int p = pages[i];
        QRectF view(0, (p - 1) * m_pageSize.height(), m_pageSize.width(), m_pageSize.height());
        painter.save();
        painter.scale(scale, scaleY);
        painter.translate(0, -view.top());
        painter.setClipRect(view);
        QAbstractTextDocumentLayout::PaintContext ctx;
        // Lines pushed to the next page start exactly at this page's bottom edge, and Qt draws
        // lines touching the clip's edges; half a unit keeps them off this page entirely.
        ctx.clip = view.adjusted(0, 0.5, 0, -0.5);
        ctx.palette.setColor(QPalette::Text, Qt::black);
        m_doc->documentLayout()->draw(&painter, ctx);
        painter.restore();
        emit sendingToPrinter(Step::PageDone, p);
    }
    painter.end();
    emit sendingToPrinter(Step::End, 0);
    return true;
}

}  // namespace vt::rt
