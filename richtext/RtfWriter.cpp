#include "richtext/RtfWriter.h"

#include "richtext/HtmlWriter.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QString>

#include <cstdio>
#include <map>

namespace vt::rt {

namespace {

constexpr int kTwipsPerUnit = 15;  // 1440 twips per inch, 96 units per inch

// windows-1252 byte for a character, or 0 when it has none.
unsigned char cp1252(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<unsigned char>(c);
    static const std::map<char32_t, unsigned char> high = {
        {0x20AC, 0x80}, {0x201A, 0x82}, {0x0192, 0x83}, {0x201E, 0x84}, {0x2026, 0x85}, {0x2020, 0x86}, {0x2021, 0x87},
        {0x02C6, 0x88}, {0x2030, 0x89}, {0x0160, 0x8A}, {0x2039, 0x8B}, {0x0152, 0x8C}, {0x017D, 0x8E}, {0x2018, 0x91},
        {0x2019, 0x92}, {0x201C, 0x93}, {0x201D, 0x94}, {0x2022, 0x95}, {0x2013, 0x96}, {0x2014, 0x97}, {0x02DC, 0x98},
        {0x2122, 0x99}, {0x0161, 0x9A}, {0x203A, 0x9B}, {0x0153, 0x9C}, {0x017E, 0x9E}, {0x0178, 0x9F}};
    auto it = high.find(c);
    return it == high.end() ? 0 : it->second;
}

void hexByte(std::string& out, unsigned char b)
{
    static const char* digits = "0123456789abcdef";
    out += "\\'";
    out += digits[b >> 4];
    out += digits[b & 15];
}

// UTF-8 text as RTF text.
std::string rtfText(const std::string& utf8)
{
    std::string out;
    QString s = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
    for (QChar ch : s) {
        char16_t u = ch.unicode();
        if (u == '\\' || u == '{' || u == '}') {
            out += '\\';
            out += char(u);
        } else if (u == '\t') {
            out += "\\tab ";
        } else if (u == 0x2028) {
            out += "\\line ";
        } else if (u < 0x20) {
            continue;
        } else if (u < 0x80) {
            out += char(u);
        } else {
            out += "\\u" + std::to_string(int(std::int16_t(u)));
            unsigned char fb = ch.isSurrogate() ? 0 : cp1252(u);
            if (fb)
                hexByte(out, fb);
            else
                out += '?';
        }
    }
    return out;
}

class Writer {
public:
    Writer(const DocModel& d, const QList<QImage>& pictureList) : m_d(d), m_pictureList(pictureList) {}

    std::string run()
    {
        collectTables();
        std::string body;
        for (const Block& b : m_d.blocks) {
            if (b.kind == Block::Kind::Paragraph)
                body += paragraph(b.paragraph, false, true);
            else
                body += table(m_d.tables.at(size_t(b.table)));
        }
        std::string o = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n{\\fonttbl";
        for (size_t i = 0; i < m_fonts.size(); ++i)
            o += "{\\f" + std::to_string(i) + "\\fnil\\fcharset" + std::to_string(m_fonts[i].second) + " " +
                 rtfText(m_fonts[i].first) + ";}";
        o += "}\n{\\colortbl;";
        for (std::uint32_t c : m_colors)
            o += "\\red" + std::to_string((c >> 16) & 255) + "\\green" + std::to_string((c >> 8) & 255) + "\\blue" +
                 std::to_string(c & 255) + ";";
        o += "}\n";
        o += listTables();
        o += info();
        const Layout& l = m_d.layout;
        o += "\\paperw12240\\paperh15840\\margl" + std::to_string(l.leftMargin * kTwipsPerUnit) + "\\margr" +
             std::to_string(l.rightMargin * kTwipsPerUnit) + "\\margt1134\\margb1134\n";
        if (m_d.hasBackground) {
            std::uint32_t c = m_d.background;
            std::uint32_t bgr = ((c & 255) << 16) | (c & 0xFF00) | ((c >> 16) & 255);
            o += "{\\*\\background{\\shp{\\*\\shpinst{\\sp{\\sn fillColor}{\\sv " + std::to_string(bgr) +
                 "}}}}}\\viewbksp1\n";
        }
        o += body;
        o += "}\n";
        return o;
    }

private:
    // The tables must exist before the body refers to them by number, but their content is only
    // known while writing the body; fonts and colours are gathered from every style up front.
    void collectTables()
    {
        for (const TextStyle& s : m_d.styles.textStyles) {
            font(s);
            color(s.color);
            if (!s.transparentBack) color(s.backColor);
        }
    }
    int font(const TextStyle& s)
    {
        std::pair<std::string, int> key{s.fontName, s.charset};
        for (size_t i = 0; i < m_fonts.size(); ++i)
            if (m_fonts[i] == key) return int(i);
        m_fonts.push_back(key);
        return int(m_fonts.size()) - 1;
    }
    int color(std::uint32_t c)
    {
        for (size_t i = 0; i < m_colors.size(); ++i)
            if (m_colors[i] == c) return int(i) + 1;
        m_colors.push_back(c);
        return int(m_colors.size());
    }

    std::string charFormat(const TextStyle& s)
    {
        std::string o = "\\f" + std::to_string(font(s)) + "\\fs" + std::to_string(s.size * 2);
        if (s.bold) o += "\\b";
        if (s.italic) o += "\\i";
        if (s.underline) o += "\\ul";
        if (s.strikeOut) o += "\\strike";
        o += "\\cf" + std::to_string(color(s.color));
        if (!s.transparentBack) o += "\\chcbpat" + std::to_string(color(s.backColor));
        return o + " ";
    }

    std::string picture(const Item& it)
    {
        QByteArray bytes;
        bool jpeg = false;
        if (it.kind == Item::Kind::Picture) {
            const Picture& p = m_d.pictures.at(size_t(it.index));
            if (p.bytes.empty()) return {};
            bytes = QByteArray(p.bytes.data(), qsizetype(p.bytes.size()));
            jpeg = p.format == PictureFormat::Jpeg;
        } else {
            int i = (it.index >= 0 && it.index < m_pictureList.size()) ? it.index : 0;
            if (i >= m_pictureList.size()) return {};
            QBuffer buf(&bytes);
            buf.open(QIODevice::WriteOnly);
            m_pictureList[i].save(&buf, "PNG");
        }
        QBuffer in(&bytes);
        in.open(QIODevice::ReadOnly);
        QSize natural = QImageReader(&in).size();
        if (!natural.isValid()) return {};
        int w = it.width > 0 ? it.width : natural.width();
        int h = it.height > 0 ? it.height : natural.height();
        std::string o = "{\\pict";
        o += jpeg ? "\\jpegblip" : "\\pngblip";
        o += "\\picw" + std::to_string(natural.width()) + "\\pich" + std::to_string(natural.height()) + "\\picwgoal" +
             std::to_string(w * kTwipsPerUnit) + "\\pichgoal" + std::to_string(h * kTwipsPerUnit) + "\n";
        QByteArray hex = bytes.toHex();
        for (qsizetype i = 0; i < hex.size(); i += 128) {
            o.append(hex.constData() + i, size_t(std::min<qsizetype>(128, hex.size() - i)));
            o += '\n';
        }
        return o + "}";
    }

    std::string listLabel(int list, int number)
    {
        ListKind k = m_d.lists.at(size_t(list)).kind;
        auto alpha = [](int n, char base) {
            std::string s;
            for (; n > 0; n = (n - 1) / 26)
                s.insert(s.begin(), char(base + (n - 1) % 26));
            return s;
        };
        auto roman = [](int n, bool upper) {
            static const std::pair<int, const char*> t[] = {
                {1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"}, {90, "xc"}, {50, "l"},
                {40, "xl"},  {10, "x"},   {9, "ix"},  {5, "v"},    {4, "iv"},  {1, "i"}};
            std::string s;
            for (auto [v, r] : t)
                while (n >= v) {
                    s += r;
                    n -= v;
                }
            if (upper)
                for (char& c : s)
                    c = char(c - 'a' + 'A');
            return s;
        };
        switch (k) {
        case ListKind::Decimal: return std::to_string(number) + ".";
        case ListKind::LowerAlpha: return alpha(number, 'a') + ".";
        case ListKind::UpperAlpha: return alpha(number, 'A') + ".";
        case ListKind::LowerRoman: return roman(number, false) + ".";
        case ListKind::UpperRoman: return roman(number, true) + ".";
        case ListKind::Circle: return "\\u9702 o";
        case ListKind::Square: return "\\u9642 \\'a7";
        case ListKind::Disc: break;
        }
        return "\\u8226 \\'95";
    }

    static int levelNfc(ListKind k)
    {
        switch (k) {
        case ListKind::Decimal: return 0;
        case ListKind::UpperRoman: return 1;
        case ListKind::LowerRoman: return 2;
        case ListKind::UpperAlpha: return 3;
        case ListKind::LowerAlpha: return 4;
        default: return 23;  // bullet
        }
    }

    std::string listTables()
    {
        if (m_d.lists.empty()) return {};
        std::string lt = "{\\*\\listtable";
        std::string ov = "{\\*\\listoverridetable";
        for (size_t i = 0; i < m_d.lists.size(); ++i) {
            const ListDef& l = m_d.lists[i];
            int nfc = levelNfc(l.kind);
            std::string id = std::to_string(i + 1);
            int indent = 360 * (l.level + 1);
            lt += "{\\list\\listtemplateid" + id + "\\listsimple{\\listlevel\\levelnfc" + std::to_string(nfc) +
                  "\\levelnfcn" + std::to_string(nfc) + "\\leveljc0\\levelfollow0\\levelstartat1";
            if (nfc == 23)
                lt += "{\\leveltext\\'01" + listLabel(int(i), 1) + ";}{\\levelnumbers;}";
            else
                lt += "{\\leveltext\\'02\\'00.;}{\\levelnumbers\\'01;}";
            lt += "\\fi-360\\li" + std::to_string(indent) + "}{\\listname ;}\\listid" + id + "}";
            ov += "{\\listoverride\\listid" + id + "\\listoverridecount0\\ls" + id + "}";
        }
        return lt + "}\n" + ov + "}\n";
    }

    std::string info()
    {
        static const std::map<std::string, std::string> known = {{"title", "title"},     {"subject", "subject"},
                                                                 {"author", "author"},   {"keywords", "keywords"},
                                                                 {"comment", "doccomm"}, {"company", "company"}};
        std::string o;
        for (const Property& p : m_d.properties) {
            std::string key = p.name;
            for (char& c : key)
                c = char(std::tolower(static_cast<unsigned char>(c)));
            auto it = known.find(key);
            if (it != known.end()) o += "{\\" + it->second + " " + rtfText(p.value) + "}";
        }
        return o.empty() ? o : "{\\info" + o + "}\n";
    }

    std::string paragraph(const Paragraph& p, bool inTable, bool endWithPar)
    {
        const ParaStyle& ps = m_d.styles.para(p.style);
        std::string o = "\\pard\\plain";
        if (inTable) o += "\\intbl";
        switch (ps.alignment) {
        case Alignment::Left: o += "\\ql"; break;
        case Alignment::Right: o += "\\qr"; break;
        case Alignment::Center: o += "\\qc"; break;
        case Alignment::Justify: o += "\\qj"; break;
        }
        int left = ps.leftIndent * kTwipsPerUnit, first = ps.firstIndent * kTwipsPerUnit;
        std::string label;
        if (p.list >= 0) {
            int n = ++m_listCounters[p.list];
            left += 360 * (m_d.lists.at(size_t(p.list)).level + 1);
            first -= 360;
            o += "\\ls" + std::to_string(p.list + 1) + "\\ilvl0";
            label = "{\\listtext\\pard\\plain " + listLabel(p.list, n) + "\\tab}";
        }
        o += "\\li" + std::to_string(left) + "\\ri" + std::to_string(ps.rightIndent * kTwipsPerUnit) + "\\fi" +
             std::to_string(first) + "\\sb" + std::to_string(ps.spaceBefore * kTwipsPerUnit) + "\\sa" +
             std::to_string(ps.spaceAfter * kTwipsPerUnit) + "\n";
        o += label;
        for (const Item& it : p.items) {
            const TextStyle& ts = m_d.styles.text(it.style);
            if (it.kind != Item::Kind::Text) {
                o += "{" + charFormat(ts) + picture(it) + "}";
                continue;
            }
            std::string run = "{" + charFormat(ts) + rtfText(it.text) + "}";
            // A target that is not safe to follow (javascript:, file:, a share ...) is written
            // as its text only, as the HTML writer does: the file may be opened by any reader.
            if (!it.link.empty() && isSafeLink(QString::fromStdString(it.link))) {
                // Characters that would end the field instruction's quoted argument are percent-encoded.
                std::string url;
                for (char c : it.link) {
                    if (c == '"' || c == '\\' || c == '{' || c == '}' || static_cast<unsigned char>(c) < 0x20) {
                        char hex[4];
                        std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
                        url += hex;
                    } else {
                        url += c;
                    }
                }
                o += "{\\field{\\*\\fldinst{HYPERLINK \"" + rtfText(url) + "\"}}{\\fldrslt" + run + "}}";
            } else {
                o += run;
            }
        }
        if (endWithPar) o += "\\par\n";
        return o;
    }

    std::string table(const Table& t)
    {
        std::string o;
        int width = (m_d.layout.maxTextWidth > 0 ? m_d.layout.maxTextWidth : 624) * kTwipsPerUnit;
        std::string border =
            t.border > 0 ? "\\brdrs\\brdrw" + std::to_string(std::max(1, t.border) * 15) : "\\brdrnone";
        for (int r = 0; r < t.rows; ++r) {
            o += "\\trowd\\trgaph60\\trleft0";
            for (int c = 0; c < t.columns; ++c)
                o += "\\clbrdrt" + border + "\\clbrdrl" + border + "\\clbrdrb" + border + "\\clbrdrr" + border +
                     "\\cellx" + std::to_string(width * (c + 1) / t.columns);
            o += "\n";
            for (int c = 0; c < t.columns; ++c) {
                const auto& cell = t.cells[size_t(r) * size_t(t.columns) + size_t(c)];
                if (cell.empty()) o += "\\pard\\plain\\intbl";
                for (size_t i = 0; i < cell.size(); ++i) {
                    o += paragraph(cell[i], true, false);
                    if (i + 1 < cell.size()) o += "\\par\n";
                }
                o += "\\cell\n";
            }
            o += "\\row\n";
        }
        o += "\\pard\\plain\n";
        return o;
    }

    const DocModel& m_d;
    const QList<QImage>& m_pictureList;
    std::vector<std::pair<std::string, int>> m_fonts;
    std::vector<std::uint32_t> m_colors;
    std::map<int, int> m_listCounters;
};

}  // namespace

std::string writeRtf(const DocModel& doc, const QList<QImage>& pictureList) { return Writer(doc, pictureList).run(); }

}  // namespace vt::rt
