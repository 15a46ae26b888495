#pragma once
// Everything the program asks of the desktop goes through this interface, so that windows never
// open system dialogs themselves and tests can answer every question from a script.

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>

#include <optional>

class QPrinter;

namespace vt::app {

class Platform {
public:
    enum class Answer { Yes, No, Cancel };

    virtual ~Platform() = default;

    // A plain message box with an OK button.
    virtual void showMessage(const QString& text) = 0;
    // The same with the error icon: a command failed (server, file or program errors).
    virtual void showErrorMessage(const QString& text) { showMessage(text); }
    // Yes/No confirmation, asked before every deletion; true for Yes.
    virtual bool AskConfirmation(const QString& text) = 0;
    virtual Answer askYesNoCancel(const QString& text) = 0;
    // A Yes/No/Cancel question under a title of its own.
    virtual Answer askQuestion(const QString& title, const QString& text)
    {
        (void)title;
        return askYesNoCancel(text);
    }
    // OK/Cancel question (the live grids' "Delete record?"); true for OK.
    virtual bool askOkCancel(const QString& text) = 0;

    // File dialogs; an empty result means the user cancelled.
    virtual QString openFileName(const QString& title, const QString& filter) = 0;
    virtual QString saveFileName(const QString& title, const QString& filter, const QString& suggestedName) = 0;

    // Print and print-setup dialogs on the given printer; false when cancelled.
    virtual bool printDialog(QPrinter& printer) = 0;
    virtual bool printSetupDialog(QPrinter& printer) = 0;
    // The print dialog offering pages minPage..maxPage, all of them chosen at first. The
    // choice (range, copies, collation) is left in the printer.
    virtual bool printPagesDialog(QPrinter& printer, int minPage, int maxPage);

    virtual std::optional<QFont> fontDialog(const QFont& initial) = 0;
    virtual std::optional<QColor> colorDialog(const QColor& initial) = 0;

    // The shell's "open" for a file or web address, with its default handler.
    virtual bool shellOpen(const QString& fileOrAddress) = 0;
    // Starts a clean-up batch file as a separate, hidden process that is not awaited.
    virtual void startBatch(const QString& batchFile, const QString& workFolder) = 0;

    // Hourglass cursor; calls nest. Prefer HourglassCursor below.
    virtual void beginWait() = 0;
    virtual void endWait() = 0;

    virtual QStringList screenFonts() = 0;
    // The client's ANSI code page number (1250..1258 for the Windows code pages, 0 otherwise).
    // Asked once, at start-up, which passes it on to setClientCodePage().
    virtual int codePage() = 0;
};

// The platform in use by the process. Set once at start-up (tests install their own).
Platform& platform();
void setPlatform(Platform* platform);

// Shows the hourglass cursor for the lifetime of the object.
class HourglassCursor {
public:
    HourglassCursor() { platform().beginWait(); }
    ~HourglassCursor() { platform().endWait(); }
    HourglassCursor(const HourglassCursor&) = delete;
    HourglassCursor& operator=(const HourglassCursor&) = delete;
};

}  // namespace vt::app
