#pragma once
// Document bodies and details: loading and saving a body (in Req_objects or as a file in the
// shared documents folder), the document's topic and owner.

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace vt::app {
class Session;
}

namespace vt::app::data::documents {

// The detail fields of a document row, with its place in the outline and its current
// revision (the number a save is conditional on).
struct Details {
    QString RequirementName;
    QString Version;  // as text
    QString Status;
    QString Priority;
    QString Owner;
    qint32 Level = 2;
    qint32 ParentID = 0;
    qint32 Revision = 1;
    QString Modified;  // when and by whom the current revision was stored ("" when never)
    QString ModifiedBy;
    // The online users changing the document now (read with the row, in the order of their
    // names): who, and since when.
    std::vector<std::pair<QString, double>> Editors;
};
std::optional<Details> details(const Session& session, qint32 requirementId);

// Whether the document has a body row in Req_objects.
bool hasBody(const Session& session, qint32 requirementId);
// The stored body bytes (empty when there is no row or no value).
QByteArray body(const Session& session, qint32 requirementId);
// The stored body bytes, or none when the document has no body row: the existence test and
// the body in one statement.
std::optional<QByteArray> storedBody(const Session& session, qint32 requirementId);
// Replaces the stored body with the bytes of the file at path (only an update: a document
// without a body row keeps having none).
void updateBodyFromFile(const Session& session, qint32 requirementId, const QString& path);
// Inserts the body row of a new document from the bytes of the file at path.
void insertBodyFromFile(const Session& session, qint32 requirementId, const QString& path);

// Stores the topic, stamps modified with the server's time and modifiedBy with the user.
void updateTopic(const Session& session, qint32 requirementId, const QString& topic, const QString& userName);
// What a save changes: the topic only when the user changed it, the body only when given.
struct Change {
    std::optional<QString> topic;
    // Database mode: the file holding the new body bytes (only an update: a document without
    // a body row keeps having none).
    std::optional<QString> bodyFile;
    // Files mode: writes the new body file; called inside the transaction, once the database
    // took every change of the save (the version it replaces kept), so that a failing write
    // stores nothing. replacedFile is the path of the body file whose bytes the revision keeps.
    std::function<void()> writeBodyFile;
    QString replacedFile;
    // The new body's plain text, stored beside it for the search (with the body only).
    std::optional<QString> plainText;
};

enum class SaveOutcome {
    Saved,     // stored as the next revision
    Conflict,  // another user stored a revision since `expected`: nothing was written
    Gone,      // the document no longer exists: nothing was written
};
struct SaveResult {
    SaveOutcome outcome = SaveOutcome::Saved;
    qint32 revision = 0;  // the new revision when saved; the stored one on a conflict
    QString storedBy;     // on a conflict: who stored that revision
};

// Stores a change of a document loaded at revision `expected` (whose topic, stamp and author
// were `loaded`) as the next revision, in one transaction: the conditional update of the row
// (which also locks it against other savers), the version it replaces into Req_revisions, the
// body, and the "UPD_DOC" record. Nothing is written when the row is gone or at another
// revision. Rolled back on any error. Three round trips: the start with the conditional
// update, the other changes together, the commit. A transaction the server rolled back for a
// deadlock or a cluster conflict (1213) runs again from its start, up to three times.
SaveResult saveRevision(const Session& session, qint32 requirementId, const Details& loaded, const Change& change,
                        const QString& userName, qint32 projectId, qint32 catagoryId);

// The revision a document is at now; none when the document is gone.
std::optional<qint32> currentRevision(const Session& session, qint32 requirementId);

// Stores the owner as given.
void setOwner(const Session& session, qint32 requirementId, const QString& owner);

// The body file of a document in the shared documents folder: folder, separator, id, ".rvf".
QString bodyFilePath(const QString& documentsFolder, qint32 requirementId);

}  // namespace vt::app::data::documents
