#include "data/Revisions.h"

#include "data/SqlText.h"
#include "session/Session.h"

#include "db/TField.h"
#include "db/TmySQLQuery.h"

#include <string>

namespace vt::app::data::revisions {

std::vector<Entry> history(const Session& session, qint32 requirementId)
{
    auto query = session.newQuery();
    query->SetSQL("select Revision, cast(Saved as char) as Saved, SavedBy, RequirementName, DocSize from "
                  "Req_revisions where RequirementID = " +
                  std::to_string(requirementId) + " order by Revision desc");
    query->Open();
    std::vector<Entry> entries;
    const int count = query->RecordCount();
    entries.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const TField& size = query->FieldByName("DocSize");
        entries.push_back(Entry{query->FieldByName("Revision").AsInteger(), textOf(*query, "Saved"),
                                textOf(*query, "SavedBy"), textOf(*query, "RequirementName"),
                                size.IsNull() ? 0 : size.AsInteger()});
        query->Next();
    }
    query->Close();
    return entries;
}

std::optional<Version> version(const Session& session, qint32 requirementId, qint32 revision)
{
    auto query = session.newQuery();
    query->SetSQL("select RequirementName, Document from Req_revisions where RequirementID = " +
                  std::to_string(requirementId) + " and Revision = " + std::to_string(revision));
    query->Open();
    std::optional<Version> found;
    if (query->RecordCount() > 0) {
        const TField& document = query->FieldByName("Document");
        Version v;
        v.RequirementName = textOf(*query, "RequirementName");
        v.hasBody = !document.IsNull();
        // Bytes as the server sent them: a body is no text and takes no code page.
        const std::string raw = document.AsString();
        v.Document = QByteArray(raw.data(), static_cast<qsizetype>(raw.size()));
        found = std::move(v);
    }
    query->Close();
    return found;
}

}  // namespace vt::app::data::revisions
