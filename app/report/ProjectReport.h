#pragma once
// The HTML project report: the project heading, then in outline order a heading per category
// and a block per document with its topic and its body rendered as HTML by a hidden rich-text
// view. Names and placeholder paths are HTML-escaped; the file is written in the client's code
// page and declares exactly that encoding.

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

class QIODevice;

namespace vt::rt {
class RichEditor;
}

namespace vt::app {
class Session;
}

namespace vt::app::report {

// The file name of the report in the work folder.
inline constexpr const char* kReportFileName = "vtranTemp.html";

// One node of the outline in display order: level 0 the project, 1 a category, 2 and deeper a
// document; id is the CatagoryID or RequirementID; name the caption or name as loaded.
struct OutlineEntry {
    int level = 0;
    qint32 id = 0;
    QString name;
};

// The encoding the report is written in: "UTF-8", or "windows-125x" for those code pages.
QByteArray reportCharset();
// Text in the report's encoding; characters the code page lacks become numeric references.
QByteArray reportBytes(const QString& text);

// The report's fixed pieces and values, appended to out in the order they are called.
// Every write that fails throws std::runtime_error.
class ReportWriter {
public:
    explicit ReportWriter(QIODevice& out) : m_out(out) {}

    void WriteReportHeader();
    void WriteProjectSection(const QString& projectName, const QString& date);
    void WriteCategorySection(const QString& categoryName);
    // The indent cells of the deepest sections: a document deeper in the outline is indented
    // as far as these, so a section's size does not grow with its depth.
    static constexpr int kMaxIndentCells = 32;
    // The pieces of a document section before its body (level: the node's outline level; one
    // indent cell per level below 2, at most kMaxIndentCells).
    void beginDocumentSection(int level, const QString& topic);
    // A placeholder in the body's place.
    void writePlaceholder(const QString& text);
    // The view's content as a complete HTML document of its own, its style classes prefixed with
    // "b" and the number of the body in this report; pictures are written to files "vt_..." in
    // pictureFolder (which ends with a separator).
    void writeBody(vt::rt::RichEditor& view, const QString& pictureFolder);
    // The pieces of a document section after its body.
    void endDocumentSection();
    void WriteReportFooter();

private:
    void put(const QByteArray& bytes);
    void put(const char* piece) { put(QByteArray(piece)); }
    void putText(const QString& text);  // HTML-escaped, encoded

    QIODevice& m_out;
    int m_bodies = 0;  // bodies written so far
};

// Called after each document with the documents done and their total.
using ReportProgress = std::function<void(int done, int total)>;

// Writes the report of the outline to out: bodies from the session's store (the shared folder
// or Req_objects; which documents have a body row is asked once for all of them), each loaded
// into view, laid out and rendered; the placeholders "Document Not Found: " + path and
// "Document Unavailable" take a missing body's place, the latter also that of a body too large
// to show. date: the date shown under the project.
void writeProjectReport(const Session& session, const std::vector<OutlineEntry>& outline, const QString& date,
                        QIODevice& out, vt::rt::RichEditor& view, const ReportProgress& progress = {});

}  // namespace vt::app::report
