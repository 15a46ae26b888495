#include "ScriptedPlatform.h"

#include <stdexcept>

#include "platform/QtPlatform.h"

#include <QPrinter>

namespace vt::app {

namespace {
template <class T>
std::optional<T> takeFront(std::deque<T>& queue)
{
    if (queue.empty()) return std::nullopt;
    T value = queue.front();
    queue.pop_front();
    return value;
}
}  // namespace

QStringList ScriptedPlatform::messages() const
{
    QStringList result;
    for (const auto& s : shown)
        if (s.kind == QLatin1String("message")) result << s.text;
    return result;
}

void ScriptedPlatform::showMessage(const QString& text) { shown.push_back({"message", text}); }

void ScriptedPlatform::showErrorMessage(const QString& text) { shown.push_back({"message", text, true}); }

bool ScriptedPlatform::AskConfirmation(const QString& text)
{
    shown.push_back({"confirm", text});
    return takeFront(answers).value_or(Answer::No) == Answer::Yes;
}

bool ScriptedPlatform::askOkCancel(const QString& text)
{
    shown.push_back({"okcancel", text});
    if (whileAsking) whileAsking();
    return takeFront(answers).value_or(Answer::Cancel) == Answer::Yes;
}

std::optional<Platform::NewPassword> ScriptedPlatform::askNewPassword(const QString& text)
{
    shown.push_back({"newpassword", text});
    if (whileAsking) whileAsking();
    return takeFront(newPasswords);
}

Platform::Answer ScriptedPlatform::askYesNoCancel(const QString& text)
{
    shown.push_back({"yesnocancel", text});
    if (whileAsking) whileAsking();
    return takeFront(answers).value_or(Answer::Cancel);
}

int ScriptedPlatform::askChoice(const QString&, const QString& text, const QStringList& buttons)
{
    shown.push_back({"choice", text});
    if (whileAsking) whileAsking();
    const std::optional<QString> chosen = takeFront(choices);
    if (!chosen) return static_cast<int>(buttons.size()) - 1;
    const qsizetype index = buttons.indexOf(*chosen);
    if (index < 0) throw std::logic_error("scripted choice not offered: " + chosen->toStdString());
    return static_cast<int>(index);
}

QString ScriptedPlatform::openFileName(const QString& title, const QString&)
{
    shown.push_back({"open", title});
    return takeFront(fileNames).value_or(QString());
}

QString ScriptedPlatform::saveFileName(const QString& title, const QString&, const QString& suggestedName)
{
    shown.push_back({"save", title});
    suggestedNames << suggestedName;
    return takeFront(fileNames).value_or(QString());
}

bool ScriptedPlatform::printDialog(QPrinter&)
{
    shown.push_back({"print", QString()});
    return takeFront(printAnswers).value_or(false);
}

bool ScriptedPlatform::printPagesDialog(QPrinter& printer, int minPage, int maxPage)
{
    shown.push_back({"print", QString::number(minPage) + QLatin1Char('-') + QString::number(maxPage)});
    printer.setFromTo(minPage, maxPage);
    if (!takeFront(printAnswers).value_or(false)) return false;
    if (auto choose = takeFront(printChoices)) (*choose)(printer);
    return true;
}

bool ScriptedPlatform::printSetupDialog(QPrinter&)
{
    shown.push_back({"printsetup", QString()});
    return takeFront(printAnswers).value_or(false);
}

std::optional<QFont> ScriptedPlatform::fontDialog(const QFont&)
{
    shown.push_back({"font", QString()});
    return takeFront(fonts);
}

std::optional<QColor> ScriptedPlatform::colorDialog(const QColor& initial)
{
    shown.push_back({"color", initial.name()});
    return takeFront(colors);
}

bool ScriptedPlatform::shellOpen(const QString& fileOrAddress)
{
    shown.push_back({"shell", fileOrAddress});
    return shellOpens;
}

void ScriptedPlatform::startBatch(const QString& batchFile, const QString& workFolder)
{
    shown.push_back({"batch", batchFile});
    if (runBatches) QtPlatform().startBatch(batchFile, workFolder);
}

void ScriptedPlatform::beginWait()
{
    ++waitDepth;
    maxWaitDepth = std::max(maxWaitDepth, waitDepth);
}

void ScriptedPlatform::endWait() { --waitDepth; }

PlatformScope::PlatformScope(Platform& p) : m_previous(&platform()) { setPlatform(&p); }

PlatformScope::~PlatformScope() { setPlatform(m_previous); }

}  // namespace vt::app
