#include "session/RecoveryJournal.h"

#include "session/Session.h"

#include "db/TmySQLDatabase.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTimeZone>
#include <QtEndian>

namespace vt::app::recovery {

namespace {

constexpr char kMagic[4] = {'V', 'T', 'R', 'J'};
constexpr quint16 kFormat = 1;
constexpr int kDigestSize = 32;

template <class T>
void put(QByteArray& out, T value)
{
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

void putBytes(QByteArray& out, const QByteArray& bytes)
{
    put<quint32>(out, quint32(bytes.size()));
    out.append(bytes);
}

// A cursor over the bytes before the digest: every getter checks what is left first.
class Reader {
public:
    explicit Reader(QByteArrayView bytes) : m_bytes(bytes) {}

    template <class T>
    bool get(T& value)
    {
        if (left() < qsizetype(sizeof(T))) return false;
        value = qFromLittleEndian<T>(m_bytes.data() + m_at);
        m_at += sizeof(T);
        return true;
    }
    // A length-prefixed field of at most limit bytes.
    bool getBytes(QByteArray& value, qint64 limit)
    {
        quint32 size = 0;
        if (!get(size) || size > limit || size > quint64(left())) return false;
        value = m_bytes.sliced(m_at, size).toByteArray();
        m_at += size;
        return true;
    }
    bool getText(QString& value, qint64 limit)
    {
        QByteArray bytes;
        if (!getBytes(bytes, limit)) return false;
        value = QString::fromUtf8(bytes);
        return true;
    }
    qsizetype left() const { return m_bytes.size() - m_at; }

private:
    QByteArrayView m_bytes;
    qsizetype m_at = 0;
};

std::optional<Entry> refuse(QString* why, const char* reason)
{
    if (why) *why = QString::fromLatin1(reason);
    return std::nullopt;
}

}  // namespace

QByteArray encode(const Entry& entry)
{
    QByteArray out;
    out.reserve(entry.body.size() + 256);
    out.append(kMagic, sizeof kMagic);
    put<quint16>(out, kFormat);
    put<qint32>(out, entry.documentId);
    put<qint64>(out, entry.written.toMSecsSinceEpoch());
    for (const QString* text : {&entry.user, &entry.database, &entry.topic, &entry.basedOn})
        putBytes(out, text->toUtf8());
    putBytes(out, entry.body);
    out.append(QCryptographicHash::hash(out, QCryptographicHash::Sha256));
    return out;
}

std::optional<Entry> decode(const QByteArray& bytes, QString* why)
{
    if (bytes.size() < qsizetype(sizeof kMagic) || !bytes.startsWith(QByteArrayView(kMagic, sizeof kMagic)))
        return refuse(why, "not a recovery file");
    if (bytes.size() > kMaxFileBytes) return refuse(why, "too large");
    if (bytes.size() < qsizetype(sizeof kMagic) + 2 + kDigestSize) return refuse(why, "truncated");
    const QByteArrayView content(bytes.constData(), bytes.size() - kDigestSize);
    if (QCryptographicHash::hash(content, QCryptographicHash::Sha256) != bytes.right(kDigestSize))
        return refuse(why, "damaged or truncated");

    Reader in(content.sliced(sizeof kMagic));
    quint16 format = 0;
    in.get(format);
    if (format != kFormat) return refuse(why, "written by another version");
    Entry entry;
    qint64 written = 0;
    if (!in.get(entry.documentId) || !in.get(written) || !in.getText(entry.user, kMaxTextBytes) ||
        !in.getText(entry.database, kMaxTextBytes) || !in.getText(entry.topic, kMaxTextBytes) ||
        !in.getText(entry.basedOn, kMaxTextBytes) || !in.getBytes(entry.body, kMaxBodyBytes))
        return refuse(why, "bad lengths");
    if (in.left() != 0) return refuse(why, "bad lengths");
    if (entry.documentId <= 0) return refuse(why, "no document");
    entry.written = QDateTime::fromMSecsSinceEpoch(written, QTimeZone::utc());
    if (!entry.written.isValid()) return refuse(why, "bad time");
    return entry;
}

QString journalPath(const QString& folder, const Session& session)
{
    if (folder.isEmpty()) return {};
    const TmySQLDatabase& db = session.connection();
    QByteArray identity = QByteArray::fromStdString(db.Host()) + '\n' + QByteArray::number(db.Port()) + '\n' +
                          QByteArray::fromStdString(db.DatabaseName()) + '\n' + session.CurrentUser.toUpper().toUtf8();
    const QByteArray digest = QCryptographicHash::hash(identity, QCryptographicHash::Sha256).toHex().left(24);
    return QDir(folder).filePath(QStringLiteral("recovery-") + QString::fromLatin1(digest) + QStringLiteral(".vtr"));
}

bool write(const QString& path, const Entry& entry)
{
    if (path.isEmpty()) return false;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(encode(entry));
    return file.commit();
}

std::optional<Entry> read(const QString& path, QString* why)
{
    QFile file(path);
    if (path.isEmpty() || !file.exists()) return refuse(why, "no file");
    if (file.size() > kMaxFileBytes) return refuse(why, "too large");
    if (!file.open(QIODevice::ReadOnly)) return refuse(why, "cannot be read");
    // Read at most one byte beyond the limit: a file that grew meanwhile is still refused.
    return decode(file.read(kMaxFileBytes + 1), why);
}

void setAside(const QString& path)
{
    const QString aside = path + QStringLiteral(".unusable");
    QFile::remove(aside);
    if (!QFile::rename(path, aside)) QFile::remove(path);
}

}  // namespace vt::app::recovery
