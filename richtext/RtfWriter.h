#pragma once
// Writes a document as RTF 1.x: font and colour tables, each run's and paragraph's formatting
// from its style, lists (list table plus plain-text list labels for simple readers), simple
// tables, PNG/JPEG pictures, hyperlinks as HYPERLINK fields, document properties and the
// background. Non-ASCII text is written as \uN escapes followed by the windows-1252 byte, or
// '?' when the character has none.

#include "richtext/DocModel.h"

#include <QImage>
#include <QList>

#include <string>

namespace vt::rt {

std::string writeRtf(const DocModel& doc, const QList<QImage>& pictureList = {});

}  // namespace vt::rt
