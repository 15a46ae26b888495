#include "ui/WindowLayout.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QSplitter>
#include <QUrl>
#include <QWidget>

#include <algorithm>

namespace vt::app::ui {

namespace {

QString headerName(const QHeaderView& header)
{
    if (!header.objectName().isEmpty()) return header.objectName();
    if (const auto* view = qobject_cast<const QAbstractItemView*>(header.parent())) return view->objectName();
    return {};
}

QVariantList toList(const QList<int>& sizes)
{
    QVariantList list;
    for (int size : sizes)
        list << size;
    return list;
}

// Kept sizes for count panes; empty when they do not fit.
QList<int> sizesFrom(const QVariant& value, int count)
{
    const QVariantList list = value.toList();
    if (list.size() != count) return {};
    QList<int> sizes;
    bool anyPositive = false;
    for (const QVariant& v : list) {
        bool ok = false;
        const int size = v.toInt(&ok);
        if (!ok || size < 0 || size > 100000) return {};
        anyPositive = anyPositive || size > 0;
        sizes << size;
    }
    return anyPositive ? sizes : QList<int>{};
}

}  // namespace

QRect firstPlace(const QRect& available, const QSize& wanted)
{
    const int roomX = std::max(1, available.width() - kFrameAllowanceX);
    const int roomY = std::max(1, available.height() - kFrameAllowanceY);
    const int width = std::min(roomX, std::max(wanted.width(), roomX * 4 / 5));
    const int height = std::min(roomY, std::max(wanted.height(), roomY * 9 / 10));
    const int x = available.x() + (available.width() - width) / 2;
    const int y = available.y() + kFrameAllowanceY - kFrameAllowanceX / 2 + (roomY - height) / 2;
    return {x, y, width, height};
}

QRect fitIntoScreen(const QRect& place, const QRect& available)
{
    const int roomX = std::max(1, available.width() - kFrameAllowanceX);
    const int roomY = std::max(1, available.height() - kFrameAllowanceY);
    const int width = std::clamp(place.width(), 1, roomX);
    const int height = std::clamp(place.height(), 1, roomY);
    const int left = available.x() + kFrameAllowanceX / 2;
    const int top = available.y() + kFrameAllowanceY - kFrameAllowanceX / 2;
    const int x = std::clamp(place.x(), left, left + roomX - width);
    const int y = std::clamp(place.y(), top, top + roomY - height);
    return {x, y, width, height};
}

QVariantMap layoutState(const QWidget& root)
{
    QVariantMap state;
    for (const QSplitter* splitter : root.findChildren<QSplitter*>()) {
        const QList<int> sizes = splitter->sizes();
        if (splitter->objectName().isEmpty() || std::all_of(sizes.begin(), sizes.end(), [](int s) { return s == 0; }))
            continue;
        state.insert(QStringLiteral("splitters/") + splitter->objectName(), toList(sizes));
    }
    for (const QHeaderView* header : root.findChildren<QHeaderView*>()) {
        const QString name = headerName(*header);
        if (name.isEmpty() || header->count() == 0) continue;
        QList<int> widths;
        for (int i = 0; i < header->count(); ++i)
            widths << header->sectionSize(i);
        state.insert(QStringLiteral("columns/") + name, toList(widths));
    }
    return state;
}

void applyLayoutState(QWidget& root, const QVariantMap& state)
{
    for (QSplitter* splitter : root.findChildren<QSplitter*>()) {
        const auto it = state.find(QStringLiteral("splitters/") + splitter->objectName());
        if (splitter->objectName().isEmpty() || it == state.end()) continue;
        const QList<int> sizes = sizesFrom(*it, splitter->count());
        if (!sizes.isEmpty()) splitter->setSizes(sizes);
    }
    for (QHeaderView* header : root.findChildren<QHeaderView*>()) {
        const QString name = headerName(*header);
        const auto it = state.find(QStringLiteral("columns/") + name);
        if (name.isEmpty() || it == state.end()) continue;
        const QList<int> widths = sizesFrom(*it, header->count());
        for (int i = 0; i < widths.size(); ++i)
            if (widths[i] > 0) header->resizeSection(i, widths[i]);
    }
}

QString userSettingsKey(const QString& userName)
{
    return QStringLiteral("users/") + QString::fromLatin1(QUrl::toPercentEncoding(userName)) + QLatin1Char('/');
}

}  // namespace vt::app::ui
