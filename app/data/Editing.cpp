#include "data/Editing.h"

#include "data/Documents.h"
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

QString basedOnText(qint32 revision, const QString& stored, const QString& storedBy)
{
    return QStringLiteral("revision %1, stored %2 by %3")
        .arg(revision)
        .arg(stored.isEmpty() ? QStringLiteral("never") : stored, storedBy);
}

qint32 revisionOf(const QString& basedOn)
{
    static const QString prefix = QStringLiteral("revision ");
    if (!basedOn.startsWith(prefix)) return 0;
    const qsizetype comma = basedOn.indexOf(QLatin1Char(','));
    bool ok = false;
    const int revision = basedOn.mid(prefix.size(), comma < 0 ? -1 : comma - prefix.size()).toInt(&ok);
    return ok && revision > 0 ? revision : 0;
}

QString basedOn(const Session& session, qint32 requirementId)
{
    const auto row = documents::details(session, requirementId);
    return row ? basedOnText(row->Revision, row->Modified, row->ModifiedBy) : QString();
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
