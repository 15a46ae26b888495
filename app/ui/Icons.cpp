#include "ui/Icons.h"

#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPixmap>

namespace vt::app::ui {

namespace {

constexpr int kPicture = 16;
constexpr int kStateWidth = 28;

// Monochrome pictures come light; they are drawn dark so that they read on light panels.
QPixmap dark(const QString& file)
{
    QImage image(file);
    if (image.isNull()) return {};
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgba(0x2e, 0x34, 0x36, qAlpha(line[x]));
    }
    return QPixmap::fromImage(image);
}

QPixmap picture(const char* name, bool monochrome)
{
    static QHash<QString, QPixmap> cache;
    const QString file = QStringLiteral(":/icons/") + QLatin1String(name) + QStringLiteral(".png");
    auto it = cache.find(file);
    if (it == cache.end()) it = cache.insert(file, monochrome ? dark(file) : QPixmap(file));
    return *it;
}

QPixmap imagePixmap(int index)
{
    switch (index) {
    case kSelectedProject:
    case kSelectedCategory: return picture("folder-open", false);
    case kCategory: return picture("folder", false);
    case kMembers: return picture("members", false);
    case kDiscussion: return picture("chat-message-new", true);
    case kProject: return picture("project", false);
    case kAttachments: return picture("mail-attachment", true);
    case kDocument: return picture("document", false);
    case kSelectedDocument: return picture("document-selected", false);
    case 1: return picture("document-properties", true);
    case 4: return picture("list-add", true);
    case 7: return picture("view-refresh", true);
    case 9: return picture("list-remove", true);
    default: return {};
    }
}

QPixmap composed(int pictureIndex, int stateIndex)
{
    QPixmap result(kPicture + kStateWidth, kPicture);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // The state pictures stand left of the picture, so that every picture sits beside its
    // caption: a message mark and a paper clip, each in its half of the state area.
    const int half = kStateWidth / 2;
    if (stateIndex & 1) painter.drawPixmap(QRect(1, 2, half - 2, half - 2), picture("mail-unread", true));
    if (stateIndex & 2) painter.drawPixmap(QRect(half, 2, half - 2, half - 2), picture("mail-attachment", true));
    painter.drawPixmap(kStateWidth, 0, imagePixmap(pictureIndex));
    return result;
}

}  // namespace

QIcon imageList(int index)
{
    QIcon icon;
    const QPixmap pixmap = imagePixmap(index);
    if (!pixmap.isNull()) icon.addPixmap(pixmap);
    return icon;
}

QIcon outlineIcon(int picture, int selectedPicture, int stateIndex)
{
    QIcon icon;
    icon.addPixmap(composed(picture, stateIndex), QIcon::Normal);
    icon.addPixmap(composed(selectedPicture, stateIndex), QIcon::Selected);
    return icon;
}

QSize outlineIconSize() { return {kPicture + kStateWidth, kPicture}; }

QIcon glyph(const char* name)
{
    QIcon icon;
    const QPixmap pixmap = picture(name, true);
    if (!pixmap.isNull()) icon.addPixmap(pixmap);
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
