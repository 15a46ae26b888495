#pragma once
// Document bodies and details: loading and saving a body (in Req_objects or as a file in the
// shared documents folder), the document's topic and owner.

#include <QByteArray>
#include <QString>

#include <optional>

namespace vt::app {
class Session;
}

namespace vt::app::data::documents {

// The detail fields of a document row.
struct Details {
    QString RequirementName;
    QString Version;  // as text
    QString Status;
    QString Priority;
    QString Owner;
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
// Stores the owner as given.
void setOwner(const Session& session, qint32 requirementId, const QString& owner);

// The body file of a document in the shared documents folder: folder, separator, id, ".rvf".
QString bodyFilePath(const QString& documentsFolder, qint32 requirementId);

}  // namespace vt::app::data::documents
