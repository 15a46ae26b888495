#include "richtext/Ruler.h"

#include "richtext/RichEditor.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>

namespace vt::rt {

namespace {
constexpr int kUnitsPerInch = 96;
constexpr int kSnap = kUnitsPerInch / 16;
constexpr int kMinTextLine = kUnitsPerInch / 4;  // the indents leave at least this much line
constexpr int kGrab = 5;                         // pixels around a marker that grab it
}  // namespace

Ruler::Ruler(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Ruler1"));
    setMouseTracking(false);
}

void Ruler::setEditor(RichEditor* editor)
{
    if (m_editor) disconnect(m_editor, nullptr, this, nullptr);
    m_editor = editor;
    if (editor) {
        auto repaint = [this] { update(); };
        connect(editor, &QTextEdit::cursorPositionChanged, this, repaint);
        connect(editor, &RichEditor::currentParaStyleChanged, this, repaint);
        connect(editor->horizontalScrollBar(), &QScrollBar::valueChanged, this, repaint);
        connect(editor, &QObject::destroyed, this, [this] { m_editor = nullptr; });
    }
    update();
}

QSize Ruler::sizeHint() const { return {800, 26}; }
QSize Ruler::minimumSizeHint() const { return {100, 26}; }

int Ruler::pageOriginX() const
{
    if (!m_editor) return 0;
    QPoint vp = m_editor->viewport()->mapTo(m_editor, QPoint(0, 0));
    int editorX = m_editor->mapTo(window(), QPoint(0, 0)).x() - mapTo(window(), QPoint(0, 0)).x();
    return editorX + vp.x() - m_editor->horizontalScrollBar()->value();
}

int Ruler::xForTextPosition(int units) const
{
    int left = m_editor ? m_editor->leftMarginWidth() : 0;
    return pageOriginX() + left + units;
}

int Ruler::unitsForX(int x) const
{
    int left = m_editor ? m_editor->leftMarginWidth() : 0;
    int u = x - pageOriginX() - left;
    return (u >= 0 ? (u + kSnap / 2) : (u - kSnap / 2)) / kSnap * kSnap;
}

int Ruler::markerX(Marker m) const
{
    if (!m_editor) return 0;
    const ParaStyle& p = m_editor->styles().para(m_editor->currentParaStyle());
    switch (m) {
    case Marker::FirstIndent: return xForTextPosition(p.leftIndent + p.firstIndent);
    case Marker::LeftIndent: return xForTextPosition(p.leftIndent);
    case Marker::RightIndent: return xForTextPosition(m_editor->textWidth() - p.rightIndent);
    case Marker::None: break;
    }
    return 0;
}

void Ruler::paintEvent(QPaintEvent*)
{
    QPainter pt(this);
    pt.fillRect(rect(), palette().window());
    if (!m_editor) return;
    const int h = height();
    const int textLeft = xForTextPosition(0);
    const int textRight = xForTextPosition(m_editor->textWidth());
    const int pageLeft = textLeft - m_editor->leftMarginWidth();
    const int pageRight = textRight + m_editor->rightMarginWidth();
    // Margins grey, the text area white.
    pt.fillRect(QRect(pageLeft, 3, pageRight - pageLeft, h - 6), QColor(190, 190, 190));
    pt.fillRect(QRect(textLeft, 3, textRight - textLeft, h - 6), Qt::white);
    pt.setPen(Qt::black);
    QFont f = font();
    f.setPointSizeF(7);
    pt.setFont(f);
    // Ticks every 1/8 inch from the page's left edge, numbers at each inch.
    for (int i = 0;; ++i) {
        int x = pageLeft + i * kUnitsPerInch / 8;
        if (x > pageRight) break;
        if (i % 8 == 0) {
            if (i > 0) pt.drawText(QRect(x - 10, 4, 20, h - 12), Qt::AlignCenter, QString::number(i / 8));
        } else {
            int len = i % 4 == 0 ? 6 : (i % 2 == 0 ? 4 : 2);
            pt.drawLine(x, h / 2 - len / 2, x, h / 2 + len / 2);
        }
    }
    // Indent markers: first line on top pointing down, left and right at the bottom pointing up.
    auto triangle = [&](int x, bool top, const QColor& c) {
        QPainterPath path;
        if (top) {
            path.moveTo(x - 5, 0);
            path.lineTo(x + 5, 0);
            path.lineTo(x, 7);
        } else {
            path.moveTo(x - 5, h);
            path.lineTo(x + 5, h);
            path.lineTo(x, h - 7);
        }
        path.closeSubpath();
        pt.fillPath(path, c);
        pt.drawPath(path);
    };
    auto pos = [&](Marker m) { return m_drag == m ? m_dragX : markerX(m); };
    triangle(pos(Marker::FirstIndent), true, QColor(80, 80, 80));
    triangle(pos(Marker::LeftIndent), false, QColor(80, 80, 80));
    triangle(pos(Marker::RightIndent), false, QColor(80, 80, 80));
}

void Ruler::mousePressEvent(QMouseEvent* e)
{
    if (!m_editor || e->button() != Qt::LeftButton) return;
    int x = int(e->position().x());
    bool top = e->position().y() < height() / 2;
    // The first-line marker sits on top, the others at the bottom.
    std::pair<Marker, int> candidates[] = {{Marker::FirstIndent, top ? markerX(Marker::FirstIndent) : INT_MIN / 2},
                                           {Marker::LeftIndent, top ? INT_MIN / 2 : markerX(Marker::LeftIndent)},
                                           {Marker::RightIndent, top ? INT_MIN / 2 : markerX(Marker::RightIndent)}};
    int best = kGrab + 1;
    for (auto [m, mx] : candidates) {
        if (std::abs(mx - x) < best) {
            best = std::abs(mx - x);
            m_drag = m;
        }
    }
    m_dragX = x;
    update();
}

void Ruler::mouseMoveEvent(QMouseEvent* e)
{
    if (m_drag == Marker::None) return;
    m_dragX = xForTextPosition(unitsForX(int(e->position().x())));
    update();
}

void Ruler::mouseReleaseEvent(QMouseEvent* e)
{
    if (m_drag == Marker::None || !m_editor) return;
    Marker m = m_drag;
    m_drag = Marker::None;
    const int u = unitsForX(int(e->position().x()));
    const int width = m_editor->textWidth();
    m_editor->convertSelectedParagraphs([&](ParaStyle& s) {
        switch (m) {
        case Marker::FirstIndent:
            s.firstIndent = std::clamp(u, 0, width - s.rightIndent - kMinTextLine) - s.leftIndent;
            break;
        case Marker::LeftIndent:
            s.leftIndent = std::clamp(u, 0, std::max(0, width - s.rightIndent - kMinTextLine));
            break;
        case Marker::RightIndent:
            s.rightIndent = std::clamp(width - u, 0, std::max(0, width - s.leftIndent - kMinTextLine));
            break;
        case Marker::None: break;
        }
    });
    update();
}

}  // namespace vt::rt
