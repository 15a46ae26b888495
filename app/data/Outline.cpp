#include "data/Outline.h"
#include "data/CheckedChange.h"

#include "data/SqlText.h"
#include "session/Session.h"
#include "session/TextCodec.h"

#include "db/TField.h"
#include "db/TmySQLQuery.h"

#include <QRandomGenerator>

#include <algorithm>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace vt::app::data::outline {

namespace {

// Ids per deleting statement of the documents below a deleted category or document: far below
// the packet limit.
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

// The ids from..to of a list, comma-separated.
std::string idList(const std::vector<qint32>& ids, size_t from, size_t to)
{
    std::string list;
    for (size_t i = from; i < to; ++i) {
        if (i > from) list += ',';
        list += std::to_string(ids[i]);
    }
    return list;
}

void execute(const Session& session, const std::string& statement)
{
    auto query = session.newQuery();
    query->SetSQL(statement);
    query->Execute();
}

}  // namespace

DocumentNode::~DocumentNode()
{
    // Each node leaves with no children of its own, so no destructor calls another.
    std::vector<DocumentNode> pending = std::move(children);
    while (!pending.empty()) {
        DocumentNode last = std::move(pending.back());
        pending.pop_back();
        for (DocumentNode& child : last.children)
            pending.push_back(std::move(child));
        last.children.clear();
    }
}

bool DocumentNode::operator==(const DocumentNode& other) const
{
    std::vector<std::pair<const DocumentNode*, const DocumentNode*>> pending{{this, &other}};
    while (!pending.empty()) {
        const auto [a, b] = pending.back();
        pending.pop_back();
        if (!(a->record == b->record) || a->children.size() != b->children.size()) return false;
        for (size_t i = 0; i < a->children.size(); ++i)
            pending.push_back({&a->children[i], &b->children[i]});
    }
    return true;
}

int stateIndex(const TReqRec& document) { return (document.Messages > 0 ? 1 : 0) + (document.Attachments > 0 ? 2 : 0); }

std::vector<CategoryNode> loadOutline(const Session& session, qint32 projectId)
{
    std::vector<CategoryNode> tree;
    for (TProjRec& rec : categories(session, projectId))
        tree.push_back(CategoryNode{std::move(rec), {}});
    if (tree.empty()) return tree;

    // Every document of the outline in one statement: the walk starts at the documents of
    // Level 2 under the project's categories and takes, at each step, the documents above
    // Level 2 whose parent the step before found, looked up by parent. A document has one
    // parent, so no walk from a category leads round in a circle; UNION would end one all the
    // same. The server stops a walk after 1,000 steps by default without a word, so the
    // statement lifts that limit for itself. The walk carries the whole rows: read back by id
    // instead, each row passed the rules of the per-user views twice, which cost a third more.
    // Siblings come in name order as the server compares text, ties by id.
    const std::string project = std::to_string(projectId);
    auto query = session.newQuery();
    query->SetSQL("set statement max_recursive_iterations = 4294967295 for "
                  "with recursive tree as ("
                  "select r.* from Catagories c straight_join Requirements r "
                  "on r.Level = 2 and r.ParentID = c.CatagoryID where c.ProjectID = " +
                  project +
                  " union select r.* from tree t straight_join Requirements r "
                  "on r.Level > 2 and r.ParentID = t.RequirementID) "
                  "select * from tree order by RequirementName, RequirementID");
    query->Open();
    // Each parent's children in order: those of Level 2 by category, the others by document.
    // An id that came before is passed over, so no answer places a document twice.
    std::unordered_map<qint32, std::vector<TReqRec>> underCategory, underDocument;
    std::unordered_set<qint32> seen;
    const int count = query->RecordCount();
    for (int i = 0; i < count; ++i, query->Next()) {
        TReqRec doc = documentOf(*query);
        if (!seen.insert(doc.RequirementID).second) continue;
        const bool topLevel = query->FieldByName("Level").AsInteger() == 2;
        (topLevel ? underCategory : underDocument)[doc.ParentID].push_back(std::move(doc));
    }
    query->Close();

    // Each parent takes its children once, and the list leaves the map with them, so the walk
    // ends whatever parents the rows name. A work list instead of recursion: an outline may be
    // as deep as it has documents.
    auto take = [](std::unordered_map<qint32, std::vector<TReqRec>>& from, qint32 parent,
                   std::vector<DocumentNode>& into) {
        auto it = from.find(parent);
        if (it == from.end()) return false;
        into.reserve(it->second.size());
        for (TReqRec& doc : it->second)
            into.push_back(DocumentNode{std::move(doc), {}});
        from.erase(it);
        return true;
    };
    std::vector<std::vector<DocumentNode>*> pending;
    for (CategoryNode& c : tree)
        if (take(underCategory, c.record.CatagoryID, c.children)) pending.push_back(&c.children);
    while (!pending.empty()) {
        std::vector<DocumentNode>* nodes = pending.back();
        pending.pop_back();
        // The list is complete, so pointers to the children lists of its nodes stay valid.
        for (DocumentNode& node : *nodes)
            if (take(underDocument, node.record.RequirementID, node.children)) pending.push_back(&node.children);
    }
    return tree;
}

std::vector<CategoryNode> loadOutlineByNode(const Session& session, qint32 projectId)
{
    auto documents = [&](bool underCategory, qint32 parentId) {
        return rows<TReqRec>(session,
                             std::string("Select * from Requirements where (level ") + (underCategory ? "= 2" : "> 2") +
                                 ") and (ParentID = " + std::to_string(parentId) +
                                 ") order by requirementName, RequirementID",
                             documentOf);
    };
    std::vector<CategoryNode> tree;
    for (TProjRec& rec : categories(session, projectId))
        tree.push_back(CategoryNode{std::move(rec), {}});
    // Children lists still to fill from their nodes, without recursion.
    std::vector<std::vector<DocumentNode>*> pending;
    for (CategoryNode& c : tree) {
        for (TReqRec& doc : documents(true, c.record.CatagoryID))
            c.children.push_back(DocumentNode{std::move(doc), {}});
        pending.push_back(&c.children);
    }
    while (!pending.empty()) {
        std::vector<DocumentNode>* nodes = pending.back();
        pending.pop_back();
        for (DocumentNode& node : *nodes) {
            for (TReqRec& doc : documents(false, node.record.RequirementID))
                node.children.push_back(DocumentNode{std::move(doc), {}});
            pending.push_back(&node.children);
        }
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

qint32 insertDocument(const Session& session, int hash, qint32 level, qint32 parentId, const QString& topic,
                      const QString& userName)
{
    const double stamp = currentDateTime();
    // The values of the new row; the check after a lost answer looks for exactly these.
    auto bind = [&](TmySQLQuery& query) {
        query.ParamByName("ParentID").SetAsInteger(parentId);
        query.ParamByName("Level").SetAsInteger(level);
        query.ParamByName("RequirementName").SetAsString(bytesFromText(topic));
        query.ParamByName("Created").SetAsDateTime(stamp);
        query.ParamByName("Owner").SetAsString(bytesFromText(userName));
        query.ParamByName("hash").SetAsInteger(hash);
    };
    return insertChecked(
        [&] {
            auto query = session.newQuery();
            query->SetSQL(
                "insert into Requirements (hash,Level, ParentID, RequirementName, Created, Owner,modified,modifiedBy ) "
                "\r\nvalues (:hash,:Level, :ParentID, :RequirementName, :Created, :Owner,:Modified,:ModifiedBy)");
            bind(*query);
            query->ParamByName("Modified").SetAsDateTime(stamp);
            query->ParamByName("ModifiedBy").SetAsString(bytesFromText(userName));
            query->Execute();
            // The id the server generated for this very insert: a search by (topic, hash) could
            // find a row of another project that happens to share both.
            return static_cast<qint32>(query->InsertId());
        },
        [&]() -> std::optional<qint32> {
            // The answer was lost: the document is the one under this parent with this hash,
            // topic, owner and creation time.
            auto query = session.newQuery();
            query->SetSQL("select RequirementID from Requirements where hash = :hash and Level = :Level and "
                          "ParentID = :ParentID and RequirementName = :RequirementName and Created = :Created and "
                          "Owner = :Owner order by RequirementID desc limit 1");
            bind(*query);
            query->Open();
            std::optional<qint32> id;
            if (query->RecordCount() > 0) id = query->FieldByName("RequirementID").AsInteger();
            query->Close();
            return id;
        });
}

std::optional<TReqRec> document(const Session& session, qint32 requirementId)
{
    auto found = rows<TReqRec>(
        session, "Select * from Requirements where requirementID=" + std::to_string(requirementId), documentOf);
    if (found.empty()) return std::nullopt;
    return found.front();
}

namespace {

// The move itself, inside the caller's transaction: the rows read here stay locked until it ends.
MoveResult moveLocked(const Session& session, qint32 requirementId, qint32 level, qint32 parentId)
{
    auto query = session.newQuery();
    auto found = [&](const std::string& statement) {
        query->SetSQL(statement);
        query->Open();
        const bool any = query->RecordCount() > 0;
        return any;
    };
    if (!found("select RequirementID from Requirements where RequirementID = " + std::to_string(requirementId) +
               " for update"))
        return MoveResult::DocumentGone;
    if (level <= 2) {
        if (!found("select CatagoryID from Catagories where CatagoryID = " + std::to_string(parentId) + " for update"))
            return MoveResult::TargetGone;
    } else {
        // The target and its ancestors as they are now, up to the category. Each row is visited
        // once: parents that lead round in a circle end the walk, and the target is then in no
        // outline at all.
        std::unordered_set<qint32> visited;
        for (qint32 at = parentId;;) {
            if (at == requirementId) return MoveResult::BelowItself;
            if (!visited.insert(at).second) return MoveResult::TargetGone;
            if (!found("select ParentID, Level from Requirements where RequirementID = " + std::to_string(at) +
                       " for update"))
                return MoveResult::TargetGone;
            const qint32 parent = query->FieldByName("ParentID").AsInteger();
            const qint32 atLevel = query->FieldByName("Level").AsInteger();
            query->Close();
            if (atLevel <= 2) break;  // its parent is a category
            at = parent;
        }
    }
    query->Close();
    query->SetSQL("Update Requirements set level=" + std::to_string(level) + ", Parentid=" + std::to_string(parentId) +
                  " where requirementID=" + std::to_string(requirementId));
    query->Execute();
    return MoveResult::Moved;
}

}  // namespace

MoveResult moveDocument(const Session& session, qint32 requirementId, qint32 level, qint32 parentId)
{
    execute(session, "START TRANSACTION");
    MoveResult result;
    try {
        result = moveLocked(session, requirementId, level, parentId);
    } catch (...) {
        // The error that ended the move is the one to report, not one of the roll-back.
        try {
            execute(session, "ROLLBACK");
        } catch (...) {
        }
        throw;
    }
    execute(session, result == MoveResult::Moved ? "COMMIT" : "ROLLBACK");
    return result;
}

void deleteDocumentRows(const Session& session, qint32 requirementId)
{
    const std::string id = std::to_string(requirementId);
    auto query = session.newQuery();
    for (const char* statement :
         {"delete from Requirements where requirementID = ", "delete from Req_Objects where requirementID = ",
          "delete from Req_Messages where requirementID = ", "delete from msg_state where RequirementID = ",
          "delete from Attachments where requirementID = ", "delete from Req_revisions where RequirementID = ",
          "delete from search_body_text where RequirementID = "}) {
        query->SetSQL(statement + id);
        query->Execute();
    }
}

void deleteSubDocuments(const Session& session, Below kind, qint32 id)
{
    // Every document below, read in one walk on the server before anything is deleted: each
    // step looks up by parent the children of the documents the step before found, and the
    // statement lifts the server's limit of 1,000 steps for itself. A row comes with its one
    // parent, so UNION ends a walk whose parents lead round in a circle.
    auto walk = session.newQuery();
    walk->SetSQL("set statement max_recursive_iterations = 4294967295 for "
                 "with recursive below as (select RequirementID, ParentID, Level from Requirements where " +
                 std::string(kind == Below::Category ? "Level = 2" : "Level > 2") +
                 " and ParentID = " + std::to_string(id) +
                 " union select r.RequirementID, r.ParentID, r.Level from below b straight_join Requirements r "
                 "on r.Level > 2 and r.ParentID = b.RequirementID) select RequirementID, ParentID, Level from below");
    walk->Open();
    // Under a category the first step's rows are those of Level 2; their parent id is the
    // category's, which a document below may have as its own id too.
    std::vector<qint32> first;
    std::unordered_map<qint32, std::vector<qint32>> children;
    for (int i = 0, n = walk->RecordCount(); i < n; ++i, walk->Next()) {
        const qint32 child = walk->FieldByName("RequirementID").AsInteger();
        const bool top = kind == Below::Category && walk->FieldByName("Level").AsInteger() == 2;
        (top ? first : children[walk->FieldByName("ParentID").AsInteger()]).push_back(child);
    }
    walk->Close();
    if (kind == Below::Document) {
        if (auto it = children.find(id); it != children.end()) first = std::move(it->second);
    }

    // The levels from the top, counted here with a work list instead of recursion, since a
    // chain of documents may be as deep as the table is long. `seen` holds every document met,
    // so a document below itself is taken once and ends the walk.
    std::unordered_set<qint32> seen;
    if (kind == Below::Document) seen.insert(id);  // its own rows stay
    std::vector<std::vector<qint32>> levels;
    std::vector<qint32> found;
    for (qint32 child : first)
        if (seen.insert(child).second) found.push_back(child);
    while (!found.empty()) {
        std::vector<qint32> next;
        for (qint32 parent : found) {
            auto it = children.find(parent);
            if (it == children.end()) continue;
            for (qint32 child : it->second)
                if (seen.insert(child).second) next.push_back(child);
            children.erase(it);
        }
        levels.push_back(std::move(found));
        found = std::move(next);
    }

    // The deepest documents go first, a batch of ids per statement, so that a cascade stopped
    // by an error leaves no document whose parent row is gone.
    std::vector<qint32> order;
    for (auto level = levels.rbegin(); level != levels.rend(); ++level)
        order.insert(order.end(), level->begin(), level->end());
    auto query = session.newQuery();
    for (size_t from = 0; from < order.size(); from += kIdsPerStatement) {
        const std::string list = idList(order, from, std::min(order.size(), from + kIdsPerStatement));
        for (const char* statement :
             {"delete from Requirements where requirementID in (", "delete from Req_Objects where requirementID in (",
              "delete from Req_Messages where requirementID in (", "delete from msg_state where RequirementID in (",
              "delete from Attachments where requirementID in (",
              "delete from Req_revisions where RequirementID in (",
              "delete from search_body_text where RequirementID in ("}) {
            query->SetSQL(statement + list + ")");
            query->Execute();
        }
    }
}

qint32 addCategory(const Session& session, qint32 projectId, const QString& name)
{
    auto query = session.newQuery();
    query->SetSQL("Insert into Catagories (ProjectID,CatagoryName) Values (" + std::to_string(projectId) + "," +
                  sqlQuoted(name) + ")");
    query->Execute();
    return static_cast<qint32>(query->InsertId());
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
