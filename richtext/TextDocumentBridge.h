#pragma once
// Conversion between the plain document (DocModel) and Qt's QTextDocument, and the
// normalisation that keeps every run and paragraph of a QTextDocument on one style number of
// the sheet. Style numbers ride in QTextFormat::UserProperty of character and block formats.

#include "richtext/DocModel.h"

#include <QImage>
#include <QList>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextListFormat>
#include <QTextTableFormat>

class QTextDocument;

namespace vt::rt {

inline constexpr int kStyleNumberProperty = QTextFormat::UserProperty;
inline constexpr int kCharsetProperty = QTextFormat::UserProperty + 1;

// Formats of a style, carrying its number.
QTextCharFormat toCharFormat(const TextStyle& s, int number);
QTextBlockFormat toBlockFormat(const ParaStyle& s, int number);
// The style properties of a format as Qt holds them (missing properties take the defaults).
TextStyle fromCharFormat(const QTextCharFormat& f);
ParaStyle fromBlockFormat(const QTextBlockFormat& f);

// The style number a format carries, or -1 when it has none.
int styleNumberOf(const QTextFormat& f);

// Replaces the document's content with the model (styles are the caller's: pass the
// model's sheet as the document's). Pictures that cannot be decoded as PNG or JPEG are
// skipped; picture-list entries that do not exist become entry 0. The model's margins and
// background are set on the root frame before the content arrives, so that the document is
// laid out once.
void buildDocument(QTextDocument& doc, const DocModel& model, const QList<QImage>& pictureList);

// The document as a model, using and extending `styles` for any format not yet on it.
DocModel extractModel(const QTextDocument& doc, DocStyles& styles);

// Puts every run and paragraph that carries no valid style number, or whose formatting
// differs from its numbered style, on an equal style of the sheet or on a newly appended
// one. Returns whether anything changed.
bool normalizeDocument(QTextDocument& doc, DocStyles& styles);

// Removes the target of every link that is not safe to follow (see isSafeLink), keeping its
// text and formatting: for copies of a document that leave the program (clipboard, print,
// PDF), where another program may follow the links. Returns whether any link was removed.
bool dropUnsafeLinks(QTextDocument& doc);
// Whether a run's format links to a target that is not safe to follow.
bool hasUnsafeLink(const QTextCharFormat& format);

// The full format of a run put on style n, keeping what belongs to the run itself (link
// target, picture name and size).
QTextCharFormat restyledFormat(const QTextCharFormat& old, const DocStyles& styles, int n);

// Makes a picture available to the document; returns the image name for a QTextImageFormat,
// or an empty string when the bytes cannot be read.
QString registerPicture(QTextDocument& doc, const std::string& bytes, PictureFormat format);
// The image name of picture-list entry `index` (entry 0 when it does not exist).
QString registerListPicture(QTextDocument& doc, int index, const QList<QImage>& pictureList);
// Format of the tables the engine creates.
QTextTableFormat tableFormat(int border);

// Largest decoded picture accepted (pixels); larger pictures are skipped like unreadable ones.
inline constexpr qint64 kMaxPicturePixels = 40'000'000;

// What a document shows for a picture of pasted HTML whose file is not read: a transparent
// pixel, which also keeps Qt from reading the file itself. Such pictures are not saved.
QImage unreadPicture();
bool isUnreadPicture(const QImage& image);

// Decodes PNG or JPEG bytes; null when the bytes are neither or too large.
QImage decodePicture(const std::string& bytes, PictureFormat format);

// The pixels of the pictures an item of the model shows, as buildDocument decodes them, read
// from the pictures' headers only (pictures it skips count nothing).
qint64 shownPicturePixels(const DocModel& model);

// The Qt list style that shows a list kind of the model.
QTextListFormat::Style qtListStyle(ListKind kind);

}  // namespace vt::rt
