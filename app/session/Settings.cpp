#include "session/Settings.h"

#include "session/TextCodec.h"

#include <QFile>

#include <stdexcept>

namespace vt::app {

QString GetSettingValue(const QString& key, const QString& line)
{
    const qsizetype p = line.indexOf(key);
    if (p < 0) return QString();
    const QString piece = line.mid(p + key.size(), 256);
    const qsizetype end = piece.indexOf(QLatin1Char('#'));
    return end < 0 ? QString() : piece.left(end);
}

TlsSettings readTlsSettings(const QString& line)
{
    // Each key follows a "#": values hold no "#", so a key is never found inside another value.
    TlsSettings tls;
    tls.required = GetSettingValue(QStringLiteral("#TL:"), line) == QLatin1String("1");
    tls.caFile = GetSettingValue(QStringLiteral("#CA:"), line);
    return tls;
}

QString tlsSettingsText(const TlsSettings& tls)
{
    QString text;
    if (tls.required) text += QStringLiteral("#TL:1");
    if (!tls.caFile.isEmpty()) text += QStringLiteral("#CA:") + tls.caFile;
    return text;
}

bool readPerUserSetting(const QString& line)
{
    return GetSettingValue(QStringLiteral("#PU:"), line) == QLatin1String("1");
}

QString perUserSettingText(bool perUser) { return perUser ? QStringLiteral("#PU:1") : QString(); }

bool readFirstLine(const QString& path, QString& line)
{
    QFile file(path);
    if (!file.exists()) return false;
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("Cannot open file " + path.toStdString() + ". " + file.errorString().toStdString());
    QByteArray bytes = file.readLine();
    while (bytes.endsWith('\n') || bytes.endsWith('\r'))
        bytes.chop(1);
    // A lone CR also ends a line.
    if (const qsizetype cr = bytes.indexOf('\r'); cr >= 0) bytes.truncate(cr);
    line = textFromBytes(std::string_view(bytes.constData(), size_t(bytes.size())));
    return true;
}

}  // namespace vt::app
