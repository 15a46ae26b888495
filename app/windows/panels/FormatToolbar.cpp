#include "windows/panels/FormatToolbar.h"

#include "ui/Icons.h"
#include "ui/Ui.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QToolButton>

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
    cmbFont->setMinimumWidth(160);
    row->addWidget(cmbFont);
    cmbFontSize = named(new QComboBox(this), "cmbFontSize");
    for (int size : {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72})
        cmbFontSize->addItem(QString::number(size));
    cmbFontSize->setEditable(true);
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
    btnIdentDec = toolButton(this, row, "btnIdentDec", QStringLiteral("<"), QString());
    btnIdentInc = toolButton(this, row, "btnIdentInc", QStringLiteral(">"), QString());
    SpeedButton1 =
        toolButton(this, row, "SpeedButton1", QStringLiteral("P"), QStringLiteral("Paragraph Background Color"));
    SpeedButton1->hide();
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
                                                           {btnFontColor, "color-select"},
                                                           {btnFontBackColor, "color-select"},
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
}

void FormatToolbar::setFontNames(const QStringList& names)
{
    cmbFont->clear();
    cmbFont->addItems(names);
}

}  // namespace vt::app
