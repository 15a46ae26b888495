// Writes the document bodies of the demo database: one ".rvf" file per document id into the
// folder given, made with the program's own editor so that they carry what bodies carry:
// headings, emphasis, a picture, a list and a table.
//
//   demo_bodies FOLDER
//
// The files in sql/demo-bodies/ were made with it; scripts/setup-db.sh --demo stores them.

#include "richtext/RichEditor.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

#include <cstdio>
#include <functional>

namespace {

using vt::rt::RichEditor;

enum Text { kNormal = 0, kHeading = 1, kSubheading = 2, kKeywords = 3 };

// A small bar chart as PNG bytes.
QByteArray chart()
{
    QImage image(360, 160, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0x88, 0x88, 0x88));
    p.drawLine(30, 140, 350, 140);
    const int values[] = {40, 65, 52, 90, 110, 84};
    const QColor colours[] = {QColor(0x35, 0x84, 0xe4), QColor(0x2e, 0xc2, 0x7e)};
    for (int i = 0; i < 6; ++i) {
        p.setBrush(colours[i % 2]);
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(45 + i * 50, 140 - values[i], 32, values[i]), 3, 3);
        p.setPen(QColor(0x44, 0x44, 0x44));
        p.drawText(QRectF(40 + i * 50, 142, 42, 16), Qt::AlignCenter, QStringLiteral("W%1").arg(i + 1));
    }
    p.drawText(QRectF(30, 4, 320, 18), Qt::AlignLeft, QStringLiteral("Visits per week (thousands)"));
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

void list(RichEditor& e, const QStringList& items, vt::rt::ListKind kind)
{
    const int firstBlock = e.document()->blockCount();  // the first appended paragraph's number
    for (const QString& item : items)
        e.appendParagraph(item);
    QTextCursor c(e.document()->findBlockByNumber(firstBlock));
    c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    e.setTextCursor(c);
    e.setListKind(kind);
    c.movePosition(QTextCursor::End);
    e.setTextCursor(c);
}

void table(RichEditor& e, const QList<QStringList>& rows)
{
    e.appendParagraph(QString());
    QTextCursor c = e.textCursor();
    c.movePosition(QTextCursor::End);
    e.setTextCursor(c);
    e.insertTable(static_cast<int>(rows.size()), static_cast<int>(rows.front().size()));
    QTextTable* t = nullptr;
    for (QTextFrame* frame : e.document()->rootFrame()->childFrames())
        if (auto* found = qobject_cast<QTextTable*>(frame)) t = found;
    if (!t) return;
    for (int r = 0; r < rows.size(); ++r)
        for (int k = 0; k < rows[r].size(); ++k) {
            QTextCursor cell = t->cellAt(r, k).firstCursorPosition();
            e.setTextCursor(cell);
            e.insertPlainText(rows[r][k]);
            (void)cell;
        }
    c.movePosition(QTextCursor::End);
    e.setTextCursor(c);
}

void productPages(RichEditor& e)
{
    e.appendParagraph(QStringLiteral("Product pages"), kHeading);
    e.appendParagraph(QStringLiteral("Every product gets one page that sells it: pictures first, the price and "
                                     "the button to buy within reach, the details below."));
    e.appendParagraph(QStringLiteral("Must have"), kSubheading);
    list(e,
         {QStringLiteral("A gallery of at least three pictures, zoomable"),
          QStringLiteral("Price, stock and delivery time above the fold"),
          QStringLiteral("Reviews with a summary of the stars"), QStringLiteral("Related products at the end")},
         vt::rt::ListKind::Disc);
    e.appendParagraph(QStringLiteral("Traffic so far"), kSubheading);
    QTextCursor c = e.textCursor();
    c.movePosition(QTextCursor::End);
    e.setTextCursor(c);
    e.appendParagraph(QString(), kNormal, 1);
    c.movePosition(QTextCursor::End);
    e.setTextCursor(c);
    e.insertPicture(chart());
    e.appendParagraph(QStringLiteral("Visits grew by half since the new category pages went live."), kKeywords);
    e.appendParagraph(QStringLiteral("Page types"), kSubheading);
    table(e, {{QStringLiteral("Page"), QStringLiteral("Owner"), QStringLiteral("Due")},
              {QStringLiteral("Product detail"), QStringLiteral("Alice"), QStringLiteral("March")},
              {QStringLiteral("Search results"), QStringLiteral("Bob"), QStringLiteral("April")},
              {QStringLiteral("Comparison"), QStringLiteral("Alice"), QStringLiteral("May")}});
}

void simple(RichEditor& e, const QString& title, const QString& text, const QStringList& points)
{
    e.appendParagraph(title, kHeading);
    e.appendParagraph(text);
    if (!points.isEmpty()) list(e, points, vt::rt::ListKind::Decimal);
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: demo_bodies FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    struct Body {
        int id;
        std::function<void(RichEditor&)> fill;
    };
    const Body bodies[] = {
        {1, productPages},
        {2,
         [](RichEditor& e) {
             simple(e, "Checkout", "Three steps, no account needed: address, payment, review.",
                    {"Guest checkout", "Saved addresses for members", "One page on phones"});
         }},
        {3,
         [](RichEditor& e) {
             simple(e, "Payment providers", "We compare fees, payout times and the countries served.", {});
         }},
        {4,
         [](RichEditor& e) {
             simple(e, "Style guide", "Colours, type and spacing of the new site.",
                    {"Two typefaces at most", "Blue for actions, green for success"});
         }},
        {5, [](RichEditor& e) { simple(e, "Interview plan", "Twelve interviews in four cities, one hour each.", {}); }},
        {6,
         [](RichEditor& e) {
             simple(e, "Breakfast", "Served from seven to eleven.", {"Croissants", "Porridge", "Eggs any style"});
         }},
        {7,
         [](RichEditor& e) {
             simple(e, "Coffee roasters", "Three roasters sent samples; we taste them on Friday.", {});
         }},
        {8,
         [](RichEditor& e) {
             simple(e, "Product detail page", "The layout of one product, from the top.",
                    {"Gallery", "Title, price, stock", "Buy button", "Details and reviews"});
         }},
        {9, [](RichEditor& e) { simple(e, "Image gallery", "Swipe on phones, arrows and thumbnails elsewhere.", {}); }},
        {10,
         [](RichEditor& e) {
             simple(e, "Search results", "Filters on the left, sorting on top, twenty results a page.", {});
         }},
        {11,
         [](RichEditor& e) {
             simple(e, "Milestones", "What is done when.",
                    {"Design approved: end of February", "Shop live: end of May"});
         }},
        {12, [](RichEditor& e) { simple(e, "Budget", "Design, development and three months of hosting.", {}); }},
        {13,
         [](RichEditor& e) {
             simple(e, "Test plan", "Every page on three browsers and two phones before launch.", {});
         }},
        {14,
         [](RichEditor& e) { simple(e, "Card payments", "Cards go through the provider's hosted page only.", {}); }},
    };
    for (const Body& b : bodies) {
        RichEditor editor;
        b.fill(editor);
        editor.saveToFile(folder + QStringLiteral("/%1.rvf").arg(b.id));
    }
    std::printf("%zu bodies written to %s\n", std::size(bodies), argv[1]);
    return 0;
}
