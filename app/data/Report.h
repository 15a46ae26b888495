#pragma once
// What the HTML project report reads besides the outline: which of the project's documents
// have a body row, asked once for the whole project.

#include <QtGlobal>

#include <unordered_set>
#include <vector>

namespace vt::app {
class Session;
}

namespace vt::app::data::report {

// The ids among documentIds that have a body row in Req_objects, with one statement; none
// (and no statement) for an empty list.
std::unordered_set<qint32> documentsWithBody(const Session& session, const std::vector<qint32>& documentIds);

}  // namespace vt::app::data::report
