#pragma once
// The outline of a project: its categories and the tree of documents under them, and the
// statements of outline editing (creating, moving and deleting documents and categories).

#include <QString>

#include <optional>

namespace vt::app {
class Session;
}

namespace vt::app::data::outline {

// The id of a just-inserted document, found again by its topic and the hash drawn for it;
// nothing when no row matches.
std::optional<qint32> findDocumentId(const Session& session, const QString& topic, int hash);

} // namespace vt::app::data::outline
