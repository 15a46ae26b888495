#include "data/Report.h"

#include "session/Session.h"

#include "db/TField.h"
#include "db/TmySQLQuery.h"

#include <algorithm>
#include <string>
#include <utility>

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

BodyBatches::BodyBatches(const Session& session, std::vector<qint32> documentIds, size_t batchSize)
    : m_session(session), m_ids(std::move(documentIds)), m_batchSize(std::max<size_t>(batchSize, 1))
{
}

std::optional<QByteArray> BodyBatches::take(qint32 documentId)
{
    if (m_batchIds.count(documentId) == 0) {
        const auto it = std::find(m_ids.begin() + static_cast<std::ptrdiff_t>(m_end), m_ids.end(), documentId);
        if (it == m_ids.end()) return std::nullopt;
        load(static_cast<size_t>(it - m_ids.begin()));
    }
    m_batchIds.erase(documentId);
    const auto found = m_bodies.find(documentId);
    if (found == m_bodies.end()) return std::nullopt;
    QByteArray bytes = std::move(found->second);
    m_bodies.erase(found);
    return bytes;
}

void BodyBatches::load(size_t from)
{
    m_bodies.clear();
    m_batchIds.clear();
    m_end = std::min(from + m_batchSize, m_ids.size());
    std::string list;
    for (size_t i = from; i < m_end; ++i) {
        if (!list.empty()) list += ',';
        list += std::to_string(m_ids[i]);
        m_batchIds.insert(m_ids[i]);
    }
    auto query = m_session.newQuery();
    // Ordered by the row id: a document with several body rows gets its first one.
    query->SetSQL("select RequirementID, Document from req_objects where RequirementID in (" + list +
                  ") order by ObjectID");
    query->Open();
    for (; !query->Eof(); query->Next()) {
        const auto id = static_cast<qint32>(query->FieldByName("RequirementID").AsInteger());
        if (m_bodies.count(id) != 0) continue;
        // Bytes as the server sent them: a body is no text and takes no code page.
        const std::string raw = query->FieldByName("Document").AsString();
        m_bodies.emplace(id, QByteArray(raw.data(), static_cast<qsizetype>(raw.size())));
    }
    query->Close();
}

}  // namespace vt::app::data::report
