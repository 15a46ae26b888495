#pragma once
// The platform seam for tests: records every message, question and dialog that the program
// shows, and answers from a script prepared by the test. Unscripted questions get a safe default
// (No, Cancel, an empty file name, a cancelled dialog).

#include "platform/Platform.h"

#include <deque>
#include <functional>
#include <vector>

namespace vt::app {

class ScriptedPlatform : public Platform {
public:
    struct Shown {
        QString kind;        // "message", "confirm", "yesnocancel", "okcancel", "choice", "open", "save", "print",
                             // "printsetup", "font", "color", "shell", "batch"
        QString text;        // message text, dialog title, opened address, batch file, the colour
                             // dialog's initial colour (#rrggbb) or the print dialog's pages (min-max)
        bool error = false;  // a message shown with the error icon
    };

    // Every message, question and dialog in the order shown.
    std::vector<Shown> shown;
    // The texts of the plain message boxes only.
    QStringList messages() const;
    void clear() { shown.clear(); }

    // Script: answers taken from the front, one per question of that kind.
    std::deque<Answer> answers;  // for AskConfirmation, askYesNoCancel, askOkCancel
    // Runs while a question waits for its answer, as the desktop repaints the windows behind it.
    std::function<void()> whileAsking;
    // For askChoice: the text of the button chosen; an unscripted choice takes the last button.
    std::deque<QString> choices;
    std::deque<QString> fileNames;  // for openFileName and saveFileName
    QStringList suggestedNames;     // the names offered by each saveFileName, in order
    // For askNewPassword (shown as "newpassword"): the two entries; none left is Cancel.
    std::deque<NewPassword> newPasswords;
    std::deque<bool> printAnswers;  // for printDialog and printSetupDialog
    // What the user chooses in a confirmed print dialog (range, copies, output file), one per
    // confirmed dialog; the printer is left as given when there is none.
    std::deque<std::function<void(QPrinter&)>> printChoices;
    std::deque<QFont> fonts;
    std::deque<QColor> colors;

    // What shellOpen answers: false plays a desktop that has no handler for the file.
    bool shellOpens = true;
    // When set, startBatch really starts the detached clean-up process (like the desktop).
    bool runBatches = false;
    QStringList fontList = {QStringLiteral("Arial"), QStringLiteral("Courier New"), QStringLiteral("Times New Roman")};
    int clientCodePage = 0;
    // The available part of the one screen (a 1400 by 1000 screen at scale factor 1, less a
    // 40-pixel panel), and the settings store, in memory.
    QRect screen{0, 0, 1400, 960};
    QVariantMap settings;
    // What userDataFolder answers; empty keeps no recovery journal.
    QString dataFolder;
    int waitDepth = 0;
    int maxWaitDepth = 0;

    void showMessage(const QString& text) override;
    // Recorded as "message" with error set.
    void showErrorMessage(const QString& text) override;
    bool AskConfirmation(const QString& text) override;
    Answer askYesNoCancel(const QString& text) override;
    bool askOkCancel(const QString& text) override;  // Yes in answers is OK
    std::optional<NewPassword> askNewPassword(const QString& text) override;
    // Recorded as "choice" with the text; a scripted button that is not offered fails loudly.
    int askChoice(const QString& title, const QString& text, const QStringList& buttons) override;
    QString openFileName(const QString& title, const QString& filter) override;
    QString saveFileName(const QString& title, const QString& filter, const QString& suggestedName) override;
    bool printDialog(QPrinter& printer) override;
    bool printSetupDialog(QPrinter& printer) override;
    // Recorded as "print" with the offered pages, "min-max".
    bool printPagesDialog(QPrinter& printer, int minPage, int maxPage) override;
    std::optional<QFont> fontDialog(const QFont& initial) override;
    std::optional<QColor> colorDialog(const QColor& initial) override;
    bool shellOpen(const QString& fileOrAddress) override;
    void startBatch(const QString& batchFile, const QString& workFolder) override;
    void beginWait() override;
    void endWait() override;
    QStringList screenFonts() override { return fontList; }
    int codePage() override { return clientCodePage; }
    QRect availableScreen(const QPoint&) override { return screen; }
    QVariant setting(const QString& key) override { return settings.value(key); }
    void setSetting(const QString& key, const QVariant& value) override { settings.insert(key, value); }
    QString userDataFolder() override { return dataFolder; }
};

// Installs a platform for the lifetime of the object and restores the previous one afterwards.
class PlatformScope {
public:
    explicit PlatformScope(Platform& p);
    ~PlatformScope();
    PlatformScope(const PlatformScope&) = delete;
    PlatformScope& operator=(const PlatformScope&) = delete;

private:
    Platform* m_previous;
};

}  // namespace vt::app
