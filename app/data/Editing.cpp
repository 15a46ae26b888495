#include "data/Editing.h"

#include "data/SqlText.h"
#include "session/Session.h"

#include "db/DateTimeUtil.h"
#include "db/TmySQLQuery.h"

#include <set>
#include <string>

namespace vt::app::data::editing {

namespace {
constexpr int kMaxDepth = 100000;
}  // namespace

QString basedOn(const Session& session, qint32 requirementId)
{
    auto query = session.newQuery();
    query->SetSQL("select modified, modifiedBy from Requirements where RequirementID = " +
                  std::to_string(requirementId));
    query->Open();
    QString text;
    if (query->RecordCount() > 0) {
        const TField& modified = query->FieldByName("modified");
        text =
            QStringLiteral("modified ") +
            (modified.IsNull() ? QStringLiteral("never")
                               : QString::fromStdString(FormatDateTime("yyyy-mm-dd hh:nn:ss", modified.AsDateTime()))) +
            QStringLiteral(" by ") + textOf(*query, "modifiedBy");
    }
    query->Close();
    return text;
}

std::optional<Place> placeOf(const Session& session, qint32 requirementId)
{
    std::set<qint32> seen;
    qint32 id = requirementId;
    for (int depth = 0; depth < kMaxDepth && seen.insert(id).second; ++depth) {
        auto query = session.newQuery();
        query->SetSQL("select Level, ParentID from Requirements where RequirementID = " + std::to_string(id));
        query->Open();
        if (query->RecordCount() == 0) return std::nullopt;
        const qint32 level = query->FieldByName("Level").AsInteger();
        const qint32 parent = query->FieldByName("ParentID").AsInteger();
        query->Close();
        if (level > 2) {
            id = parent;
            continue;
        }
        if (level != 2) return std::nullopt;
        query->SetSQL("select projects.ProjectID, projects.ProjectName from catagories, projects where "
                      "catagories.CatagoryID = " +
                      std::to_string(parent) + " and projects.ProjectID = catagories.ProjectID");
        query->Open();
        if (query->RecordCount() == 0) return std::nullopt;
        Place place{query->FieldByName("ProjectID").AsInteger(), textOf(*query, "ProjectName")};
        query->Close();
        return place;
    }
    return std::nullopt;
}

}  // namespace vt::app::data::editing
