#pragma once
// Everything the program asks of the desktop goes through this interface, so that windows never
// open system dialogs themselves and tests can answer every question from a script.

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVariant>

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
    // A question answered with one of the given buttons (at least one); the index of the
    // button chosen, the last one (taken as Cancel) when the box is closed otherwise.
    virtual int askChoice(const QString& title, const QString& text, const QStringList& buttons);
    // OK/Cancel question (the live grids' "Delete record?"); true for OK.
    virtual bool askOkCancel(const QString& text) = 0;

    // Asks for a new password, typed twice; the two entries as typed, nothing for Cancel.
    struct NewPassword {
        QString first;
        QString second;
    };
    virtual std::optional<NewPassword> askNewPassword(const QString& text);

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
    // The part of the screen a window may take (without the desktop's panels), in the
    // device-independent pixels windows are placed in, for the screen that holds point.
    virtual QRect availableScreen(const QPoint& point) = 0;
    // The settings store of this user account on the desktop (window places, splitters and
    // columns); an invalid value for a key never written.
    virtual QVariant setting(const QString& key) = 0;
    virtual void setSetting(const QString& key, const QVariant& value) = 0;

    // The folder for files of the user's own on this workstation (the recovery journal); not
    // shared with other users. Empty: the program keeps no such files.
    virtual QString userDataFolder() { return {}; }
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
