#pragma once
// Writes a document as a complete HTML document of its own (html, head with title and a
// style sheet holding one class per text and paragraph style, body). Text is HTML-escaped;
// links stay links; pictures are written as separate files named prefix + a hash of the
// picture + ".png" or ".jpg" in pictureFolder (used as given, so it ends with a separator),
// so that several documents written into one folder never overwrite each other's pictures.

#include "richtext/DocModel.h"

#include <QImage>
#include <QList>
#include <QString>

class QIODevice;

namespace vt::rt {

// Writes at the current position of out. Throws RichTextError when a file cannot be written.
void writeHtml(const DocModel& doc, const QList<QImage>& pictureList, QIODevice& out, const QString& pictureFolder,
               const QString& title = {}, const QString& picturePrefix = QStringLiteral("vt_"));

// The text with &, <, >, " and ' replaced by entities.
QString htmlEscape(const QString& text);

}  // namespace vt::rt
