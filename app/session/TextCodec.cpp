#include "TextCodec.h"

#include "Platform.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace vt::app {

namespace {
QString codecName()
{
    const int cp = platform().codePage();
    return (cp >= 1250 && cp <= 1258) ? QStringLiteral("windows-%1").arg(cp) : QString();
}
} // namespace

QString textFromBytes(std::string_view bytes)
{
    const QString name = codecName();
    if (!name.isEmpty()) {
        QStringDecoder decoder(name.toLatin1().constData());
        if (decoder.isValid())
            return decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    }
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

std::string bytesFromText(const QString& text)
{
    const QString name = codecName();
    QByteArray bytes;
    if (!name.isEmpty()) {
        QStringEncoder encoder(name.toLatin1().constData());
        if (encoder.isValid())
            bytes = encoder.encode(text);
    }
    if (bytes.isNull())
        bytes = text.toUtf8();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

} // namespace vt::app
