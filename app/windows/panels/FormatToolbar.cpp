#include "windows/panels/FormatToolbar.h"

#include "ErrorDisplay.h"
#include "platform/Platform.h"
#include "ui/Icons.h"
#include "ui/Ui.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

#include <algorithm>

namespace vt::app {

using ui::named;
using ui::toolButton;

FormatToolbar::FormatToolbar(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("speedPanel"));
    setFixedHeight(46);
    setFrameShape(QFrame::StyledPanel);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 4, 4, 4);
    row->setSpacing(2);

    btnNew = toolButton(this, row, "btnNew", QStringLiteral("New"), QStringLiteral("New"));
    btnOpen = toolButton(this, row, "btnOpen", QStringLiteral("Open"), QStringLiteral("Open"));
    btnNew->hide();
    btnOpen->hide();
    btnSave = toolButton(this, row, "btnSave", QStringLiteral("Save"), QStringLiteral("Save"));
    btnSaveAs = toolButton(this, row, "btnSaveAs", QStringLiteral("Save As"), QStringLiteral("Save As"));

    cmbFont = named(new QComboBox(this), "cmbFont");
    cmbFont->setMinimumWidth(140);
    cmbFont->setMaxVisibleItems(20);
    row->addWidget(cmbFont);
    cmbFontSize = named(new QComboBox(this), "cmbFontSize");
    for (int size : {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72})
        cmbFontSize->addItem(QString::number(size));
    cmbFontSize->setEditable(true);
    cmbFontSize->setInsertPolicy(QComboBox::NoInsert);
    cmbFontSize->setMaxVisibleItems(20);
    row->addWidget(cmbFontSize);

    btnBold = toolButton(this, row, "btnBold", QStringLiteral("B"), QStringLiteral("Bold"), true);
    btnItalic = toolButton(this, row, "btnItalic", QStringLiteral("I"), QStringLiteral("Italic"), true);
    btnUnderline = toolButton(this, row, "btnUnderline", QStringLiteral("U"), QStringLiteral("Underline"), true);
    btnFont = toolButton(this, row, "btnFont", QStringLiteral("F"), QStringLiteral("Apply Font"));
    btnFontColor = toolButton(this, row, "btnFontColor", QStringLiteral("A"), QStringLiteral("Text Color"));
    btnFontBackColor =
        toolButton(this, row, "btnFontBackColor", QStringLiteral("ab"), QStringLiteral("Text Background Color"));
    btnLeft = toolButton(this, row, "btnLeft", QStringLiteral("L"), QStringLiteral("Left"), true);
    btnCenter = toolButton(this, row, "btnCenter", QStringLiteral("C"), QStringLiteral("Center"), true);
    btnRight = toolButton(this, row, "btnRight", QStringLiteral("R"), QStringLiteral("Right"), true);
    btnJustify = toolButton(this, row, "btnJustify", QStringLiteral("J"), QStringLiteral("Justify"), true);
    m_alignGroup = new QButtonGroup(this);
    m_alignGroup->setExclusive(true);
    for (QToolButton* b : {btnLeft, btnCenter, btnRight, btnJustify})
        m_alignGroup->addButton(b);
    btnLeft->setChecked(true);
    btnIdentDec = toolButton(this, row, "btnIdentDec", QStringLiteral("<"), QStringLiteral("Decrease Indent"));
    btnIdentInc = toolButton(this, row, "btnIdentInc", QStringLiteral(">"), QStringLiteral("Increase Indent"));
    SpeedButton1 =
        toolButton(this, row, "SpeedButton1", QStringLiteral("P"), QStringLiteral("Paragraph Background Color"));
    SpeedButton1->hide();
    btnBullets = toolButton(this, row, "btnBullets", QStringLiteral("\u2022"), QStringLiteral("Bulleted List"));
    btnNumbering = toolButton(this, row, "btnNumbering", QStringLiteral("1."), QStringLiteral("Numbered List"));
    row->addStretch(1);

    // Pictures instead of letters; the caption stays as the text read by screen readers.
    const std::pair<QToolButton*, const char*> glyphs[] = {{btnNew, "document-new"},
                                                           {btnOpen, "document-open"},
                                                           {btnSave, "document-save"},
                                                           {btnSaveAs, "document-save-as"},
                                                           {btnBold, "format-text-bold"},
                                                           {btnItalic, "format-text-italic"},
                                                           {btnUnderline, "format-text-underline"},
                                                           {btnFont, "font-select"},
                                                           {btnFontColor, "text-colour"},
                                                           {btnFontBackColor, "text-background-colour"},
                                                           {btnLeft, "format-justify-left"},
                                                           {btnCenter, "format-justify-center"},
                                                           {btnRight, "format-justify-right"},
                                                           {btnJustify, "format-justify-fill"},
                                                           {btnIdentDec, "format-indent-less"},
                                                           {btnIdentInc, "format-indent-more"},
                                                           {SpeedButton1, "color-select"}};
    for (const auto& [button, name] : glyphs) {
        button->setIcon(ui::glyph(name));
        button->setIconSize(QSize(16, 16));
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    }
    // "Save As" keeps its caption beside the picture, as the toolbar shows it by name.
    btnSaveAs->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

    connect(btnSave, &QToolButton::clicked, this, &FormatToolbar::saveRequested);
    connect(btnSaveAs, &QToolButton::clicked, this, &FormatToolbar::saveAsRequested);

    // The toggles carry their text code as their tag.
    btnBold->setProperty("tag", int(kBold));
    btnItalic->setProperty("tag", int(kItalic));
    btnUnderline->setProperty("tag", int(kUnderline));
    for (QToolButton* toggle : {btnBold, btnItalic, btnUnderline})
        onEvent(toggle, &QToolButton::clicked, this, [this, toggle] { toggleClick(toggle); });
    onEvent(cmbFont, &QComboBox::activated, this, [this] { cmbFontClick(); });
    onEvent(cmbFontSize, &QComboBox::activated, this, [this] { cmbFontSizeClick(); });
    // Enter in the size box applies the size and goes no further.
    cmbFontSize->installEventFilter(this);
    cmbFontSize->lineEdit()->installEventFilter(this);
    onEvent(btnFont, &QToolButton::clicked, this, [this] { btnFontClick(); });
    onEvent(btnFontColor, &QToolButton::clicked, this, [this] { btnFontColorClick(); });
    onEvent(btnFontBackColor, &QToolButton::clicked, this, [this] { btnFontBackColorClick(); });
    for (QToolButton* b : {btnLeft, btnCenter, btnRight, btnJustify})
        connect(b, &QToolButton::clicked, this, [this] { emit paraConversionRequested(kAlignment); });
    connect(btnIdentInc, &QToolButton::clicked, this, [this] { emit paraConversionRequested(kIndentMore); });
    connect(btnIdentDec, &QToolButton::clicked, this, [this] { emit paraConversionRequested(kIndentLess); });
    connect(btnBullets, &QToolButton::clicked, this, [this] { emit listRequested(kBulletedList); });
    connect(btnNumbering, &QToolButton::clicked, this, [this] { emit listRequested(kNumberedList); });
}

bool FormatToolbar::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            guarded([this] { cmbFontSizeClick(); });
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

vt::rt::TextStyle FormatToolbar::caretStyle() const { return m_caretStyle ? m_caretStyle() : vt::rt::TextStyle{}; }

void FormatToolbar::toggleClick(QToolButton* toggle) { emit textConversionRequested(toggle->property("tag").toInt()); }

void FormatToolbar::Bold1Click()
{
    btnBold->setChecked(!btnBold->isChecked());
    emit textConversionRequested(kBold);
}

void FormatToolbar::Italic1Click()
{
    btnItalic->setChecked(!btnItalic->isChecked());
    emit textConversionRequested(kItalic);
}

void FormatToolbar::Underline1Click()
{
    btnUnderline->setChecked(!btnUnderline->isChecked());
    emit textConversionRequested(kUnderline);
}

void FormatToolbar::cmbFontClick()
{
    if (cmbFont->currentIndex() >= 0 && !m_updatingToolbar) {
        m_fontName = cmbFont->currentText();
        emit textConversionRequested(kFontName);
    }
    emit editorFocusRequested();
}

void FormatToolbar::cmbFontSizeClick()
{
    if (!cmbFontSize->currentText().isEmpty() && !m_updatingToolbar) {
        bool isNumber = false;
        const int size = cmbFontSize->currentText().trimmed().toInt(&isNumber);
        // The engine's sizes run from 1 to 1638 points.
        m_fontSize = isNumber ? std::clamp(size, 1, 1638) : 10;
        emit textConversionRequested(kFontSize);
    }
    emit editorFocusRequested();
}

void FormatToolbar::btnFontClick()
{
    const vt::rt::TextStyle style = caretStyle();
    QFont font(QString::fromStdString(style.fontName), style.size);
    font.setBold(style.bold);
    font.setItalic(style.italic);
    font.setUnderline(style.underline);
    font.setStrikeOut(style.strikeOut);
    if (const auto chosen = platform().fontDialog(font)) {
        m_dialogFont = *chosen;
        emit textConversionRequested(kFontDialog);
    }
}

void FormatToolbar::btnFontColorClick()
{
    const vt::rt::TextStyle style = caretStyle();
    if (const auto chosen = platform().colorDialog(QColor::fromRgb(style.color))) {
        cd = *chosen;
        emit textConversionRequested(kTextColor);
    }
}

void FormatToolbar::btnFontBackColorClick()
{
    switch (platform().askQuestion(QStringLiteral("Text Background"),
                                   QStringLiteral("Make the selected text background transparent?\r"
                                                  "(YES - make transparent; NO - choose color)"))) {
    case Platform::Answer::Cancel: return;
    case Platform::Answer::Yes:
        cd.reset();
        emit textConversionRequested(kTextBackground);
        return;
    case Platform::Answer::No: {
        const vt::rt::TextStyle style = caretStyle();
        const QColor initial = style.transparentBack ? QColor(Qt::white) : QColor::fromRgb(style.backColor);
        if (const auto chosen = platform().colorDialog(initial)) {
            cd = *chosen;
            emit textConversionRequested(kTextBackground);
        }
        return;
    }
    }
}

int FormatToolbar::RichEdit1StyleConversion(vt::rt::DocStyles& styles, int styleNo, int code) const
{
    vt::rt::TextStyle copy = styles.text(styleNo);
    switch (code) {
    case kBold: copy.bold = btnBold->isChecked(); break;
    case kItalic: copy.italic = btnItalic->isChecked(); break;
    case kUnderline: copy.underline = btnUnderline->isChecked(); break;
    case kFontName: copy.fontName = m_fontName.toStdString(); break;
    case kFontDialog:
        copy.fontName = m_dialogFont.family().toStdString();
        if (m_dialogFont.pointSize() > 0) copy.size = std::clamp(m_dialogFont.pointSize(), 1, 72);
        copy.bold = m_dialogFont.bold();
        copy.italic = m_dialogFont.italic();
        copy.underline = m_dialogFont.underline();
        copy.strikeOut = m_dialogFont.strikeOut();
        break;
    case kFontSize: copy.size = m_fontSize; break;
    case kTextColor:
        if (cd) copy.color = cd->rgb() & 0xFFFFFF;
        break;
    case kTextBackground:
        copy.transparentBack = !cd.has_value();
        if (cd) copy.backColor = cd->rgb() & 0xFFFFFF;
        break;
    default: return styleNo;
    }
    return styles.findOrAppendText(copy);
}

int FormatToolbar::RichEdit1ParaStyleConversion(vt::rt::DocStyles& styles, int styleNo, int code) const
{
    vt::rt::ParaStyle copy = styles.para(styleNo);
    switch (code) {
    case kAlignment: copy.alignment = GetAlignmentFromButtons(); break;
    case kIndentMore: copy.leftIndent = std::min(copy.leftIndent + 20, 200); break;
    case kIndentLess: copy.leftIndent = std::max(copy.leftIndent - 20, 0); break;
    default: return styleNo;
    }
    return styles.findOrAppendPara(copy);
}

void FormatToolbar::RichEdit1CurTextStyleChanged(const vt::rt::TextStyle& style)
{
    m_updatingToolbar = true;
    // A font that is not installed is not in the list: the box shows its name all the same (as
    // the text shown while nothing is chosen), and the body keeps the name.
    const QString fontName = QString::fromStdString(style.fontName);
    const int fontIndex = cmbFont->findText(fontName);
    cmbFont->setPlaceholderText(fontName);
    cmbFont->setToolTip(ui::plainToolTip(
        fontIndex < 0 && !fontName.isEmpty() ? fontName + QStringLiteral(" is not installed; a similar font shows the text.")
                                             : QString()));
    cmbFont->setCurrentIndex(fontIndex);
    cmbFontSize->setEditText(QString::number(style.size));
    btnBold->setChecked(style.bold);
    btnItalic->setChecked(style.italic);
    btnUnderline->setChecked(style.underline);
    m_updatingToolbar = false;
}

void FormatToolbar::RichEdit1CurParaStyleChanged(const vt::rt::ParaStyle& style)
{
    ShowParagraphAlignment(style.alignment);
}

vt::rt::Alignment FormatToolbar::GetAlignmentFromButtons() const
{
    if (btnLeft->isChecked()) return vt::rt::Alignment::Left;
    if (btnRight->isChecked()) return vt::rt::Alignment::Right;
    if (btnCenter->isChecked()) return vt::rt::Alignment::Center;
    return vt::rt::Alignment::Justify;
}

void FormatToolbar::ShowParagraphAlignment(vt::rt::Alignment alignment)
{
    switch (alignment) {
    case vt::rt::Alignment::Left: btnLeft->setChecked(true); break;
    case vt::rt::Alignment::Right: btnRight->setChecked(true); break;
    case vt::rt::Alignment::Center: btnCenter->setChecked(true); break;
    case vt::rt::Alignment::Justify: btnJustify->setChecked(true); break;
    }
}

void FormatToolbar::setFontNames(const QStringList& names)
{
    cmbFont->clear();
    cmbFont->addItems(names);
}

}  // namespace vt::app
