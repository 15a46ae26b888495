#include "richtext/RichEditor.h"

#include "richtext/HtmlWriter.h"
#include "richtext/RtfWriter.h"
#include "richtext/RvfFormat.h"
#include "richtext/TextDocumentBridge.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QUrl>
#include <QKeyEvent>
#include <QMimeData>
#include <QPointer>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>

#include <algorithm>
#include <map>
#include <vector>

namespace vt::rt {

namespace {

// Counts a program change of the document so that it does not set the modified flag.
class ProgramChange {
public:
    explicit ProgramChange(int& counter) : m_c(counter) { ++m_c; }
    ~ProgramChange() { --m_c; }
    ProgramChange(const ProgramChange&) = delete;
    ProgramChange& operator=(const ProgramChange&) = delete;

private:
    int& m_c;
};

bool modelUsesPictureList(const DocModel& m)
{
    auto uses = [](const Paragraph& p) {
        for (const Item& it : p.items)
            if (it.kind == Item::Kind::ListPicture) return true;
        return false;
    };
    for (const Block& b : m.blocks)
        if (b.kind == Block::Kind::Paragraph && uses(b.paragraph)) return true;
    for (const Table& t : m.tables)
        for (const auto& cell : t.cells)
            for (const Paragraph& p : cell)
                if (uses(p)) return true;
    return false;
}

}  // namespace

namespace {

// The editor's documents. A document reads any file its HTML names when it needs the picture or
// style sheet (pasted HTML names them by file), and a device (/dev/zero) never ends and a pipe
// may never open: these read only regular files no larger than a picture may be, and fetch no
// web address. A picture not read shows as a transparent pixel and is not saved.
class EditorDocument : public QTextDocument {
public:
    using QTextDocument::QTextDocument;

protected:
    QVariant loadResource(int type, const QUrl& name) override
    {
        // A data: address holds its bytes itself; the document's own handling decodes it.
        if (name.scheme().compare(QLatin1String("data"), Qt::CaseInsensitive) == 0)
            return QTextDocument::loadResource(type, name);
        const QString path = name.isLocalFile()      ? name.toLocalFile()
                             : name.scheme().isEmpty() ? name.path()
                                                       : QString();
        // Any other scheme (the editor's own names, web addresses): nothing, as before.
        if (path.isEmpty()) return {};
        constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;
        const QFileInfo file(path);
        const bool readable = file.isFile() && file.size() <= kMaxFileBytes;
        // The values returned for a file that is not read keep the document and its picture
        // handler from reading it themselves.
        if (type != QTextDocument::ImageResource) {
            if (!readable) return QByteArray();
            return QTextDocument::loadResource(type, name);
        }
        if (!readable) return unreadPicture();
        QImageReader reader(file.filePath());
        const QSize size = reader.size();
        if (!size.isValid() || qint64(size.width()) * size.height() > kMaxPicturePixels) return unreadPicture();
        const QImage picture = reader.read();
        return picture.isNull() ? unreadPicture() : picture;
    }
};

}  // namespace

RichEditor::RichEditor(QWidget* parent) : QTextEdit(parent)
{
    setAcceptRichText(true);
    auto* first = new EditorDocument(this);
    first->setDefaultFont(document()->defaultFont());
    adoptDocument(first);
    connect(this, &QTextEdit::cursorPositionChanged, this, [this] { followCaret(false); });
    connect(this, &QTextEdit::currentCharFormatChanged, this, [this] { followCaret(false); });
    resetEmpty();
}

RichEditor::~RichEditor() = default;

void RichEditor::setStyles(const DocStyles& styles)
{
    m_styles = styles;
    if (m_styles.textStyles.empty()) m_styles.textStyles = DocStyles::standardSheet().textStyles;
    if (m_styles.paraStyles.empty()) m_styles.paraStyles = DocStyles::standardSheet().paraStyles;
    clear();
}

void RichEditor::resetEmpty()
{
    ProgramChange guard(m_programChange);
    document()->clear();
    QTextCursor c(document());
    c.setBlockFormat(toBlockFormat(m_styles.para(0), 0));
    c.setBlockCharFormat(toCharFormat(m_styles.text(0), 0));
    setCurrentCharFormat(toCharFormat(m_styles.text(0), 0));
    m_properties.clear();
    QTextFrameFormat root = document()->rootFrame()->frameFormat();
    root.clearBackground();
    document()->rootFrame()->setFrameFormat(root);
    applyLayout();
    document()->clearUndoRedoStacks();
    followCaret(false);
}

void RichEditor::clear()
{
    resetEmpty();
    m_loadFailed = false;
    setModified(false);
}

void RichEditor::loadModelBytes(const QByteArray& bytes)
{
    auto fail = [this](const std::string& message, bool tooLarge) {
        resetEmpty();
        m_loadFailed = true;
        setModified(false);
        if (tooLarge) throw DocumentTooLarge(message);
        throw RichTextError(message);
    };
    DocModel m;
    RvfReadResult r = readRvf(std::string_view(bytes.constData(), size_t(bytes.size())), m,
                              RvfLimits{m_limits.paragraphs, m_limits.items, m_limits.itemsPerParagraph});
    if (!r) fail(r.error, r.tooLarge);
    // Picture sizes come from their headers: nothing is decoded for a document that is refused.
    const qint64 pixels = shownPicturePixels(m);
    if (pixels > m_limits.pixels)
        fail("This document is too large to show: its pictures have " + std::to_string(pixels) +
                 " pixels, the limit is " + std::to_string(m_limits.pixels),
             true);
    setModel(m);
}

void RichEditor::setModel(const DocModel& m)
{
    {
        ProgramChange guard(m_programChange);
        QList<QImage> pictureList;
        if (m_pictureListRequest && modelUsesPictureList(m)) pictureList = m_pictureListRequest();
        m_pictureList = pictureList;
        m_styles = m.styles;
        m_layout = m.layout;
        m_properties = m.properties;
        applyLayout();
        // Built into a document of its own and then shown: the editor lays a new document out
        // incrementally, the visible part first, instead of all of it after every change.
        auto* doc = new EditorDocument(this);
        doc->setDefaultFont(document()->defaultFont());
        buildDocument(*doc, m, pictureList);
        adoptDocument(doc);
        moveCursor(QTextCursor::Start);
        setCurrentCharFormat(textCursor().charFormat());
    }
    m_loadFailed = false;
    setModified(false);
    followCaret(false);
}

void RichEditor::adoptDocument(QTextDocument* doc)
{
    // A document's page size is unbounded until the editor gives it its width, and its layout
    // would lay the start out at that size (a paragraph per line, so many paragraphs) and then
    // again at the editor's width. An empty page size makes the layout wait for the width.
    doc->setPageSize(QSizeF(0, 0));
    QPointer<QTextDocument> old = document();
    disconnect(old, &QTextDocument::contentsChange, this, &RichEditor::onContentsChange);
    setDocument(doc);
    connect(doc, &QTextDocument::contentsChange, this, &RichEditor::onContentsChange);
    // The first document belongs to Qt's text control, which deletes it; later ones are ours.
    if (old && old->parent() == this) delete old;
}

void RichEditor::loadFromFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        clear();
        m_loadFailed = true;
        throw RichTextError("cannot open " + path.toStdString() + ": " + f.errorString().toStdString());
    }
    loadFromStream(f);
}

void RichEditor::loadFromBytes(const QByteArray& bytes) { loadModelBytes(bytes); }

void RichEditor::loadFromStream(QIODevice& in) { loadModelBytes(in.readAll()); }

void RichEditor::refuseDamagedSave() const
{
    if (m_loadFailed && !m_modified)
        throw RichTextError("the document could not be read; it is not saved unless it is edited");
}

QByteArray RichEditor::serialize()
{
    refuseDamagedSave();
    std::string bytes = writeRvf(toModel());
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

void RichEditor::saveToFile(const QString& path)
{
    QByteArray bytes = serialize();
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
        throw RichTextError("cannot write " + path.toStdString() + ": " + f.errorString().toStdString());
}

QByteArray RichEditor::saveToBytes() { return serialize(); }

void RichEditor::saveToStream(QIODevice& out)
{
    QByteArray bytes = serialize();
    if (out.write(bytes) != bytes.size())
        throw RichTextError("cannot write the document: " + out.errorString().toStdString());
}

QByteArray RichEditor::toRtf()
{
    std::string rtf = writeRtf(toModel(), m_pictureList);
    return QByteArray(rtf.data(), qsizetype(rtf.size()));
}

void RichEditor::saveRtfToFile(const QString& path)
{
    QByteArray bytes = toRtf();
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
        throw RichTextError("cannot write " + path.toStdString() + ": " + f.errorString().toStdString());
}

void RichEditor::writeHtml(QIODevice& out, const QString& pictureFolder, const QString& title,
                           const QString& picturePrefix, const QString& classPrefix)
{
    vt::rt::writeHtml(toModel(), m_pictureList, out, pictureFolder, title, picturePrefix, classPrefix);
}

void RichEditor::format()
{
    // Qt lays the document out incrementally; this starts it where it has not started yet and
    // shows the result. Whoever needs the whole layout at once (printing) asks the layout for
    // the document's size, which finishes it.
    document()->documentLayout();
    viewport()->update();
    ensureCursorVisible();
}

void RichEditor::appendParagraph(const QString& text, int textStyle, int paraStyle)
{
    ProgramChange guard(m_programChange);
    if (textStyle < 0 || textStyle >= m_styles.textCount()) textStyle = 0;
    if (paraStyle < 0 || paraStyle >= m_styles.paraCount()) paraStyle = 0;
    QTextCursor c(document());
    c.movePosition(QTextCursor::End);
    QTextBlockFormat bf = toBlockFormat(m_styles.para(paraStyle), paraStyle);
    QTextCharFormat cf = toCharFormat(m_styles.text(textStyle), textStyle);
    c.beginEditBlock();
    if (document()->characterCount() <= 1 && !document()->rootFrame()->childFrames().size()) {
        c.setBlockFormat(bf);
        c.setBlockCharFormat(cf);
    } else {
        c.insertBlock(bf, cf);
    }
    QString t = text;
    t.replace(QLatin1Char('\n'), QChar::LineSeparator).remove(QLatin1Char('\r'));
    c.insertText(t, cf);
    c.endEditBlock();
}

DocModel RichEditor::toModel()
{
    {
        ProgramChange guard(m_programChange);
        normalizeDocument(*document(), m_styles);
    }
    DocModel m = extractModel(*document(), m_styles);
    m.layout = m_layout;
    m.properties = m_properties;
    return m;
}

void RichEditor::setModified(bool modified)
{
    document()->setModified(modified);
    if (m_modified == modified) return;
    m_modified = modified;
    emit modifiedChanged(modified);
}

int RichEditor::itemCount() { return toModel().itemCount(); }

void RichEditor::onContentsChange(int, int removed, int added)
{
    if (m_programChange > 0 || (removed == 0 && added == 0)) return;
    m_loadFailed = false;
    setModified(true);
}

int RichEditor::currentTextStyle() const
{
    int n = styleNumberOf(currentCharFormat());
    return (n >= 0 && n < m_styles.textCount()) ? n : 0;
}

int RichEditor::currentParaStyle() const
{
    int n = styleNumberOf(textCursor().blockFormat());
    return (n >= 0 && n < m_styles.paraCount()) ? n : 0;
}

void RichEditor::notifyCurrentStyles() { followCaret(true); }

void RichEditor::followCaret(bool force)
{
    int t = currentTextStyle(), p = currentParaStyle();
    if (force || t != m_lastTextStyle) {
        m_lastTextStyle = t;
        emit currentTextStyleChanged(t);
    }
    if (force || p != m_lastParaStyle) {
        m_lastParaStyle = p;
        emit currentParaStyleChanged(p);
    }
}

void RichEditor::convertText(const std::function<int(int)>& answer)
{
    std::map<int, int> answers;
    auto answerFor = [&](int n) {
        auto it = answers.find(n);
        if (it != answers.end()) return it->second;
        int a = answer(n);
        if (a < 0 || a >= m_styles.textCount()) a = n;
        answers[n] = a;
        return a;
    };
    QTextCursor sel = textCursor();
    if (!sel.hasSelection()) {
        int n = answerFor(currentTextStyle());
        setCurrentCharFormat(restyledFormat(currentCharFormat(), m_styles, n));
        followCaret(false);
        return;
    }
    int start = sel.selectionStart(), end = sel.selectionEnd();
    {
        ProgramChange guard(m_programChange);
        normalizeDocument(*document(), m_styles);
    }
    struct Fix {
        int from, to;
        QTextCharFormat fmt;
    };
    std::vector<Fix> fixes;
    for (QTextBlock b = document()->findBlock(start); b.isValid() && b.position() < end; b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            QTextFragment fr = it.fragment();
            int from = std::max(start, fr.position()), to = std::min(end, fr.position() + fr.length());
            if (from >= to) continue;
            QTextCharFormat f = fr.charFormat();
            int n = styleNumberOf(f);
            int a = answerFor(n);
            if (a != n) fixes.push_back({from, to, restyledFormat(f, m_styles, a)});
        }
    }
    QTextCursor c(document());
    c.beginEditBlock();
    for (const Fix& fx : fixes) {
        c.setPosition(fx.from);
        c.setPosition(fx.to, QTextCursor::KeepAnchor);
        c.setCharFormat(fx.fmt);
    }
    c.endEditBlock();
    followCaret(false);
}

void RichEditor::convertParagraphs(const std::function<int(int)>& answer)
{
    {
        ProgramChange guard(m_programChange);
        normalizeDocument(*document(), m_styles);
    }
    QTextCursor sel = textCursor();
    QTextBlock first = document()->findBlock(sel.selectionStart());
    QTextBlock last = document()->findBlock(sel.selectionEnd());
    std::map<int, int> answers;
    std::vector<std::pair<int, int>> fixes;  // block position, new style
    for (QTextBlock b = first; b.isValid(); b = b.next()) {
        int n = styleNumberOf(b.blockFormat());
        auto it = answers.find(n);
        if (it == answers.end()) {
            int a = answer(n);
            if (a < 0 || a >= m_styles.paraCount()) a = n;
            it = answers.emplace(n, a).first;
        }
        if (it->second != n) fixes.push_back({b.position(), it->second});
        if (b == last) break;
    }
    QTextCursor c(document());
    c.beginEditBlock();
    for (auto [pos, n] : fixes) {
        c.setPosition(pos);
        c.setBlockFormat(toBlockFormat(m_styles.paraStyles[size_t(n)], n));
    }
    c.endEditBlock();
    followCaret(false);
}

void RichEditor::applyTextConversion(int code)
{
    if (!m_textConversion) return;
    convertText([&](int n) { return m_textConversion(m_styles, n, code); });
}

void RichEditor::applyParaConversion(int code)
{
    if (!m_paraConversion) return;
    convertParagraphs([&](int n) { return m_paraConversion(m_styles, n, code); });
}

void RichEditor::convertSelectedParagraphs(const std::function<void(ParaStyle&)>& change)
{
    convertParagraphs([&](int n) {
        ParaStyle s = m_styles.para(n);
        change(s);
        return m_styles.findOrAppendPara(s);
    });
}

void RichEditor::convertSelectedText(const std::function<void(TextStyle&)>& change)
{
    convertText([&](int n) {
        TextStyle s = m_styles.text(n);
        change(s);
        return m_styles.findOrAppendText(s);
    });
}

bool RichEditor::insertPicture(const QByteArray& encoded, int width, int height)
{
    std::string bytes(encoded.constData(), size_t(encoded.size()));
    PictureFormat f = (bytes.size() >= 2 && uchar(bytes[0]) == 0xFF && uchar(bytes[1]) == 0xD8) ? PictureFormat::Jpeg
                                                                                                : PictureFormat::Png;
    QString name = registerPicture(*document(), bytes, f);
    if (name.isEmpty()) return false;
    QTextImageFormat img;
    img.setName(name);
    if (width > 0) img.setWidth(width);
    if (height > 0) img.setHeight(height);
    int st = currentTextStyle();
    img.merge(toCharFormat(m_styles.text(st), st));
    textCursor().insertImage(img);
    return true;
}

void RichEditor::insertListPicture(int entry)
{
    if (m_pictureList.isEmpty() && m_pictureListRequest) m_pictureList = m_pictureListRequest();
    QTextImageFormat img;
    img.setName(registerListPicture(*document(), entry, m_pictureList));
    int st = currentTextStyle();
    img.merge(toCharFormat(m_styles.text(st), st));
    textCursor().insertImage(img);
}

void RichEditor::insertLink(const QString& text, const QString& target, int textStyle)
{
    if (textStyle < 0 || textStyle >= m_styles.textCount()) textStyle = 0;
    QTextCharFormat f = toCharFormat(m_styles.text(textStyle), textStyle);
    f.setAnchor(true);
    f.setAnchorHref(target);
    QTextCursor c = textCursor();
    c.insertText(QString(text).remove(QChar::ParagraphSeparator).remove(QLatin1Char('\n')), f);
    // What is typed after the link is not part of it.
    int st = currentTextStyle() == textStyle ? 0 : currentTextStyle();
    setCurrentCharFormat(toCharFormat(m_styles.text(st), st));
}

void RichEditor::insertTable(int rows, int columns)
{
    if (rows < 1 || columns < 1) return;
    QTextCursor c = textCursor();
    c.beginEditBlock();
    c.insertTable(rows, columns, tableFormat(1));
    normalizeDocument(*document(), m_styles);
    c.endEditBlock();
}

void RichEditor::setListKind(std::optional<ListKind> kind)
{
    QTextCursor sel = textCursor();
    QTextBlock first = document()->findBlock(sel.selectionStart());
    QTextBlock last = document()->findBlock(sel.selectionEnd());
    QTextCursor c(document());
    c.beginEditBlock();
    QTextList* list = nullptr;
    for (QTextBlock b = first; b.isValid(); b = b.next()) {
        if (QTextList* old = b.textList()) old->remove(b);
        if (kind) {
            if (!list) {
                QTextListFormat lf;
                lf.setStyle(QTextListFormat::ListDisc);
                switch (*kind) {
                case ListKind::Disc: lf.setStyle(QTextListFormat::ListDisc); break;
                case ListKind::Circle: lf.setStyle(QTextListFormat::ListCircle); break;
                case ListKind::Square: lf.setStyle(QTextListFormat::ListSquare); break;
                case ListKind::Decimal: lf.setStyle(QTextListFormat::ListDecimal); break;
                case ListKind::LowerAlpha: lf.setStyle(QTextListFormat::ListLowerAlpha); break;
                case ListKind::UpperAlpha: lf.setStyle(QTextListFormat::ListUpperAlpha); break;
                case ListKind::LowerRoman: lf.setStyle(QTextListFormat::ListLowerRoman); break;
                case ListKind::UpperRoman: lf.setStyle(QTextListFormat::ListUpperRoman); break;
                }
                lf.setIndent(1);
                c.setPosition(b.position());
                list = c.createList(lf);
            } else {
                list->add(b);
            }
        }
        if (b == last) break;
    }
    c.endEditBlock();
}

namespace {

// The selected blocks, first to last.
std::vector<QTextBlock> selectedBlocks(const QTextEdit& editor)
{
    const QTextCursor sel = editor.textCursor();
    QTextDocument* doc = editor.document();
    const QTextBlock last = doc->findBlock(sel.selectionEnd());
    std::vector<QTextBlock> blocks;
    for (QTextBlock b = doc->findBlock(sel.selectionStart()); b.isValid(); b = b.next()) {
        blocks.push_back(b);
        if (b == last) break;
    }
    return blocks;
}

// Takes block out of its list. Qt adds the list's indent to the block's own when an item
// leaves; the block keeps the indent it had, as the paragraph style alone gives indents.
void leaveList(const QTextBlock& block)
{
    QTextList* list = block.textList();
    if (!list) return;
    const int indent = block.blockFormat().indent();
    list->remove(block);
    QTextCursor at(block);
    QTextBlockFormat f = at.blockFormat();
    f.setIndent(indent);
    at.setBlockFormat(f);
}

// The list a block at this level and of this style would continue: the list of the nearest
// block before it that is a list item at this level, when no shallower item lies between them.
QTextList* listToContinue(const QTextBlock& block, QTextListFormat::Style style, int level)
{
    for (QTextBlock b = block.previous(); b.isValid(); b = b.previous()) {
        QTextList* list = b.textList();
        if (!list) return nullptr;  // a paragraph outside every list ends them all
        const int indent = list->format().indent();
        if (indent < level) return nullptr;
        if (indent == level) return list->format().style() == style ? list : nullptr;
    }
    return nullptr;
}

// Makes block an item at level in a list of style, continuing the list before it if there is one.
void makeItem(QTextBlock block, QTextListFormat::Style style, int level)
{
    leaveList(block);
    if (QTextList* list = listToContinue(block, style, level)) {
        list->add(block);
        return;
    }
    QTextListFormat lf;
    lf.setStyle(style);
    lf.setIndent(level);
    QTextCursor c(block);
    c.createList(lf);
}

}  // namespace

void RichEditor::toggleList(ListKind kind)
{
    const QTextListFormat::Style style = qtListStyle(kind);
    const std::vector<QTextBlock> blocks = selectedBlocks(*this);
    const bool allOfKind = std::all_of(blocks.begin(), blocks.end(), [style](const QTextBlock& b) {
        return b.textList() && b.textList()->format().style() == style;
    });
    QTextCursor c(document());
    c.beginEditBlock();
    for (const QTextBlock& b : blocks) {
        if (allOfKind) {
            leaveList(b);
        } else {
            const int level = b.textList() ? b.textList()->format().indent() : 1;
            makeItem(b, style, level);
        }
    }
    c.endEditBlock();
}

void RichEditor::changeListLevel(int delta)
{
    QTextCursor c(document());
    c.beginEditBlock();
    for (const QTextBlock& b : selectedBlocks(*this)) {
        QTextList* list = b.textList();
        if (!list) continue;
        const int level = std::clamp(list->format().indent() + delta, 1, 8);
        if (level != list->format().indent()) makeItem(b, list->format().style(), level);
    }
    c.endEditBlock();
}

void RichEditor::keyPressEvent(QKeyEvent* event)
{
    const bool tab = event->key() == Qt::Key_Tab && event->modifiers() == Qt::NoModifier;
    const bool backTab =
        event->key() == Qt::Key_Backtab || (event->key() == Qt::Key_Tab && event->modifiers() == Qt::ShiftModifier);
    const QTextCursor at = textCursor();
    if ((tab || backTab) && !isReadOnly() && at.currentList() && (at.atBlockStart() || at.hasSelection())) {
        changeListLevel(tab ? 1 : -1);
        event->accept();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

void RichEditor::insertFromMimeData(const QMimeData* source)
{
    if (source->hasImage() && !source->hasHtml()) {
        QImage img = qvariant_cast<QImage>(source->imageData());
        QByteArray png;
        QBuffer buf(&png);
        buf.open(QIODevice::WriteOnly);
        if (!img.isNull() && img.save(&buf, "PNG")) insertPicture(png);
        return;
    }
    QTextEdit::insertFromMimeData(source);
    // Whatever formatting arrived is folded into the sheet, in the same undo step.
    QTextCursor c(document());
    c.joinPreviousEditBlock();
    normalizeDocument(*document(), m_styles);
    c.endEditBlock();
    followCaret(false);
}

QMimeData* RichEditor::createMimeDataFromSelection() const
{
    // Most selections hold no unsafe link: they are looked at in place and copied as usual.
    const QTextCursor selection = textCursor();
    const int from = selection.selectionStart(), to = selection.selectionEnd();
    bool unsafe = false;
    for (QTextBlock block = document()->findBlock(from); block.isValid() && block.position() < to && !unsafe;
         block = block.next())
        for (auto it = block.begin(); !it.atEnd() && !unsafe; ++it) {
            const QTextFragment fragment = it.fragment();
            unsafe = fragment.position() < to && fragment.position() + fragment.length() > from &&
                     hasUnsafeLink(fragment.charFormat());
        }
    if (!unsafe) return QTextEdit::createMimeDataFromSelection();
    // The selection is copied into a document of its own, where unsafe links lose their target.
    QTextDocument copy;
    QTextCursor(&copy).insertFragment(textCursor().selection());
    if (!dropUnsafeLinks(copy)) return QTextEdit::createMimeDataFromSelection();
    // An editor of the cleaned copy gives the same formats (HTML, plain text, ...) as this one.
    struct Source : QTextEdit {
        using QTextEdit::createMimeDataFromSelection;
    } source;
    source.setDocument(&copy);
    source.selectAll();
    return source.createMimeDataFromSelection();
}

void RichEditor::applyLayout()
{
    ProgramChange guard(m_programChange);
    QTextFrameFormat root = document()->rootFrame()->frameFormat();
    if (root.leftMargin() != m_layout.leftMargin || root.rightMargin() != m_layout.rightMargin ||
        root.topMargin() != m_layout.topMargin || root.bottomMargin() != m_layout.bottomMargin) {
        root.setLeftMargin(m_layout.leftMargin);
        root.setRightMargin(m_layout.rightMargin);
        root.setTopMargin(m_layout.topMargin);
        root.setBottomMargin(m_layout.bottomMargin);
        document()->rootFrame()->setFrameFormat(root);
    }
    // Each of these lays the whole document out again, even when nothing changes.
    if (m_layout.maxTextWidth > 0) {
        int width = m_layout.maxTextWidth + m_layout.leftMargin + m_layout.rightMargin;
        if (lineWrapMode() != QTextEdit::FixedPixelWidth) setLineWrapMode(QTextEdit::FixedPixelWidth);
        if (lineWrapColumnOrWidth() != width) setLineWrapColumnOrWidth(width);
    } else if (lineWrapMode() != QTextEdit::WidgetWidth) {
        setLineWrapMode(QTextEdit::WidgetWidth);
    }
}

void RichEditor::setMargins(int left, int right)
{
    m_layout.leftMargin = std::clamp(left, 0, 10000);
    m_layout.rightMargin = std::clamp(right, 0, 10000);
    applyLayout();
}

void RichEditor::setTextWidth(int minWidth, int maxWidth)
{
    m_layout.minTextWidth = std::clamp(minWidth, 0, 10000);
    m_layout.maxTextWidth = std::clamp(std::max(minWidth, maxWidth), 0, 10000);
    applyLayout();
}

int RichEditor::textWidth() const
{
    if (m_layout.maxTextWidth > 0) return m_layout.maxTextWidth;
    return int(document()->textWidth()) - m_layout.leftMargin - m_layout.rightMargin;
}

void RichEditor::setBackgroundColor(std::optional<QRgb> color)
{
    QTextFrameFormat root = document()->rootFrame()->frameFormat();
    if (color)
        root.setBackground(QColor(*color));
    else
        root.clearBackground();
    document()->rootFrame()->setFrameFormat(root);
}

std::optional<QRgb> RichEditor::backgroundColor() const
{
    QBrush b = document()->rootFrame()->frameFormat().background();
    if (b.style() == Qt::NoBrush) return std::nullopt;
    return b.color().rgb();
}

void RichEditor::setDocumentProperty(const QString& name, const QString& value)
{
    std::string n = name.toStdString();
    for (Property& p : m_properties)
        if (p.name == n) {
            p.value = value.toStdString();
            return;
        }
    m_properties.push_back({n, value.toStdString()});
}

QString RichEditor::documentProperty(const QString& name) const
{
    std::string n = name.toStdString();
    for (const Property& p : m_properties)
        if (p.name == n) return QString::fromStdString(p.value);
    return {};
}

}  // namespace vt::rt
