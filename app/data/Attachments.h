#pragma once
// Attachments of a document: web links and file paths, added, listed and deleted, and the rule
// by which a stored reference may be handed to the desktop.

#include <QString>

#include <vector>

namespace vt::app {
class Session;
}

namespace vt::app::data::attachments {

// The kinds stored in Filetype; values above 1 are never written but may be read.
enum Kind { WebLink = 0, File = 1 };

struct Attachment {
    qint32 AttachID = 0;
    QString Link;
    QString Description;
    QString Created;  // the date part, in the short date form
    QString Owner;
    qint32 FileType = 0;
};
// The references of a document, in the order the server returns them.
std::vector<Attachment> list(const Session& session, qint32 documentId);

// The reference as it is stored for kind: file paths get "/" for every "\".
QString storedReference(int kind, const QString& reference);
// Inserts a reference of the document (owner, kind and the server's time).
void insert(const Session& session, qint32 documentId, int kind, const QString& reference, const QString& description,
            const QString& owner);
// Sets or clears the document's attachments flag.
void setFlag(const Session& session, qint32 documentId, bool hasAttachments);
void remove(const Session& session, qint32 attachId);

// Today's date in the short date form (the date column of a row added since the list loaded).
QString today();

// What the desktop may open for a stored reference: web links (http, https, ftp with a host;
// mailto without files to attach) are passed whole; anything else must name an existing file that is no program and no
// launcher. References are typed by any user and opened on every other user's machine, so
// other schemes (javascript:, data:, custom handlers) are refused.
struct OpenCheck {
    QString target;   // what to hand the desktop; empty when refused
    QString refusal;  // the message shown instead
};
OpenCheck checkReference(const QString& reference);

}  // namespace vt::app::data::attachments
