#include "data/Outline.h"

#include "data/SqlText.h"
#include "session/Session.h"
#include "session/TextCodec.h"

#include "db/TField.h"
#include "db/TmySQLQuery.h"

#include <QRandomGenerator>

#include <algorithm>
#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>

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

void execute(const Session& session, const std::string& statement)
{
    auto query = session.newQuery();
    query->SetSQL(statement);
    query->Execute();
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

int drawHash()
{
    // The system-seeded generator: a generator seeded afresh from the clock would draw the same
    // hash for two documents created within one millisecond, and two new documents with the
    // same topic (an empty one, say) would then be found as one.
    return static_cast<int>(QRandomGenerator::global()->bounded(100000));
}

void insertDocument(const Session& session, int hash, qint32 level, qint32 parentId, const QString& topic,
                    const QString& userName)
{
    auto query = session.newQuery();
    query->SetSQL(
        "insert into Requirements (hash,Level, ParentID, RequirementName, Created, Owner,modified,modifiedBy ) "
        "\r\nvalues (:hash,:Level, :ParentID, :RequirementName, :Created, :Owner,:Modified,:ModifiedBy)");
    const double stamp = currentDateTime();
    query->ParamByName("ParentID").SetAsInteger(parentId);
    query->ParamByName("Level").SetAsInteger(level);
    query->ParamByName("RequirementName").SetAsString(bytesFromText(topic));
    query->ParamByName("Created").SetAsDateTime(stamp);
    query->ParamByName("Owner").SetAsString(bytesFromText(userName));
    query->ParamByName("hash").SetAsInteger(hash);
    query->ParamByName("Modified").SetAsDateTime(stamp);
    query->ParamByName("ModifiedBy").SetAsString(bytesFromText(userName));
    query->Execute();
}

std::optional<TReqRec> document(const Session& session, qint32 requirementId)
{
    auto found = rows<TReqRec>(
        session, "Select * from Requirements where requirementID=" + std::to_string(requirementId), documentOf);
    if (found.empty()) return std::nullopt;
    return found.front();
}

void moveDocument(const Session& session, qint32 requirementId, qint32 level, qint32 parentId)
{
    execute(session, "Update Requirements set level=" + std::to_string(level) + ", Parentid=" +
                         std::to_string(parentId) + " where requirementID=" + std::to_string(requirementId));
}

void deleteDocumentRows(const Session& session, qint32 requirementId)
{
    const std::string id = std::to_string(requirementId);
    auto query = session.newQuery();
    for (const char* statement :
         {"delete from Requirements where requirementID = ", "delete from Req_Objects where requirementID = ",
          "delete from Req_Messages where requirementID = ", "delete from msg_state where RequirementID = ",
          "delete from Attachments where requirementID = "}) {
        query->SetSQL(statement + id);
        query->Execute();
    }
}

namespace {

// `seen` holds every document met in this cascade: rows whose parents lead round in a circle
// (a document below itself, written by hand or by another program) are deleted once instead of
// sending the cascade round the circle until the stack runs out.
void deleteBelow(const Session& session, Below kind, qint32 id, std::unordered_set<qint32>& seen)
{
    // The children are read whole before any is deleted; each one's subtree goes before its
    // own rows, so a cascade stopped by an error leaves no document without its parent row.
    std::vector<qint32> children;
    {
        auto query = session.newQuery();
        query->SetSQL(std::string(kind == Below::Category
                                      ? "select * from requirements where level = 2 and parentid="
                                      : "select * from requirements where level > 2 and parentid=") +
                      std::to_string(id));
        query->Open();
        const int count = query->RecordCount();
        for (int i = 0; i < count; ++i) {
            children.push_back(query->FieldByName("RequirementID").AsInteger());
            query->Next();
        }
        query->Close();
    }
    for (qint32 child : children) {
        if (!seen.insert(child).second) continue;
        deleteBelow(session, Below::Document, child, seen);
        deleteDocumentRows(session, child);
    }
}

}  // namespace

void deleteSubDocuments(const Session& session, Below kind, qint32 id)
{
    std::unordered_set<qint32> seen;
    if (kind == Below::Document) seen.insert(id);  // its own rows stay
    deleteBelow(session, kind, id, seen);
}

void addCategory(const Session& session, qint32 projectId, const QString& name)
{
    execute(session, "Insert into Catagories (ProjectID,CatagoryName) Values (" + std::to_string(projectId) + "," +
                         sqlQuoted(name) + ")");
}

void deleteCategory(const Session& session, qint32 catagoryId)
{
    execute(session, "delete from Catagories where CatagoryID = " + std::to_string(catagoryId));
    deleteSubDocuments(session, Below::Category, catagoryId);
}

std::vector<qint32> categoryIds(const Session& session, qint32 projectId)
{
    return rows<qint32>(session, "select catagoryID from Catagories where ProjectID = " + std::to_string(projectId),
                        [](const TmySQLQuery& q) { return q.FieldByName("CatagoryID").AsInteger(); });
}

}  // namespace vt::app::data::outline
