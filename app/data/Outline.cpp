#include "data/Outline.h"

#include "data/SqlText.h"
#include "session/Session.h"

#include "db/TField.h"
#include "db/TmySQLQuery.h"

#include <algorithm>
#include <functional>
#include <string>
#include <unordered_map>

namespace vt::app::data::outline {

namespace {

// Ids per statement of the level-wise load: far below the packet limit, and each parent's
// children always come from one statement, so their order stays the server's.
constexpr size_t kIdsPerStatement = 5000;

std::string categoriesStatement(qint32 projectId)
{
    return "Select * from Catagories where ProjectID = " + std::to_string(projectId) +
           " order by CatagoryName, CatagoryID";
}

TProjRec categoryOf(const TmySQLQuery& q)
{
    return TProjRec{q.FieldByName("ProjectID").AsInteger(), q.FieldByName("CatagoryID").AsInteger(),
                    textOf(q, "CatagoryName"), textOf(q, "Description")};
}

TReqRec documentOf(const TmySQLQuery& q)
{
    TReqRec r;
    r.RequirementID = q.FieldByName("RequirementID").AsInteger();
    r.ParentID = q.FieldByName("ParentID").AsInteger();
    r.RequirementName = textOf(q, "RequirementName");
    r.Version = q.FieldByName("Version").AsFloat();
    r.Owner = textOf(q, "Owner");
    r.Created = textOf(q, "Created");
    r.Status = textOf(q, "Status");
    r.Priority = textOf(q, "Priority");
    r.Messages = q.FieldByName("Messages").AsInteger();
    r.Attachments = q.FieldByName("Attachments").AsInteger();
    return r;
}

template <class Rec, class Read>
std::vector<Rec> rows(const Session& session, const std::string& statement, Read read)
{
    auto query = session.newQuery();
    query->SetSQL(statement);
    query->Open();
    std::vector<Rec> result;
    const int count = query->RecordCount();
    result.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        result.push_back(read(*query));
        query->Next();
    }
    query->Close();
    return result;
}

std::vector<TProjRec> categories(const Session& session, qint32 projectId)
{
    return rows<TProjRec>(session, categoriesStatement(projectId), categoryOf);
}

// Documents of Level 2 (under categories) or above 2 (under documents) whose parent is one of
// parentIds, in name order.
std::vector<TReqRec> documentsUnder(const Session& session, bool underCategories, const std::vector<qint32>& parentIds,
                                    size_t from, size_t to)
{
    std::string list;
    for (size_t i = from; i < to; ++i) {
        if (i > from) list += ',';
        list += std::to_string(parentIds[i]);
    }
    return rows<TReqRec>(session,
                         std::string("Select * from Requirements where (level ") + (underCategories ? "= 2" : "> 2") +
                             ") and (ParentID in (" + list + ")) order by requirementName, RequirementID",
                         documentOf);
}

}  // namespace

int stateIndex(const TReqRec& document) { return (document.Messages > 0 ? 1 : 0) + (document.Attachments > 0 ? 2 : 0); }

std::vector<CategoryNode> loadOutline(const Session& session, qint32 projectId)
{
    std::vector<CategoryNode> tree;
    for (TProjRec& rec : categories(session, projectId))
        tree.push_back(CategoryNode{std::move(rec), {}});

    // The children found in each round, by parent id, in the order returned; the tree is put
    // together from the bottom once no round finds more.
    struct Round {
        std::unordered_map<qint32, std::vector<TReqRec>> byParent;
    };
    std::vector<Round> rounds;
    std::vector<qint32> parents;
    for (const CategoryNode& c : tree)
        parents.push_back(c.record.CatagoryID);
    bool underCategories = true;
    while (!parents.empty()) {
        Round round;
        std::vector<qint32> next;
        for (size_t from = 0; from < parents.size(); from += kIdsPerStatement) {
            const size_t to = std::min(parents.size(), from + kIdsPerStatement);
            for (TReqRec& doc : documentsUnder(session, underCategories, parents, from, to)) {
                next.push_back(doc.RequirementID);
                round.byParent[doc.ParentID].push_back(std::move(doc));
            }
        }
        if (next.empty()) break;
        rounds.push_back(std::move(round));
        parents = std::move(next);
        underCategories = false;
    }

    // Attach each round's documents to their parents, deepest round first.
    std::function<void(std::vector<DocumentNode>&, size_t)> fill = [&](std::vector<DocumentNode>& nodes, size_t depth) {
        if (depth >= rounds.size()) return;
        for (DocumentNode& node : nodes) {
            auto it = rounds[depth].byParent.find(node.record.RequirementID);
            if (it == rounds[depth].byParent.end()) continue;
            for (TReqRec& doc : it->second)
                node.children.push_back(DocumentNode{std::move(doc), {}});
            fill(node.children, depth + 1);
        }
    };
    if (!rounds.empty()) {
        for (CategoryNode& c : tree) {
            auto it = rounds[0].byParent.find(c.record.CatagoryID);
            if (it == rounds[0].byParent.end()) continue;
            for (TReqRec& doc : it->second)
                c.children.push_back(DocumentNode{std::move(doc), {}});
            fill(c.children, 1);
        }
    }
    return tree;
}

std::vector<CategoryNode> loadOutlineByNode(const Session& session, qint32 projectId)
{
    std::function<void(std::vector<DocumentNode>&, qint32)> under = [&](std::vector<DocumentNode>& nodes,
                                                                        qint32 parentId) {
        for (TReqRec& doc : rows<TReqRec>(session,
                                          "Select * from Requirements where (level > 2) and (ParentID = " +
                                              std::to_string(parentId) + ") order by requirementName, RequirementID",
                                          documentOf))
            nodes.push_back(DocumentNode{std::move(doc), {}});
        for (DocumentNode& node : nodes)
            under(node.children, node.record.RequirementID);
    };
    std::vector<CategoryNode> tree;
    for (TProjRec& rec : categories(session, projectId))
        tree.push_back(CategoryNode{std::move(rec), {}});
    for (CategoryNode& c : tree) {
        for (TReqRec& doc : rows<TReqRec>(
                 session,
                 "Select * from Requirements where (level = 2) and (ParentID = " + std::to_string(c.record.CatagoryID) +
                     ") order by requirementName, RequirementID",
                 documentOf))
            c.children.push_back(DocumentNode{std::move(doc), {}});
        for (DocumentNode& node : c.children)
            under(node.children, node.record.RequirementID);
    }
    return tree;
}

std::optional<TProjRec> category(const Session& session, qint32 catagoryId)
{
    auto found = rows<TProjRec>(session, "Select * from Catagories where CatagoryID = " + std::to_string(catagoryId),
                                categoryOf);
    if (found.empty()) return std::nullopt;
    return found.front();
}

void renameCategory(const Session& session, qint32 catagoryId, const QString& name)
{
    auto query = session.newQuery();
    query->SetSQL("Update Catagories set Catagoryname = " + sqlQuoted(name) +
                  " where CatagoryID = " + std::to_string(catagoryId));
    query->Execute();
}

void describeCategory(const Session& session, qint32 catagoryId, const QString& description)
{
    auto query = session.newQuery();
    query->SetSQL("Update Catagories set Description = " + sqlQuoted(description) +
                  " where CatagoryID = " + std::to_string(catagoryId));
    query->Execute();
}

std::optional<qint32> findDocumentId(const Session& session, const QString& topic, int hash)
{
    auto query = session.newQuery();
    query->SetSQL("select RequirementID from Requirements where Requirementname =" + sqlQuoted(topic) +
                  " and Hash = " + std::to_string(hash));
    query->Open();
    std::optional<qint32> id;
    if (query->RecordCount() > 0) id = query->FieldByName("RequirementID").AsInteger();
    query->Close();
    return id;
}

}  // namespace vt::app::data::outline
