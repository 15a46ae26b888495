#include "richtext/TextDocumentBridge.h"

#include "richtext/HtmlWriter.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QHash>
#include <QImageReader>
#include <QPainter>
#include <QPixmap>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>
#include <QUrl>

#include <cmath>
#include <map>
#include <unordered_map>
#include <vector>

namespace vt::rt {

namespace {

const QString kPicturePrefix = QStringLiteral("vtpic:");          // image resource of a stored picture
const QString kPictureDataPrefix = QStringLiteral("vtpicdata:");  // its encoded bytes
const QString kListPrefix = QStringLiteral("vtlist:");            // picture-list entry N

QColor rgb(std::uint32_t c) { return QColor(QRgb(0xFF000000u | (c & 0xFFFFFF))); }
std::uint32_t fromColor(const QColor& c) { return std::uint32_t(c.rgb()) & 0xFFFFFF; }

QString pictureKey(const std::string& bytes)
{
    QByteArray h =
        QCryptographicHash::hash(QByteArrayView(bytes.data(), qsizetype(bytes.size())), QCryptographicHash::Sha1);
    return QString::fromLatin1(h.toHex().left(16));
}

PictureFormat formatOfBytes(const QByteArray& b)
{
    return (b.size() >= 2 && uchar(b[0]) == 0xFF && uchar(b[1]) == 0xD8) ? PictureFormat::Jpeg : PictureFormat::Png;
}


ListKind listKindOf(QTextListFormat::Style s)
{
    switch (s) {
    case QTextListFormat::ListCircle: return ListKind::Circle;
    case QTextListFormat::ListSquare: return ListKind::Square;
    case QTextListFormat::ListDecimal: return ListKind::Decimal;
    case QTextListFormat::ListLowerAlpha: return ListKind::LowerAlpha;
    case QTextListFormat::ListUpperAlpha: return ListKind::UpperAlpha;
    case QTextListFormat::ListLowerRoman: return ListKind::LowerRoman;
    case QTextListFormat::ListUpperRoman: return ListKind::UpperRoman;
    default: return ListKind::Disc;
    }
}

QImage placeholderPicture()
{
    QImage img(16, 16, QImage::Format_ARGB32);
    img.fill(QColor(200, 200, 200));
    return img;
}

}  // namespace

QTextListFormat::Style qtListStyle(ListKind k)
{
    switch (k) {
    case ListKind::Disc: return QTextListFormat::ListDisc;
    case ListKind::Circle: return QTextListFormat::ListCircle;
    case ListKind::Square: return QTextListFormat::ListSquare;
    case ListKind::Decimal: return QTextListFormat::ListDecimal;
    case ListKind::LowerAlpha: return QTextListFormat::ListLowerAlpha;
    case ListKind::UpperAlpha: return QTextListFormat::ListUpperAlpha;
    case ListKind::LowerRoman: return QTextListFormat::ListLowerRoman;
    case ListKind::UpperRoman: return QTextListFormat::ListUpperRoman;
    }
    return QTextListFormat::ListDisc;
}

namespace {

// The picture's size from its header; an empty size when it is not decoded (unreadable or too
// large).
QSize decodedSize(QImageReader& reader)
{
    reader.setDecideFormatFromContent(false);
    QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || qint64(size.width()) * size.height() > kMaxPicturePixels)
        return QSize(0, 0);
    return size;
}

const char* readerFormat(PictureFormat format) { return format == PictureFormat::Jpeg ? "jpeg" : "png"; }

// Calls f for the number of every picture an item of the model shows, once per picture.
template <class F>
void forShownPictures(const DocModel& m, F f)
{
    std::vector<bool> seen(m.pictures.size(), false);
    auto para = [&](const Paragraph& p) {
        for (const Item& it : p.items)
            if (it.kind == Item::Kind::Picture && it.index >= 0 && size_t(it.index) < seen.size() &&
                !seen[size_t(it.index)]) {
                seen[size_t(it.index)] = true;
                f(size_t(it.index));
            }
    };
    for (const Block& b : m.blocks)
        if (b.kind == Block::Kind::Paragraph) para(b.paragraph);
    for (const Table& t : m.tables)
        for (const auto& cell : t.cells)
            for (const Paragraph& p : cell)
                para(p);
}

}  // namespace

QImage decodePicture(const std::string& bytes, PictureFormat format)
{
    QByteArray data = QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size()));
    QBuffer buf(&data);
    buf.open(QIODevice::ReadOnly);
    QImageReader reader(&buf, readerFormat(format));
    if (decodedSize(reader).isEmpty()) return {};
    QImage img;
    if (!reader.read(&img)) return {};
    return img;
}

qint64 shownPicturePixels(const DocModel& m)
{
    qint64 total = 0;
    forShownPictures(m, [&](size_t i) {
        const Picture& p = m.pictures[i];
        if (p.bytes.empty()) return;
        QByteArray data = QByteArray::fromRawData(p.bytes.data(), qsizetype(p.bytes.size()));
        QBuffer buf(&data);
        buf.open(QIODevice::ReadOnly);
        QImageReader reader(&buf, readerFormat(p.format));
        const QSize size = decodedSize(reader);
        total += qint64(size.width()) * size.height();
    });
    return total;
}

int styleNumberOf(const QTextFormat& f)
{
    QVariant v = f.property(kStyleNumberProperty);
    bool ok = false;
    int n = v.toInt(&ok);
    return (v.isValid() && ok && n >= 0) ? n : -1;
}

QTextCharFormat toCharFormat(const TextStyle& s, int number)
{
    QTextCharFormat f;
    f.setFontFamilies(QStringList{QString::fromStdString(s.fontName)});
    f.setFontPointSize(s.size);
    f.setFontWeight(s.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(s.italic);
    f.setFontUnderline(s.underline);
    f.setFontStrikeOut(s.strikeOut);
    f.setForeground(rgb(s.color));
    if (!s.transparentBack) f.setBackground(rgb(s.backColor));
    f.setAnchor(s.hypertext);
    f.setProperty(kCharsetProperty, s.charset);
    f.setProperty(kStyleNumberProperty, number);
    return f;
}

QTextBlockFormat toBlockFormat(const ParaStyle& s, int number)
{
    QTextBlockFormat f;
    Qt::Alignment a = Qt::AlignLeft;
    switch (s.alignment) {
    case Alignment::Left: a = Qt::AlignLeft; break;
    case Alignment::Right: a = Qt::AlignRight; break;
    case Alignment::Center: a = Qt::AlignHCenter; break;
    case Alignment::Justify: a = Qt::AlignJustify; break;
    }
    f.setAlignment(a);
    f.setLeftMargin(s.leftIndent);
    f.setRightMargin(s.rightIndent);
    f.setTextIndent(s.firstIndent);
    f.setTopMargin(s.spaceBefore);
    f.setBottomMargin(s.spaceAfter);
    f.setProperty(kStyleNumberProperty, number);
    return f;
}

TextStyle fromCharFormat(const QTextCharFormat& f)
{
    TextStyle s;
    QStringList families = f.fontFamilies().toStringList();
    if (!families.isEmpty() && !families.first().isEmpty()) s.fontName = families.first().toStdString();
    if (f.hasProperty(QTextFormat::FontPointSize))
        s.size = std::clamp(int(std::lround(f.fontPointSize())), 1, 1638);
    else if (f.hasProperty(QTextFormat::FontPixelSize))
        s.size = std::clamp(int(std::lround(f.intProperty(QTextFormat::FontPixelSize) * 0.75)), 1, 1638);
    s.bold = f.fontWeight() >= QFont::DemiBold;
    s.italic = f.fontItalic();
    s.underline = f.fontUnderline();
    s.strikeOut = f.fontStrikeOut();
    if (f.foreground().style() != Qt::NoBrush) s.color = fromColor(f.foreground().color());
    if (f.background().style() != Qt::NoBrush && f.background().color().alpha() > 0) {
        s.transparentBack = false;
        s.backColor = fromColor(f.background().color());
    }
    s.charset = std::clamp(f.intProperty(kCharsetProperty), 0, 255);
    s.hypertext = f.isAnchor();
    return s;
}

ParaStyle fromBlockFormat(const QTextBlockFormat& f)
{
    ParaStyle s;
    Qt::Alignment a = f.alignment() & Qt::AlignHorizontal_Mask;
    if (a & Qt::AlignRight)
        s.alignment = Alignment::Right;
    else if (a & Qt::AlignHCenter)
        s.alignment = Alignment::Center;
    else if (a & Qt::AlignJustify)
        s.alignment = Alignment::Justify;
    auto px = [](double v) { return std::clamp(int(std::lround(v)), -10000, 10000); };
    s.leftIndent = std::max(0, px(f.leftMargin()));
    s.rightIndent = std::max(0, px(f.rightMargin()));
    s.firstIndent = px(f.textIndent());
    s.spaceBefore = std::max(0, px(f.topMargin()));
    s.spaceAfter = std::max(0, px(f.bottomMargin()));
    return s;
}

namespace {

// The number of the sheet's style for a format: its own number when that style has the
// format's properties, otherwise an equal or newly appended style.
int textStyleFor(const QTextCharFormat& f, DocStyles& styles)
{
    TextStyle s = fromCharFormat(f);
    int n = styleNumberOf(f);
    if (n >= 0 && n < styles.textCount() && styles.textStyles[size_t(n)].equalTo(s)) return n;
    if (n >= 0 && n < styles.textCount())
        s.name = styles.textStyles[size_t(n)].name;
    else
        s.name = "Text " + std::to_string(styles.textCount());
    return styles.findOrAppendText(s);
}

int paraStyleFor(const QTextBlockFormat& f, DocStyles& styles)
{
    ParaStyle s = fromBlockFormat(f);
    int n = styleNumberOf(f);
    if (n >= 0 && n < styles.paraCount() && styles.paraStyles[size_t(n)].equalTo(s)) return n;
    if (n >= 0 && n < styles.paraCount())
        s.name = styles.paraStyles[size_t(n)].name;
    else
        s.name = "Paragraph " + std::to_string(styles.paraCount());
    return styles.findOrAppendPara(s);
}

}  // namespace

QTextCharFormat restyledFormat(const QTextCharFormat& old, const DocStyles& styles, int n)
{
    QTextCharFormat nf = toCharFormat(styles.textStyles[size_t(n)], n);
    if (old.isAnchor() && !old.anchorHref().isEmpty()) nf.setAnchorHref(old.anchorHref());
    if (old.isImageFormat()) {
        QTextImageFormat src = old.toImageFormat();
        QTextImageFormat img;
        img.setName(src.name());
        if (src.hasProperty(QTextFormat::ImageWidth)) img.setWidth(src.width());
        if (src.hasProperty(QTextFormat::ImageHeight)) img.setHeight(src.height());
        img.merge(nf);
        return img;
    }
    return nf;
}

QString registerPicture(QTextDocument& doc, const std::string& bytes, PictureFormat format)
{
    if (bytes.empty()) return {};
    QString key = pictureKey(bytes);
    QString name = kPicturePrefix + key;
    if (doc.resource(QTextDocument::UserResource, QUrl(kPictureDataPrefix + key)).isValid()) return name;
    QImage img = decodePicture(bytes, format);
    if (img.isNull()) return {};  // unreadable pictures are skipped
    doc.addResource(QTextDocument::ImageResource, QUrl(name), img);
    doc.addResource(QTextDocument::UserResource, QUrl(kPictureDataPrefix + key),
                    QByteArray(bytes.data(), qsizetype(bytes.size())));
    return name;
}

QImage unreadPicture()
{
    QImage pixel(1, 1, QImage::Format_ARGB32);
    pixel.fill(Qt::transparent);
    pixel.setText(QStringLiteral("vt-unread"), QStringLiteral("1"));
    return pixel;
}

bool isUnreadPicture(const QImage& image) { return !image.text(QStringLiteral("vt-unread")).isEmpty(); }

QString registerListPicture(QTextDocument& doc, int index, const QList<QImage>& pictureList)
{
    if (index < 0 || index >= pictureList.size()) index = 0;
    QString name = kListPrefix + QString::number(index);
    if (!doc.resource(QTextDocument::ImageResource, QUrl(name)).isValid())
        doc.addResource(QTextDocument::ImageResource, QUrl(name),
                        index < pictureList.size() ? pictureList[index] : placeholderPicture());
    return name;
}

QTextTableFormat tableFormat(int border)
{
    QTextTableFormat tf;
    tf.setBorder(border);
    tf.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    tf.setCellPadding(4);
    tf.setCellSpacing(0);
    tf.setBorderCollapse(true);
    return tf;
}

bool hasUnsafeLink(const QTextCharFormat& format)
{
    return (format.isAnchor() || !format.anchorHref().isEmpty()) && !isSafeLink(format.anchorHref());
}

bool dropUnsafeLinks(QTextDocument& doc)
{
    // The ranges are gathered first: changing a format merges and splits fragments.
    struct Unsafe {
        int from, to;
        QTextCharFormat format;
    };
    std::vector<Unsafe> unsafe;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (hasUnsafeLink(format))
                unsafe.push_back({fragment.position(), fragment.position() + fragment.length(), format});
        }
    for (Unsafe& u : unsafe) {
        u.format.setAnchor(false);
        u.format.clearProperty(QTextFormat::AnchorHref);
        QTextCursor at(&doc);
        at.setPosition(u.from);
        at.setPosition(u.to, QTextCursor::KeepAnchor);
        at.setCharFormat(u.format);
    }
    return !unsafe.empty();
}

bool normalizeDocument(QTextDocument& doc, DocStyles& styles)
{
    struct CharFix {
        int pos, len;
        QTextCharFormat fmt;
    };
    struct BlockFix {
        int pos;
        QTextBlockFormat fmt;
        QTextCharFormat charFmt;
        bool charOnly;
    };
    std::vector<CharFix> chars;
    std::vector<BlockFix> blocks;
    // A document uses few distinct formats; each is checked once (keyed by its index in the
    // document's format collection).
    std::unordered_map<int, int> textOf, paraOf;  // format index -> style, -1: carries its own
    auto textStyle = [&](int index, const QTextCharFormat& f) {
        auto it = textOf.find(index);
        if (it != textOf.end()) return it->second;
        int n = textStyleFor(f, styles);
        return textOf[index] = (styleNumberOf(f) == n ? -1 : n);
    };
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        auto pit = paraOf.find(b.blockFormatIndex());
        if (pit == paraOf.end()) {
            int n = paraStyleFor(b.blockFormat(), styles);
            pit = paraOf.emplace(b.blockFormatIndex(), styleNumberOf(b.blockFormat()) == n ? -1 : n).first;
        }
        int pn = pit->second;
        int bn = textStyle(b.charFormatIndex(), b.charFormat());
        if (pn >= 0 || bn >= 0) {
            if (pn < 0) pn = styleNumberOf(b.blockFormat());
            if (bn < 0) bn = styleNumberOf(b.charFormat());
            QTextBlockFormat bf = toBlockFormat(styles.paraStyles[size_t(pn)], pn);
            blocks.push_back({b.position(), bf, restyledFormat(b.charFormat(), styles, bn), pit->second < 0});
        }
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            QTextFragment fr = it.fragment();
            auto cached = textOf.find(fr.charFormatIndex());
            int n = cached != textOf.end() ? cached->second : textStyle(fr.charFormatIndex(), fr.charFormat());
            if (n < 0) continue;
            chars.push_back({fr.position(), fr.length(), restyledFormat(fr.charFormat(), styles, n)});
        }
    }
    if (chars.empty() && blocks.empty()) return false;
    QTextCursor c(&doc);
    c.beginEditBlock();
    for (const BlockFix& fx : blocks) {
        c.setPosition(fx.pos);
        if (!fx.charOnly) c.setBlockFormat(fx.fmt);
        c.setBlockCharFormat(fx.charFmt);
    }
    for (const CharFix& fx : chars) {
        c.setPosition(fx.pos);
        c.setPosition(fx.pos + fx.len, QTextCursor::KeepAnchor);
        c.setCharFormat(fx.fmt);
    }
    c.endEditBlock();
    return true;
}

void buildDocument(QTextDocument& doc, const DocModel& m, const QList<QImage>& pictureList)
{
    const DocStyles& st = m.styles;
    bool undo = doc.isUndoRedoEnabled();
    doc.setUndoRedoEnabled(false);
    doc.clear();
    QTextFrameFormat root = doc.rootFrame()->frameFormat();
    root.setLeftMargin(m.layout.leftMargin);
    root.setRightMargin(m.layout.rightMargin);
    root.setTopMargin(m.layout.topMargin);
    root.setBottomMargin(m.layout.bottomMargin);
    if (m.hasBackground)
        root.setBackground(rgb(m.background));
    else
        root.clearBackground();
    doc.rootFrame()->setFrameFormat(root);

    // Only pictures an item shows are decoded: a stored picture nobody uses costs nothing.
    std::vector<QString> pictureNames(m.pictures.size());
    forShownPictures(
        m, [&](size_t i) { pictureNames[i] = registerPicture(doc, m.pictures[i].bytes, m.pictures[i].format); });
    auto listPictureName = [&](int index) { return registerListPicture(doc, index, pictureList); };

    std::vector<QTextList*> lists(m.lists.size(), nullptr);
    // One character format per text style, built on first use: runs share it instead of
    // building a new one each (a body has thousands of runs in a handful of styles).
    std::unordered_map<int, QTextCharFormat> charFormats;
    auto charFormatOf = [&](int style) -> const QTextCharFormat& {
        auto found = charFormats.find(style);
        if (found == charFormats.end()) found = charFormats.emplace(style, toCharFormat(st.text(style), style)).first;
        return found->second;
    };
    auto writeParagraph = [&](QTextCursor& c, const Paragraph& p, bool newBlock) {
        QTextBlockFormat bf = toBlockFormat(st.para(p.style), p.style);
        int firstStyle = p.items.empty() ? 0 : p.items.front().style;
        const QTextCharFormat& cf = charFormatOf(firstStyle);
        if (newBlock) {
            c.insertBlock(bf, cf);
        } else {
            c.setBlockFormat(bf);
            c.setBlockCharFormat(cf);
        }
        if (p.list >= 0 && size_t(p.list) < lists.size()) {
            if (!lists[size_t(p.list)]) {
                QTextListFormat lf;
                lf.setStyle(qtListStyle(m.lists[size_t(p.list)].kind));
                lf.setIndent(m.lists[size_t(p.list)].level);
                lists[size_t(p.list)] = c.createList(lf);
            } else {
                lists[size_t(p.list)]->add(c.block());
            }
        }
        for (const Item& it : p.items) {
            const QTextCharFormat& f = charFormatOf(it.style);
            if (it.kind == Item::Kind::Text) {
                QString t = QString::fromUtf8(it.text.data(), qsizetype(it.text.size()));
                t.replace(QChar::ParagraphSeparator, QChar::LineSeparator);
                t.remove(QChar::ObjectReplacementCharacter);
                if (!it.link.empty()) {
                    QTextCharFormat linked = f;
                    linked.setAnchor(true);
                    linked.setAnchorHref(QString::fromStdString(it.link));
                    c.insertText(t, linked);
                } else {
                    c.insertText(t, f);
                }
            } else {
                QString name =
                    it.kind == Item::Kind::Picture
                        ? (size_t(it.index) < pictureNames.size() ? pictureNames[size_t(it.index)] : QString())
                        : listPictureName(it.index);
                if (name.isEmpty()) continue;
                QTextImageFormat img;
                img.setName(name);
                if (it.width > 0) img.setWidth(it.width);
                if (it.height > 0) img.setHeight(it.height);
                img.merge(f);
                c.insertImage(img);
            }
        }
    };

    QTextCursor c(&doc);
    // One edit block: the layout and the views catch up once at the end, not after every run.
    c.beginEditBlock();
    bool reuseBlock = true;  // the cursor stands in an empty block the next paragraph may take
    for (const Block& b : m.blocks) {
        if (b.kind == Block::Kind::Paragraph) {
            writeParagraph(c, b.paragraph, !reuseBlock);
            reuseBlock = false;
            continue;
        }
        const Table& t = m.tables.at(size_t(b.table));
        // Inserted at the end of the previous paragraph, the table goes behind it; Qt keeps an
        // empty paragraph in front of a table that starts the document.
        QTextTable* table = c.insertTable(t.rows, t.columns, tableFormat(t.border));
        for (int r = 0; r < t.rows; ++r)
            for (int col = 0; col < t.columns; ++col) {
                const auto& cell = t.cells[size_t(r) * size_t(t.columns) + size_t(col)];
                QTextCursor cc = table->cellAt(r, col).firstCursorPosition();
                for (size_t i = 0; i < cell.size(); ++i)
                    writeParagraph(cc, cell[i], i > 0);
                if (cell.empty()) {
                    cc.setBlockFormat(toBlockFormat(st.para(0), 0));
                    cc.setBlockCharFormat(toCharFormat(st.text(0), 0));
                }
            }
        c = table->lastCursorPosition();
        c.movePosition(QTextCursor::NextBlock);
        c.setBlockFormat(toBlockFormat(st.para(0), 0));
        c.setBlockCharFormat(toCharFormat(st.text(0), 0));
        reuseBlock = true;
    }
    if (m.blocks.empty()) {
        c.setBlockFormat(toBlockFormat(st.para(0), 0));
        c.setBlockCharFormat(toCharFormat(st.text(0), 0));
    }
    c.endEditBlock();
    doc.setUndoRedoEnabled(undo);
    doc.setModified(false);
}

namespace {

class Extractor {
public:
    Extractor(const QTextDocument& doc, DocStyles& styles) : m_doc(doc), m_styles(styles) {}

    DocModel run()
    {
        QTextFrame* root = m_doc.rootFrame();
        std::vector<std::pair<QTextBlock, QTextTable*>> seq;  // a block, or a table
        for (auto it = root->begin(); !it.atEnd(); ++it) {
            if (QTextFrame* f = it.currentFrame()) {
                if (auto* t = qobject_cast<QTextTable*>(f))
                    seq.push_back({{}, t});
                else  // other frames are flattened into paragraphs
                    for (QTextBlock b = m_doc.findBlock(f->firstPosition());
                         b.isValid() && b.position() <= f->lastPosition(); b = b.next())
                        seq.push_back({b, nullptr});
            } else {
                seq.push_back({it.currentBlock(), nullptr});
            }
        }
        for (size_t i = 0; i < seq.size(); ++i) {
            if (QTextTable* t = seq[i].second) {
                addTable(t);
                continue;
            }
            const QTextBlock& b = seq[i].first;
            // Qt keeps an empty paragraph in front of a table at the start and behind one at
            // the end; they are layout, not content.
            bool besideTable = (i + 1 < seq.size() && seq[i + 1].second && i == 0) ||
                               (i > 0 && seq[i - 1].second && i + 1 == seq.size());
            if (besideTable && b.length() == 1 && !b.textList() && paraStyleOf(b) == 0) continue;
            Block blk;
            blk.paragraph = paragraph(b);
            m_model.blocks.push_back(std::move(blk));
        }
        QTextFrameFormat rf = root->frameFormat();
        if (rf.background().style() != Qt::NoBrush) {
            m_model.hasBackground = true;
            m_model.background = fromColor(rf.background().color());
        }
        m_model.styles = m_styles;
        return std::move(m_model);
    }

private:
    void addTable(QTextTable* t)
    {
        Table tb;
        tb.rows = t->rows();
        tb.columns = t->columns();
        tb.border = std::clamp(int(std::lround(t->format().border())), 0, 100);
        tb.cells.resize(size_t(tb.rows) * size_t(tb.columns));
        for (int r = 0; r < tb.rows; ++r)
            for (int col = 0; col < tb.columns; ++col) {
                QTextTableCell cell = t->cellAt(r, col);
                if (cell.row() != r || cell.column() != col) continue;  // covered by a spanning cell
                auto& out = tb.cells[size_t(r) * size_t(tb.columns) + size_t(col)];
                for (QTextBlock b = m_doc.findBlock(cell.firstPosition());
                     b.isValid() && b.position() <= cell.lastPosition(); b = b.next())
                    out.push_back(paragraph(b));
            }
        m_model.tables.push_back(std::move(tb));
        Block blk;
        blk.kind = Block::Kind::Table;
        blk.table = int(m_model.tables.size()) - 1;
        m_model.blocks.push_back(std::move(blk));
    }

    // Style numbers per format index of the document's format collection: a document uses few
    // distinct formats.
    int paraStyleOf(const QTextBlock& b)
    {
        auto it = m_paraOf.find(b.blockFormatIndex());
        if (it != m_paraOf.end()) return it->second;
        return m_paraOf[b.blockFormatIndex()] = paraStyleFor(b.blockFormat(), m_styles);
    }
    int textStyleOf(const QTextFragment& fr)
    {
        auto it = m_textOf.find(fr.charFormatIndex());
        if (it != m_textOf.end()) return it->second;
        return m_textOf[fr.charFormatIndex()] = textStyleFor(fr.charFormat(), m_styles);
    }

    Paragraph paragraph(const QTextBlock& b)
    {
        Paragraph p;
        p.style = paraStyleOf(b);
        if (QTextList* l = b.textList()) p.list = listIndex(l);
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            QTextFragment fr = it.fragment();
            int st = textStyleOf(fr);
            if (fr.charFormat().isImageFormat()) {
                QTextCharFormat f = fr.charFormat();
                QTextImageFormat im = f.toImageFormat();
                Item item;
                item.style = st;
                QString name = im.name();
                if (name.startsWith(kListPrefix)) {
                    item.kind = Item::Kind::ListPicture;
                    item.index = std::max(0, name.mid(kListPrefix.size()).toInt());
                } else {
                    item.kind = Item::Kind::Picture;
                    item.index = pictureIndex(name);
                    if (item.index < 0) continue;
                }
                if (im.hasProperty(QTextFormat::ImageWidth))
                    item.width = std::clamp(int(std::lround(im.width())), 0, 32767);
                if (im.hasProperty(QTextFormat::ImageHeight))
                    item.height = std::clamp(int(std::lround(im.height())), 0, 32767);
                for (int k = 0; k < fr.length(); ++k)
                    p.items.push_back(item);
                continue;
            }
            QString text = fr.text();
            text.remove(QChar::ObjectReplacementCharacter);
            if (text.isEmpty()) continue;
            std::string link;
            if (m_styles.text(st).hypertext || fr.charFormat().isAnchor()) {
                QTextCharFormat f = fr.charFormat();
                if (f.isAnchor()) link = f.anchorHref().toStdString();
            }
            std::string utf8 = text.toStdString();
            if (!p.items.empty() && p.items.back().kind == Item::Kind::Text && p.items.back().style == st &&
                p.items.back().link == link) {
                p.items.back().text += utf8;
                continue;
            }
            Item item;
            item.style = st;
            item.text = std::move(utf8);
            item.link = std::move(link);
            p.items.push_back(std::move(item));
        }
        return p;
    }

    int listIndex(QTextList* l)
    {
        auto it = m_lists.find(l);
        if (it != m_lists.end()) return it->second;
        ListDef d;
        d.kind = listKindOf(l->format().style());
        d.level = std::clamp(l->format().indent(), 1, 8);
        m_model.lists.push_back(d);
        int n = int(m_model.lists.size()) - 1;
        m_lists[l] = n;
        return n;
    }

    int pictureIndex(const QString& name)
    {
        auto it = m_pictures.find(name);
        if (it != m_pictures.end()) return it.value();
        Picture pic;
        QVariant data = name.startsWith(kPicturePrefix)
                            ? m_doc.resource(QTextDocument::UserResource,
                                             QUrl(kPictureDataPrefix + name.mid(kPicturePrefix.size())))
                            : QVariant();
        if (data.typeId() == QMetaType::QByteArray && !data.toByteArray().isEmpty()) {
            QByteArray b = data.toByteArray();
            pic.format = formatOfBytes(b);
            pic.bytes.assign(b.constData(), size_t(b.size()));
        } else {
            // A picture that arrived from elsewhere (paste, drop): stored as PNG.
            QVariant v = m_doc.resource(QTextDocument::ImageResource, QUrl(name));
            QImage img;
            if (v.typeId() == QMetaType::QImage)
                img = v.value<QImage>();
            else if (v.typeId() == QMetaType::QPixmap)
                img = v.value<QPixmap>().toImage();
            else if (v.typeId() == QMetaType::QByteArray)
                img.loadFromData(v.toByteArray());
            if (img.isNull() || isUnreadPicture(img)) {
                m_pictures[name] = -1;
                return -1;
            }
            QByteArray png;
            QBuffer buf(&png);
            buf.open(QIODevice::WriteOnly);
            img.save(&buf, "PNG");
            pic.format = PictureFormat::Png;
            pic.bytes.assign(png.constData(), size_t(png.size()));
        }
        m_model.pictures.push_back(std::move(pic));
        int n = int(m_model.pictures.size()) - 1;
        m_pictures[name] = n;
        return n;
    }

    const QTextDocument& m_doc;
    DocStyles& m_styles;
    DocModel m_model;
    std::map<QTextList*, int> m_lists;
    std::unordered_map<int, int> m_textOf, m_paraOf;
    QHash<QString, int> m_pictures;
};

}  // namespace

DocModel extractModel(const QTextDocument& doc, DocStyles& styles) { return Extractor(doc, styles).run(); }

}  // namespace vt::rt
