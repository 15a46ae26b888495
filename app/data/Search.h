#pragma once
// Search: the plain text stored beside each body, and the search over topics, bodies,
// discussion messages and attachments of the projects a user may open.

#include "data/SearchTerms.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vt::app {
class Session;
}

namespace vt::app::data::search {

// Stores the plain text of a document's body (with its Chinese and Japanese pairs) in one
// statement, replacing the one stored before. Called with every body save, in its
// transaction, so that the text is searchable when the body is committed. Text beyond
// kMaxStoredText bytes is not stored.
void storeText(const Session& session, qint32 requirementId, const QString& plainText);
// The statement storeText runs, to travel with others. With onlyInTransaction it changes
// nothing unless a transaction is open (see documents::saveRevision).
std::string storeTextStatement(qint32 requirementId, const QString& plainText, bool onlyInTransaction = false);
inline constexpr qsizetype kMaxStoredText = 4'000'000;
// A body save with its text, in one transaction: begun when made; commit() stores the text
// and commits. Left without commit() (an exception on the way), it rolls back, so neither the
// body row nor the text is changed (a body file already written stays).
class BodyTextSave {
public:
    BodyTextSave(const Session& session, qint32 requirementId, QString plainText);
    ~BodyTextSave();
    BodyTextSave(const BodyTextSave&) = delete;
    BodyTextSave& operator=(const BodyTextSave&) = delete;
    void commit();

private:
    const Session& m_session;
    qint32 m_requirementId;
    QString m_text;
    bool m_open = false;
};
// Removes the stored text of a document (with the document's other rows).
void deleteText(const Session& session, qint32 requirementId);

// The server's smallest indexed word (innodb_ft_min_token_size).
int minTokenSize(const Session& session);

enum class HitKind { Topic = 1, Body = 2, Message = 3, Attachment = 4 };
struct Hit {
    HitKind kind = HitKind::Topic;
    qint32 projectId = 0;
    QString projectName;
    qint32 requirementId = 0;
    qint32 itemId = 0;  // msgID of a message, AttachID of an attachment
    QString topic;      // the document's topic
    QString title;      // topic, message subject or attachment reference
    QStringList path;   // the category and the documents above this one, from the top
    QString snippet;    // plain text around the first match
    QString date;       // modified, posted or added, as text
};
// The hits of terms, at most perKind of each kind, best first. Only projects the user is a
// member of are searched (every project when everyProject is set); the statement decides it.
std::vector<Hit> find(const Session& session, const QList<SearchTerm>& terms, int minTokenSize, const QString& userName,
                      bool everyProject, int perKind = 50);

// The one-time fill of texts for bodies stored before search existed: every document with a
// body and no stored text gets one, read from Req_objects or from the shared documents folder
// (storeAsFiles). progress(done, total) is called after each batch. A run that stopped is
// resumed by the next: only documents still without text are read. Bodies that cannot be read
// are counted and skipped.
struct FillResult {
    int filled = 0;
    int unreadable = 0;
};
FillResult fillMissingTexts(const Session& session, bool storeAsFiles, const QString& documentsFolder,
                            const std::function<void(int done, int total)>& progress = {});

// The plain text of a stored body, as the search stores it; nothing when it cannot be read.
std::optional<QString> plainTextOfBody(const QByteArray& body);

}  // namespace vt::app::data::search
