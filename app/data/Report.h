#pragma once
// What the HTML project report reads besides the outline: which of the project's documents
// have a body row, asked once for the whole project, and the bodies a batch at a time.

#include <QByteArray>
#include <QtGlobal>

#include <cstddef>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace vt::app {
class Session;
}

namespace vt::app::data::report {

// The ids among documentIds that have a body row in Req_objects, with one statement; none
// (and no statement) for an empty list.
std::unordered_set<qint32> documentsWithBody(const Session& session, const std::vector<qint32>& documentIds);

// The stored bodies of a list of documents, read with one statement per batch of ids instead
// of one per document, so only one batch of bodies is held at a time. Bodies are taken in the
// order of the list.
class BodyBatches {
public:
    static constexpr size_t DefaultBatchSize = 50;
    BodyBatches(const Session& session, std::vector<qint32> documentIds, size_t batchSize = DefaultBatchSize);
    // The body of a document of the list (its first body row, as a single read gives it), or
    // none when it has no body row or is not in the list. Reads the batch that starts with it
    // when it is not in the current one.
    std::optional<QByteArray> take(qint32 documentId);

private:
    void load(size_t from);

    const Session& m_session;
    std::vector<qint32> m_ids;
    size_t m_batchSize;
    size_t m_end = 0;                       // ids before this index were read
    std::unordered_set<qint32> m_batchIds;  // ids of the current batch not yet taken
    std::unordered_map<qint32, QByteArray> m_bodies;
};

}  // namespace vt::app::data::report
