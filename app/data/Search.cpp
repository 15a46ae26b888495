#include "data/Search.h"

#include "data/Documents.h"
#include "data/SqlText.h"
#include "session/Session.h"

#include "db/TField.h"
#include "db/TmySQLQuery.h"

#include "richtext/RvfFormat.h"

#include <QFile>

#include <map>
#include <string>

namespace vt::app::data::search {

namespace {

// The first bytes of text up to limit, cut at a character boundary.
QString capped(const QString& text)
{
    if (text.size() * 3 <= kMaxStoredText) return text;  // no UTF-8 form can be longer
    const QByteArray utf8 = text.toUtf8();
    if (utf8.size() <= kMaxStoredText) return text;
    qsizetype end = kMaxStoredText;
    while (end > 0 && (quint8(utf8.at(end)) & 0xC0) == 0x80)
        --end;
    return QString::fromUtf8(utf8.constData(), end);
}

// " and <condition on columns>" for one kind: the MATCH (when the terms have index words) and
// a LIKE on any of the columns for each term the index cannot find.
struct KindSql {
    std::string where;
    std::string score;
};
KindSql kindSql(const TermConditions& c, const std::string& matchColumns, const std::vector<std::string>& likeColumns)
{
    KindSql sql;
    if (!c.boolean.isEmpty()) {
        sql.score = "MATCH(" + matchColumns + ") AGAINST (" + sqlQuoted(c.boolean) + " IN BOOLEAN MODE)";
        sql.where = " and " + sql.score;
    } else {
        sql.score = "0";
    }
    for (const QString& like : c.likes) {
        const std::string pattern = sqlQuoted(likeAnywhere(like));
        std::string any;
        for (const std::string& column : likeColumns)
            any += (any.empty() ? "" : " or ") + column + " like " + pattern;
        sql.where += " and (" + any + ")";
    }
    return sql;
}

// One kind's best rows. select names RequirementID, ItemID, Topic, Title and Stamp. A snippet
// cut from a long text (snippetFrom: "<table> s on s.<key> = x.<key>", snippet an expression over
// s) is cut for the kept rows only, after the sort: a word in every document would otherwise
// have it cut from every matching text, to be thrown away with all but the first rows.
std::string branch(int kind, const std::string& select, const std::string& snippet, const std::string& from,
                   const KindSql& sql, int limit, const std::string& snippetFrom = {})
{
    const std::string best = "select " + std::to_string(kind) + " as Kind, d.ProjectID, " + select + ", " +
                             (snippetFrom.empty() ? snippet + " as Snippet, " : std::string()) + sql.score +
                             " as Score from " + from + " where 1" + sql.where +
                             " order by Score desc, Stamp desc limit " + std::to_string(limit);
    if (snippetFrom.empty()) return "(" + best + ")";
    return "(select x.Kind, x.ProjectID, x.RequirementID, x.ItemID, x.Topic, x.Title, x.Stamp, " + snippet +
           " as Snippet, x.Score from (" + best + ") x join " + snippetFrom + ")";
}

// The documents above a hit that its path names at most: a deeper document's path begins
// with an ellipsis instead of its category.
constexpr int kMaxPathDocuments = 32;

// The path of each hit's document: its category and the documents above it, walked up from
// the hits' documents only (one statement).
void addPaths(const Session& session, std::vector<Hit>& hits)
{
    if (hits.empty()) return;
    std::string ids;
    for (const Hit& hit : hits)
        ids += (ids.empty() ? "" : ",") + std::to_string(hit.requirementId);
    auto query = session.newQuery();
    query->SetSQL(
        "with recursive up (Start, Level, ParentID, Name, Depth) as ("
        "select RequirementID, Level, ParentID, RequirementName, 0 from Requirements where RequirementID in (" +
        ids +
        ") union all select u.Start, r.Level, r.ParentID, r.RequirementName, u.Depth + 1 from up u "
        "straight_join Requirements r on u.Level > 2 and r.RequirementID = u.ParentID and u.Depth < " +
        std::to_string(kMaxPathDocuments) +
        ") select u.Start, u.Depth, u.Level, u.Name, c.CatagoryName from up u left join Catagories c on u.Level <= 2 "
        "and c.CatagoryID = u.ParentID order by u.Start, u.Depth desc");
    query->Open();
    std::map<qint32, QStringList> paths;
    for (int i = 0, n = query->RecordCount(); i < n; ++i) {
        const qint32 start = query->FieldByName("Start").AsInteger();
        // The deepest row is the top document: its category first, then each document below
        // it down to the hit's parent. A walk cut short starts at a document with a parent.
        const auto [at, first] = paths.try_emplace(start);
        QStringList& path = at->second;
        if (first)
            path << (query->FieldByName("Level").AsInteger() > 2 ? QStringLiteral("\u2026") : textOf(*query, "CatagoryName"));
        if (query->FieldByName("Depth").AsInteger() > 0) path << textOf(*query, "Name");
        query->Next();
    }
    query->Close();
    for (Hit& hit : hits)
        hit.path = paths[hit.requirementId];
}

}  // namespace

std::string storeTextStatement(qint32 requirementId, const QString& plainText, bool onlyInTransaction)
{
    const QString text = capped(plainText);
    const QString pairs = capped(cjkPairs(text));
    const std::string row = std::to_string(requirementId) + "," + sqlQuoted(text) + "," + sqlQuoted(pairs);
    return "insert into search_body_text (RequirementID, BodyText, BodyPairs) " +
           (onlyInTransaction ? "select " + row + " from dual where @@in_transaction = 1" : "values (" + row + ")") +
           " on duplicate key update BodyText = values(BodyText), BodyPairs = values(BodyPairs)";
}

void storeText(const Session& session, qint32 requirementId, const QString& plainText)
{
    auto query = session.newQuery();
    query->SetSQL(storeTextStatement(requirementId, plainText));
    query->Execute();
}

namespace {
void execute(const Session& session, const char* statement)
{
    auto query = session.newQuery();
    query->SetSQL(statement);
    query->Execute();
}
}  // namespace

BodyTextSave::BodyTextSave(const Session& session, qint32 requirementId, QString plainText)
    : m_session(session), m_requirementId(requirementId), m_text(std::move(plainText))
{
    execute(m_session, "START TRANSACTION");
    m_open = true;
}

BodyTextSave::~BodyTextSave()
{
    if (!m_open) return;
    // The error that ended the save is the one to report, not one of the roll-back.
    try {
        execute(m_session, "ROLLBACK");
    } catch (...) {
    }
}

void BodyTextSave::commit()
{
    storeText(m_session, m_requirementId, m_text);
    execute(m_session, "COMMIT");
    m_open = false;
}

void deleteText(const Session& session, qint32 requirementId)
{
    auto query = session.newQuery();
    query->SetSQL("delete from search_body_text where RequirementID = " + std::to_string(requirementId));
    query->Execute();
}

int minTokenSize(const Session& session)
{
    auto query = session.newQuery();
    query->SetSQL("select @@innodb_ft_min_token_size as TokenSize");
    query->Open();
    const int size = query->RecordCount() > 0 ? query->FieldByName("TokenSize").AsInteger() : 3;
    query->Close();
    return size > 0 ? size : 3;
}

std::vector<Hit> find(const Session& session, const QList<SearchTerm>& terms, int tokenSize, const QString& userName,
                      bool everyProject, int perKind)
{
    std::vector<Hit> hits;
    const TermConditions plain = termConditions(terms, tokenSize, false);
    const TermConditions body = termConditions(terms, tokenSize, true);
    if (plain.empty() && body.empty()) return hits;

    // The documents of the projects the user may open, each with its project, walked down
    // from the categories, one level per step. Each step starts from the documents the last
    // one found and looks their children up by parent: left to itself the server may read
    // every document at every step, so a chain 1,000 deep took 20 s. The server also stops a
    // walk after 1,000 steps by default and says nothing, which left deeper documents unfound;
    // this walk ends by itself (a document has one parent, so no chain from a category leads
    // round in a circle), and the statement lifts the limit for itself.
    const std::string projects =
        everyProject
            ? std::string()
            : " where c.ProjectID in (select ProjectID from ProjectMembers where UserName = " + sqlQuoted(userName) +
                  ")";
    const std::string docs = "set statement max_recursive_iterations = 4294967295 for "
                             "with recursive docs (RequirementID, ProjectID) as ("
                             "select r.RequirementID, c.ProjectID from Requirements r "
                             "join Catagories c on r.Level = 2 and r.ParentID = c.CatagoryID" +
                             projects +
                             " union all select r.RequirementID, d.ProjectID "
                             "from docs d straight_join Requirements r on r.Level > 2 and r.ParentID = d.RequirementID) ";
    const std::string anchor = sqlQuoted(anchorWord(terms));
    auto around = [&](const std::string& column) {
        // A short text, not a long one: the union of the kinds then stays in memory.
        return "cast(substring(" + column + ", greatest(1, locate(" + anchor + ", " + column +
               ") - 60), 220) as char(220))";
    };
    const std::string doc = " join docs d on d.RequirementID = r.RequirementID";
    // Every branch gives the same columns in the same order, the union's.
    const std::string sql =
        docs + "select u.*, p.ProjectName from (" +
        branch(1,
               "r.RequirementID, 0 as ItemID, r.RequirementName as Topic, r.RequirementName as Title, "
               "r.modified as Stamp",
               "r.RequirementName", "Requirements r" + doc,
               kindSql(plain, "r.RequirementName", {"r.RequirementName"}), perKind) +
        " union all " +
        branch(2,
               "r.RequirementID, 0 as ItemID, r.RequirementName as Topic, r.RequirementName as Title, "
               "r.modified as Stamp",
               around("s.BodyText"), "search_body_text t join Requirements r on r.RequirementID = t.RequirementID" + doc,
               kindSql(body, "t.BodyText, t.BodyPairs", {"t.BodyText"}), perKind,
               "search_body_text s on s.RequirementID = x.RequirementID") +
        " union all " +
        branch(3,
               "m.RequirementID, m.msgID as ItemID, r.RequirementName as Topic, m.Subject as Title, "
               "m.created as Stamp",
               around("s.msg"), "Req_messages m join Requirements r on r.RequirementID = m.RequirementID" + doc,
               kindSql(plain, "m.Subject, m.msg", {"m.Subject", "m.msg"}), perKind,
               "Req_messages s on s.msgID = x.ItemID") +
        " union all " +
        branch(4,
               "a.RequirementID, a.AttachID as ItemID, r.RequirementName as Topic, a.Link as Title, "
               "a.Created as Stamp",
               "a.Description", "Attachments a join Requirements r on r.RequirementID = a.RequirementID" + doc,
               kindSql(plain, "a.Link, a.Description", {"a.Link", "a.Description"}), perKind) +
        ") u join Projects p on p.ProjectID = u.ProjectID order by u.Kind, u.Score desc, u.Stamp desc";

    auto query = session.newQuery();
    query->SetSQL(sql);
    query->Open();
    const int count = query->RecordCount();
    hits.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        Hit hit;
        hit.kind = HitKind(query->FieldByName("Kind").AsInteger());
        hit.projectId = query->FieldByName("ProjectID").AsInteger();
        hit.projectName = textOf(*query, "ProjectName");
        hit.requirementId = query->FieldByName("RequirementID").AsInteger();
        hit.itemId = query->FieldByName("ItemID").AsInteger();
        hit.topic = textOf(*query, "Topic");
        hit.title = textOf(*query, "Title");
        hit.snippet = textOf(*query, "Snippet").simplified();
        hit.date = textOf(*query, "Stamp");
        hits.push_back(std::move(hit));
        query->Next();
    }
    query->Close();
    addPaths(session, hits);
    return hits;
}

std::optional<QString> plainTextOfBody(const QByteArray& body)
{
    vt::rt::DocModel model;
    if (!vt::rt::readRvf(std::string_view(body.constData(), std::size_t(body.size())), model)) return std::nullopt;
    return QString::fromStdString(model.plainText());
}

FillResult fillMissingTexts(const Session& session, bool storeAsFiles, const QString& documentsFolder,
                            const std::function<void(int, int)>& progress)
{
    constexpr int kBatch = 200;
    FillResult result;
    // Documents with a body and without text: body rows in the database, every document in
    // files mode (those without a file are passed over).
    const std::string missing = storeAsFiles ? "from Requirements o left join search_body_text t on t.RequirementID = "
                                               "o.RequirementID where t.RequirementID is null"
                                             : "from Req_objects o left join search_body_text t on t.RequirementID = "
                                               "o.RequirementID where t.RequirementID is null";
    auto query = session.newQuery();
    query->SetSQL("select count(*) as Missing " + missing);
    query->Open();
    const int total = query->FieldByName("Missing").AsInteger();
    query->Close();
    if (progress) progress(0, total);

    int done = 0;
    qint32 last = 0;
    for (;;) {
        query->SetSQL("select o.RequirementID" + std::string(storeAsFiles ? "" : ", o.Document") + " " + missing +
                      " and o.RequirementID > " + std::to_string(last) + " order by o.RequirementID limit " +
                      std::to_string(kBatch));
        query->Open();
        const int rows = query->RecordCount();
        std::vector<std::pair<qint32, QByteArray>> bodies;
        bodies.reserve(std::size_t(rows));
        for (int i = 0; i < rows; ++i) {
            const qint32 id = query->FieldByName("RequirementID").AsInteger();
            QByteArray bytes;
            if (!storeAsFiles) {
                const std::string raw = query->FieldByName("Document").AsString();
                bytes = QByteArray(raw.data(), qsizetype(raw.size()));
            }
            bodies.emplace_back(id, std::move(bytes));
            query->Next();
        }
        query->Close();
        if (bodies.empty()) break;
        // One commit per batch, not per text; a batch that fails leaves nothing half done.
        execute(session, "START TRANSACTION");
        try {
            for (auto& [id, bytes] : bodies) {
                last = std::max(last, id);
                ++done;
                if (storeAsFiles) {
                    QFile file(documents::bodyFilePath(documentsFolder, id));
                    if (!file.exists()) continue;
                    if (!file.open(QIODevice::ReadOnly)) {
                        ++result.unreadable;
                        continue;
                    }
                    bytes = file.readAll();
                }
                const std::optional<QString> text = plainTextOfBody(bytes);
                if (!text) {
                    ++result.unreadable;
                    continue;
                }
                storeText(session, id, *text);
                ++result.filled;
            }
        } catch (...) {
            try {
                execute(session, "ROLLBACK");
            } catch (...) {
            }
            throw;
        }
        execute(session, "COMMIT");
        if (progress) progress(done, total);
    }
    return result;
}

}  // namespace vt::app::data::search
