#include "data/Documents.h"

#include "data/ActivityLog.h"
#include "data/Search.h"
#include "data/SqlText.h"
#include "session/Session.h"
#include "session/TextCodec.h"

#include "db/DbErrors.h"
#include "db/TField.h"
#include "db/TmySQLQuery.h"

#include <QDir>
#include <QFile>

#include <stdexcept>
#include <string>

namespace vt::app::data::documents {

std::optional<Details> details(const Session& session, qint32 requirementId)
{
    auto query = session.newQuery();
    // The revision is an invisible column, named on its own beside the row's visible ones; the
    // stamp comes as the server's text too, to go back into the revision it becomes. The users
    // editing the document come in the same statement, one row each, so that showing a
    // document costs no round trip more for them.
    const std::string id = std::to_string(requirementId);
    query->SetSQL("Select r.*, r.Revision, cast(r.modified as char) as RevisionSaved, u.Username as EditorName, "
                  "u.EditingSince as EditorSince from Requirements r left join Users u on u.EditingDocument = " +
                  id +
                  " and u.EditingSince is not null and u.lastpollrequest > (DATE_SUB(now(),INTERVAL '5' MINUTE)) "
                  "where r.RequirementID = " +
                  id + " order by u.Username");
    query->Open();
    std::optional<Details> found;
    const int rows = query->RecordCount();
    if (rows > 0)
        found = Details{textOf(*query, "RequirementName"),
                        textOf(*query, "Version"),
                        textOf(*query, "Status"),
                        textOf(*query, "Priority"),
                        textOf(*query, "Owner"),
                        query->FieldByName("Level").AsInteger(),
                        query->FieldByName("ParentID").AsInteger(),
                        query->FieldByName("Revision").AsInteger(),
                        textOf(*query, "RevisionSaved"),
                        textOf(*query, "modifiedBy"),
                        {}};
    for (int i = 0; i < rows; ++i) {
        const TField& since = query->FieldByName("EditorSince");
        if (!query->FieldByName("EditorName").IsNull() && !since.IsNull())
            found->Editors.emplace_back(textOf(*query, "EditorName"), since.AsDateTime());
        query->Next();
    }
    query->Close();
    return found;
}

bool hasBody(const Session& session, qint32 requirementId)
{
    auto query = session.newQuery();
    query->SetSQL("Select ObjectID from Req_Objects where RequirementID = " + std::to_string(requirementId));
    query->Open();
    const bool found = query->RecordCount() > 0;
    query->Close();
    return found;
}

QByteArray body(const Session& session, qint32 requirementId)
{
    return storedBody(session, requirementId).value_or(QByteArray());
}

std::optional<QByteArray> storedBody(const Session& session, qint32 requirementId)
{
    auto query = session.newQuery();
    query->SetSQL("select Document from req_objects where RequirementID = :RequirementID");
    query->ParamByName("RequirementID").SetAsInteger(requirementId);
    query->Open();
    std::optional<QByteArray> bytes;
    if (query->RecordCount() > 0) {
        // Bytes as the server sent them: a body is no text and takes no code page.
        const std::string raw = query->FieldByName("Document").AsString();
        bytes = QByteArray(raw.data(), static_cast<qsizetype>(raw.size()));
    }
    query->Close();
    return bytes;
}

void updateBodyFromFile(const Session& session, qint32 requirementId, const QString& path)
{
    auto query = session.newQuery();
    query->SetSQL("update req_objects\r\n  set Document = :doc where requirementID = :reqID");
    query->ParamByName("doc").LoadValueFromFile(path.toStdString(), ftBlob);
    query->ParamByName("reqID").SetAsInteger(requirementId);
    query->Execute();
}

void insertBodyFromFile(const Session& session, qint32 requirementId, const QString& path)
{
    auto query = session.newQuery();
    query->SetSQL("insert into Req_objects (RequirementID, Document) values (:RequirementID,:Document)");
    query->ParamByName("RequirementID").SetAsInteger(requirementId);
    query->ParamByName("Document").LoadValueFromFile(path.toStdString(), ftBlob);
    query->Execute();
}

void updateTopic(const Session& session, qint32 requirementId, const QString& topic, const QString& userName)
{
    auto query = session.newQuery();
    query->SetSQL("Update Requirements set Requirementname = " + sqlQuoted(topic) + ",modified=now(),modifiedBy=" +
                  sqlQuoted(userName) + " where RequirementID = " + std::to_string(requirementId));
    query->Execute();
}

namespace {

void execute(const Session& session, const std::string& statement)
{
    auto query = session.newQuery();
    query->SetSQL(statement);
    query->Execute();
}

// A date-time as the server printed it, back into a statement; NULL for none.
std::string dateTimeValue(const QString& text) { return text.isEmpty() ? std::string("NULL") : sqlQuoted(text); }

// A deadlock, or a cluster's certification conflict: the server rolled the whole transaction
// back.
constexpr int ErLockDeadlock = 1213;
constexpr int ConflictRetries = 3;

// The condition of every statement sent behind the save's conditional update: true only while
// the save's transaction is open.
const std::string kInTransaction = "@@in_transaction = 1";

// The statement that keeps the version a save replaces: its topic and stamp as loaded (the row
// was at that revision, and every change of them counts the revision up), its body as stored
// until now.
std::string keepStatement(const Session& session, qint32 requirementId, const Details& loaded, const Change& change)
{
    const std::string id = std::to_string(requirementId);
    const std::string keep = "insert into Req_revisions (RequirementID, Revision, Saved, SavedBy, RequirementName, "
                             "Document, DocSize) select " +
                             id + "," + std::to_string(loaded.Revision) + "," + dateTimeValue(loaded.Modified) + "," +
                             sqlQuoted(loaded.ModifiedBy) + "," + sqlQuoted(loaded.RequirementName) + ",";
    if (change.writeBodyFile || !change.replacedFile.isEmpty()) {
        QFile old(change.replacedFile);
        if (!old.exists()) return keep + "NULL, 0 from dual where " + kInTransaction;
        if (!old.open(QIODevice::ReadOnly))
            throw std::runtime_error("Cannot read file " + change.replacedFile.toStdString() + ": " +
                                     old.errorString().toStdString());
        auto query = session.newQuery();
        query->SetSQL(keep + ":doc, :size from dual where " + kInTransaction);
        const QByteArray bytes = old.readAll();
        query->ParamByName("doc").SetAsBlob(std::string(bytes.constData(), static_cast<size_t>(bytes.size())));
        query->ParamByName("size").SetAsInteger(static_cast<qint32>(bytes.size()));
        return query->TextToRun();
    }
    // The first body row, as the body is read.
    return keep +
           "b.Document, coalesce(length(b.Document), 0) from (select 1) one left join (select "
           "Document from Req_objects where RequirementID = " +
           id + " order by ObjectID limit 1) b on 1 where " + kInTransaction;
}

// The body update of updateBodyFromFile, as a statement of the save's second round trip.
std::string bodyUpdateStatement(const Session& session, qint32 requirementId, const QString& path)
{
    auto query = session.newQuery();
    query->SetSQL("update req_objects\r\n  set Document = :doc where requirementID = :reqID and " + kInTransaction);
    query->ParamByName("doc").LoadValueFromFile(path.toStdString(), ftBlob);
    query->ParamByName("reqID").SetAsInteger(requirementId);
    return query->TextToRun();
}

// The save inside its transaction, in two round trips: the transaction's start with the
// conditional update, then every other change together. The transaction is left open.
SaveResult saveLocked(const Session& session, qint32 requirementId, const Details& loaded, const Change& change,
                      const QString& userName, qint32 projectId, qint32 catagoryId, bool& fileWritten)
{
    const std::string id = std::to_string(requirementId);
    const qint32 next = loaded.Revision + 1;
    // The conditional update first: it finds the row only at the loaded revision and holds it
    // locked to the end, so a second saver waits here and then finds a revision of its own. It
    // travels behind the transaction's start, so it too changes nothing outside a transaction.
    const std::string update =
        "Update Requirements set " +
        (change.topic ? "Requirementname = " + sqlQuoted(*change.topic) + "," : std::string()) +
        "modified=now(),modifiedBy=" + sqlQuoted(userName) + ",Revision=" + std::to_string(next) +
        " where RequirementID = " + id + " and Revision = " + std::to_string(loaded.Revision) + " and " +
        kInTransaction;
    if (session.runTogether({"START TRANSACTION", update})[1] != 1) {
        SaveResult result;
        auto query = session.newQuery();
        query->SetSQL("select modifiedBy, Revision from Requirements where RequirementID = " + id);
        query->Open();
        if (query->RecordCount() == 0) {
            result.outcome = SaveOutcome::Gone;
        } else {
            result.outcome = SaveOutcome::Conflict;
            result.revision = query->FieldByName("Revision").AsInteger();
            result.storedBy = textOf(*query, "modifiedBy");
        }
        query->Close();
        return result;
    }
    // The row is ours: the kept version, the body, its text and the record go together. Every
    // answer is checked before the transaction may commit (most statement errors leave the
    // transaction open). A deadlock ends the transaction, though, and the statements already
    // sent behind the one that met it would then run on their own and stay: each of them
    // changes something only while a transaction is open.
    std::vector<std::string> changes{keepStatement(session, requirementId, loaded, change)};
    if (change.bodyFile) changes.push_back(bodyUpdateStatement(session, requirementId, *change.bodyFile));
    if (change.plainText) changes.push_back(search::storeTextStatement(requirementId, *change.plainText, true));
    changes.push_back(activitylog::activityStatement(QStringLiteral("UPD_DOC"), userName, projectId, catagoryId,
                                                     requirementId, 0, true));
    session.runTogether(changes);
    // The body file is replaced only once the database took every change of the save.
    if (change.writeBodyFile) {
        fileWritten = true;
        change.writeBodyFile();
    }
    return SaveResult{SaveOutcome::Saved, next, {}};
}

// One attempt: the transaction from its start to its commit, rolled back on any error.
SaveResult saveOnce(const Session& session, qint32 requirementId, const Details& loaded, const Change& change,
                    const QString& userName, qint32 projectId, qint32 catagoryId, bool& fileWritten)
{
    try {
        const SaveResult result =
            saveLocked(session, requirementId, loaded, change, userName, projectId, catagoryId, fileWritten);
        execute(session, result.outcome == SaveOutcome::Saved ? "COMMIT" : "ROLLBACK");
        return result;
    } catch (...) {
        // The error that ended the save is the one to report, not one of the roll-back.
        try {
            execute(session, "ROLLBACK");
        } catch (...) {
        }
        throw;
    }
}

}  // namespace

SaveResult saveRevision(const Session& session, qint32 requirementId, const Details& loaded, const Change& change,
                        const QString& userName, qint32 projectId, qint32 catagoryId)
{
    for (int attempt = 0;; ++attempt) {
        bool fileWritten = false;
        try {
            return saveOnce(session, requirementId, loaded, change, userName, projectId, catagoryId, fileWritten);
        } catch (const EmySQLDatabaseError& e) {
            // The server rolled the whole transaction back: it runs again from its start, its
            // statements rebuilt from the same inputs. A lost connection is never retried (its
            // outcome is unknown), nor a save whose body file was already replaced (the next
            // attempt would keep the new file as the old version).
            if (e.ServerError() != ErLockDeadlock || attempt >= ConflictRetries || fileWritten) throw;
        }
    }
}

std::optional<qint32> currentRevision(const Session& session, qint32 requirementId)
{
    auto query = session.newQuery();
    query->SetSQL("select Revision from Requirements where RequirementID = " + std::to_string(requirementId));
    query->Open();
    std::optional<qint32> found;
    if (query->RecordCount() > 0) found = query->FieldByName("Revision").AsInteger();
    query->Close();
    return found;
}

void setOwner(const Session& session, qint32 requirementId, const QString& owner)
{
    auto query = session.newQuery();
    query->SetSQL("Update Requirements set owner = " + sqlQuoted(owner) +
                  " where RequirementID = " + std::to_string(requirementId));
    query->Execute();
}

QString bodyFilePath(const QString& documentsFolder, qint32 requirementId)
{
    return documentsFolder + QLatin1Char('/') + QString::number(requirementId) + QStringLiteral(".rvf");
}

}  // namespace vt::app::data::documents
