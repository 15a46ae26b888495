#pragma once
// Documents and pictures shared by the rich-text tests.

#include "richtext/DocModel.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QString>

#include <string>

namespace vt::rt::test {

// Encoded picture of the given size and colour ("PNG" or "JPEG").
QByteArray pictureBytes(int w, int h, QColor color, const char* format = "PNG");
std::string pictureString(int w, int h, QColor color, const char* format = "PNG");

// The picture list the application hands over while loading (three entries).
QList<QImage> samplePictureList();

// A document using every part of the model: a style with every property, links, pictures
// stored and from the picture list, three lists, a table, background, layout, properties,
// and text outside ASCII.
DocModel fullDocument();

// fullDocument() followed by about 16 kB of prose in every text style, with links: a body
// large enough that the writer stores it compressed.
DocModel largeDocument();

// Text style numbers fullDocument() adds to the starting sheet.
inline constexpr int kEveryPropertyStyle = 6;
inline constexpr int kBigRedStyle = 7;

// Reads a whole file; empty when it does not exist.
QByteArray readFile(const QString& path);
// A fresh folder under the build's temporary folder, removed at the next run.
QString tempFolder(const QString& name);

// Runs a program, returns its exit code (-1 when it cannot start); output in *out.
int runProgram(const QString& program, const QStringList& args, QByteArray* out = nullptr, int timeoutMs = 120000);

}  // namespace vt::rt::test
