#include "richtext/RvfFormat.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <lz4.h>
#include <memory>
#include <optional>

namespace vt::rt {

namespace {

constexpr std::array<std::uint8_t, 8> kMagic = {0x89, 'V', 'D', 'F', '\r', '\n', 0x1A, '\n'};
constexpr std::size_t kHeaderSize = kMagic.size() + 4;
constexpr std::size_t kChunkHeaderSize = 8;

// Chunk tags, four ASCII bytes.
constexpr std::string_view kTagTextStyles = "TSTY";
constexpr std::string_view kTagParaStyles = "PSTY";
constexpr std::string_view kTagLists = "LIST";
constexpr std::string_view kTagPicture = "PICT";
constexpr std::string_view kTagBody = "BODY";
constexpr std::string_view kTagPackedBody = "ZBDY";  // the body, LZ4-compressed
constexpr std::string_view kTagBackground = "BACK";
constexpr std::string_view kTagLayout = "LAYT";
constexpr std::string_view kTagProperties = "PROP";
constexpr std::string_view kTagEnd = "END ";

// Item kinds inside a paragraph.
enum : std::uint32_t { kItemText = 1, kItemLink = 2, kItemPicture = 3, kItemListPicture = 4 };
enum : std::uint32_t { kBlockParagraph = 1, kBlockTable = 2 };

// Text style flag bits.
constexpr std::uint32_t kBold = 1, kItalic = 2, kUnderline = 4, kStrikeOut = 8, kTransparent = 16, kHypertext = 32,
                        kStandard = 64;

constexpr int kMaxIndent = 10000;  // engine units, about 100 inches

// A segment of a compressed body may declare at most this many times its stream's bytes, and
// never more than kMaxPackedSegment: the reader allocates the declared size before inflating,
// so the cap keeps its memory a fixed multiple of the input. Text compresses 2 to 4 times; a
// body with a segment that compresses better than the cap (long repeats) is written as it is.
constexpr std::size_t kMaxPackRatio = 16;
constexpr std::size_t kMaxPackedSegment = std::size_t(256) << 20;
// The size the writer cuts segments at (at the next block). LZ4 looks back 64 kB at most, so
// larger segments would compress no better.
constexpr std::size_t kPackSegment = std::size_t(256) << 10;
// Smaller bodies gain next to nothing and stay readable by readers of major version 1.
constexpr std::size_t kMinPackedBody = 4096;
constexpr int kMaxPictureSide = 32767;

// ---- writing ----

class Out {
public:
    std::string bytes;
    void u8(std::uint8_t v) { bytes.push_back(char(v)); }
    void u16(std::uint16_t v)
    {
        u8(std::uint8_t(v));
        u8(std::uint8_t(v >> 8));
    }
    void u32(std::uint32_t v)
    {
        u16(std::uint16_t(v));
        u16(std::uint16_t(v >> 16));
    }
    void var(std::uint32_t v)
    {
        while (v >= 0x80) {
            u8(std::uint8_t(v | 0x80));
            v >>= 7;
        }
        u8(std::uint8_t(v));
    }
    void svar(int v) { var((std::uint32_t(v) << 1) ^ std::uint32_t(v >> 31)); }
    void str(std::string_view s)
    {
        var(std::uint32_t(s.size()));
        bytes.append(s);
    }
    void raw(std::string_view s) { bytes.append(s); }
};

// A record or chunk whose length is written in front of its payload.
void putRecord(Out& o, const Out& payload)
{
    o.var(std::uint32_t(payload.bytes.size()));
    o.raw(payload.bytes);
}
void putChunk(Out& o, std::string_view tag, const Out& payload)
{
    o.raw(tag);
    o.u32(std::uint32_t(payload.bytes.size()));
    o.raw(payload.bytes);
}

// The body is written in place, without building records in buffers of their own: record
// lengths are computed first. A body is most of a document, and copying it record by record
// cost more than writing it.
std::size_t varSize(std::uint32_t v)
{
    std::size_t n = 1;
    while (v >= 0x80) {
        v >>= 7;
        ++n;
    }
    return n;
}
std::size_t strSize(const std::string& s) { return varSize(std::uint32_t(s.size())) + s.size(); }
bool written(const Item& it) { return !(it.kind == Item::Kind::Text && it.text.empty()); }

std::size_t itemSize(const Item& it)
{
    if (it.kind == Item::Kind::Text)
        return varSize(std::uint32_t(it.style)) + strSize(it.text) + (it.link.empty() ? 0 : strSize(it.link));
    return varSize(std::uint32_t(it.style)) + varSize(std::uint32_t(it.index)) + varSize(std::uint32_t(it.width)) +
           varSize(std::uint32_t(it.height));
}

std::size_t paragraphSize(const Paragraph& p)
{
    std::size_t n = varSize(std::uint32_t(p.style)) + varSize(std::uint32_t(p.list + 1));
    for (const Item& it : p.items) {
        if (!written(it)) continue;
        std::size_t is = itemSize(it);
        n += 1 + varSize(std::uint32_t(is)) + is;  // item kinds take one byte
    }
    return n;
}

void putParagraph(Out& o, const Paragraph& p)
{
    o.var(std::uint32_t(paragraphSize(p)));
    o.var(std::uint32_t(p.style));
    o.var(std::uint32_t(p.list + 1));
    for (const Item& it : p.items) {
        if (!written(it)) continue;  // an empty run carries nothing
        switch (it.kind) {
        case Item::Kind::Text:
            o.var(it.link.empty() ? kItemText : kItemLink);
            o.var(std::uint32_t(itemSize(it)));
            o.var(std::uint32_t(it.style));
            o.str(it.text);
            if (!it.link.empty()) o.str(it.link);
            break;
        case Item::Kind::Picture:
        case Item::Kind::ListPicture:
            o.var(it.kind == Item::Kind::Picture ? kItemPicture : kItemListPicture);
            o.var(std::uint32_t(itemSize(it)));
            o.var(std::uint32_t(it.style));
            o.var(std::uint32_t(it.index));
            o.var(std::uint32_t(it.width));
            o.var(std::uint32_t(it.height));
            break;
        }
    }
}

std::size_t tableSize(const Table& t)
{
    std::size_t n =
        varSize(std::uint32_t(t.rows)) + varSize(std::uint32_t(t.columns)) + varSize(std::uint32_t(t.border));
    for (const auto& cell : t.cells) {
        n += varSize(std::uint32_t(cell.size()));
        for (const Paragraph& p : cell) {
            std::size_t ps = paragraphSize(p);
            n += varSize(std::uint32_t(ps)) + ps;
        }
    }
    return n;
}

std::size_t bodySize(const DocModel& d)
{
    std::size_t n = 0;
    for (const Block& b : d.blocks) {
        std::size_t bs = b.kind == Block::Kind::Paragraph ? paragraphSize(b.paragraph)
                                                          : tableSize(d.tables.at(std::size_t(b.table)));
        n += 1 + varSize(std::uint32_t(bs)) + bs;
    }
    return n;
}

// Replaces the BODY chunk at `at` (the last chunk written; its blocks start at the offsets
// `blocks`) by its compressed form when that pays, and marks the file as major version 2,
// which version-1 readers refuse instead of showing a document without its body. The body is
// cut into segments of whole blocks of about kPackSegment bytes, compressed on their own.
void packBody(Out& o, std::size_t at, const std::vector<std::size_t>& blocks)
{
    const std::size_t start = at + kChunkHeaderSize, end = o.bytes.size();
    if (end - start < kMinPackedBody) return;
    std::string packed;
    std::unique_ptr<char[]> buffer;
    int capacity = 0;
    auto segment = [&](std::size_t from, std::size_t to) {
        const std::size_t size = to - from;
        if (size > kMaxPackedSegment) return false;
        const int bound = LZ4_compressBound(int(size));
        if (bound > capacity) {
            buffer.reset(new char[std::size_t(bound)]);
            capacity = bound;
        }
        const int n = LZ4_compress_default(o.bytes.data() + from, buffer.get(), int(size), bound);
        if (n <= 0 || size > std::size_t(n) * kMaxPackRatio) return false;
        Out head;
        head.var(std::uint32_t(size));
        head.var(std::uint32_t(n));
        packed.append(head.bytes).append(buffer.get(), std::size_t(n));
        return true;
    };
    std::size_t from = start;
    for (std::size_t b : blocks) {
        if (b - from < kPackSegment) continue;
        if (!segment(from, b)) return;
        from = b;
    }
    if (!segment(from, end) || packed.size() >= end - start) return;
    o.bytes.resize(at);
    o.raw(kTagPackedBody);
    o.u32(std::uint32_t(packed.size()));
    o.raw(packed);
    o.bytes[kMagic.size()] = char(kRvfMajorVersion);
}

// ---- reading ----

struct Damaged {
    std::size_t offset;
};

// A cursor over [pos, end) of the whole input; offsets in errors are file offsets.
class In {
public:
    In(const std::uint8_t* data, std::size_t pos, std::size_t end) : m_d(data), m_pos(pos), m_end(end) {}
    std::size_t pos() const { return m_pos; }
    std::size_t left() const { return m_end - m_pos; }
    bool atEnd() const { return m_pos == m_end; }
    [[noreturn]] void fail() const { throw Damaged{m_pos}; }
    void need(std::size_t n) const
    {
        if (n > left()) fail();
    }
    std::uint8_t u8()
    {
        need(1);
        return m_d[m_pos++];
    }
    std::uint16_t u16()
    {
        std::uint16_t lo = u8();
        return std::uint16_t(lo | (u8() << 8));
    }
    std::uint32_t u32()
    {
        std::uint32_t lo = u16();
        return lo | (std::uint32_t(u16()) << 16);
    }
    // LEB128, at most 5 bytes, no bits beyond 32.
    std::uint32_t var()
    {
        std::size_t start = m_pos;
        std::uint32_t v = 0;
        for (int shift = 0; shift < 35; shift += 7) {
            std::uint8_t b = u8();
            if (shift == 28 && (b & 0xF0)) throw Damaged{start};
            v |= std::uint32_t(b & 0x7F) << shift;
            if (!(b & 0x80)) return v;
        }
        throw Damaged{start};
    }
    int svar()
    {
        std::uint32_t z = var();
        return int((z >> 1) ^ (~(z & 1) + 1));
    }
    // A count of elements each taking at least minBytes: never more than the bytes left allow.
    std::size_t count(std::size_t minBytes)
    {
        std::size_t start = m_pos;
        std::uint32_t n = var();
        if (std::size_t(n) > left() / minBytes) throw Damaged{start};
        return n;
    }
    std::string_view bytes(std::size_t n)
    {
        need(n);
        std::string_view s(reinterpret_cast<const char*>(m_d + m_pos), n);
        m_pos += n;
        return s;
    }
    std::string str()
    {
        std::size_t start = m_pos;
        std::uint32_t n = var();
        if (n > left()) throw Damaged{start};
        return std::string(bytes(n));
    }
    // The next length-prefixed record, as a cursor of its own; this cursor moves past it.
    In record()
    {
        std::size_t start = m_pos;
        std::uint32_t n = var();
        if (n > left()) throw Damaged{start};
        In r(m_d, m_pos, m_pos + n);
        m_pos += n;
        return r;
    }
    In rest()
    {
        In r(m_d, m_pos, m_end);
        m_pos = m_end;
        return r;
    }

private:
    const std::uint8_t* m_d;
    std::size_t m_pos;
    std::size_t m_end;
};

int clampInt(int v, int lo, int hi) { return std::clamp(v, lo, hi); }

TextStyle readTextStyle(In r)
{
    TextStyle s;
    s.name = r.str();
    s.fontName = r.str();
    s.size = clampInt(int(std::min<std::uint32_t>(r.var(), 100000)), 1, 1638);
    std::uint32_t f = r.var();
    s.bold = f & kBold;
    s.italic = f & kItalic;
    s.underline = f & kUnderline;
    s.strikeOut = f & kStrikeOut;
    s.transparentBack = f & kTransparent;
    s.hypertext = f & kHypertext;
    s.standard = f & kStandard;
    s.color = r.var() & 0xFFFFFF;
    s.backColor = r.var() & 0xFFFFFF;
    s.charset = int(r.var() & 0xFF);
    return s;  // fields added by later versions follow and are ignored
}

ParaStyle readParaStyle(In r)
{
    ParaStyle s;
    s.name = r.str();
    std::uint32_t a = r.var();
    s.alignment = a <= 3 ? Alignment(a) : Alignment::Left;
    s.leftIndent = clampInt(r.svar(), 0, kMaxIndent);
    s.rightIndent = clampInt(r.svar(), 0, kMaxIndent);
    s.firstIndent = clampInt(r.svar(), -kMaxIndent, kMaxIndent);
    s.spaceBefore = clampInt(r.svar(), 0, kMaxIndent);
    s.spaceAfter = clampInt(r.svar(), 0, kMaxIndent);
    s.standard = r.var() & 1;
    return s;
}

// What a body holds so far, against the reader's limits.
struct Tally {
    RvfLimits limits;
    std::size_t paragraphs = 0;
    std::size_t items = 0;
    std::size_t longest = 0;  // items of the longest paragraph
    bool over() const
    {
        return paragraphs > limits.paragraphs || items > limits.items || longest > limits.itemsPerParagraph;
    }
};

// Past a limit the items are read and counted but not kept.
Paragraph readParagraph(In r, Tally& tally)
{
    Paragraph p;
    std::size_t count = 0;  // items read, kept or not
    p.style = int(std::min<std::uint32_t>(r.var(), 0x7FFFFFFF));
    p.list = int(std::min<std::uint32_t>(r.var(), 0x7FFFFFFF)) - 1;
    while (!r.atEnd()) {
        std::uint32_t kind = r.var();
        In ir = r.record();
        Item it;
        switch (kind) {
        case kItemText:
        case kItemLink:
            it.kind = Item::Kind::Text;
            it.style = int(std::min<std::uint32_t>(ir.var(), 0x7FFFFFFF));
            it.text = ir.str();
            if (kind == kItemLink) it.link = ir.str();
            // Paragraph breaks inside a run would change the document's structure. Three
            // vectorised searches are cheaper than one loop over every character; find_first_of
            // would search the set once per character.
            if (std::memchr(it.text.data(), '\n', it.text.size()) ||
                std::memchr(it.text.data(), '\r', it.text.size()) || std::memchr(it.text.data(), '\0', it.text.size()))
                for (char& ch : it.text)
                    if (ch == '\r' || ch == '\n' || ch == '\0') ch = ' ';
            if (it.text.empty()) continue;
            break;
        case kItemPicture:
        case kItemListPicture:
            it.kind = kind == kItemPicture ? Item::Kind::Picture : Item::Kind::ListPicture;
            it.style = int(std::min<std::uint32_t>(ir.var(), 0x7FFFFFFF));
            it.index = int(std::min<std::uint32_t>(ir.var(), 0x7FFFFFFF));
            it.width = int(std::min<std::uint32_t>(ir.var(), kMaxPictureSide));
            it.height = int(std::min<std::uint32_t>(ir.var(), kMaxPictureSide));
            break;
        default: continue;  // an item kind of a later version
        }
        ++tally.items;
        tally.longest = std::max(tally.longest, ++count);
        if (!tally.over()) p.items.push_back(std::move(it));
    }
    return p;
}

void readBody(In c, DocModel& d, Tally& tally)
{
    while (!c.atEnd()) {
        std::uint32_t kind = c.var();
        In b = c.record();
        if (kind == kBlockParagraph) {
            ++tally.paragraphs;
            Block blk;
            blk.paragraph = readParagraph(b, tally);
            if (!tally.over()) d.blocks.push_back(std::move(blk));
        } else if (kind == kBlockTable) {
            Table t;
            std::size_t at = b.pos();
            std::uint32_t rows = b.var(), cols = b.var();
            t.border = int(std::min<std::uint32_t>(b.var(), 100));
            // Every cell takes at least one byte (its paragraph count).
            if (rows == 0 || cols == 0 || rows > b.left() || cols > b.left() / rows) throw Damaged{at};
            t.rows = int(rows);
            t.columns = int(cols);
            const std::size_t cells = std::size_t(rows) * cols;
            // The cells are kept only while they fit the limit; past it they are only counted.
            if (!tally.over() && cells <= tally.limits.paragraphs - std::min(tally.paragraphs, tally.limits.paragraphs))
                t.cells.resize(cells);
            for (std::size_t k = 0; k < cells; ++k) {
                std::size_t n = b.count(1);
                tally.paragraphs += std::max<std::size_t>(n, 1);
                const bool keep = !tally.over() && k < t.cells.size();
                if (keep) t.cells[k].reserve(n);
                for (std::size_t i = 0; i < n; ++i) {
                    Paragraph p = readParagraph(b.record(), tally);
                    if (keep && !tally.over()) t.cells[k].push_back(std::move(p));
                }
            }
            if (tally.over()) continue;
            d.tables.push_back(std::move(t));
            Block blk;
            blk.kind = Block::Kind::Table;
            blk.table = int(d.tables.size()) - 1;
            d.blocks.push_back(std::move(blk));
        }
        // other block kinds belong to later versions and are skipped
    }
}

// A compressed body: segments of `var` inflated size, `var` stream length and an LZ4 block,
// each holding whole blocks of the body. A segment's declared size is checked against the
// cap before anything is allocated, and its stream must inflate to exactly that size. One
// buffer of the largest segment's size serves all of them, so reading needs no buffer of the
// whole body. Damage inside an inflated segment is reported at its stream's first byte.
void readPackedBody(In k, DocModel& d, Tally& tally)
{
    if (k.atEnd()) k.fail();
    std::unique_ptr<char[]> buffer;
    std::size_t capacity = 0;
    while (!k.atEnd()) {
        const std::size_t sizeAt = k.pos();
        const std::uint32_t declared = k.var();
        const std::size_t lengthAt = k.pos();
        const std::uint32_t length = k.var();
        const std::size_t streamAt = k.pos();
        if (length > k.left()) throw Damaged{lengthAt};
        if (declared == 0 || declared > kMaxPackedSegment || declared > std::size_t(length) * kMaxPackRatio)
            throw Damaged{sizeAt};
        // No block inflating to `declared` bytes is longer than this; it also keeps the sizes in
        // LZ4's int range.
        if (length > std::uint32_t(LZ4_compressBound(int(declared)))) throw Damaged{lengthAt};
        if (declared > capacity) {
            buffer.reset();
            buffer.reset(new char[declared]);
            capacity = declared;
        }
        std::string_view stream = k.bytes(length);
        if (LZ4_decompress_safe(stream.data(), buffer.get(), int(length), int(declared)) != int(declared))
            throw Damaged{streamAt};
        try {
            readBody(In(reinterpret_cast<const std::uint8_t*>(buffer.get()), 0, declared), d, tally);
        } catch (const Damaged&) {
            throw Damaged{streamAt};
        }
    }
}

// References to things that do not exist fall back as documented.
void fixReferences(DocModel& d)
{
    auto fixPara = [&](Paragraph& p) {
        if (p.style < 0 || p.style >= d.styles.paraCount()) p.style = 0;
        if (p.list < -1 || p.list >= int(d.lists.size())) p.list = -1;
        std::erase_if(p.items, [&](const Item& it) {
            return it.kind == Item::Kind::Picture && it.index >= int(d.pictures.size());
        });
        for (Item& it : p.items) {
            if (it.style < 0 || it.style >= d.styles.textCount()) it.style = 0;
            // Picture-list entries are checked against the list when the editor gets it.
        }
    };
    for (Block& b : d.blocks) {
        if (b.kind == Block::Kind::Paragraph) fixPara(b.paragraph);
    }
    for (Table& t : d.tables)
        for (auto& cell : t.cells)
            for (Paragraph& p : cell)
                fixPara(p);
}

}  // namespace

std::string writeRvf(const DocModel& d)
{
    Out o;
    std::size_t pictures = 0;
    for (const Picture& p : d.pictures)
        pictures += p.bytes.size() + 16;
    o.bytes.reserve(pictures + 4096);
    for (auto b : kMagic)
        o.u8(b);
    o.u16(1);  // raised to 2 when the body is compressed (packBody)
    o.u16(kRvfMinorVersion);

    Out ts;
    ts.var(std::uint32_t(d.styles.textStyles.size()));
    for (const TextStyle& s : d.styles.textStyles) {
        Out r;
        r.str(s.name);
        r.str(s.fontName);
        r.var(std::uint32_t(s.size));
        r.var((s.bold ? kBold : 0) | (s.italic ? kItalic : 0) | (s.underline ? kUnderline : 0) |
              (s.strikeOut ? kStrikeOut : 0) | (s.transparentBack ? kTransparent : 0) | (s.hypertext ? kHypertext : 0) |
              (s.standard ? kStandard : 0));
        r.var(s.color & 0xFFFFFF);
        r.var(s.backColor & 0xFFFFFF);
        r.var(std::uint32_t(s.charset) & 0xFF);
        putRecord(ts, r);
    }
    putChunk(o, kTagTextStyles, ts);

    Out ps;
    ps.var(std::uint32_t(d.styles.paraStyles.size()));
    for (const ParaStyle& s : d.styles.paraStyles) {
        Out r;
        r.str(s.name);
        r.var(std::uint32_t(s.alignment));
        r.svar(s.leftIndent);
        r.svar(s.rightIndent);
        r.svar(s.firstIndent);
        r.svar(s.spaceBefore);
        r.svar(s.spaceAfter);
        r.var(s.standard ? 1 : 0);
        putRecord(ps, r);
    }
    putChunk(o, kTagParaStyles, ps);

    if (!d.lists.empty()) {
        Out ls;
        ls.var(std::uint32_t(d.lists.size()));
        for (const ListDef& l : d.lists) {
            Out r;
            r.var(std::uint32_t(l.kind));
            r.var(std::uint32_t(l.level));
            putRecord(ls, r);
        }
        putChunk(o, kTagLists, ls);
    }

    for (const Picture& p : d.pictures) {
        Out pc;
        pc.var(std::uint32_t(p.format));
        pc.raw(p.bytes);
        putChunk(o, kTagPicture, pc);
    }

    const std::size_t body = bodySize(d);
    const std::size_t bodyChunk = o.bytes.size();
    o.raw(kTagBody);
    o.u32(std::uint32_t(body));
    o.bytes.reserve(o.bytes.size() + body + 256);
    std::vector<std::size_t> blockStarts;
    blockStarts.reserve(d.blocks.size());
    for (const Block& b : d.blocks) {
        blockStarts.push_back(o.bytes.size());
        if (b.kind == Block::Kind::Paragraph) {
            o.var(kBlockParagraph);
            putParagraph(o, b.paragraph);
        } else {
            const Table& t = d.tables.at(std::size_t(b.table));
            o.var(kBlockTable);
            o.var(std::uint32_t(tableSize(t)));
            o.var(std::uint32_t(t.rows));
            o.var(std::uint32_t(t.columns));
            o.var(std::uint32_t(t.border));
            for (const auto& cell : t.cells) {
                o.var(std::uint32_t(cell.size()));
                for (const Paragraph& p : cell)
                    putParagraph(o, p);
            }
        }
    }

    packBody(o, bodyChunk, blockStarts);

    if (d.hasBackground) {
        Out bg;
        bg.var(1);
        bg.var(d.background & 0xFFFFFF);
        putChunk(o, kTagBackground, bg);
    }

    Out lay;
    lay.var(std::uint32_t(d.layout.leftMargin));
    lay.var(std::uint32_t(d.layout.rightMargin));
    lay.var(std::uint32_t(d.layout.topMargin));
    lay.var(std::uint32_t(d.layout.bottomMargin));
    lay.var(std::uint32_t(d.layout.minTextWidth));
    lay.var(std::uint32_t(d.layout.maxTextWidth));
    putChunk(o, kTagLayout, lay);

    if (!d.properties.empty()) {
        Out pr;
        pr.var(std::uint32_t(d.properties.size()));
        for (const Property& p : d.properties) {
            Out r;
            r.str(p.name);
            r.str(p.value);
            putRecord(pr, r);
        }
        putChunk(o, kTagProperties, pr);
    }

    putChunk(o, kTagEnd, Out{});
    return std::move(o.bytes);
}

RvfReadResult readRvf(std::string_view bytes, DocModel& out, const RvfLimits& limits)
{
    RvfReadResult res;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    if (bytes.size() < kMagic.size() || std::memcmp(data, kMagic.data(), kMagic.size()) != 0) {
        res.error = "not a Veltrana document";
        return res;
    }
    try {
        In c(data, kMagic.size(), bytes.size());
        int major = c.u16();
        c.u16();  // minor versions only add chunks, items or trailing fields
        if (major < 1 || major > kRvfMajorVersion) {
            res.error = "written by a newer version of the program (format " + std::to_string(major) + ")";
            return res;
        }
        DocModel d;
        Tally tally{limits};
        d.styles.textStyles.clear();
        d.styles.paraStyles.clear();
        bool seenText = false, seenPara = false, seenLists = false, seenBody = false, seenBack = false,
             seenLayout = false, seenProps = false, seenEnd = false;
        auto once = [&](bool& seen, std::size_t at) {
            if (seen) throw Damaged{at};
            seen = true;
        };
        while (!c.atEnd()) {
            std::size_t at = c.pos();
            std::string_view tag = c.bytes(4);
            std::uint32_t len = c.u32();
            if (len > c.left()) throw Damaged{at + 4};
            In k(data, c.pos(), c.pos() + len);
            c.bytes(len);
            if (tag == kTagEnd) {
                seenEnd = true;
                break;
            } else if (tag == kTagTextStyles) {
                once(seenText, at);
                std::size_t n = k.count(1);
                d.styles.textStyles.reserve(n);
                for (std::size_t i = 0; i < n; ++i)
                    d.styles.textStyles.push_back(readTextStyle(k.record()));
            } else if (tag == kTagParaStyles) {
                once(seenPara, at);
                std::size_t n = k.count(1);
                d.styles.paraStyles.reserve(n);
                for (std::size_t i = 0; i < n; ++i)
                    d.styles.paraStyles.push_back(readParaStyle(k.record()));
            } else if (tag == kTagLists) {
                once(seenLists, at);
                std::size_t n = k.count(1);
                d.lists.reserve(n);
                for (std::size_t i = 0; i < n; ++i) {
                    In r = k.record();
                    ListDef l;
                    std::uint32_t kind = r.var();
                    l.kind = (kind >= 1 && kind <= 8) ? ListKind(kind) : ListKind::Disc;
                    l.level = int(std::clamp<std::uint32_t>(r.var(), 1, 8));
                    d.lists.push_back(l);
                }
            } else if (tag == kTagPicture) {
                Picture p;
                std::uint32_t f = k.var();
                // An unknown picture format keeps its place (later items refer to it by number) but
                // has no bytes, so it is skipped like any picture that cannot be read.
                if (f == 1 || f == 2) {
                    p.format = PictureFormat(f);
                    p.bytes = std::string(k.bytes(k.left()));
                }
                d.pictures.push_back(std::move(p));
            } else if (tag == kTagBody) {
                once(seenBody, at);
                readBody(k, d, tally);
            } else if (tag == kTagPackedBody) {
                once(seenBody, at);
                readPackedBody(k, d, tally);
            } else if (tag == kTagBackground) {
                once(seenBack, at);
                d.hasBackground = k.var() & 1;
                std::uint32_t colour = k.var() & 0xFFFFFF;
                if (d.hasBackground) d.background = colour;  // without a background the colour means nothing
            } else if (tag == kTagLayout) {
                once(seenLayout, at);
                auto v = [&] { return int(std::min<std::uint32_t>(k.var(), kMaxIndent)); };
                d.layout.leftMargin = v();
                d.layout.rightMargin = v();
                d.layout.topMargin = v();
                d.layout.bottomMargin = v();
                d.layout.minTextWidth = v();
                d.layout.maxTextWidth = std::max(v(), d.layout.minTextWidth);
            } else if (tag == kTagProperties) {
                once(seenProps, at);
                std::size_t n = k.count(1);
                d.properties.reserve(n);
                for (std::size_t i = 0; i < n; ++i) {
                    In r = k.record();
                    Property p;
                    p.name = r.str();
                    p.value = r.str();
                    d.properties.push_back(std::move(p));
                }
            } else {
                ++res.unknownChunks;  // a chunk of a later version
            }
        }
        // Without the end chunk the file was cut short, possibly at a chunk boundary.
        if (!seenEnd) throw Damaged{bytes.size()};
        if (tally.over()) {
            res.tooLarge = true;
            res.error = "This document is too large to show: ";
            if (tally.paragraphs > limits.paragraphs)
                res.error +=
                    std::to_string(tally.paragraphs) + " paragraphs, the limit is " + std::to_string(limits.paragraphs);
            else if (tally.items > limits.items)
                res.error += std::to_string(tally.items) + " items, the limit is " + std::to_string(limits.items);
            else
                res.error += "a paragraph of " + std::to_string(tally.longest) + " items, the limit is " +
                             std::to_string(limits.itemsPerParagraph);
            return res;
        }
        DocStyles standard = DocStyles::standardSheet();
        if (d.styles.textStyles.empty()) d.styles.textStyles = standard.textStyles;
        if (d.styles.paraStyles.empty()) d.styles.paraStyles = standard.paraStyles;
        fixReferences(d);
        out = std::move(d);
        res.ok = true;
    } catch (const Damaged& e) {
        res.offset = e.offset;
        res.error = "damaged at byte " + std::to_string(e.offset);
    }
    return res;
}

int DocModel::itemCount() const
{
    int n = 0;
    auto count = [&](const Paragraph& p) { n += int(p.items.size()); };
    for (const Block& b : blocks) {
        if (b.kind == Block::Kind::Paragraph)
            count(b.paragraph);
        else
            for (const auto& cell : tables.at(std::size_t(b.table)).cells)
                for (const Paragraph& p : cell)
                    count(p);
    }
    return n;
}

std::string DocModel::plainText() const
{
    std::string s;
    auto para = [&](const Paragraph& p) {
        for (const Item& it : p.items)
            if (it.kind == Item::Kind::Text) s += it.text;
        s += '\n';
    };
    for (const Block& b : blocks) {
        if (b.kind == Block::Kind::Paragraph)
            para(b.paragraph);
        else
            for (const auto& cell : tables.at(std::size_t(b.table)).cells)
                for (const Paragraph& p : cell)
                    para(p);
    }
    return s;
}

}  // namespace vt::rt
