// Peak memory and time of loading hostile document bodies into the editor with its whole layout,
// as the document panel and the report do: per kind of hostile body, the worst one the limits
// let through and one beyond them, against the body's size.
//   hostile_bench                 (all kinds; each load runs in a fresh process)
//   hostile_bench --peak FILE     (one load of FILE: prints peak growth in kB, seconds, outcome)
#include "richtext/DocModel.h"
#include "richtext/RichEditor.h"
#include "richtext/RvfFormat.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextDocument>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

using namespace vt::rt;

namespace {

long statusKb(const char* key)
{
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::strlen(key) + 1));
    return -1;
}

int peakMain(const char* file)
{
    QFile f(QString::fromLocal8Bit(file));
    if (!f.open(QIODevice::ReadOnly)) return 1;
    const QByteArray bytes = f.readAll();
    RichEditor ed;
    const long before = statusKb("VmRSS:");
    const auto t0 = std::chrono::steady_clock::now();
    std::string outcome = "loaded";
    try {
        ed.loadFromBytes(bytes);
        ed.document()->documentLayout()->documentSize();  // the whole layout, as printing needs it
    } catch (const RichTextError& e) {
        outcome = e.what();
    }
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("%ld\t%.2f\t%s\n", statusKb("VmHWM:") - before, s, outcome.c_str());
    return 0;
}

// A large PNG of one colour with a little noise: small on disk, huge when decoded.
std::string hugePng(int side, int i)
{
    QImage img(side, side, QImage::Format_RGB32);
    img.fill(QColor::fromHsv((i * 45) % 360, 180, 230));
    for (int y = 0; y < side; y += 97)
        img.setPixel((y * 31 + i) % side, y, 0);
    QByteArray b;
    QBuffer buf(&b);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG", 9);
    return std::string(b.constData(), size_t(b.size()));
}

DocModel pictures(int count, int shown)
{
    DocModel m;
    Block b;
    for (int i = 0; i < count; ++i) {
        m.pictures.push_back({PictureFormat::Png, hugePng(5600, i)});
        if (i >= shown) continue;
        Item it;
        it.kind = Item::Kind::Picture;
        it.index = i;
        b.paragraph.items.push_back(it);
    }
    m.blocks.push_back(b);
    return m;
}

// `paragraphs` paragraphs of `perParagraph` one-character runs in alternating styles; `noise`
// makes every n-th character vary, so that the body compresses about 16 to 1 rather than better.
DocModel runs(int paragraphs, int perParagraph, int noise = 0)
{
    DocModel m;
    std::uint32_t seed = 7;
    m.blocks.reserve(size_t(paragraphs));
    for (int p = 0; p < paragraphs; ++p) {
        Block b;
        b.paragraph.items.reserve(size_t(perParagraph));
        for (int i = 0; i < perParagraph; ++i) {
            Item it;
            it.style = i % 2;
            seed = seed * 1664525u + 1013904223u;
            it.text =
                std::string(1, char(noise && (p * perParagraph + i) % noise == 0 ? 'a' + (seed >> 24) % 26 : 'x'));
            b.paragraph.items.push_back(std::move(it));
        }
        m.blocks.push_back(std::move(b));
    }
    return m;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--peak") == 0) return peakMain(argv[2]);

    struct Kind {
        const char* name;
        std::function<DocModel()> make;
    };
    const std::vector<Kind> kinds = {
        {"8 pictures of 5600x5600 that no item shows", [] { return pictures(8, 0); }},
        {"2 pictures of 5600x5600 shown (62.7 Mpx, within)", [] { return pictures(2, 2); }},
        {"8 pictures of 5600x5600 shown (251 Mpx, beyond)", [] { return pictures(8, 8); }},
        {"200,000 paragraphs (the limit)", [] { return runs(200'000, 1); }},
        {"1,000,000 paragraphs (beyond)", [] { return runs(1'000'000, 1); }},
        {"1,000,000 runs in 200,000 paragraphs (the limit)", [] { return runs(200'000, 5); }},
        {"1,000,000 runs in 1,000 paragraphs (the limits)", [] { return runs(1'000, 1'000); }},
        {"1,000,000 runs in one paragraph (beyond)", [] { return runs(1, 1'000'000); }},
        {"1,000,000 runs, compressed (the limits)", [] { return runs(1'000, 1'000, 6); }},
        {"3,200,000 runs, compressed (beyond)", [] { return runs(3'200, 1'000, 6); }},
    };
    QTemporaryDir dir;
    std::printf("Hostile bodies loaded into the editor with their whole layout (fresh process each;\n"
                "peak: growth of peak resident memory)\n\n"
                "| body | body MB | format | peak MB | peak / body | seconds | outcome |\n"
                "|---|---|---|---|---|---|---|\n");
    for (const Kind& k : kinds) {
        const std::string bytes = writeRvf(k.make());
        const QString file = dir.filePath("body.rvf");
        QFile f(file);
        f.open(QIODevice::WriteOnly);
        f.write(bytes.data(), qint64(bytes.size()));
        f.close();
        QProcess p;
        p.start(QString::fromLocal8Bit(argv[0]), {"--peak", file});
        p.waitForFinished(-1);
        const QStringList out = QString::fromUtf8(p.readAllStandardOutput()).trimmed().split('\t');
        const double body = double(bytes.size()) / (1 << 20);
        const double peak = out.size() == 3 ? out[0].toDouble() / 1024 : -1;
        std::printf("| %s | %.2f | %d.0 | %.0f | %.0f | %s | %s |\n", k.name, body, int(bytes[8]), peak, peak / body,
                    out.value(1).toUtf8().constData(), out.value(2, "crashed").toUtf8().constData());
        std::fflush(stdout);
    }
    std::printf("\nLimits: %zu paragraphs, %zu runs, %zu runs in a paragraph, %lld decoded pixels.\n",
                DocumentLimits{}.paragraphs, DocumentLimits{}.items, DocumentLimits{}.itemsPerParagraph,
                static_cast<long long>(DocumentLimits{}.pixels));
    return 0;
}
