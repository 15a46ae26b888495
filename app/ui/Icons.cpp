#include "ui/Icons.h"

#include <QGuiApplication>
#include <QHash>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>

namespace vt::app::ui {

namespace {

constexpr int kPicture = 16;
constexpr int kStateWidth = 28;

// The colour monochrome pictures are drawn in: the desktop's button text, so that they read
// on light and dark panels alike.
QColor ink() { return QGuiApplication::palette().color(QPalette::Active, QPalette::ButtonText); }

// Monochrome pictures come light; they are drawn in the ink colour.
QPixmap inked(const QString& file, const QColor& colour)
{
    QImage image(file);
    if (image.isNull()) return {};
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgba(colour.red(), colour.green(), colour.blue(), qAlpha(line[x]));
    }
    return QPixmap::fromImage(image);
}

// A picture at scale 1 (16 by 16) or 2 (its "@2x" file of 32 by 32, for high-DPI screens).
QPixmap picture(const char* name, bool monochrome, int scale = 1)
{
    static QHash<QString, QPixmap> cache;
    const QString file = QStringLiteral(":/icons/") + QLatin1String(name) +
                         (scale == 2 ? QStringLiteral("@2x.png") : QStringLiteral(".png"));
    const QColor colour = ink();
    const QString key = monochrome ? file + colour.name() : file;
    auto it = cache.find(key);
    if (it == cache.end()) {
        QPixmap pixmap = monochrome ? inked(file, colour) : QPixmap(file);
        pixmap.setDevicePixelRatio(scale);
        it = cache.insert(key, pixmap);
    }
    return *it;
}

// An icon drawn as lines and shapes on a 16 by 16 grid, sharp at every size and scale.
class DrawnIcon : public QIconEngine {
public:
    using Draw = void (*)(QPainter&, const QColor& ink);
    explicit DrawnIcon(Draw draw) : m_draw(draw) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(rect.topLeft());
        painter->scale(rect.width() / 16.0, rect.height() / 16.0);
        if (mode == QIcon::Disabled) painter->setOpacity(0.4);
        m_draw(*painter, ink());
        painter->restore();
    }
    // Drawn at the size asked for, in device pixels (the icon asks for the size times the
    // screen's scale and sets the scale on the result).
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pixmap;
    }
    QIconEngine* clone() const override { return new DrawnIcon(m_draw); }
    QString key() const override { return QStringLiteral("vt-drawn"); }

private:
    Draw m_draw;
};

// Save: a floppy disk with its shutter and label.
void drawSave(QPainter& p, const QColor& ink)
{
    p.setPen(QPen(ink, 1.2));
    p.setBrush(Qt::NoBrush);
    QPainterPath body;
    body.moveTo(2.5, 2.5);
    body.lineTo(11.5, 2.5);
    body.lineTo(13.5, 4.5);
    body.lineTo(13.5, 13.5);
    body.lineTo(2.5, 13.5);
    body.closeSubpath();
    p.drawPath(body);
    p.setBrush(ink);
    p.drawRect(QRectF(5, 2.5, 5, 3.5));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(4.5, 8.5, 7, 5));
}

// The letter "A" as strokes, standing on baseline.
void drawLetterA(QPainter& p, const QColor& colour, double baseline)
{
    p.setPen(QPen(colour, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    QPainterPath a;
    a.moveTo(4, baseline);
    a.lineTo(8, baseline - 10);
    a.lineTo(12, baseline);
    a.moveTo(5.6, baseline - 4);
    a.lineTo(10.4, baseline - 4);
    p.drawPath(a);
}

// Text Colour: the letter over a bar of colour.
void drawTextColour(QPainter& p, const QColor& ink)
{
    drawLetterA(p, ink, 11.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xE0, 0x1B, 0x24));
    p.drawRect(QRectF(2, 13, 12, 3));
}

// Text Background Colour: the letter on a marker-coloured block.
void drawTextBackground(QPainter& p, const QColor&)
{
    const QColor marker(0xF6, 0xD3, 0x2D);
    p.setPen(Qt::NoPen);
    p.setBrush(marker);
    p.drawRoundedRect(QRectF(1, 1, 14, 14), 2, 2);
    drawLetterA(p, Qt::black, 13);
}

QPixmap imagePixmap(int index, int scale = 1)
{
    switch (index) {
    case kSelectedProject:
    case kSelectedCategory: return picture("folder-open", false, scale);
    case kCategory: return picture("folder", false, scale);
    case kMembers: return picture("members", false, scale);
    case kDiscussion: return picture("chat-message-new", true, scale);
    case kProject: return picture("project", false, scale);
    case kAttachments: return picture("mail-attachment", true, scale);
    case kDocument: return picture("document", false, scale);
    case kSelectedDocument: return picture("document-selected", false, scale);
    case 1: return picture("document-properties", true, scale);
    case 4: return picture("list-add", true, scale);
    case 7: return picture("view-refresh", true, scale);
    case 9: return picture("list-remove", true, scale);
    default: return {};
    }
}

// Laid out in device-independent pixels; scale 2 draws from the "@2x" pictures.
QPixmap composed(int pictureIndex, int stateIndex, int scale)
{
    QPixmap result((kPicture + kStateWidth) * scale, kPicture * scale);
    result.setDevicePixelRatio(scale);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // The state pictures stand left of the picture, so that every picture sits beside its
    // caption: a message mark and a paper clip, each in its half of the state area.
    const int half = kStateWidth / 2;
    if (stateIndex & 1) painter.drawPixmap(QRect(1, 2, half - 2, half - 2), picture("mail-unread", true, scale));
    if (stateIndex & 2) painter.drawPixmap(QRect(half, 2, half - 2, half - 2), picture("mail-attachment", true, scale));
    painter.drawPixmap(QRect(kStateWidth, 0, kPicture, kPicture), imagePixmap(pictureIndex, scale));
    return result;
}

}  // namespace

QIcon imageList(int index)
{
    QIcon icon;
    for (int scale : {1, 2}) {
        const QPixmap pixmap = imagePixmap(index, scale);
        if (!pixmap.isNull()) icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon outlineIcon(int picture, int selectedPicture, int stateIndex)
{
    // One icon per kind of node, shared by every node of that kind: an outline may hold a
    // hundred thousand nodes, and each would otherwise keep pictures of its own.
    static QHash<QString, QIcon> cache;
    const QString key =
        QStringLiteral("%1/%2/%3/%4").arg(picture).arg(selectedPicture).arg(stateIndex).arg(ink().name());
    auto it = cache.find(key);
    if (it != cache.end()) return *it;
    QIcon icon;
    for (int scale : {1, 2}) {
        icon.addPixmap(composed(picture, stateIndex, scale), QIcon::Normal);
        icon.addPixmap(composed(selectedPicture, stateIndex, scale), QIcon::Selected);
    }
    return *cache.insert(key, icon);
}

QSize outlineIconSize() { return {kPicture + kStateWidth, kPicture}; }

QIcon glyph(const char* name)
{
    const QLatin1String wanted(name);
    if (wanted == QLatin1String("document-save")) return QIcon(new DrawnIcon(drawSave));
    if (wanted == QLatin1String("text-colour")) return QIcon(new DrawnIcon(drawTextColour));
    if (wanted == QLatin1String("text-background-colour")) return QIcon(new DrawnIcon(drawTextBackground));
    QIcon icon;
    for (int scale : {1, 2}) {
        const QPixmap pixmap = picture(name, true, scale);
        if (!pixmap.isNull()) icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon appIcon()
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/veltrana-48.png"));
    icon.addFile(QStringLiteral(":/icons/project.png"));
    return icon;
}

}  // namespace vt::app::ui
