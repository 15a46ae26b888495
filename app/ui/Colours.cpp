#include "ui/Colours.h"

#include <QPalette>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace vt::app::ui {

namespace {

double luminance(const QColor& c)
{
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    const QColor rgb = c.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}

}  // namespace

bool isDark(const QPalette& palette)
{
    return luminance(palette.color(QPalette::Window)) < luminance(palette.color(QPalette::WindowText));
}

QColor partBackground(const QColor& named, const QPalette& palette)
{
    if (!isDark(palette)) return named;
    // The same hue, as dark as the desktop's own base colour allows text to read on it.
    const QColor hsl = named.toHsl();
    return QColor::fromHslF(hsl.hslHueF() < 0 ? 0 : hsl.hslHueF(), std::min(0.45f, hsl.hslSaturationF()), 0.2f).toRgb();
}

QColor textOn(const QColor& background)
{
    return contrast(background, Qt::black) >= contrast(background, Qt::white) ? QColor(Qt::black) : QColor(Qt::white);
}

double contrast(const QColor& a, const QColor& b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

void setPartBackground(QWidget* widget, const QColor& named)
{
    QPalette palette = widget->palette();
    const QColor back = partBackground(named, palette);
    const QColor text = textOn(back);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Window, back);
        palette.setColor(group, QPalette::Base, back);
        palette.setColor(group, QPalette::WindowText, text);
        palette.setColor(group, QPalette::Text, text);
    }
    widget->setPalette(palette);
}

}  // namespace vt::app::ui
