#include "data/Attachments.h"

#include "data/SqlText.h"
#include "session/Session.h"
#include "session/TextCodec.h"

#include "db/DateTimeUtil.h"
#include "db/DbSettings.h"
#include "db/TField.h"
#include "db/TmySQLQuery.h"

#include <QDate>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include <cmath>
#include <string>

namespace vt::app::data::attachments {

namespace {

void execute(const Session& session, const std::string& sql)
{
    auto query = session.newQuery();
    query->SetSQL(sql);
    query->Execute();
}

QString shortDate(double value)
{
    return textFromBytes(FormatDateTime(FormatSettings().ShortDateFormat, std::trunc(value)));
}

}  // namespace

std::vector<Attachment> list(const Session& session, qint32 documentId)
{
    auto query = session.newQuery();
    query->SetSQL("select * from attachments where requirementID = " + std::to_string(documentId));
    query->Open();
    std::vector<Attachment> found;
    const int rows = query->RecordCount();
    for (int i = 0; i < rows; ++i) {
        Attachment a;
        a.AttachID = query->FieldByName("AttachID").AsInteger();
        a.Link = textOf(*query, "link");
        a.Description = textOf(*query, "description");
        const TField& created = query->FieldByName("Created");
        // A row written by another program may lack its time: its date shows empty.
        if (!created.IsNull()) a.Created = shortDate(created.AsDateTime());
        a.Owner = textOf(*query, "Owner");
        a.FileType = query->FieldByName("FileType").AsInteger();
        found.push_back(std::move(a));
        query->Next();
    }
    query->Close();
    return found;
}

QString storedReference(int kind, const QString& reference)
{
    if (kind != File) return reference;
    QString path = reference;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return path;
}

void insert(const Session& session, qint32 documentId, int kind, const QString& reference, const QString& description,
            const QString& owner)
{
    execute(session, "Insert into Attachments (RequirementID,Link,Description,Owner,Created,Filetype) Values (" +
                         std::to_string(documentId) + "," + sqlQuoted(reference) + "," + sqlQuoted(description) + "," +
                         sqlQuoted(owner) + ",now()," + std::to_string(kind) + ")");
}

void setFlag(const Session& session, qint32 documentId, bool hasAttachments)
{
    execute(session, std::string("Update Requirements set attachments = ") + (hasAttachments ? "1" : "0") +
                         " where RequirementID=" + std::to_string(documentId));
}

void remove(const Session& session, qint32 attachId)
{
    execute(session, "Delete from Attachments where AttachID=" + std::to_string(attachId));
}

QString today()
{
    const QDate now = QDate::currentDate();
    return shortDate(EncodeDate(now.year(), now.month(), now.day()));
}

namespace {

// Files the desktop would run or that start a program when opened, by suffix (lower case).
bool isProgramSuffix(const QString& suffix)
{
    static const QStringList programs = {
        QStringLiteral("desktop"),  QStringLiteral("exe"),        QStringLiteral("com"), QStringLiteral("bat"),
        QStringLiteral("cmd"),      QStringLiteral("scr"),        QStringLiteral("pif"), QStringLiteral("msi"),
        QStringLiteral("lnk"),      QStringLiteral("cpl"),        QStringLiteral("hta"), QStringLiteral("jar"),
        QStringLiteral("vbs"),      QStringLiteral("vbe"),        QStringLiteral("js"),  QStringLiteral("jse"),
        QStringLiteral("wsf"),      QStringLiteral("wsh"),        QStringLiteral("ps1"), QStringLiteral("reg"),
        QStringLiteral("sh"),       QStringLiteral("bash"),       QStringLiteral("run"), QStringLiteral("bin"),
        QStringLiteral("appimage"), QStringLiteral("flatpakref"), QStringLiteral("deb"), QStringLiteral("rpm"),
        QStringLiteral("py"),       QStringLiteral("pl"),         QStringLiteral("url"), QStringLiteral("webloc"),
    };
    return programs.contains(suffix.toLower());
}

// Whether a mailto address asks the mail program to attach files (attach=, attachment=), which
// several do: a reference from another user would send the reader's own files. Keys are read
// decoded and split at "&" and ";", as mail programs differ in both.
bool attachesFiles(const QString& address)
{
    const qsizetype question = address.indexOf(QLatin1Char('?'));
    if (question < 0) return false;
    const QString query = QUrl::fromPercentEncoding(address.mid(question + 1).toUtf8());
    static const QRegularExpression separators(QStringLiteral("[&;]"));
    for (const QString& field : query.split(separators)) {
        if (field.section(QLatin1Char('='), 0, 0).contains(QLatin1String("attach"), Qt::CaseInsensitive)) return true;
    }
    return false;
}

OpenCheck refused(const QString& reference, const QString& why)
{
    return {QString(), QStringLiteral("The reference cannot be opened: ") + reference + QStringLiteral("\n") + why};
}

OpenCheck checkFile(const QString& reference, const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists()) return refused(reference, QStringLiteral("No such file."));
    // A link is judged by the file it leads to.
    const QFileInfo target(info.canonicalFilePath());
    if (!target.isFile()) return refused(reference, QStringLiteral("Only files and web links can be opened."));
    if (target.isExecutable() || isProgramSuffix(target.suffix()) || isProgramSuffix(info.suffix()))
        return refused(reference, QStringLiteral("Programs and launchers are not started from references."));
    return {target.absoluteFilePath(), QString()};
}

}  // namespace

OpenCheck checkReference(const QString& reference)
{
    const QString text = reference.trimmed();
    if (text.isEmpty()) return refused(reference, QStringLiteral("The reference is empty."));
    if (text.contains(QChar(0))) return refused(reference, QStringLiteral("The reference holds a NUL character."));
    // A scheme is letters, digits, "+", "-" and "." after a first letter, ended by ":". A single
    // letter is a drive (C:/Docs/a.doc), and text without a scheme is a path.
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    QString scheme;
    if (colon > 1) {
        scheme = text.left(colon);
        for (qsizetype i = 0; i < scheme.size(); ++i) {
            const QChar c = scheme.at(i);
            const bool ok = (c.isLetter() && c.unicode() < 128) ||
                            (i > 0 && ((c.isDigit() && c.unicode() < 128) || c == QLatin1Char('+') ||
                                       c == QLatin1Char('-') || c == QLatin1Char('.')));
            if (!ok) {
                scheme.clear();
                break;
            }
        }
    }
    if (scheme.isEmpty()) return checkFile(reference, text);

    scheme = scheme.toLower();
    if (scheme == QLatin1String("file")) {
        const QUrl url(text, QUrl::TolerantMode);
        if (!url.isValid() || !url.isLocalFile())
            return refused(reference, QStringLiteral("The file address is not valid."));
        return checkFile(reference, url.toLocalFile());
    }
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("ftp")) {
        const QUrl url(text, QUrl::TolerantMode);
        if (!url.isValid() || url.host().isEmpty())
            return refused(reference, QStringLiteral("The web address is not valid."));
        return {text, QString()};
    }
    if (scheme == QLatin1String("mailto")) {
        if (attachesFiles(text))
            return refused(reference, QStringLiteral("A mail address that attaches files is not opened."));
        return {text, QString()};
    }
    return refused(reference, QStringLiteral("Only web links (http, https, ftp, mailto) and files can be opened."));
}

}  // namespace vt::app::data::attachments
