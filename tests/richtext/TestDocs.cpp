#include "TestDocs.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace vt::rt::test {

QByteArray pictureBytes(int w, int h, QColor color, const char* format)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(color);
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, format);
    return bytes;
}

std::string pictureString(int w, int h, QColor color, const char* format)
{
    QByteArray b = pictureBytes(w, h, color, format);
    return std::string(b.constData(), size_t(b.size()));
}

QList<QImage> samplePictureList()
{
    QList<QImage> list;
    for (QColor c : {QColor(Qt::darkGreen), QColor(Qt::magenta), QColor(Qt::cyan)}) {
        QImage img(12, 12, QImage::Format_RGB32);
        img.fill(c);
        list.push_back(img);
    }
    return list;
}

namespace {
Item text(int style, std::string t, std::string link = {})
{
    Item it;
    it.style = style;
    it.text = std::move(t);
    it.link = std::move(link);
    return it;
}
Item picture(Item::Kind kind, int index, int w = 0, int h = 0)
{
    Item it;
    it.kind = kind;
    it.index = index;
    it.width = w;
    it.height = h;
    return it;
}
Block para(int style, std::vector<Item> items, int list = -1)
{
    Block b;
    b.paragraph.style = style;
    b.paragraph.list = list;
    b.paragraph.items = std::move(items);
    return b;
}
Paragraph cellPara(std::string t, int style = 0)
{
    Paragraph p;
    p.items.push_back(text(style, std::move(t)));
    return p;
}
}  // namespace

DocModel fullDocument()
{
    DocModel m;
    TextStyle every;
    every.name = "Every property";
    every.fontName = "DejaVu Serif";
    every.size = 14;
    every.bold = every.italic = every.underline = every.strikeOut = true;
    every.color = 0x123456;
    every.transparentBack = false;
    every.backColor = 0xFFFF00;
    every.charset = 238;
    m.styles.appendText(every);  // 6
    TextStyle big;
    big.name = "Big red";
    big.size = 20;
    big.color = 0xFF0000;
    m.styles.appendText(big);  // 7
    ParaStyle right;
    right.name = "Indented right";
    right.alignment = Alignment::Right;
    right.leftIndent = 40;
    right.rightIndent = 30;
    right.firstIndent = -20;
    right.spaceBefore = 6;
    right.spaceAfter = 8;
    m.styles.appendPara(right);  // 2
    ParaStyle justify;
    justify.name = "Justified";
    justify.alignment = Alignment::Justify;
    justify.firstIndent = 24;
    m.styles.appendPara(justify);  // 3

    m.lists = {{ListKind::Disc, 1}, {ListKind::Decimal, 1}, {ListKind::LowerRoman, 2}};
    m.pictures.push_back({PictureFormat::Png, pictureString(8, 6, Qt::red)});
    m.pictures.push_back({PictureFormat::Jpeg, pictureString(10, 10, Qt::blue, "JPEG")});

    m.blocks.push_back(para(1, {text(1, "Heading of the document")}));
    m.blocks.push_back(para(2, {text(0, "Plain text, "), text(kEveryPropertyStyle, "every property, "),
                                text(3, "Ünïcödé Café € 日本語 😀"), text(0, " and "),
                                text(4, "a link", "https://example.com/a?b=1&c=\"2\"")}));
    m.blocks.push_back(
        para(1, {picture(Item::Kind::Picture, 0, 32, 24), text(0, " between "), picture(Item::Kind::Picture, 1),
                 text(0, " list "), picture(Item::Kind::ListPicture, 1)}));
    m.blocks.push_back(para(0, {text(0, "First bullet")}, 0));
    m.blocks.push_back(para(0, {text(kBigRedStyle, "Second bullet")}, 0));
    m.blocks.push_back(para(0, {text(0, "Number one")}, 1));
    m.blocks.push_back(para(0, {text(0, "Number two")}, 1));
    m.blocks.push_back(para(0, {text(0, "Roman nested")}, 2));
    m.blocks.push_back(para(3, {text(0, "A justified paragraph & <markup> that is not markup.")}));

    Table t;
    t.rows = 3;
    t.columns = 2;
    t.border = 1;
    t.cells = {{cellPara("Name", 1)}, {cellPara("Value", 1)},
               {cellPara("Alpha")},   {cellPara("1"), cellPara("second line")},
               {cellPara("Beta")},    {cellPara("2")}};
    m.tables.push_back(t);
    Block tb;
    tb.kind = Block::Kind::Table;
    tb.table = 0;
    m.blocks.push_back(tb);
    m.blocks.push_back(para(0, {text(0, "After the table")}));

    m.hasBackground = true;
    m.background = 0xF8F4E8;
    m.layout = Layout{72, 72, 4, 4, 672, 672};
    m.properties = {{"Title", "Full document"}, {"Author", "Tester Ü"}};
    return m;
}

DocModel largeDocument()
{
    DocModel m = fullDocument();
    // Words drawn by a fixed pseudo-random sequence: text that compresses like prose.
    static const char* words[] = {"project",   "document", "the",      "of",     "and",     "review",
                                  "Überblick", "café",     "deadline", "budget", "release", "shall",
                                  "report",    "schedule", "risk",     "日本語", "quality", "server",
                                  "client",    "print",    "a",        "to",     "in",      "for"};
    std::uint32_t seed = 7;
    auto word = [&] {
        seed = seed * 1664525u + 1013904223u;
        return std::string(words[(seed >> 16) % (sizeof words / sizeof *words)]);
    };
    for (int p = 0; p < 60; ++p) {
        std::vector<Item> items;
        for (int r = 0; r < 4; ++r) {
            std::string t;
            while (t.size() < 60)
                t += word() + ((seed >> 8) % 9 == 0 ? ". " : " ");
            int style = (p * 4 + r) % 8;
            items.push_back(text(style, t, style == 4 ? "https://example.com/doc/" + std::to_string(p) : ""));
        }
        m.blocks.push_back(para(p % 4, std::move(items), p % 10 == 9 ? 1 : -1));
    }
    return m;
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

QString tempFolder(const QString& name)
{
    QString dir =
        QDir::tempPath() + "/vt_richtext_tests/" + name + "_" + QString::number(QCoreApplication::applicationPid());
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    return dir;
}

int runProgram(const QString& program, const QStringList& args, QByteArray* out, int timeoutMs)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForStarted(10000)) return -1;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return -2;
    }
    if (out) *out = p.readAll();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -3;
}

}  // namespace vt::rt::test
