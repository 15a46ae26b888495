#pragma once
// The project report as a PDF file: the HTML report, laid out by Qt's text engine on pages of
// Qt's PDF printer, with the project's name as the PDF title.

#include <QByteArray>
#include <QString>

namespace vt::app::report {

// Writes html (the report's bytes, in the report's encoding) as a PDF file at pdfPath.
// pictureFolder is where the report's picture files are (ending with a separator); title
// becomes the PDF's title. Throws std::runtime_error when the file cannot be written.
void writeReportPdf(const QByteArray& html, const QString& pictureFolder, const QString& title, const QString& pdfPath);

}  // namespace vt::app::report
