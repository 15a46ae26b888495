#include "data/ActivityLog.h"

#include "data/SqlText.h"
#include "session/Session.h"

#include "db/TmySQLQuery.h"

#include <string>

namespace vt::app::data::activitylog {

const char* const kRecentUpdatesSql =
    "SELECT \n"
    "  activity_log.LogID, \n"
    "  activity_log.ProjectID, \n"
    "  activity_log.modifyDate, \n"
    "  activity_log.Modifiedby,\n"
    "  activity_log.DocumentID,\n"
    "  projects.ProjectName,\n"
    "  requirements.RequirementName\n"
    "FROM activity_log, requirements,projects,projectmembers\n"
    "Where (activity_log.note='UPD_DOC') and  (requirements.RequirementID = activity_log.DocumentID) and "
    "(projects.ProjectID = activity_log.ProjectID) and (projectmembers.username = :username) and "
    "(activity_log.projectid = projectmembers.projectid)\n"
    "order by ModifyDate DESC\n"
    "limit 20";

std::string activityStatement(const QString& note, const QString& userName, qint32 projectId, qint32 catagoryId,
                              qint32 documentId, qint32 msgId, bool onlyInTransaction)
{
    const std::string row = sqlQuoted(note) + "," + sqlQuoted(userName.toUpper()) + ",now()," +
                            std::to_string(projectId) + "," + std::to_string(catagoryId) + "," +
                            std::to_string(documentId) + "," + std::to_string(msgId);
    return "Insert into activity_Log (Note,ModifiedBy,ModifyDate,ProjectID,CatagoryID,DocumentID,msgID) " +
           (onlyInTransaction ? "select " + row + " from dual where @@in_transaction = 1" : "Values (" + row + ")");
}

void LogActivity(const Session& session, const QString& note, const QString& userName, qint32 projectId,
                 qint32 catagoryId, qint32 documentId, qint32 msgId)
{
    auto query = session.newQuery();
    const std::string user = sqlQuoted(userName.toUpper());
    query->SetSQL(activityStatement(note, userName, projectId, catagoryId, documentId, msgId));
    query->Execute();
    if (note == QLatin1String("DISC_POST")) {
        query->SetSQL("Insert into msg_state (RequirementID , msgID,username,state) Values (" +
                      std::to_string(documentId) + "," + std::to_string(msgId) + "," + user + ",1)");
        query->Execute();
    }
}

QString deletedBy(const Session& session, qint32 documentId)
{
    auto query = session.newQuery();
    query->SetSQL("select ModifiedBy from activity_Log where Note = 'DEL_DOC' and DocumentID = " +
                  std::to_string(documentId) + " order by LogID desc limit 1");
    query->Open();
    const QString name = query->RecordCount() > 0 ? textOf(*query, "ModifiedBy") : QString();
    query->Close();
    return name;
}

}  // namespace vt::app::data::activitylog
