#include "ui/Ui.h"

#include <QAction>
#include <QCollator>
#include <QCoreApplication>
#include <QEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProxyStyle>
#include <QToolButton>
#include <QTreeWidget>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace vt::app::ui {

QLineEdit* lineEdit(QWidget* parent, const char* name, const QString& hint)
{
    auto* edit = named(new QLineEdit(parent), name);
    if (!hint.isEmpty()) edit->setToolTip(hint);
    return edit;
}

void forceUpperCase(QLineEdit* edit)
{
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString& text) {
        const QString upper = text.toUpper();
        if (upper != text) {
            const int cursor = edit->cursorPosition();
            edit->setText(upper);
            edit->setCursorPosition(cursor);
        }
    });
}

void limitLength(QLineEdit* edit, int limit)
{
    edit->setMaxLength(limit);
    const QString note = QStringLiteral("At most %1 characters").arg(limit);
    edit->setToolTip(edit->toolTip().isEmpty() ? note : edit->toolTip() + QLatin1Char('\n') + note);
}

void setStoredText(QPlainTextEdit* edit, const QString& text)
{
    qsizetype run = 0, longest = 0;
    for (const QChar c : text) {
        run = c.isSpace() ? 0 : run + 1;
        longest = std::max(longest, run);
    }
    edit->setWordWrapMode(longest > kLongestWord ? QTextOption::WrapAnywhere : QTextOption::WrapAtWordBoundaryOrAnywhere);
    edit->setPlainText(text);
}

void dataLabel(QLabel* label)
{
    label->setTextFormat(Qt::PlainText);
    QSizePolicy policy = label->sizePolicy();
    policy.setHorizontalPolicy(QSizePolicy::Ignored);
    label->setSizePolicy(policy);
}

QString plainToolTip(const QString& text)
{
    if (text.isEmpty()) return {};
    // Escaped inside a paragraph that keeps spaces and line breaks and still wraps.
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

namespace {

// Whether a character can change the order of text around it.
bool movesOthers(QChar c)
{
    switch (c.direction()) {
    case QChar::DirR:
    case QChar::DirAL:
    case QChar::DirAN:
    case QChar::DirB:
    case QChar::DirLRE:
    case QChar::DirLRO:
    case QChar::DirRLE:
    case QChar::DirRLO:
    case QChar::DirPDF:
    case QChar::DirLRI:
    case QChar::DirRLI:
    case QChar::DirFSI:
    case QChar::DirPDI: return true;
    default: return false;
    }
}

}  // namespace

QString isolated(const QString& text)
{
    constexpr char16_t kFirstStrongIsolate = 0x2068;
    constexpr char16_t kPopIsolate = 0x2069;
    if (std::none_of(text.begin(), text.end(), movesOthers)) return text;
    QString out;
    out.reserve(text.size() + 2);
    out += QChar(kFirstStrongIsolate);
    int open = 0;
    for (QChar c : text) {
        switch (c.unicode()) {
        case 0x2066:  // left-to-right, right-to-left and first strong isolates
        case 0x2067:
        case kFirstStrongIsolate: ++open; break;
        case kPopIsolate:
            if (open == 0) continue;  // would close the isolate around the text
            --open;
            break;
        case '\n':  // the paragraph separators of the bidi algorithm
        case '\r':
        case 0x1C:
        case 0x1D:
        case 0x1E:
        case 0x85:
        case 0x2029: c = QLatin1Char(' '); break;
        default: break;
        }
        out += c;
    }
    // Isolates the text opened and left open end here, then the one around it.
    out += QString(open + 1, QChar(kPopIsolate));
    return out;
}

QAction* menuItem(QMenu* menu, const char* name, const QString& caption)
{
    return named(menu->addAction(caption), name);
}

void setShortcut(QAction* action, const QKeySequence& keys)
{
    action->setShortcut(keys);
    action->setToolTip(action->text() + QStringLiteral(" (") + keys.toString(QKeySequence::NativeText) +
                       QLatin1Char(')'));
}

namespace {

// The application's style except for the password mask.
class AsteriskMaskStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter) return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

}  // namespace

void maskWithAsterisks(QLineEdit* edit)
{
    // One style for all password fields; the widgets do not own it, the application does.
    static QPointer<AsteriskMaskStyle> style;
    if (!style) {
        style = new AsteriskMaskStyle;
        style->setParent(QCoreApplication::instance());
    }
    edit->setStyle(style);
    // The edit reads the mask character when its echo mode is set.
    const QLineEdit::EchoMode mode = edit->echoMode();
    edit->setEchoMode(QLineEdit::Normal);
    edit->setEchoMode(mode);
}

QToolButton* toolButton(QWidget* parent, QLayout* layout, const char* name, const QString& text, const QString& hint,
                        bool checkable)
{
    auto* button = named(new QToolButton(parent), name);
    button->setText(text);
    button->setToolTip(hint);
    button->setCheckable(checkable);
    button->setAutoRaise(true);
    layout->addWidget(button);
    return button;
}

namespace {

// The user's collation, built again when the program's locale changes.
const QCollator& collator(Qt::CaseSensitivity sensitivity)
{
    static QLocale locale;
    static QCollator caseless, cased;
    static bool built = false;
    if (!built || QLocale() != locale) {
        locale = QLocale();
        caseless = QCollator(locale);
        caseless.setCaseSensitivity(Qt::CaseInsensitive);
        cased = QCollator(locale);
        cased.setCaseSensitivity(Qt::CaseSensitive);
        built = true;
    }
    return sensitivity == Qt::CaseInsensitive ? caseless : cased;
}

class SortedEntry : public QListWidgetItem {
public:
    using QListWidgetItem::QListWidgetItem;
    bool operator<(const QListWidgetItem& other) const override
    {
        const QString a = text(), b = other.text();
        if (const int c = collator(Qt::CaseInsensitive).compare(a, b)) return c < 0;
        if (const int c = collator(Qt::CaseSensitive).compare(a, b)) return c < 0;
        return a < b;
    }
};

// Watches one window for the show events the program causes.
class ShowHook : public QObject {
public:
    ShowHook(QWidget* window, std::function<void()> step) : QObject(window), m_step(std::move(step))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Show && !event->spontaneous()) guarded(m_step);
        return false;
    }

private:
    std::function<void()> m_step;
};

}  // namespace

QListWidgetItem* sortedListEntry(const QString& text) { return new SortedEntry(text); }

void onShow(QWidget* window, std::function<void()> step) { new ShowHook(window, std::move(step)); }

void focusOnShow(QWidget* window, QWidget* field)
{
    onShow(window, [field] { field->setFocus(Qt::OtherFocusReason); });
}

void deleteTreeItems(QList<QTreeWidgetItem*> items)
{
    // The items level by level from the top, deleted from the deepest level up: each one is a
    // leaf by then, and siblings go first to last, which their parent drops from its list at
    // once. (Taking an item's children instead walks each child's whole subtree.)
    std::vector<std::vector<QTreeWidgetItem*>> levels;
    levels.emplace_back(items.begin(), items.end());
    for (;;) {
        std::vector<QTreeWidgetItem*> next;
        for (QTreeWidgetItem* item : levels.back())
            for (int i = 0; i < item->childCount(); ++i)
                next.push_back(item->child(i));
        if (next.empty()) break;
        levels.push_back(std::move(next));
    }
    for (auto level = levels.rbegin(); level != levels.rend(); ++level)
        for (QTreeWidgetItem* item : *level)
            delete item;
}

void clearTree(QTreeWidget* tree)
{
    tree->setCurrentItem(nullptr);
    deleteTreeItems(tree->invisibleRootItem()->takeChildren());
    tree->clear();
}

}  // namespace vt::app::ui
