#include "report/ReportPdf.h"

#include "report/ProjectReport.h"

#include <QFileInfo>
#include <QMarginsF>
#include <QPageLayout>
#include <QPrinter>
#include <QStringDecoder>
#include <QTextDocument>
#include <QUrl>

#include <stdexcept>

namespace vt::app::report {

void writeReportPdf(const QByteArray& html, const QString& pictureFolder, const QString& title, const QString& pdfPath)
{
    QStringDecoder decode(reportCharset().constData());
    const QString text = decode.isValid() ? decode.decode(html) : QString::fromUtf8(html);

    QTextDocument document;
    // The picture files are named relative to the report's folder.
    document.setMetaInformation(QTextDocument::DocumentUrl, QUrl::fromLocalFile(pictureFolder).toString());
    document.setHtml(text);

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdfPath);
    printer.setDocName(title);
    printer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
    document.print(&printer);
    if (!QFileInfo(pdfPath).isFile() || QFileInfo(pdfPath).size() == 0)
        throw std::runtime_error("Cannot write file " + pdfPath.toStdString());
}

}  // namespace vt::app::report
