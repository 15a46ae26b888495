#pragma once
// The rich-text editor: a QTextEdit whose document follows the numbered style sheet.
// Layout, editing, caret, selection, undo, clipboard and input methods are Qt's. This class
// adds the sheet (every run has one text-style number, every paragraph one paragraph-style
// number; formatting that arrives by paste, drop or program is folded into the sheet), the
// native format, the RTF and HTML writers, style conversions, the modified flag and the page
// layout of a fixed text width between margins.
//
// Errors (unreadable or damaged files, files that cannot be written) are thrown as
// RichTextError.

#include "richtext/DocModel.h"
#include "richtext/DocStyles.h"
#include "richtext/RichTextError.h"

#include <QImage>
#include <QList>
#include <QTextEdit>

#include <functional>
#include <optional>

class QIODevice;

namespace vt::rt {

// The most of one document the editor shows; a document beyond any of these is refused with
// DocumentTooLarge. No real document comes near them; they keep a hostile body's memory bounded.
struct DocumentLimits {
    std::size_t paragraphs = 200'000;  // table cells count as paragraphs
    std::size_t items = 1'000'000;     // text runs, links and pictures
    // Qt lays a paragraph out in a time that grows with the square of its runs.
    std::size_t itemsPerParagraph = 1'000;
    qint64 pixels = 64'000'000;  // of all pictures the document shows, decoded
};

class RichEditor : public QTextEdit {
    Q_OBJECT
public:
    explicit RichEditor(QWidget* parent = nullptr);
    ~RichEditor() override;

    // ---- the style sheet ----
    const DocStyles& styles() const { return m_styles; }
    DocStyles& styles() { return m_styles; }
    // Replaces the sheet and clears the document (the document's numbers refer to the sheet).
    void setStyles(const DocStyles& styles);

    // ---- content ----
    // Empties the document: one empty paragraph in paragraph style 0 with text style 0; the
    // sheet is kept. Not a user edit. (Hides QTextEdit::clear(), which knows no styles.)
    void clear();
    // Load the native format; throw RichTextError on failure (DocumentTooLarge beyond the
    // limits), leaving the editor empty and unmodified (see lastLoadFailed()). The document's own
    // sheet, layout, background and properties replace the editor's. Pictures no item shows are
    // not decoded.
    void loadFromFile(const QString& path);
    void loadFromBytes(const QByteArray& bytes);
    void loadFromStream(QIODevice& in);  // reads from the current position to the end
    // Save the native format. Refused (RichTextError) after a failed load until the user edits.
    void saveToFile(const QString& path);
    QByteArray saveToBytes();
    void saveToStream(QIODevice& out);
    // Save as RTF (font and colour tables, every style's formatting, lists, tables, pictures,
    // links as fields; non-ASCII text as \u escapes with a windows-1252 fallback).
    void saveRtfToFile(const QString& path);
    QByteArray toRtf();
    // A complete HTML document (html, head with title and style sheet, body) written at the
    // current position of `out`; pictures go to files pictureFolder + prefix + <hash> + .png/.jpg
    // (pictureFolder is used as given, so it ends with a separator). classPrefix: see
    // vt::rt::writeHtml, for documents that share one page.
    void writeHtml(QIODevice& out, const QString& pictureFolder, const QString& title = {},
                   const QString& picturePrefix = QStringLiteral("vt_"), const QString& classPrefix = {});
    // Brings the view up to date after loading or adding content (Qt lays the document out
    // incrementally, the visible part first).
    void format();
    // Appends a paragraph of plain text in the given styles. Not a user edit.
    void appendParagraph(const QString& text, int textStyle = 0, int paraStyle = 0);
    // Whether the last load failed (cleared by a successful load, clear() or a user edit).
    bool lastLoadFailed() const { return m_loadFailed; }
    const DocumentLimits& documentLimits() const { return m_limits; }
    void setDocumentLimits(const DocumentLimits& limits) { m_limits = limits; }

    // The document as plain values (normalising it first) and back.
    DocModel toModel();
    void setModel(const DocModel& model);

    // ---- state ----
    // Set by user edits only (typing, paste, drop, undo, conversions); cleared by the program.
    bool isModified() const { return m_modified; }
    void setModified(bool modified);
    // Text items, pictures and picture-list entries; 0 for an empty document.
    int itemCount();

    // ---- caret styles ----
    int currentTextStyle() const;
    int currentParaStyle() const;
    // Emits both change signals for the caret's current styles (after loading).
    void notifyCurrentStyles();

    // ---- conversions ----
    // Answer for one affected style: given the sheet, the style's number and the command's code,
    // return the number of the style to use (reuse an equal one or append, see DocStyles).
    using StyleConversion = std::function<int(DocStyles& styles, int styleNo, int code)>;
    void setTextStyleConversion(StyleConversion handler) { m_textConversion = std::move(handler); }
    void setParaStyleConversion(StyleConversion handler) { m_paraConversion = std::move(handler); }
    // Applies code to the selection, asking the handler once per distinct style in it. With no
    // selection a text conversion changes the caret's style (what is typed next).
    // Numbers the handler returns that are not on the sheet leave the style unchanged.
    void applyTextConversion(int code);
    void applyParaConversion(int code);
    // The same with the change given directly (used by the ruler): copy, change, find or append.
    void convertSelectedParagraphs(const std::function<void(ParaStyle&)>& change);
    void convertSelectedText(const std::function<void(TextStyle&)>& change);

    // ---- content the program inserts at the caret (user-visible edits) ----
    // PNG or JPEG bytes; false when they cannot be read. width/height 0: natural size.
    bool insertPicture(const QByteArray& encoded, int width = 0, int height = 0);
    void insertListPicture(int entry);
    void insertLink(const QString& text, const QString& target, int textStyle = 4);
    void insertTable(int rows, int columns);
    // Makes the selected paragraphs a list of the given kind, or no list with std::nullopt.
    void setListKind(std::optional<ListKind> kind);
    // The list command: when every selected paragraph is an item of a list of this kind, they
    // leave their lists (the list ends there); otherwise they become items of that kind, added
    // to the list of the paragraph before them when it is a list of this kind at the same level
    // (the list continues, numbering on), else of a new list. Level: an item's nesting, 1-8.
    void toggleList(ListKind kind);
    // Nests the selected list items one level deeper (delta 1) or brings them one level out
    // (delta -1), between levels 1 and 8; paragraphs that are no list items stay as they are.
    // Items join a list of their new level just before them, so that numbering goes on.
    void changeListLevel(int delta);

    // ---- picture list ----
    // Asked while loading a document that refers to picture-list entries.
    using PictureListRequest = std::function<QList<QImage>()>;
    void setPictureListRequest(PictureListRequest request) { m_pictureListRequest = std::move(request); }

    // ---- layout ----
    // Margins left and right of the text and the text width (min == max: fixed width; 0: the
    // window's width), in engine units (1/96 inch).
    void setMargins(int left, int right);
    int leftMarginWidth() const { return m_layout.leftMargin; }
    int rightMarginWidth() const { return m_layout.rightMargin; }
    void setTextWidth(int minWidth, int maxWidth);
    int textWidth() const;
    const Layout& pageLayout() const { return m_layout; }
    // Background colour of the document, or none.
    void setBackgroundColor(std::optional<QRgb> color);
    std::optional<QRgb> backgroundColor() const;
    // Document properties (title, author, ...), kept in order.
    void setDocumentProperty(const QString& name, const QString& value);
    QString documentProperty(const QString& name) const;

signals:
    void currentTextStyleChanged(int styleNo);
    void currentParaStyleChanged(int styleNo);
    void modifiedChanged(bool modified);

protected:
    void insertFromMimeData(const QMimeData* source) override;
    // What Copy, Cut and dragging put on the clipboard: links whose target is not safe to follow
    // (see isSafeLink) leave as their text only, since another program may follow them.
    QMimeData* createMimeDataFromSelection() const override;
    // Tab at the start of a list item nests it, Shift+Tab brings it out; elsewhere Tab is typed.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void applyLayout();
    void resetEmpty();
    void loadModelBytes(const QByteArray& bytes);
    void adoptDocument(QTextDocument* doc);
    void onContentsChange(int from, int removed, int added);
    void followCaret(bool force);
    void convertParagraphs(const std::function<int(int)>& answer);
    void convertText(const std::function<int(int)>& answer);
    QByteArray serialize();
    void refuseDamagedSave() const;

    DocStyles m_styles = DocStyles::standardSheet();
    Layout m_layout;
    std::vector<Property> m_properties;
    StyleConversion m_textConversion;
    StyleConversion m_paraConversion;
    PictureListRequest m_pictureListRequest;
    QList<QImage> m_pictureList;  // the list given for the document shown
    DocumentLimits m_limits;
    bool m_modified = false;
    bool m_loadFailed = false;
    int m_programChange = 0;  // > 0 while the program changes the document
    int m_lastTextStyle = -1;
    int m_lastParaStyle = -1;
};

}  // namespace vt::rt
