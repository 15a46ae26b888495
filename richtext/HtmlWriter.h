#pragma once
// Writes a document as a complete HTML document of its own (html, head with title and a
// style sheet holding one class per text and paragraph style, body). Text is HTML-escaped;
// links stay links when their target is safe to follow (see isSafeLink), others become their
// text; pictures are written as separate files named prefix + a hash of the
// picture + ".png" or ".jpg" in pictureFolder (used as given, so it ends with a separator),
// so that several documents written into one folder never overwrite each other's pictures.

#include "richtext/DocModel.h"

#include <QImage>
#include <QList>
#include <QString>

class QIODevice;

namespace vt::rt {

// Writes at the current position of out. Throws RichTextError when a file cannot be written.
// classPrefix goes in front of every class name of the style sheet; when it is not empty the
// sheet's page-wide rules (background, margins) are scoped to a wrapper element of the body, so
// that several documents written into one page keep their own styles.
void writeHtml(const DocModel& doc, const QList<QImage>& pictureList, QIODevice& out, const QString& pictureFolder,
               const QString& title = {}, const QString& picturePrefix = QStringLiteral("vt_"),
               const QString& classPrefix = {});

// Whether a link target may be written as a link: relative references, and absolute ones of the
// schemes http, https, mailto and ftp. A target that holds control characters, starts with two
// slashes or backslashes (another host, which in a local page means a file share), or whose text
// before its first colon is anything else is refused.
bool isSafeLink(const QString& target);

// The text with &, <, >, " and ' replaced by entities.
QString htmlEscape(const QString& text);

}  // namespace vt::rt
