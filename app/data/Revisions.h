#pragma once
// The revision history of documents: every save keeps the version it replaced in
// Req_revisions (see documents::saveRevision); this module lists and reads them back.

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace vt::app {
class Session;
}

namespace vt::app::data::revisions {

// One kept version, as the history lists it (no body).
struct Entry {
    qint32 Revision = 0;
    QString Saved;    // when that version was stored, as the server prints it
    QString SavedBy;  // who stored it
    QString RequirementName;
    qint32 Size = 0;  // of its body, in bytes
    bool operator==(const Entry&) const = default;
};

// The kept versions of a document, newest first. Reads no bodies.
std::vector<Entry> history(const Session& session, qint32 requirementId);

// One kept version with its body; none when there is no such revision. hasBody is false for a
// version that had no stored body.
struct Version {
    QString RequirementName;
    QByteArray Document;
    bool hasBody = false;
};
std::optional<Version> version(const Session& session, qint32 requirementId, qint32 revision);

}  // namespace vt::app::data::revisions
