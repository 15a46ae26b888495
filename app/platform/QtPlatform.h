#pragma once
// The desktop implementation of the platform seam, on Qt's dialogs and services.

#include "platform/Platform.h"

#include <QMessageBox>

#include <memory>

namespace vt::app {

class QtPlatform : public Platform {
public:
    void showMessage(const QString& text) override;
    void showErrorMessage(const QString& text) override;
    bool AskConfirmation(const QString& text) override;
    Answer askYesNoCancel(const QString& text) override;
    Answer askQuestion(const QString& title, const QString& text) override;
    int askChoice(const QString& title, const QString& text, const QStringList& buttons) override;
    bool askOkCancel(const QString& text) override;
    std::optional<NewPassword> askNewPassword(const QString& text) override;
    QString openFileName(const QString& title, const QString& filter) override;
    QString saveFileName(const QString& title, const QString& filter, const QString& suggestedName) override;
    bool printDialog(QPrinter& printer) override;
    bool printSetupDialog(QPrinter& printer) override;
    bool printPagesDialog(QPrinter& printer, int minPage, int maxPage) override;
    std::optional<QFont> fontDialog(const QFont& initial) override;
    std::optional<QColor> colorDialog(const QColor& initial) override;
    bool shellOpen(const QString& fileOrAddress) override;
    void startBatch(const QString& batchFile, const QString& workFolder) override;
    void beginWait() override;
    void endWait() override;
    QStringList screenFonts() override;
    QRect availableScreen(const QPoint& point) override;
    QVariant setting(const QString& key) override;
    void setSetting(const QString& key, const QVariant& value) override;
    QString userDataFolder() override;
    int codePage() override;
};

// The message box every question and message of QtPlatform shows, not yet shown: the text is
// plain text, never guessed to be markup, since it often holds names, paths and server texts.
std::unique_ptr<QMessageBox> makeMessageBox(QMessageBox::Icon icon, const QString& title, const QString& text,
                                            QMessageBox::StandardButtons buttons);

// Code page number named by a locale codeset ("CP1252", "windows-1250", ...); 0 for any other.
int codePageFromCodeset(const QString& codeset);

}  // namespace vt::app
