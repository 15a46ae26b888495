#include "data/Outline.h"

#include "data/SqlText.h"
#include "session/Session.h"

#include "db/TField.h"
#include "db/TmySQLQuery.h"

namespace vt::app::data::outline {

std::optional<qint32> findDocumentId(const Session& session, const QString& topic, int hash)
{
    auto query = session.newQuery();
    query->SetSQL("select RequirementID from Requirements where Requirementname ="
                  + sqlQuoted(topic) + " and Hash = " + std::to_string(hash));
    query->Open();
    std::optional<qint32> id;
    if (query->RecordCount() > 0)
        id = query->FieldByName("RequirementID").AsInteger();
    query->Close();
    return id;
}

} // namespace vt::app::data::outline
