#include "data/Documents.h"

#include "data/SqlText.h"
#include "session/Session.h"
#include "session/TextCodec.h"

#include "db/TField.h"
#include "db/TmySQLQuery.h"

#include <QDir>

#include <string>

namespace vt::app::data::documents {

std::optional<Details> details(const Session& session, qint32 requirementId)
{
    auto query = session.newQuery();
    query->SetSQL("Select * from Requirements where RequirementID = " + std::to_string(requirementId));
    query->Open();
    std::optional<Details> found;
    if (query->RecordCount() > 0)
        found = Details{textOf(*query, "RequirementName"), textOf(*query, "Version"), textOf(*query, "Status"),
                        textOf(*query, "Priority"), textOf(*query, "Owner")};
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
