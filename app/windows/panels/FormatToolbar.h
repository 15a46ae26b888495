#pragma once
// The formatting toolbar at the top of the main window. Its controls never change the text
// themselves: each asks for a text or paragraph conversion with a code, and the conversion
// handlers below answer for every style the editor reports, reusing an equal style or
// appending a new one. The caret-follow functions bring the controls in line with the caret.

#include "richtext/DocStyles.h"

#include <QColor>
#include <QFrame>

#include <functional>
#include <optional>

class QButtonGroup;
class QComboBox;
class QToolButton;

namespace vt::app {

class FormatToolbar : public QFrame {
    Q_OBJECT
public:
    // Text conversion codes.
    enum TextCode {
        kBold = 1,
        kItalic = 2,
        kUnderline = 3,
        kFontName = 4,
        kFontDialog = 5,
        kFontSize = 6,
        kTextColor = 7,
        kTextBackground = 8
    };
    // Paragraph conversion codes.
    enum ParaCode { kAlignment = 1, kIndentMore = 2, kIndentLess = 3 };
    // List commands: the selected paragraphs become (or stop being) list items of this kind.
    enum ListCode { kBulletedList = 1, kNumberedList = 2 };

    explicit FormatToolbar(QWidget* parent = nullptr);

    // The font selector lists the installed screen fonts.
    void setFontNames(const QStringList& names);
    // The text style at the caret, asked by the font and colour commands.
    void setCaretTextStyle(std::function<vt::rt::TextStyle()> caretStyle) { m_caretStyle = std::move(caretStyle); }

    // Conversion handlers of the editor: the number of a style equal to styleNo's style changed
    // as code says.
    int RichEdit1StyleConversion(vt::rt::DocStyles& styles, int styleNo, int code) const;
    int RichEdit1ParaStyleConversion(vt::rt::DocStyles& styles, int styleNo, int code) const;

    // Caret-follow: the controls show the caret's text style and paragraph alignment.
    void RichEdit1CurTextStyleChanged(const vt::rt::TextStyle& style);
    void RichEdit1CurParaStyleChanged(const vt::rt::ParaStyle& style);

    // The context menu's commands: flip the toggle, then apply its code.
    void Bold1Click();
    void Italic1Click();
    void Underline1Click();

    void cmbFontClick();
    void cmbFontSizeClick();
    void btnFontClick();
    void btnFontColorClick();
    void btnFontBackColorClick();

    vt::rt::Alignment GetAlignmentFromButtons() const;
    void ShowParagraphAlignment(vt::rt::Alignment alignment);

signals:
    // The toolbar's "Save" and "Save As" buttons.
    void saveRequested();
    void saveAsRequested();
    // A conversion of the selection with this code.
    void textConversionRequested(int code);
    void paraConversionRequested(int code);
    // The font boxes give the focus back to the editor.
    void editorFocusRequested();
    // "Bulleted List" or "Numbered List" (a ListCode) for the selected paragraphs.
    void listRequested(int code);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    vt::rt::TextStyle caretStyle() const;
    void toggleClick(QToolButton* toggle);

    QToolButton *btnNew = nullptr, *btnOpen = nullptr, *btnSave = nullptr, *btnSaveAs = nullptr;
    QComboBox* cmbFont = nullptr;
    QComboBox* cmbFontSize = nullptr;
    QToolButton *btnBold = nullptr, *btnItalic = nullptr, *btnUnderline = nullptr;
    QToolButton *btnFont = nullptr, *btnFontColor = nullptr, *btnFontBackColor = nullptr;
    QToolButton *btnLeft = nullptr, *btnCenter = nullptr, *btnRight = nullptr, *btnJustify = nullptr;
    QButtonGroup* m_alignGroup = nullptr;
    QToolButton *btnIdentDec = nullptr, *btnIdentInc = nullptr, *SpeedButton1 = nullptr;
    QToolButton *btnBullets = nullptr, *btnNumbering = nullptr;

    std::function<vt::rt::TextStyle()> m_caretStyle;
    // Kept between a command's choice and its conversion.
    QString m_fontName;
    int m_fontSize = 10;
    QFont m_dialogFont;
    std::optional<QColor> cd;  // the colour dialog's colour; none: transparent
    // Set while the controls are brought in line with the caret, so the font boxes do not
    // apply what they are shown.
    bool m_updatingToolbar = false;
};

}  // namespace vt::app
