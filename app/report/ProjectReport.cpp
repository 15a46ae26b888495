#include "report/ProjectReport.h"

#include <algorithm>

#include "data/Documents.h"
#include "data/Report.h"
#include "session/Session.h"
#include "session/TextCodec.h"

#include "richtext/HtmlWriter.h"
#include "richtext/RichEditor.h"
#include "richtext/RichTextError.h"

#include <QBuffer>
#include <QFileInfo>
#include <QIODevice>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <stdexcept>
#include <unordered_set>

namespace vt::app::report {

QByteArray reportCharset()
{
    const int codePage = clientCodePage();
    return codePage == 0 ? QByteArray("UTF-8") : "windows-" + QByteArray::number(codePage);
}

QByteArray reportBytes(const QString& text)
{
    if (clientCodePage() == 0) return text.toUtf8();
    QStringEncoder encoder(reportCharset().constData(), QStringConverter::Flag::Stateless);
    if (!encoder.isValid()) return text.toUtf8();
    QStringDecoder decoder(reportCharset().constData(), QStringConverter::Flag::Stateless);
    QByteArray out;
    out.reserve(text.size());
    // Each character the code page holds is written as its byte; any other as a numeric
    // character reference, which a browser shows whatever the encoding.
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text.at(i);
        if (c.unicode() < 0x80) {
            out += char(c.unicode());
            ++i;
            continue;
        }
        const qsizetype width = (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) ? 2 : 1;
        const QStringView one = QStringView(text).mid(i, width);
        const QByteArray bytes = encoder.encode(one);
        if (!encoder.hasError() && QString(decoder.decode(bytes)) == one) {
            out += bytes;
        } else {
            const char32_t codePoint = width == 2 ? QChar::surrogateToUcs4(one[0], one[1]) : one[0].unicode();
            out += "&#" + QByteArray::number(uint(codePoint)) + ';';
            encoder.resetState();
            decoder.resetState();
        }
        i += width;
    }
    return out;
}

void ReportWriter::put(const QByteArray& bytes)
{
    if (m_out.write(bytes) != bytes.size())
        throw std::runtime_error("Cannot write the report: " + m_out.errorString().toStdString());
}

void ReportWriter::putText(const QString& text) { put(reportBytes(vt::rt::htmlEscape(text))); }

void ReportWriter::WriteReportHeader()
{
    put("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=" + reportCharset() + "\">");
    put("<title>Report</title><style type=\"text/css\">P{margin-top: 0; margin-bottom: 0;}</style></head>");
}

void ReportWriter::WriteProjectSection(const QString& projectName, const QString& date)
{
    put("<!-- ---Project-------------------------------------------------------------------------------------->");
    put("<body>");
    put("<p><table style=\"width: 623px; height: 87px;\" id=\"Table6\" cellspacing=\"0\" cellpadding=\"0\" "
        "border=\"0\">");
    put("<tbody>");
    put("<tr style=\"color: rgb(0, 0, 0);\"><td><big><big><big><strong>");
    putText(projectName);
    put("</strong></big></big></big></td></tr><tr style=\"color: rgb(0, 0, 0);\"><td><big><big><strong><font "
        "size=\"2\"><big><big><big><big><strong><font size=\"2\"><big><big>");
    putText(date);
    put("</big></big></font></strong></big></big></big></big></font></strong></big></big></td></tr></tbody></table>"
        "</p><br>");
}

void ReportWriter::WriteCategorySection(const QString& categoryName)
{
    put("<!-- ---CATAGORY-------------------------------------------------------------------------------------->");
    put("<div style=\"border-style: none none solid; border-color: -moz-use-text-color -moz-use-text-color "
        "windowtext; border-width: medium medium 1pt; padding: 0in 0in 1pt;\">");
    put("<big><strong><font color=\"black\" size=\"4\"><big><br><span style=\"font-size: 18pt; color: blue;\">");
    putText(categoryName);
    put("<br></span></big></font></strong></big></div><br>");
}

void ReportWriter::beginDocumentSection(int level, const QString& topic)
{
    put("<!-- ----Document-Loop Within Category ------------------------------------------------->");
    put("<table id=\"Table1\">");
    put("<tbody><tr>");
    for (int i = 1; i < std::min(level, kMaxIndentCells + 1); ++i)
        put("<td>&nbsp;&nbsp;</td>");
    put("<td><font style=\"text-decoration: underline;\" color=\"Black\" size=\"4\"><strong>");
    putText(topic);
    put("</strong></font><br>");
    put("<div>");
}

void ReportWriter::writePlaceholder(const QString& text) { putText(text); }

void ReportWriter::writeBody(vt::rt::RichEditor& view, const QString& pictureFolder)
{
    QByteArray html;
    QBuffer buffer(&html);
    buffer.open(QIODevice::WriteOnly);
    // Each body brings its own style sheet into the one page: its classes get a prefix of their
    // own, so that a later body's rules do not restyle the earlier ones.
    view.writeHtml(buffer, pictureFolder, QString(), QStringLiteral("vt_"), QStringLiteral("b%1-").arg(++m_bodies));
    if (clientCodePage() == 0) {
        put(html);  // the engine writes UTF-8 and declares it
        return;
    }
    QString text = QString::fromUtf8(html);
    text.replace(QStringLiteral("<meta charset=\"utf-8\">"),
                 QStringLiteral("<meta charset=\"%1\">").arg(QString::fromLatin1(reportCharset())));
    put(reportBytes(text));
}

void ReportWriter::endDocumentSection()
{
    put("</div>");
    put("</td></tr><br></tbody></table>");
}

void ReportWriter::WriteReportFooter()
{
    put("</p></body>");
    put("</html>");
}

namespace {

// Loads a body into the view and lays it out; false for a body too large to show, which the
// report leaves out like a missing one.
template <class Load>
bool loadBody(vt::rt::RichEditor& view, Load load)
{
    view.clear();
    try {
        load();
    } catch (const vt::rt::DocumentTooLarge&) {
        return false;
    }
    view.format();
    return true;
}

}  // namespace

void writeProjectReport(const Session& session, const std::vector<OutlineEntry>& outline, const QString& date,
                        QIODevice& out, vt::rt::RichEditor& view, const ReportProgress& progress)
{
    std::vector<qint32> documents;
    for (const OutlineEntry& e : outline)
        if (e.level >= 2) documents.push_back(e.id);
    const bool files = session.StoreDocumentsAsFiles;
    data::report::BodyBatches bodies(session, files ? std::vector<qint32>{} : documents);
    QString pictureFolder = session.WorkFolder;
    if (!pictureFolder.isEmpty() && !pictureFolder.endsWith(QLatin1Char('/'))) pictureFolder += QLatin1Char('/');

    ReportWriter writer(out);
    writer.WriteReportHeader();
    const int total = int(documents.size());
    int done = 0;
    for (const OutlineEntry& e : outline) {
        if (e.level == 0) {
            writer.WriteProjectSection(e.name, date);
            continue;
        }
        if (e.level == 1) {
            writer.WriteCategorySection(e.name);
            continue;
        }
        writer.beginDocumentSection(e.level, e.name);
        if (files) {
            const QString path = data::documents::bodyFilePath(session.DocumentsFolder, e.id);
            if (QFileInfo::exists(path)) {
                if (loadBody(view, [&] { view.loadFromFile(path); }))
                    writer.writeBody(view, pictureFolder);
                else
                    writer.writePlaceholder(QStringLiteral("Document Unavailable"));
            } else {
                writer.writePlaceholder(QStringLiteral("Document Not Found: ") + path);
            }
        } else if (const std::optional<QByteArray> stored = bodies.take(e.id);
                   stored && loadBody(view, [&] { view.loadFromBytes(*stored); })) {
            writer.writeBody(view, pictureFolder);
        } else {
            writer.writePlaceholder(QStringLiteral("Document Unavailable"));
        }
        writer.endDocumentSection();
        ++done;
        if (progress) progress(done, total);
    }
    writer.WriteReportFooter();
}

}  // namespace vt::app::report
