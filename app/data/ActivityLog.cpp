#include "data/ActivityLog.h"

#include "data/CheckedChange.h"
#include "data/SqlText.h"
#include "session/Session.h"

#include "db/DbErrors.h"
#include "db/TmySQLQuery.h"

#include <string>

namespace vt::app::data::activitylog {

// The log holds mostly other notes: by the index (Note, ProjectID, ModifyDate) the server reads
// the saves of the user's projects alone, not every record of those projects. Of each project
// only saves as new as its twentieth newest shown save (one whose document is there) can be
// among the twenty: that save's date is read newest first from the index, and older saves are
// left before the join, which in the per-user mode checks every row it reaches. LogID orders
// records of the same second.
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
    "(activity_log.projectid = projectmembers.projectid) and "
    "coalesce(activity_log.ModifyDate >= (select recent.ModifyDate from activity_log recent, requirements shown "
    "where recent.Note = 'UPD_DOC' and recent.ProjectID = projectmembers.ProjectID and "
    "shown.RequirementID = recent.DocumentID "
    "order by recent.ModifyDate desc limit 19, 1), true)\n"
    "order by ModifyDate DESC, activity_log.LogID DESC\n"
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
    const std::string user = sqlQuoted(userName.toUpper());
    const std::string message = std::to_string(msgId);
    const bool post = note == QLatin1String("DISC_POST");
    // Whether a row of this statement is there already, after its answer was lost.
    auto found = [&](const std::string& sql) {
        auto query = session.newQuery();
        query->SetSQL(sql);
        query->Open();
        const bool any = query->RecordCount() > 0;
        query->Close();
        return any;
    };
    auto run = [&](const std::string& sql) {
        auto query = session.newQuery();
        query->SetSQL(sql);
        query->Execute();
    };
    const std::string log = activityStatement(note, userName, projectId, catagoryId, documentId, msgId);
    if (post) {
        // One record per member and message: found by that pair, never written twice.
        changeChecked([&] { run(log); },
                      [&] {
                          return found("select LogID from activity_Log where Note = 'DISC_POST' and msgID = " +
                                       message + " and ModifiedBy = " + user + " limit 1");
                      });
        // The member's read state: a second row would show the message twice.
        changeChecked(
            [&] {
                run("Insert into msg_state (RequirementID , msgID,username,state) Values (" +
                    std::to_string(documentId) + "," + message + "," + user + ",1)");
            },
            [&] {
                return found("select msgID from msg_state where msgID = " + message + " and username = " + user +
                             " limit 1");
            });
        return;
    }
    try {
        run(log);
    } catch (const EmySQLDatabaseError& error) {
        // A save or deletion record whose answer was lost may be there or not; such a record
        // is better lost than doubled, and the change it records is done.
        if (error.Kind() != FailureKind::OutcomeUnknown) throw;
    }
}

namespace {

// The members of a project, one row per person: the name upper-cased (names that differ in
// letter case alone are one member; other differences, accents included, make another), and
// the first MemberID, which keeps the order the project lists its members in. A row without a
// name names nobody.
std::string membersOf(qint32 projectId)
{
    return "(select min(upper(UserName)) as name, min(MemberID) as firstID from ProjectMembers where ProjectID = " +
           std::to_string(projectId) + " and UserName is not null group by upper(UserName) collate utf8mb4_bin) m";
}

// The names, compared as membersOf groups them, that already have a row of the message in a
// table. DISTINCT keeps the server from merging it into the outer query, so it is read once
// rather than once per member.
std::string namesHolding(const char* table, const char* nameColumn, const std::string& condition)
{
    return std::string("left join (select distinct upper(") + nameColumn + ") collate utf8mb4_bin as name from " +
           table + " where " + condition + ") held on held.name = m.name collate utf8mb4_bin ";
}

}  // namespace

void notifyMembers(const Session& session, qint32 projectId, qint32 catagoryId, qint32 documentId, qint32 msgId,
                   const std::vector<std::string>& alongside)
{
    const std::string message = std::to_string(msgId);
    const std::string members = membersOf(projectId);
    const std::string activity =
        "Insert into activity_Log (Note,ModifiedBy,ModifyDate,ProjectID,CatagoryID,DocumentID,msgID) "
        "select 'DISC_POST', m.name, now(), " +
        std::to_string(projectId) + ", " + std::to_string(catagoryId) + ", " + std::to_string(documentId) + ", " +
        message + " from " + members + " " +
        namesHolding("activity_Log", "ModifiedBy", "Note = 'DISC_POST' and msgID = " + message) +
        "where held.name is null order by m.firstID";
    const std::string readStates = "Insert into msg_state (RequirementID, msgID, username, state) select " +
                                   std::to_string(documentId) + ", " + message + ", m.name, 1 from " + members + " " +
                                   namesHolding("msg_state", "username", "msgID = " + message) +
                                   "where held.name is null order by m.firstID";
    // The statements travel together, in one round trip. Each notice statement skips the
    // members who have their row already, and those given to travel along leave the same rows
    // when run twice, so after a lost answer all run once more: whether the server did the work
    // or not, every member ends with one row.
    std::vector<std::string> statements = alongside;
    statements.push_back(activity);
    statements.push_back(readStates);
    changeChecked([&] { session.runTogether(statements); }, [] { return false; });
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
