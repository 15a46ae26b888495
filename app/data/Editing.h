#pragma once
// What recovering unsaved edits needs to know of a document: what its text is based on (its
// last save), and the project it belongs to, found by walking up the outline.

#include <QString>

#include <optional>

namespace vt::app {
class Session;
}

namespace vt::app::data::editing {

// The document's last save as text ("revision N, stored yyyy-mm-dd hh:nn:ss by NAME"); empty
// when there is no such document. Edits based on one text are recognised as stale when it
// changed, and their save is conditional on the revision it names.
QString basedOn(const Session& session, qint32 requirementId);
// The same text for a document row already read.
QString basedOnText(qint32 revision, const QString& stored, const QString& storedBy);
// The revision a based-on text names; 0 when it names none.
qint32 revisionOf(const QString& basedOn);

struct Place {
    qint32 projectId = 0;
    QString projectName;
};
// The project of the document: up through the parent documents to the category (Level 2) and
// its project. Nothing when a link is missing, the chain loops, or it is deeper than the
// deepest outline could be.
std::optional<Place> placeOf(const Session& session, qint32 requirementId);

}  // namespace vt::app::data::editing
