#include "data/Report.h"

#include "session/Session.h"

#include "db/TField.h"
#include "db/TmySQLQuery.h"

#include <string>

namespace vt::app::data::report {

std::unordered_set<qint32> documentsWithBody(const Session& session, const std::vector<qint32>& documentIds)
{
    std::unordered_set<qint32> found;
    if (documentIds.empty()) return found;
    std::string list;
    list.reserve(documentIds.size() * 8);
    for (qint32 id : documentIds) {
        if (!list.empty()) list += ',';
        list += std::to_string(id);
    }
    auto query = session.newQuery();
    query->SetSQL("Select distinct RequirementID from Req_Objects where RequirementID in (" + list + ")");
    query->Open();
    for (; !query->Eof(); query->Next())
        found.insert(static_cast<qint32>(query->FieldByName("RequirementID").AsInteger()));
    query->Close();
    return found;
}

}  // namespace vt::app::data::report
