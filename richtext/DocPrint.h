#pragma once
// The print object: bound to an editor, it lays the editor's document out into pages of the
// printer's paper within given margins (20 mm by default) and prints all pages or a range,
// with a job title, copies and collation. Progress arrives through two signals, one for
// laying out and one for sending to the printer, each with a step (start, a page done with
// its number, end).

#include <QMarginsF>
#include <QObject>
#include <QPointer>
#include <QSizeF>
#include <QString>

#include <memory>

class QPrinter;
class QTextDocument;

namespace vt::rt {

class RichEditor;

class DocPrint : public QObject {
    Q_OBJECT
public:
    enum class Step { Start, PageDone, End };
    Q_ENUM(Step)

    explicit DocPrint(QObject* parent = nullptr);
    ~DocPrint() override;

    // Binds the print object to an editor; the layout of an earlier editor is dropped.
    void setEditor(RichEditor* editor);
    RichEditor* editor() const { return m_editor; }

    // Margins on every side of the page, millimetres.
    void setMargins(const QMarginsF& millimetres) { m_margins = millimetres; }
    QMarginsF margins() const { return m_margins; }

    // Lays the bound editor's document out into pages of the printer's paper (a copy of the
    // document: the editor is not changed). Emits formatting(). Returns the page count.
    int formatPages(QPrinter& printer);
    // Pages of the last layout (0 before the first).
    int pageCount() const { return m_pageCount; }

    // Prints pages fromPage..toPage (1-based; 0, 0 for all pages) under the job title, with
    // copies and collation (the printer makes the copies when it can, otherwise they are sent
    // one by one). Lays out first when formatPages() has not been called for this printer's
    // paper and margins. Emits sendingToPrinter(). Returns false when nothing could be printed (an empty
    // range, a printer that cannot be opened).
    bool print(QPrinter& printer, const QString& title, int fromPage = 0, int toPage = 0, int copies = 1,
               bool collate = true);

signals:
    void formatting(vt::rt::DocPrint::Step step, int pageNo);
    void sendingToPrinter(vt::rt::DocPrint::Step step, int pageNo);

private:
    QSizeF pageSizeFor(QPrinter& printer) const;  // the text area of a page, engine units

    QPointer<RichEditor> m_editor;  // forgets an editor that is destroyed
    QMarginsF m_margins{20, 20, 20, 20};
    std::unique_ptr<QTextDocument> m_doc;
    QSizeF m_pageSize;
    int m_pageCount = 0;
};

}  // namespace vt::rt
