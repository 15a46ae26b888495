#pragma once
// The recovery journal: the unsaved edits of the shown document, written every few seconds to a
// file of the user's own, so that they survive a crash or a killed program. One file per user
// and database in a per-user folder (never the shared work folder), replaced atomically: a
// temporary file is written whole and then renamed over the previous one.
//
// File layout (integers little-endian):
//   "VTRJ"  magic, u16 format version (1)
//   i32     document id (> 0)
//   i64     time written, milliseconds since 1970-01-01 UTC
//   5 x     u32 length + bytes: user (UTF-8), database (UTF-8), topic (UTF-8),
//           based on (UTF-8: what the text was based on), body (the native document bytes)
//   32      SHA-256 of every byte before it
// Reading checks every length against what is left and against the limits below, and the
// checksum; anything else in the file makes it unusable, never a crash.

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

namespace vt::app {

class Session;

namespace recovery {

struct Entry {
    qint32 documentId = 0;
    QDateTime written;  // UTC
    QString user;
    QString database;
    QString topic;
    QString basedOn;
    QByteArray body;
    bool operator==(const Entry&) const = default;
};

inline constexpr qint64 kMaxTextBytes = 64 * 1024;         // user, database, topic, based on
inline constexpr qint64 kMaxBodyBytes = 64 * 1024 * 1024;  // beyond the largest body a server takes
inline constexpr qint64 kMaxFileBytes = kMaxBodyBytes + 5 * kMaxTextBytes + 1024;

QByteArray encode(const Entry& entry);
// The entry, or nothing with why set to a short reason ("truncated", "damaged", ...).
std::optional<Entry> decode(const QByteArray& bytes, QString* why = nullptr);

// The journal file of the logged-in user and database of the session in folder (empty when
// folder is empty: no journal then). The name is a digest of server, port, database and user,
// so that it needs no escaping and one user's databases never share a file.
QString journalPath(const QString& folder, const Session& session);

// Writes the entry to path atomically, creating the folder; false when it could not.
bool write(const QString& path, const Entry& entry);
// The entry in the file at path; nothing (why set) when there is no file or it is unusable.
// A file larger than kMaxFileBytes is not read.
std::optional<Entry> read(const QString& path, QString* why = nullptr);
// Moves an unusable file aside (path + ".unusable", replacing an earlier one), so that it is
// not offered again but stays for a look.
void setAside(const QString& path);

}  // namespace recovery
}  // namespace vt::app
