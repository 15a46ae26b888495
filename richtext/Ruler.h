#pragma once
// The ruler above an editor, in inches: shows the editor's margins (shaded) and the current
// paragraph's first-line, left and right indents as markers. Dragging a marker changes the
// selected paragraphs through a paragraph conversion, so the new indent lands on an equal
// style of the sheet or on a newly appended one. Positions snap to 1/16 inch.

#include <QWidget>

namespace vt::rt {

class RichEditor;

class Ruler : public QWidget {
    Q_OBJECT
public:
    enum class Marker { None, FirstIndent, LeftIndent, RightIndent };

    explicit Ruler(QWidget* parent = nullptr);
    void setEditor(RichEditor* editor);
    RichEditor* editor() const { return m_editor; }

    // The ruler's x for a position in engine units from the text's left edge of the page
    // (the left margin's end is 0). Used for painting and by tests.
    int xForTextPosition(int units) const;
    // Where a marker of the current paragraph stands, in ruler coordinates.
    int markerX(Marker m) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    int pageOriginX() const;
    int unitsForX(int x) const;

    RichEditor* m_editor = nullptr;
    Marker m_drag = Marker::None;
    int m_dragX = 0;
};

}  // namespace vt::rt
