// The recovery journal's file: what is written reads back exactly, and truncated, damaged and
// hostile files are refused with a reason instead of being trusted or crashing the reader.

#include "AppFixture.h"

#include "session/RecoveryJournal.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTimeZone>
#include <QtEndian>

#include <functional>

using namespace vt::app;

namespace {

recovery::Entry sampleEntry()
{
    recovery::Entry entry;
    entry.documentId = 42;
    entry.written = QDateTime::fromMSecsSinceEpoch(1'765'000'000'123, QTimeZone::utc());
    entry.user = QStringLiteral("ZOË");
    entry.database = QStringLiteral("Veltrana");
    entry.topic = QStringLiteral("1.2 Grüße 😀 'quoted' -- /* <b>");
    entry.basedOn = QStringLiteral("modified 2026-12-10 14:02:00 by BOB");
    static const char body[] = "VDF\0\x01\xff body \0 bytes";
    entry.body = QByteArray(body, sizeof body - 1);
    return entry;
}

// Recomputes the trailing checksum, so that a changed field is judged by its content alone.
QByteArray resealed(QByteArray bytes)
{
    bytes.chop(32);
    return bytes + QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

// Offset of the first length field (user): magic, format, document id, time.
constexpr int kUserLength = 4 + 2 + 4 + 8;

QByteArray withU32(QByteArray bytes, int at, quint32 value)
{
    qToLittleEndian(value, bytes.data() + at);
    return resealed(bytes);
}

}  // namespace

TEST(RecoveryJournal, WhatIsWrittenReadsBackExactly)
{
    const recovery::Entry entry = sampleEntry();
    const auto back = recovery::decode(recovery::encode(entry));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, entry);

    recovery::Entry empty = entry;
    empty.topic.clear();
    empty.body.clear();
    EXPECT_EQ(recovery::decode(recovery::encode(empty)), empty);
}

TEST(RecoveryJournal, TruncatedDamagedAndHostileFilesAreRefused)
{
    const QByteArray good = recovery::encode(sampleEntry());
    const struct {
        const char* what;
        QByteArray bytes;
        QString why;
    } cases[] = {
        {"empty", QByteArray(), "not a recovery file"},
        {"another file", QByteArray("{\"documentId\": 42}"), "not a recovery file"},
        {"magic only", QByteArray("VTRJ"), "truncated"},
        {"last byte missing", good.chopped(1), "damaged or truncated"},
        {"digest missing", good.chopped(32), "damaged or truncated"},
        {"one body byte changed", QByteArray(good).replace(good.size() - 40, 1, "X"), "damaged or truncated"},
        {"a byte appended", good + 'x', "damaged or truncated"},
        {"another format version", resealed(QByteArray(good).replace(4, 2, QByteArray("\x02\x00", 2))),
         "written by another version"},
        {"user length beyond the file", withU32(good, kUserLength, 0xFFFFFFFFu), "bad lengths"},
        {"user length one beyond the limit", withU32(good, kUserLength, recovery::kMaxTextBytes + 1), "bad lengths"},
        {"user length one short", withU32(good, kUserLength, 2), "bad lengths"},
        {"document id 0", resealed(QByteArray(good).replace(6, 4, QByteArray(4, '\0'))), "no document"},
        {"document id negative", resealed(QByteArray(good).replace(6, 4, QByteArray(4, '\xff'))), "no document"},
        {"bytes after the body", resealed(good.chopped(32) + "tail" + QByteArray(32, '\0')), "bad lengths"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QString why;
        EXPECT_FALSE(recovery::decode(c.bytes, &why));
        EXPECT_EQ(why, c.why);
    }
    // Every shorter piece of a good file, resealed or not, is refused.
    for (qsizetype size = 0; size < good.size(); ++size) {
        EXPECT_FALSE(recovery::decode(good.left(size))) << size;
        if (size > 32) {
            EXPECT_FALSE(recovery::decode(resealed(good.left(size)))) << size;
        }
    }
}

class RecoveryFile : public AppFixture {};

TEST_F(RecoveryFile, IsReplacedWholeAndAFileBeyondTheLimitIsNotRead)
{
    const QString folder = path("user data/deeper");
    const QString file = QDir(folder).filePath("journal.vtr");
    recovery::Entry entry = sampleEntry();
    ASSERT_TRUE(recovery::write(file, entry));  // the folder is made
    entry.body = QByteArray(100000, 'b');
    ASSERT_TRUE(recovery::write(file, entry));
    EXPECT_EQ(recovery::read(file), entry);
    // Nothing but the journal stays in the folder: the temporary file was renamed over it.
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{"journal.vtr"});

    QString why;
    EXPECT_FALSE(recovery::read(QDir(folder).filePath("missing.vtr"), &why));
    EXPECT_EQ(why, "no file");
    {
        QFile huge(file);
        ASSERT_TRUE(huge.open(QIODevice::ReadWrite));
        ASSERT_TRUE(huge.resize(recovery::kMaxFileBytes + 1));  // sparse: nothing is written
    }
    EXPECT_FALSE(recovery::read(file, &why));
    EXPECT_EQ(why, "too large");

    // A folder that cannot be made leaves no journal, and says so.
    writeFile("plain-file", "x");
    EXPECT_FALSE(recovery::write(path("plain-file/journal.vtr"), entry));
    EXPECT_FALSE(recovery::write(QString(), entry));

    recovery::setAside(file);
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_TRUE(QFile::exists(file + ".unusable"));
}
