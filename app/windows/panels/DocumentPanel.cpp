#include "windows/panels/DocumentPanel.h"

#include "ErrorDisplay.h"
#include "data/ActivityLog.h"
#include "data/Documents.h"
#include "data/Outline.h"
#include "data/Editing.h"
#include "data/FieldLimits.h"
#include "data/Projects.h"
#include "data/Revisions.h"
#include "data/Search.h"
#include "platform/Platform.h"
#include "session/RecoveryJournal.h"
#include "session/Rights.h"
#include "session/Session.h"
#include "ui/FindBar.h"
#include "ui/Icons.h"
#include "ui/Ui.h"
#include "windows/panels/AttachmentsPage.h"
#include "windows/panels/DiscussionPage.h"
#include "windows/panels/HistoryPage.h"
#include "windows/panels/EditingLine.h"

#include "richtext/DocPrint.h"
#include "richtext/RichEditor.h"
#include "richtext/Ruler.h"

#include "db/TmySQLDatabase.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QSaveFile>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <stdexcept>

namespace vt::app {

using ui::menuItem;
using ui::named;

namespace {
constexpr int kJournalIntervalMs = 3000;

// The owner selector: its entries are read again just before its list opens, so a choice is
// made from the members as they are now, while selecting a document costs no extra read.
class OwnerCombo : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> beforePopup;
    void showPopup() override
    {
        if (beforePopup) beforePopup();
        QComboBox::showPopup();
    }
};

QStringList upperCased(QStringList names)
{
    for (QString& n : names)
        n = n.toUpper();
    return names;
}
}  // namespace

DocumentPanel::DocumentPanel(Session& session, QWidget* parent) : QFrame(parent), m_session(session)
{
    setObjectName(QStringLiteral("Pan_Req_Panel"));
    auto* column = ui::tight(new QVBoxLayout(this));
    m_pageSplitter = named(new QSplitter(Qt::Vertical, this), "Splitter2");
    column->addWidget(m_pageSplitter);

    Pan_tabContent = named(new QFrame(m_pageSplitter), "Pan_tabContent");
    Tab_Control = named(new QTabWidget(Pan_tabContent), "Tab_Control");
    Tab_Details = named(new QWidget, "Tab_Details");
    m_discussion = new DiscussionPage(m_session);
    m_attachments = new AttachmentsPage(m_session);
    Tab_Control->addTab(Tab_Details, ui::imageList(ui::kSelectedDocument), QStringLiteral("Details"));
    Tab_Control->addTab(m_discussion, ui::imageList(ui::kDiscussion), QStringLiteral("Discussion"));
    Tab_Control->addTab(m_attachments, ui::imageList(ui::kAttachments), QStringLiteral("Attachments"));
    m_history = new HistoryPage(m_session);
    Tab_Control->addTab(m_history, ui::imageList(ui::kDocument), QStringLiteral("History"));
    (new QVBoxLayout(Pan_tabContent))->addWidget(Tab_Control);

    // Details
    auto* details = new QGridLayout(Tab_Details);
    Edit_RequireMentName = ui::lineEdit(Tab_Details, "Edit_RequireMentName");
    ui::limitLength(Edit_RequireMentName, data::limits::kDocumentTopic);
    auto* ownerCombo = new OwnerCombo(Tab_Details);
    ownerCombo->beforePopup = [this] {
        if (!Combo_Owner->isEnabled()) return;
        m_membersProject = -1;
        guarded([&] { fillOwnerList(Combo_Owner->currentText()); });
    };
    Combo_Owner = named(static_cast<QComboBox*>(ownerCombo), "Combo_Owner");
    Combo_Owner->setEditable(true);
    Combo_Owner->setInsertPolicy(QComboBox::NoInsert);
    Combo_Owner->setEditText(QStringLiteral("Select...."));
    Combo_Owner->setEnabled(false);
    Edit_Version = ui::lineEdit(Tab_Details, "Edit_Version");
    Edit_Version->setText(QStringLiteral("1.0"));
    Combo_STATUS = named(new QComboBox(Tab_Details), "Combo_STATUS");
    Combo_STATUS->setEditable(true);
    Combo_STATUS->addItems({QStringLiteral("Submitted"), QStringLiteral("In Progress"), QStringLiteral("Completed"),
                            QStringLiteral("Closed")});
    Combo_Priority = named(new QComboBox(Tab_Details), "Combo_Priority");
    Combo_Priority->setEditable(true);
    Combo_Priority->addItems({QStringLiteral("Unassigned"), QStringLiteral("Very Critical"), QStringLiteral("Critical"),
                              QStringLiteral("Not Critical")});
    details->addWidget(new QLabel(QStringLiteral("Document Topic:"), Tab_Details), 0, 0);
    details->addWidget(Edit_RequireMentName, 0, 1);
    details->addWidget(new QLabel(QStringLiteral("Owner:"), Tab_Details), 1, 0);
    details->addWidget(Combo_Owner, 1, 1);
    // Shown nowhere and never stored: they only carry the row's values.
    const std::pair<const char*, QWidget*> hidden[] = {
        {"Version:", Edit_Version}, {"Status:", Combo_STATUS}, {"Priority:", Combo_Priority}};
    for (const auto& [caption, field] : hidden) {
        auto* label = new QLabel(QString::fromLatin1(caption), Tab_Details);
        label->hide();
        field->hide();
        field->setEnabled(false);
    }
    Memo2 = named(new QPlainTextEdit(Tab_Details), "Memo2");
    Memo2->setPlainText(QStringList{
        QStringLiteral("Use this panel to provide a Topic Name to your project Document."),
        QStringLiteral("Documents are ordered in Numerical/Alphabetical order in the main Project Tree."),
        QStringLiteral("Use numeric document Prefixes to arrange order. (ex. 1.0, 1.1, 1.1.2 etc)"), QString(),
        QStringLiteral("The creator of the document becomes the initial owner. "),
        QStringLiteral("Document owners are notified when new messages are posted in the discussion forums."),
        QString(), QStringLiteral("Only the current owner can reassign the Document to a new owner."),
        QStringLiteral("Only the current owner of a document can delete the document from the project.")}
                            .join(QLatin1Char('\n')));
    Memo2->setReadOnly(true);
    Memo2->setFrameShape(QFrame::NoFrame);
    details->addWidget(Memo2, 2, 0, 1, 2);
    details->setRowStretch(2, 1);

    auto* editorArea = new QWidget(m_pageSplitter);
    auto* editorColumn = ui::tight(new QVBoxLayout(editorArea));
    m_editingLine = new EditingLine(editorArea);
    editorColumn->addWidget(m_editingLine);
    Ruler1 = named(new vt::rt::Ruler(editorArea), "Ruler1");
    editorColumn->addWidget(Ruler1);
    RichEdit1 = named(new vt::rt::RichEditor(editorArea), "RichEdit1");
    m_findBar = new ui::FindBar(RichEdit1, editorArea);
    editorColumn->addWidget(m_findBar);
    RichEdit1->setContextMenuPolicy(Qt::CustomContextMenu);
    // Bodies carry absolute colours (black text unless styled otherwise), made for paper: the
    // editor shows them on white paper under any desktop theme, as a printed page would.
    QPalette paper = RichEdit1->palette();
    paper.setColor(QPalette::Base, Qt::white);
    paper.setColor(QPalette::Text, Qt::black);
    RichEdit1->setPalette(paper);
    Ruler1->setEditor(RichEdit1);
    // Bodies that refer to picture-list entries get the shared image list.
    RichEdit1->setPictureListRequest([] {
        QList<QImage> images;
        for (int i = 0; i < ui::kImageCount; ++i)
            images << ui::imageList(i).pixmap(16, 16).toImage();
        return images;
    });
    editorColumn->addWidget(RichEdit1, 1);
    m_pageSplitter->addWidget(Pan_tabContent);
    m_pageSplitter->addWidget(editorArea);

    PopupMenu2 = named(new QMenu(this), "PopupMenu2");
    const std::pair<QAction*, int> formatItems[] = {
        {menuItem(PopupMenu2, "Bold1", QStringLiteral("Bold")), 1},
        {menuItem(PopupMenu2, "Italic1", QStringLiteral("Italic")), 2},
        {menuItem(PopupMenu2, "Underline1", QStringLiteral("Underline")), 3}};
    for (const auto& [item, code] : formatItems)
        connect(item, &QAction::triggered, this, [this, code = code] { emit formatCommand(code); });
    PopupMenu2->addSeparator();
    const std::pair<QAction*, int> listItems[] = {
        {menuItem(PopupMenu2, "BulletedList1", QStringLiteral("Bulleted List")), 1},
        {menuItem(PopupMenu2, "NumberedList1", QStringLiteral("Numbered List")), 2}};
    for (const auto& [item, code] : listItems)
        connect(item, &QAction::triggered, this, [this, code = code] { emit listCommand(code); });
    RichEdit1->installEventFilter(this);

    DocPrint1 = new vt::rt::DocPrint(this);
    DocPrint1->setObjectName(QStringLiteral("DocPrint1"));
    using Step = vt::rt::DocPrint::Step;
    connect(DocPrint1, &vt::rt::DocPrint::formatting, this, [this](Step step, int page) {
        emit progressText(step == Step::Start      ? QStringLiteral("Repaginating...")
                          : step == Step::PageDone ? QStringLiteral("Repaginating (%1)").arg(page)
                                                   : QString());
    });
    connect(DocPrint1, &vt::rt::DocPrint::sendingToPrinter, this, [this](Step step, int page) {
        emit progressText(step == Step::Start      ? QStringLiteral("Starting...")
                          : step == Step::PageDone ? QStringLiteral("Printing (%1)").arg(page)
                                                   : QString());
    });
    connect(RichEdit1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu2->popup(RichEdit1->viewport()->mapToGlobal(pos)); });

    connect(Edit_RequireMentName, &QLineEdit::textChanged, this, &DocumentPanel::topicChanged);
    connect(Edit_RequireMentName, &QLineEdit::textEdited, this, &DocumentPanel::tellUnsavedChanges);
    connect(RichEdit1, &vt::rt::RichEditor::modifiedChanged, this, &DocumentPanel::tellUnsavedChanges);
    connect(Combo_Owner, &QComboBox::textActivated, this,
            [this](const QString& chosen) { guarded([&] { Combo_OwnerChange(chosen); }); });
    // Who is editing follows the modified state; the journal follows every change of the text.
    connect(RichEdit1, &vt::rt::RichEditor::modifiedChanged, this, [this] { guarded([this] { followEditing(); }); });
    connect(RichEdit1, &QTextEdit::textChanged, this, [this] { m_journalDirty = true; });
    connect(Edit_RequireMentName, &QLineEdit::textEdited, this, [this] {
        m_journalDirty = true;
        guarded([this] { followEditing(); });
    });
    m_journalTimer = named(new QTimer(this), "RecoveryTimer");
    m_journalTimer->setInterval(kJournalIntervalMs);
    onEvent(m_journalTimer, &QTimer::timeout, this, [this] { writeRecoveryJournal(); });
    m_journalTimer->start();

    onEvent(Tab_Control, &QTabWidget::currentChanged, this, [this] {
        if (Tab_Control->currentWidget() == Tab_Details) Tab_DetailsShow();
        if (Tab_Control->currentWidget() == m_attachments) m_attachments->AttachmentsShow();
        if (Tab_Control->currentWidget() == m_history) m_history->showHistory(m_documentId);
        if (Tab_Control->currentWidget() == m_discussion && m_session.CurrentDocumentID != 0)
            m_discussion->But_Disc_RefreshClick();
    });
    m_history->setCurrentText([this] { return RichEdit1->toPlainText(); });
    connect(m_history, &HistoryPage::restoreRequested, this,
            [this](qint32 revision) { guarded([&] { restoreRevision(revision); }); });
}

void DocumentPanel::resetPageAreaHeight(int pageAreaHeight)
{
    // A hidden panel has no height yet: the split is made when it is shown.
    m_pageAreaHeight = pageAreaHeight;
    m_resizePending = !isVisible();
    m_pageSplitter->setSizes({m_pageAreaHeight, std::max(1, height() - m_pageAreaHeight)});
    Pan_tabContent->resize(Pan_tabContent->width(), m_pageAreaHeight);
}

void DocumentPanel::showEvent(QShowEvent* event)
{
    QFrame::showEvent(event);
    if (m_resizePending) resetPageAreaHeight(m_pageAreaHeight);
}

bool DocumentPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == RichEdit1 && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods =
            key->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
        if (mods == Qt::ControlModifier && (key->key() == Qt::Key_B || key->key() == Qt::Key_U)) {
            emit formatCommand(key->key() == Qt::Key_B ? 1 : 3);
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

int DocumentPanel::PreparePrint(QPrinter& printer)
{
    HourglassCursor wait;
    DocPrint1->setEditor(RichEdit1);
    return DocPrint1->formatPages(printer);
}

void DocumentPanel::Print1Click()
{
    if (RichEdit1->itemCount() == 0) {
        platform().showMessage(QStringLiteral("Nothing to Print"));
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    const int pages = PreparePrint(printer);
    if (!platform().printPagesDialog(printer, 1, pages)) return;
    int from = 0;
    int to = 0;
    switch (printer.printRange()) {
    case QPrinter::Selection: return;  // a selection range prints nothing
    case QPrinter::PageRange:
        from = printer.fromPage();
        to = printer.toPage();
        break;
    default: break;
    }
    if (!DocPrint1->print(printer, Edit_RequireMentName->text(), from, to, printer.copyCount(),
                          printer.collateCopies()))
        platform().showMessage(QStringLiteral("Nothing was printed: the printer could not be opened or the pages are "
                                              "out of range."));
}

void DocumentPanel::ShowDocument(qint32 requirementId)
{
    HourglassCursor wait;
    m_discussion->clearMessage();
    m_session.CurrentDocumentID = requirementId;
    // A document whose row is gone keeps no id: nothing is stored for it.
    m_documentId = 0;
    QString owner = Combo_Owner->currentText();
    if (const auto row = data::documents::details(m_session, requirementId)) {
        m_documentId = requirementId;
        m_loaded = *row;
        m_storedOwner = row->Owner;
        Edit_RequireMentName->setText(row->RequirementName);
        Edit_Version->setText(row->Version);
        Combo_STATUS->setEditText(row->Status);
        Combo_Priority->setEditText(row->Priority);
        owner = row->Owner;
        const QSignalBlocker quiet(Combo_Owner);
        Combo_Owner->setEditText(owner);
    }
    Edit_RequireMentName->setModified(false);
    showBody();
    RichEdit1->setModified(false);
    tellUnsavedChanges();
    applyOwnerRule(owner);
    // The discussion is read when its page is shown: selecting a document costs its row and
    // its body only. A hidden page is emptied so that it never shows another document's
    // messages.
    if (Tab_Control->currentWidget() == m_discussion)
        m_discussion->But_Disc_RefreshClick();
    else
        m_discussion->clear();
    m_basedOn = m_documentId > 0 ? data::editing::basedOnText(m_loaded.Revision, m_loaded.Modified, m_loaded.ModifiedBy)
                                 : QString();
    std::vector<data::presence::OnlineUser> editors;
    if (m_documentId > 0)
        for (const auto& [name, since] : m_loaded.Editors)
            editors.push_back({name, m_documentId, since});
    m_editingLine->showEditors(editors, m_documentId, m_session.CurrentUser);
    guarded([this] { followEditing(); });
}

void DocumentPanel::showActivePage()
{
    // The discussion page was read by ShowDocument when it is the one shown.
    if (Tab_Control->currentWidget() == m_attachments) m_attachments->AttachmentsShow();
    if (Tab_Control->currentWidget() == m_history) m_history->showHistory(m_documentId);
}

bool DocumentPanel::showDiscussionMessage(qint32 msgId)
{
    Tab_Control->setCurrentWidget(m_discussion);
    return m_discussion->selectMessage(msgId);
}

void DocumentPanel::showAttachmentsPage()
{
    // Turning to the page loads its list; when it is the page already, ShowDocument did.
    Tab_Control->setCurrentWidget(m_attachments);
}

void DocumentPanel::showMissing(const QString& message)
{
    RichEdit1->clear();
    RichEdit1->appendParagraph(message);
    RichEdit1->format();
    RichEdit1->setEnabled(false);
}

void DocumentPanel::showBody()
{
    const qint32 id = m_session.CurrentDocumentID;
    if (m_session.StoreDocumentsAsFiles) {
        const QString path = data::documents::bodyFilePath(m_session.DocumentsFolder, id);
        if (!QFileInfo::exists(path)) {
            showMissing(QStringLiteral("Document not found in shared folder:") + path);
            return;
        }
        RichEdit1->setEnabled(true);
        RichEdit1->clear();
        RichEdit1->loadFromFile(path);
    } else {
        const std::optional<QByteArray> stored = data::documents::storedBody(m_session, id);
        if (!stored) {
            showMissing(QStringLiteral("Document Not found in Central Database"));
            return;
        }
        RichEdit1->setEnabled(true);
        RichEdit1->clear();
        RichEdit1->loadFromBytes(*stored);
    }
    RichEdit1->format();
    RichEdit1->notifyCurrentStyles();
}

void DocumentPanel::applyOwnerRule(const QString& owner)
{
    const bool isOwner = rights::isDocumentOwner(m_session.CurrentUser, owner);
    Combo_Owner->setEnabled(isOwner);
    Edit_RequireMentName->setEnabled(isOwner);
    if (!isOwner) return;
    fillOwnerList(owner);
}

void DocumentPanel::fillOwnerList(const QString& owner)
{
    const QSignalBlocker quiet(Combo_Owner);
    // The entries are this project's members only, never those left from another project;
    // they are read once per project and again before the list opens.
    if (m_membersProject != m_session.CurrentProjectID) {
        const QStringList members = data::projects::memberNames(m_session, m_session.CurrentProjectID);
        Combo_Owner->clear();
        Combo_Owner->addItems(upperCased(members));
        m_membersProject = m_session.CurrentProjectID;
    }
    Combo_Owner->setCurrentIndex(-1);
    Combo_Owner->setEditText(owner);
}

bool DocumentPanel::SaveDocument()
{
    HourglassCursor wait;
    if (m_documentId <= 0) return true;
    const bool topicModified = Edit_RequireMentName->isModified();
    const bool bodyModified = RichEdit1->isModified();
    if (!topicModified && !bodyModified) return true;
    for (;;) {
        const data::documents::SaveResult result = storeRevision(topicModified, bodyModified);
        if (result.outcome == data::documents::SaveOutcome::Saved) {
            stored(result.revision, topicModified);
            return true;
        }
        if (result.outcome == data::documents::SaveOutcome::Gone) return resolveDeleted();
        const QString by = result.storedBy.isEmpty() ? QStringLiteral("Another user") : ui::isolated(result.storedBy);
        const int choice = platform().askChoice(
            QStringLiteral("Document changed by another user"),
            by + QStringLiteral(" stored this document since you opened it.\n"
                                "Keep both: your text is stored as the newest version; theirs stays in the "
                                "history and is compared with yours.\n"
                                "Discard mine: show the stored version.\n"
                                "Cancel: stay here with your text, not stored."),
            {QStringLiteral("Keep both"), QStringLiteral("Discard mine"), QStringLiteral("Cancel")});
        if (choice == 1) {
            ShowDocument(m_documentId);
            return true;
        }
        if (choice != 0) return false;
        // Keep both: the edits go on top of the version stored now; a topic the user did not
        // change stays as the other user stored it.
        const auto current = data::documents::details(m_session, m_documentId);
        if (!current) return resolveDeleted();
        const qint32 theirs = current->Revision;
        m_loaded = *current;
        if (!topicModified) {
            // Quietly: during a selection change the outline's selected node is already another.
            const QSignalBlocker quiet(Edit_RequireMentName);
            Edit_RequireMentName->setText(current->RequirementName);
            Edit_RequireMentName->setModified(false);
        }
        const data::documents::SaveResult retry = storeRevision(topicModified, bodyModified);
        if (retry.outcome == data::documents::SaveOutcome::Saved) {
            stored(retry.revision, topicModified);
            showRevision(theirs);
            return true;
        }
        // Yet another save came in between: ask again about that one.
        if (retry.outcome == data::documents::SaveOutcome::Gone) return resolveDeleted();
    }
}

data::documents::SaveResult DocumentPanel::storeRevision(bool topicModified, bool bodyModified)
{
    data::documents::Change change;
    if (topicModified) change.topic = Edit_RequireMentName->text();
    if (m_session.StoreDocumentsAsFiles) {
        // The revision keeps the file's bytes as they are until the new body replaces them.
        change.replacedFile = data::documents::bodyFilePath(m_session.DocumentsFolder, m_documentId);
        if (bodyModified)
            change.writeBodyFile = [this, path = change.replacedFile] {
                // The new body replaces the file only once it is written whole: a folder that
                // fails midway keeps the previous body (and the transaction is rolled back).
                QSaveFile file(path);
                if (!file.open(QIODevice::WriteOnly))
                    throw std::runtime_error("Cannot create file " + file.fileName().toStdString() + ": " +
                                             file.errorString().toStdString());
                RichEdit1->saveToStream(file);
                if (!file.commit())
                    throw std::runtime_error("Cannot write file " + file.fileName().toStdString() + ": " +
                                             file.errorString().toStdString());
            };
    } else if (bodyModified) {
        const QString path = m_session.tempFilePath(QStringLiteral("prmOut.rvf"));
        QFile::remove(path);
        RichEdit1->saveToFile(path);
        change.bodyFile = path;
    }
    // The body's plain text is stored with it, in the same transaction, for the search.
    if (bodyModified) change.plainText = QString::fromStdString(RichEdit1->toModel().plainText());
    return data::documents::saveRevision(m_session, m_documentId, m_loaded, change, m_session.CurrentUser,
                                         m_session.CurrentProjectID, m_session.CurrentCatagoryID);
}

void DocumentPanel::stored(qint32 revision, bool topicModified)
{
    m_loaded.Revision = revision;
    if (topicModified) m_loaded.RequirementName = Edit_RequireMentName->text();
    // The stamp as the server wrote it goes into the revision this one becomes.
    if (const auto row = data::documents::details(m_session, m_documentId)) {
        if (row->Revision == revision) m_loaded = *row;
    }
    Edit_RequireMentName->setModified(false);
    RichEdit1->setModified(false);
    // Edits that follow are based on this save; the editing mark and the journal go.
    m_basedOn = data::editing::basedOnText(m_loaded.Revision, m_loaded.Modified, m_loaded.ModifiedBy);
    guarded([this] { followEditing(); });
    tellUnsavedChanges();
    if (Tab_Control->currentWidget() == m_history) m_history->showHistory(m_documentId);
}

void DocumentPanel::showRevision(qint32 revision)
{
    Tab_Control->setCurrentWidget(m_history);
    m_history->showHistory(m_documentId);
    m_history->selectRevision(revision);
}

bool DocumentPanel::resolveDeleted()
{
    const QString by = data::activitylog::deletedBy(m_session, m_documentId);
    const QString text = (by.isEmpty() ? QStringLiteral("This document has been deleted by another user.")
                                       : QStringLiteral("This document has been deleted by ") + ui::isolated(by) +
                                             QLatin1Char('.')) +
                         QStringLiteral("\nStore your text as a new document in the same place, or discard it?");
    const int choice = platform().askChoice(
        QStringLiteral("Document deleted by another user"), text,
        {QStringLiteral("Store as new document"), QStringLiteral("Discard mine"), QStringLiteral("Cancel")});
    if (choice == 0) return storeAsNewDocument();
    if (choice != 1) return false;
    clear();
    return true;
}

bool DocumentPanel::storeAsNewDocument()
{
    const bool placeExists = m_loaded.Level == 2 ? data::outline::category(m_session, m_loaded.ParentID).has_value()
                                                 : data::outline::document(m_session, m_loaded.ParentID).has_value();
    if (!placeExists) {
        platform().showMessage(QStringLiteral("The place of this document has been deleted as well; your text is "
                                              "kept and was not stored."));
        return false;
    }
    const qint32 id =
        data::outline::insertDocument(m_session, data::outline::drawHash(), m_loaded.Level, m_loaded.ParentID,
                                      Edit_RequireMentName->text(), m_session.CurrentUser);
    if (id <= 0) throw std::runtime_error("The new document's id was not reported by the server.");
    if (m_session.StoreDocumentsAsFiles) {
        RichEdit1->saveToFile(data::documents::bodyFilePath(m_session.DocumentsFolder, id));
    } else {
        const QString path = m_session.tempFilePath(QStringLiteral("prmOut.rvf"));
        QFile::remove(path);
        RichEdit1->saveToFile(path);
        data::documents::insertBodyFromFile(m_session, id, path);
    }
    // The panel goes on with the new document, which is its user's own.
    m_documentId = id;
    m_session.CurrentDocumentID = id;
    if (const auto row = data::documents::details(m_session, id)) {
        m_loaded = *row;
        m_storedOwner = row->Owner;
    }
    Edit_RequireMentName->setModified(false);
    RichEdit1->setModified(false);
    applyOwnerRule(m_storedOwner);
    emit documentAdded(id);
    return true;
}

void DocumentPanel::restoreRevision(qint32 revision)
{
    if (m_documentId <= 0) return;
    // Edits made since the document was loaded are stored first, so that history keeps them.
    if (!SaveDocument() || m_documentId <= 0) return;
    const auto version = data::revisions::version(m_session, m_documentId, revision);
    if (!version || !version->hasBody) {
        platform().showMessage(QStringLiteral("This version is no longer stored."));
        return;
    }
    RichEdit1->setEnabled(true);
    RichEdit1->clear();
    RichEdit1->loadFromBytes(version->Document);
    RichEdit1->format();
    RichEdit1->setModified(true);
    // The topic is the owner's to change (as in the Details page).
    if (rights::isDocumentOwner(m_session.CurrentUser, m_storedOwner) &&
        version->RequirementName != Edit_RequireMentName->text()) {
        Edit_RequireMentName->setText(version->RequirementName);
        Edit_RequireMentName->setModified(true);
    }
    if (SaveDocument()) m_history->showHistory(m_documentId);
}

void DocumentPanel::storeNewBody(qint32 requirementId, vt::rt::RichEditor& dialogEditor)
{
    data::search::BodyTextSave withText(m_session, requirementId,
                                        QString::fromStdString(dialogEditor.toModel().plainText()));
    if (m_session.StoreDocumentsAsFiles)
        dialogEditor.saveToFile(data::documents::bodyFilePath(m_session.DocumentsFolder, requirementId));
    else
        data::documents::insertBodyFromFile(m_session, requirementId,
                                            m_session.tempFilePath(QStringLiteral("TempReq.rvf")));
    withText.commit();
}

void DocumentPanel::exportRtf(const QString& path)
{
    // An export is no save: the edit still goes to the database with the next save.
    RichEdit1->saveRtfToFile(path);
}

void DocumentPanel::Tab_DetailsShow()
{
    Combo_Owner->setEnabled(rights::isDocumentOwner(m_session.CurrentUser, Combo_Owner->currentText()));
}

void DocumentPanel::Combo_OwnerChange(const QString& chosen)
{
    // Only an entry is a choice; text typed into the selector is not stored, nor the owner the
    // document has already.
    if (m_documentId <= 0 || Combo_Owner->findText(chosen, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0 ||
        chosen == m_storedOwner)
        return;
    data::documents::setOwner(m_session, m_documentId, chosen);
    m_storedOwner = chosen;
}

QString DocumentPanel::ownerText() const { return Combo_Owner->currentText(); }

QString DocumentPanel::topicText() const { return Edit_RequireMentName->text(); }

void DocumentPanel::clear()
{
    m_documentId = 0;
    m_loaded = {};
    m_storedOwner.clear();
    m_membersProject = -1;
    const QSignalBlocker quiet(Combo_Owner);
    Edit_RequireMentName->clear();
    Edit_RequireMentName->setModified(false);
    Combo_Owner->clear();
    Combo_Owner->setEditText(QStringLiteral("Select...."));
    Combo_Owner->setEnabled(false);
    RichEdit1->clear();
    RichEdit1->setModified(false);
    RichEdit1->setEnabled(true);
    m_discussion->clear();
    m_attachments->clear();
    m_history->clear();
    m_editingLine->clearEditors();
    m_basedOn.clear();
    guarded([this] { followEditing(); });
    tellUnsavedChanges();
}

bool DocumentPanel::hasUnsavedChanges() const
{
    return m_documentId > 0 && (Edit_RequireMentName->isModified() || RichEdit1->isModified());
}

void DocumentPanel::tellUnsavedChanges()
{
    const bool unsaved = hasUnsavedChanges();
    if (unsaved == m_toldUnsaved) return;
    m_toldUnsaved = unsaved;
    emit unsavedChangesChanged(unsaved);
}

void DocumentPanel::openFind()
{
    if (isVisible()) m_findBar->open();
}

bool DocumentPanel::exportPdf(const QString& path)
{
    if (RichEdit1->itemCount() == 0) {
        platform().showMessage(QStringLiteral("Nothing to Export"));
        return false;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setDocName(Edit_RequireMentName->text());
    PreparePrint(printer);
    if (!DocPrint1->print(printer, Edit_RequireMentName->text(), 0, 0, 1, false))
        throw std::runtime_error("Cannot write file " + path.toStdString());
    return true;
}

qint32 DocumentPanel::editingDocument() const
{
    if (m_documentId <= 0 || !(Edit_RequireMentName->isModified() || RichEdit1->isModified())) return 0;
    return m_documentId;
}

void DocumentPanel::showEditors(const std::vector<data::presence::OnlineUser>& online)
{
    m_editingLine->showEditors(online, m_documentId, m_session.CurrentUser);
}

void DocumentPanel::followEditing()
{
    const qint32 editing = editingDocument();
    if (editing == 0) removeJournal();
    if (editing == m_markedDocument) return;
    const QString user = editing > 0 ? m_session.CurrentUser : m_markedUser;
    // Noted first: a failing statement is repaired by the next presence stamp.
    m_markedDocument = editing;
    m_markedUser = user;
    if (!user.isEmpty()) data::presence::setEditing(m_session, user, editing);
}

void DocumentPanel::removeJournal()
{
    if (m_journalPath.isEmpty()) return;
    QFile::remove(m_journalPath);
    m_journalPath.clear();
}

void DocumentPanel::writeRecoveryJournal()
{
    const qint32 editing = editingDocument();
    if (editing == 0 || !m_session.isLoggedIn()) return;
    const QString path = recovery::journalPath(platform().userDataFolder(), m_session);
    if (path.isEmpty() || (!m_journalDirty && path == m_journalPath)) return;
    recovery::Entry entry;
    entry.documentId = editing;
    entry.written = QDateTime::currentDateTimeUtc();
    entry.user = m_session.CurrentUser;
    entry.database = QString::fromStdString(m_session.connection().DatabaseName());
    entry.topic = Edit_RequireMentName->text();
    entry.basedOn = m_basedOn;
    entry.body = RichEdit1->saveToBytes();
    if (!recovery::write(path, entry)) {
        // Reported once: the edits themselves are still in the editor.
        if (!m_journalFailureShown)
            platform().showMessage(QStringLiteral("Unsaved edits cannot be kept for recovery in ") + path);
        m_journalFailureShown = true;
        return;
    }
    m_journalPath = path;
    m_journalDirty = false;
}

bool DocumentPanel::recoverEdits(const recovery::Entry& entry, const QString& journalPath)
{
    if (m_documentId != entry.documentId || !RichEdit1->isEnabled()) return false;
    RichEdit1->clear();
    RichEdit1->loadFromBytes(entry.body);
    RichEdit1->format();
    RichEdit1->notifyCurrentStyles();
    // Only the owner may rename: anyone else's recovered topic is the one they saw.
    if (Edit_RequireMentName->isEnabled() && entry.topic != Edit_RequireMentName->text()) {
        Edit_RequireMentName->setText(entry.topic);
        Edit_RequireMentName->setModified(true);
    }
    m_basedOn = entry.basedOn;
    // The save is conditional on the revision the edits began from: a document saved by
    // someone else since is caught as a conflict, not overwritten.
    if (const qint32 revision = data::editing::revisionOf(entry.basedOn); revision > 0) m_loaded.Revision = revision;
    m_journalPath = journalPath;
    m_journalDirty = true;
    RichEdit1->setModified(true);
    followEditing();
    return true;
}

}  // namespace vt::app
