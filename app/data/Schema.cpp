#include "data/Schema.h"

#include "session/Session.h"

#include "db/TField.h"
#include "db/TmySQLQuery.h"

#include <algorithm>

namespace vt::app::data::schema {

int version(const Session& session)
{
    auto query = session.newQuery();
    // A SHOW statement: no metadata probes, and no error for a missing table.
    query->SetSQL("show tables like 'schema\\_version'");
    query->Open();
    const bool hasTable = query->RecordCount() > 0;
    query->Close();
    if (!hasTable) return 1;
    query->SetSQL("select max(Version) as Version from schema_version");
    query->Open();
    const TField& field = query->FieldByName("Version");
    const int found = field.IsNull() ? 1 : field.AsInteger();
    query->Close();
    return std::max(found, 1);
}

}  // namespace vt::app::data::schema
