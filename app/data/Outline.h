#pragma once
// The outline of a project: its categories and the tree of documents under them, and the
// statements of outline editing (creating, moving and deleting documents and categories).
//
// Documents of Level 2 hang under the category whose CatagoryID is their ParentID; documents
// of a Level above 2 hang under the document whose RequirementID is their ParentID. Siblings
// are ordered by name as the server compares text, ties by id.

#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace vt::app {
class Session;
}

namespace vt::app::data::outline {

// A category row (the data of a category node).
struct TProjRec {
    qint32 ProjectID = 0;
    qint32 CatagoryID = 0;
    QString CatagoryName;
    QString Description;
    bool operator==(const TProjRec&) const = default;
};

// A document row as the outline keeps it (the data of a document node).
struct TReqRec {
    qint32 ParentID = 0;
    qint32 RequirementID = 0;
    QString RequirementName;
    double Version = 0;
    QString Owner;
    QString Created;  // the date-time as text
    QString Status;
    QString Priority;
    qint32 Messages = 0;
    qint32 Attachments = 0;
    bool operator==(const TReqRec&) const = default;
};

// The state picture of a document node: 0 none, 1 messages, 2 attachments, 3 both.
int stateIndex(const TReqRec& document);

// A document with its subtree. Destroying and comparing work through a list instead of
// recursion, so that a chain as deep as the table is long fits the stack; copying a deep
// subtree is not offered for the same reason.
struct DocumentNode {
    TReqRec record;
    std::vector<DocumentNode> children;

    DocumentNode() = default;
    DocumentNode(TReqRec document, std::vector<DocumentNode> below)
        : record(std::move(document)), children(std::move(below))
    {
    }
    DocumentNode(DocumentNode&&) noexcept = default;
    DocumentNode& operator=(DocumentNode&&) noexcept = default;
    DocumentNode(const DocumentNode&) = delete;
    DocumentNode& operator=(const DocumentNode&) = delete;
    ~DocumentNode();
    bool operator==(const DocumentNode& other) const;
};

struct CategoryNode {
    TProjRec record;
    std::vector<DocumentNode> children;
    bool operator==(const CategoryNode&) const = default;
};

// The categories of a project in order, each with its documents at every depth. Loaded with
// two statements whatever the depth: the categories, then every document of the outline,
// walked down on the server from the categories (one statement for a project without any).
std::vector<CategoryNode> loadOutline(const Session& session, qint32 projectId);

// The same tree loaded node by node: one statement for the categories, then one per category
// and one per document. Kept as the reference the load above is compared against.
std::vector<CategoryNode> loadOutlineByNode(const Session& session, qint32 projectId);

// One category's row; nothing when there is no such category.
std::optional<TProjRec> category(const Session& session, qint32 catagoryId);

// Stores a category's name / description.
void renameCategory(const Session& session, qint32 catagoryId, const QString& name);
void describeCategory(const Session& session, qint32 catagoryId, const QString& description);

// The id of a just-inserted document, found again by its topic and the hash drawn for it;
// nothing when no row matches.
std::optional<qint32> findDocumentId(const Session& session, const QString& topic, int hash);

// A pseudo-random hash from 0 to 99999 for a new row.
int drawHash();
// Inserts a document row: created and modified now, owned and modified by userName. Returns
// the RequirementID the server generated for it (0 when the server reported none).
qint32 insertDocument(const Session& session, int hash, qint32 level, qint32 parentId, const QString& topic,
                      const QString& userName);
// One document's row as the outline keeps it; nothing when there is no such document.
std::optional<TReqRec> document(const Session& session, qint32 requirementId);
// How a move ended.
enum class MoveResult {
    Moved,
    DocumentGone,  // the document no longer exists
    TargetGone,    // the new parent no longer exists, or hangs in no outline
    BelowItself,   // the new parent is the document or lies below it
};
// Moves a document under a category (level 2) or a document (level above 2): only its own row
// changes, its descendants keep theirs. In one transaction the document's row, and the new
// parent with each of its ancestors as they are now, are read and locked; the move is made only
// when the document is none of them, so that moves by two users on stale outlines never put a
// document below itself. Rolled back on any error.
MoveResult moveDocument(const Session& session, qint32 requirementId, qint32 level, qint32 parentId);

// Which documents DeleteSubDocuments looks below: those of Level 2 under a category, or
// those above Level 2 under a document.
enum class Below { Category = 1, Document = 2 };
// Deletes every document below the category or document at any depth, each with its body,
// messages, read states, attachments and revisions: the subtree is read level by level first, then deleted
// deepest level first, a batch of ids per statement. The row of `id` itself stays.
void deleteSubDocuments(const Session& session, Below kind, qint32 id);
// Deletes one document's rows from the six tables that hold them.
void deleteDocumentRows(const Session& session, qint32 requirementId);

// Adds a category to the project; the new CatagoryID.
qint32 addCategory(const Session& session, qint32 projectId, const QString& name);
// Deletes a category: its row first, then every document below it.
void deleteCategory(const Session& session, qint32 catagoryId);
// The ids of the project's categories, in the order the server returns them.
std::vector<qint32> categoryIds(const Session& session, qint32 projectId);

}  // namespace vt::app::data::outline
