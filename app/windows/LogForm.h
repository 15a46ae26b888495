#pragma once
// The console window: a memo to which LogLine appends while the window is shown.

#include <QWidget>

class QPlainTextEdit;
class QMenu;

namespace vt::app {

class TLog_Form : public QWidget {
    Q_OBJECT
public:
    explicit TLog_Form(QWidget* parent = nullptr);

    // Appends text as a new line of the memo.
    void appendLine(const QString& text);

private:
    QPlainTextEdit* Memo1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
};

// Appends text as a new line to the console's memo when the console is visible; otherwise
// does nothing.
void LogLine(const QString& text);

}  // namespace vt::app
