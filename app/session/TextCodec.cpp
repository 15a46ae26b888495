#include "session/TextCodec.h"

#include "db/DbSettings.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace vt::app {

namespace {

int g_codePage = 0;

bool isWindowsCodePage(int codePage) { return codePage >= 1250 && codePage <= 1258; }

QByteArray codecName() { return "windows-" + QByteArray::number(g_codePage); }

}  // namespace

void setClientCodePage(int codePage)
{
    g_codePage = isWindowsCodePage(codePage) ? codePage : 0;
    SetClientCodePage(g_codePage);
}

int clientCodePage() { return g_codePage; }

QString textFromBytes(std::string_view bytes)
{
    if (g_codePage != 0) {
        QStringDecoder decoder(codecName().constData());
        if (decoder.isValid()) return decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    }
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

std::string bytesFromText(const QString& text)
{
    QByteArray bytes;
    if (g_codePage != 0) {
        QStringEncoder encoder(codecName().constData());
        if (encoder.isValid()) bytes = encoder.encode(text);
    }
    if (bytes.isNull()) bytes = text.toUtf8();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

}  // namespace vt::app
