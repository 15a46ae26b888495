#include "richtext/HtmlWriter.h"

#include "richtext/RichTextError.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QIODevice>
#include <QRegularExpression>
#include <QSaveFile>

#include <map>

namespace vt::rt {

QString htmlEscape(const QString& text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (QChar c : text) {
        switch (c.unicode()) {
        case '&': out += QLatin1String("&amp;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '"': out += QLatin1String("&quot;"); break;
        case '\'': out += QLatin1String("&#39;"); break;
        case 0x2028: out += QLatin1String("<br>"); break;
        default:
            if (c.unicode() >= 0x20 || c == QLatin1Char('\t')) out += c;
        }
    }
    return out;
}

bool isSafeLink(const QString& target)
{
    // Browsers drop spaces and controls around a URL and tabs and line breaks inside it, so a
    // scheme can hide behind them: targets holding controls are refused rather than cleaned.
    const QString t = target.trimmed();
    if (t.isEmpty()) return false;
    for (QChar c : t)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) return false;
    // A network-path reference takes the page's scheme: in a local page, a file share.
    const QString start = t.left(2);
    if (start == QLatin1String("//") || start == QLatin1String("\\\\") || start == QLatin1String("/\\") ||
        start == QLatin1String("\\/"))
        return false;
    const qsizetype colon = t.indexOf(QLatin1Char(':'));
    if (colon < 0) return true;
    static const QRegularExpression pathStart(QStringLiteral("[/?#\\\\]"));
    const qsizetype path = t.indexOf(pathStart);
    if (path >= 0 && path < colon) return true;  // the colon belongs to a relative path, query or fragment
    const QString scheme = t.left(colon);
    for (QChar c : scheme)
        if (c.unicode() >= 0x80) return false;
    static const QStringList allowed{QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("mailto"),
                                     QStringLiteral("ftp")};
    return allowed.contains(scheme.toLower());
}

namespace {

QString hexColor(std::uint32_t c) { return QStringLiteral("#%1").arg(c & 0xFFFFFF, 6, 16, QLatin1Char('0')); }

QString esc(const std::string& utf8) { return htmlEscape(QString::fromStdString(utf8)); }

// A CSS font family name: quoted, without characters that could end the quote or the rule.
QString cssFamily(const std::string& name)
{
    QString s = QString::fromStdString(name);
    s.remove(QRegularExpression(QStringLiteral("[\"'\\\\<>;{}\\r\\n]")));
    return QLatin1Char('\'') + s + QLatin1Char('\'');
}

class Writer {
public:
    Writer(const DocModel& d, const QList<QImage>& list, const QString& folder, const QString& prefix,
           const QString& classPrefix)
        : m_d(d), m_list(list), m_folder(folder), m_prefix(prefix), m_class(classPrefix)
    {
        // Class names stay plain identifiers whatever the caller passes.
        m_class.remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]")));
    }

    QString run(const QString& title)
    {
        QString o = QStringLiteral("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>") +
                    htmlEscape(title) + QStringLiteral("</title>\n<style type=\"text/css\">\n");
        const QString background =
            m_d.hasBackground ? QStringLiteral("background-color: %1; ").arg(hexColor(m_d.background)) : QString();
        if (m_class.isEmpty()) {
            o += QStringLiteral("body { %1margin: 0; }\np, li { margin: 0; }\ntable { border-collapse: collapse; }\n")
                     .arg(background);
        } else {
            // Embedded in a page with other documents: nothing applies beyond this document's
            // wrapper. Every paragraph carries a class with its margins, so no rule for p is needed.
            if (!background.isEmpty()) o += QStringLiteral(".%1doc { %2}\n").arg(m_class, background);
            o += QStringLiteral(".%1doc table { border-collapse: collapse; }\n").arg(m_class);
        }
        for (int i = 0; i < m_d.styles.textCount(); ++i) {
            const TextStyle& s = m_d.styles.textStyles[size_t(i)];
            // The family name is added after the placeholders are filled: a "%1" in a name from
            // a document would otherwise take the place of a number below.
            o += QStringLiteral(".%1t%2 { font-family: ").arg(m_class).arg(i) + cssFamily(s.fontName) +
                 QStringLiteral("; font-size: %1pt; font-weight: %2; font-style: %3; "
                                "text-decoration: %4; color: %5; background-color: %6; }\n")
                     .arg(s.size)
                     .arg(s.bold ? QStringLiteral("bold") : QStringLiteral("normal"))
                     .arg(s.italic ? QStringLiteral("italic") : QStringLiteral("normal"))
                     .arg(s.underline && s.strikeOut ? QStringLiteral("underline line-through")
                          : s.underline              ? QStringLiteral("underline")
                          : s.strikeOut              ? QStringLiteral("line-through")
                                                     : QStringLiteral("none"))
                     .arg(hexColor(s.color))
                     .arg(s.transparentBack ? QStringLiteral("transparent") : hexColor(s.backColor));
        }
        static const char* align[] = {"left", "right", "center", "justify"};
        for (int i = 0; i < m_d.styles.paraCount(); ++i) {
            const ParaStyle& s = m_d.styles.paraStyles[size_t(i)];
            o += QStringLiteral(".%1p%2 { text-align: %3; margin: %4px %5px %6px %7px; text-indent: %8px; }\n")
                     .arg(m_class)
                     .arg(i)
                     .arg(QLatin1String(align[int(s.alignment) & 3]))
                     .arg(s.spaceBefore)
                     .arg(s.rightIndent)
                     .arg(s.spaceAfter)
                     .arg(s.leftIndent)
                     .arg(s.firstIndent);
        }
        o += QStringLiteral("</style>\n</head>\n<body>\n");
        if (m_class.isEmpty()) {
            o += blocks();
        } else {
            o += QStringLiteral("<div class=\"%1doc\">\n").arg(m_class);
            o += blocks();
            o += QStringLiteral("</div>\n");
        }
        o += QStringLiteral("</body>\n</html>\n");
        return o;
    }

private:
    QString blocks()
    {
        QString o;
        int openList = -1;
        auto closeList = [&] {
            if (openList >= 0) o += listTag(openList, false);
            openList = -1;
        };
        for (const Block& b : m_d.blocks) {
            if (b.kind == Block::Kind::Table) {
                closeList();
                o += table(m_d.tables.at(size_t(b.table)));
                continue;
            }
            const Paragraph& p = b.paragraph;
            if (p.list != openList) {
                closeList();
                if (p.list >= 0) o += listTag(p.list, true);
                openList = p.list;
            }
            o += paragraph(p, p.list >= 0 ? QStringLiteral("li") : QStringLiteral("p"));
        }
        closeList();
        return o;
    }

    QString listTag(int list, bool open)
    {
        ListKind k = m_d.lists.at(size_t(list)).kind;
        bool ordered = k >= ListKind::Decimal;
        if (!open) return ordered ? QStringLiteral("</ol>\n") : QStringLiteral("</ul>\n");
        static const char* types[] = {
            "", "disc", "circle", "square", "decimal", "lower-alpha", "upper-alpha", "lower-roman", "upper-roman"};
        return QStringLiteral("<%1 style=\"list-style-type: %2\">\n")
            .arg(ordered ? QStringLiteral("ol") : QStringLiteral("ul"), QLatin1String(types[int(k)]));
    }

    QString table(const Table& t)
    {
        QString o = QStringLiteral("<table border=\"%1\" cellspacing=\"0\" cellpadding=\"4\">\n").arg(t.border);
        for (int r = 0; r < t.rows; ++r) {
            o += QStringLiteral("<tr>");
            for (int c = 0; c < t.columns; ++c) {
                o += QStringLiteral("<td>");
                for (const Paragraph& p : t.cells[size_t(r) * size_t(t.columns) + size_t(c)])
                    o += paragraph(p, QStringLiteral("p"));
                o += QStringLiteral("</td>");
            }
            o += QStringLiteral("</tr>\n");
        }
        return o + QStringLiteral("</table>\n");
    }

    QString paragraph(const Paragraph& p, const QString& tag)
    {
        QString o = QStringLiteral("<%1 class=\"%2p%3\">")
                        .arg(tag, m_class)
                        .arg(m_d.styles.paraCount() > p.style ? p.style : 0);
        if (p.items.empty()) o += QStringLiteral("<br>");
        for (const Item& it : p.items) {
            if (it.kind != Item::Kind::Text) {
                o += image(it);
                continue;
            }
            QString span =
                QStringLiteral("<span class=\"%1t%2\">%3</span>").arg(m_class).arg(it.style).arg(esc(it.text));
            if (!it.link.empty() && isSafeLink(QString::fromStdString(it.link)))
                o += QStringLiteral("<a class=\"%1t%2\" href=\"%3\">%4</a>")
                         .arg(m_class)
                         .arg(it.style)
                         .arg(esc(it.link), span);
            else
                o += span;
        }
        return o + QStringLiteral("</%1>\n").arg(tag);
    }

    QString image(const Item& it)
    {
        QByteArray bytes;
        QString ext = QStringLiteral(".png");
        if (it.kind == Item::Kind::Picture) {
            const Picture& p = m_d.pictures.at(size_t(it.index));
            if (p.bytes.empty()) return {};
            bytes = QByteArray(p.bytes.data(), qsizetype(p.bytes.size()));
            if (p.format == PictureFormat::Jpeg) ext = QStringLiteral(".jpg");
        } else {
            int i = (it.index >= 0 && it.index < m_list.size()) ? it.index : 0;
            if (i >= m_list.size()) return {};
            QBuffer buf(&bytes);
            buf.open(QIODevice::WriteOnly);
            m_list[i].save(&buf, "PNG");
        }
        QString name = m_prefix +
                       QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().left(16)) +
                       ext;
        auto written = m_written.find(name);
        if (written == m_written.end()) {
            QSaveFile f(m_folder + name);
            if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
                throw RichTextError("cannot write " + (m_folder + name).toStdString() + ": " +
                                    f.errorString().toStdString());
            m_written[name] = true;
        }
        QString size;
        if (it.width > 0) size += QStringLiteral(" width=\"%1\"").arg(it.width);
        if (it.height > 0) size += QStringLiteral(" height=\"%1\"").arg(it.height);
        return QStringLiteral("<img src=\"%1\"%2 alt=\"\">").arg(htmlEscape(name), size);
    }

    const DocModel& m_d;
    const QList<QImage>& m_list;
    QString m_folder;
    QString m_prefix;
    QString m_class;
    std::map<QString, bool> m_written;
};

}  // namespace

void writeHtml(const DocModel& doc, const QList<QImage>& pictureList, QIODevice& out, const QString& pictureFolder,
               const QString& title, const QString& picturePrefix, const QString& classPrefix)
{
    QByteArray html = Writer(doc, pictureList, pictureFolder, picturePrefix, classPrefix).run(title).toUtf8();
    if (out.write(html) != html.size())
        throw RichTextError("cannot write the HTML: " + out.errorString().toStdString());
}

}  // namespace vt::rt
