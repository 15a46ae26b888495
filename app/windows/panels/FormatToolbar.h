#pragma once
// The formatting toolbar at the top of the main window.

#include <QFrame>

class QButtonGroup;
class QComboBox;
class QToolButton;

namespace vt::app {

class FormatToolbar : public QFrame {
    Q_OBJECT
public:
    explicit FormatToolbar(QWidget* parent = nullptr);

    // The font selector lists the installed screen fonts.
    void setFontNames(const QStringList& names);

signals:
    // The toolbar's "Save" and "Save As" buttons.
    void saveRequested();
    void saveAsRequested();

private:
    QToolButton *btnNew = nullptr, *btnOpen = nullptr, *btnSave = nullptr, *btnSaveAs = nullptr;
    QComboBox* cmbFont = nullptr;
    QComboBox* cmbFontSize = nullptr;
    QToolButton *btnBold = nullptr, *btnItalic = nullptr, *btnUnderline = nullptr;
    QToolButton *btnFont = nullptr, *btnFontColor = nullptr, *btnFontBackColor = nullptr;
    QToolButton *btnLeft = nullptr, *btnCenter = nullptr, *btnRight = nullptr, *btnJustify = nullptr;
    QButtonGroup* m_alignGroup = nullptr;
    QToolButton *btnIdentDec = nullptr, *btnIdentInc = nullptr, *SpeedButton1 = nullptr;
};

}  // namespace vt::app
