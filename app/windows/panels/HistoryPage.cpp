#include "windows/panels/HistoryPage.h"

#include "ErrorDisplay.h"
#include "data/Revisions.h"
#include "platform/Platform.h"
#include "ui/Ui.h"
#include "windows/panels/WordDiff.h"

#include "richtext/RichEditor.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vt::app {

using ui::named;

HistoryPage::HistoryPage(Session& session, QWidget* parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("Tab_History"));
    auto* column = new QVBoxLayout(this);
    auto* split = new QSplitter(Qt::Horizontal, this);
    column->addWidget(split, 1);

    m_list = named(new QTreeWidget(split), "HistoryList");
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({QStringLiteral("Revision"), QStringLiteral("Date"), QStringLiteral("User"),
                             QStringLiteral("Size"), QStringLiteral("Topic")});
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);

    auto* shown = new QSplitter(Qt::Vertical, split);
    m_view = named(new vt::rt::RichEditor(shown), "HistoryView");
    m_view->setReadOnly(true);
    m_comparison = named(new QTextBrowser(shown), "HistoryComparison");
    m_comparison->setOpenLinks(false);

    auto* row = new QHBoxLayout;
    m_note = named(new QLabel(this), "HistoryNote");
    m_restore = named(new QPushButton(QStringLiteral("Restore this version"), this), "HistoryRestore");
    m_restore->setEnabled(false);
    row->addWidget(m_note, 1);
    row->addWidget(m_restore);
    column->addLayout(row);

    onEvent(m_list, &QTreeWidget::itemSelectionChanged, this, [this] { showSelected(); });
    onEvent(m_restore, &QPushButton::clicked, this, [this] {
        if (const qint32 revision = selectedRevision()) emit restoreRequested(revision);
    });
}

void HistoryPage::showHistory(qint32 requirementId)
{
    HourglassCursor wait;
    m_documentId = requirementId;
    {
        const QSignalBlocker quiet(m_list);
        m_list->clear();
    }
    showSelected();
    if (requirementId <= 0) return;
    QList<QTreeWidgetItem*> items;
    for (const data::revisions::Entry& e : data::revisions::history(m_session, requirementId)) {
        // Names and topics are shown as plain text.
        auto* item = new QTreeWidgetItem(
            QStringList{QString::number(e.Revision), e.Saved, e.SavedBy, QString::number(e.Size), e.RequirementName});
        item->setData(0, Qt::UserRole, e.Revision);
        item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
        items << item;
    }
    const QSignalBlocker quiet(m_list);
    m_list->addTopLevelItems(items);
}

bool HistoryPage::selectRevision(qint32 revision)
{
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        if (m_list->topLevelItem(i)->data(0, Qt::UserRole).toInt() == revision) {
            m_list->setCurrentItem(m_list->topLevelItem(i));
            return true;
        }
    return false;
}

qint32 HistoryPage::selectedRevision() const
{
    const QList<QTreeWidgetItem*> chosen = m_list->selectedItems();
    return chosen.isEmpty() ? 0 : chosen.front()->data(0, Qt::UserRole).toInt();
}

void HistoryPage::showSelected()
{
    m_view->clear();
    m_comparison->clear();
    m_note->clear();
    const qint32 revision = selectedRevision();
    m_restore->setEnabled(false);
    if (revision <= 0 || m_documentId <= 0) return;
    const auto version = data::revisions::version(m_session, m_documentId, revision);
    if (!version) {
        m_note->setText(QStringLiteral("This version is no longer stored."));
        return;
    }
    if (version->hasBody) m_view->loadFromBytes(version->Document);
    m_view->format();
    const worddiff::Result diff = worddiff::compare(m_view->toPlainText(), m_currentText ? m_currentText() : QString());
    m_comparison->setHtml(worddiff::toHtml(diff));
    m_note->setText(diff.coarse
                        ? QStringLiteral("Revision %1 compared with the current text, line by line.").arg(revision)
                        : QStringLiteral("Revision %1 compared with the current text.").arg(revision));
    m_restore->setEnabled(version->hasBody);
}

void HistoryPage::clear()
{
    m_documentId = 0;
    {
        const QSignalBlocker quiet(m_list);
        m_list->clear();
    }
    showSelected();
}

}  // namespace vt::app
