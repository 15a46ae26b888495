// The rich-text engine's load and save of a document body in the Veltrana Document Format
// beside Qt's own HTML round trip (setHtml / toHtml) of the same document, both on an editor
// widget as the program uses it; byte sizes; and the peak memory of a load.
//   richtext_bench [--reps N] [--wall]   (default: best of 3 runs per figure, processor time)
//   richtext_bench --write FILE          (the 2 MB body as a file)
//   richtext_bench --profile FILE N      (N editor loads and saves of FILE, to run under perf)
#include "richtext/DocModel.h"
#include "richtext/RichEditor.h"
#include "richtext/RvfFormat.h"
#include "richtext/TextDocumentBridge.h"

#include <QAbstractTextDocumentLayout>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextDocument>

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QImage>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <malloc.h>
#include <functional>
#include <memory>
#include <string>

using namespace vt::rt;

namespace {

// Peak resident memory since the last reset, from the kernel (kB).
long peakRssKb() {
  std::ifstream f("/proc/self/status");
  std::string line;
  while (std::getline(f, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}
long rssKb() {
  std::ifstream f("/proc/self/status");
  std::string line;
  while (std::getline(f, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

// The processor time of this thread by default: the machine that runs the benchmark is often
// shared, and the wall clock then measures the other programs as much as this one. Page faults
// count (as system time). --wall measures the wall clock instead.
bool g_wall = false;
double now() {
  if (g_wall) return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Best of `reps` runs of fn; `prepare` runs untimed before each.
double seconds(const std::function<void()>& fn, int reps, const std::function<void()>& prepare = {}) {
  double best = 1e100;
  for (int i = 0; i < reps; ++i) {
    if (prepare) prepare();
    double t0 = now();
    fn();
    best = std::min(best, now() - t0);
  }
  return best;
}

std::string png(int i) {
  QImage img(64, 48, QImage::Format_RGB32);
  img.fill(QColor::fromHsv((i * 37) % 360, 200, 220));
  for (int y = 0; y < 48; y += 4) img.setPixel(i % 64, y, 0);
  QByteArray b;
  QBuffer buf(&b);
  buf.open(QIODevice::WriteOnly);
  img.save(&buf, "PNG");
  return std::string(b.constData(), size_t(b.size()));
}

// About `textBytes` of text in `runs` style runs (five per paragraph, cycling through six
// styles), 200 list items, a 20 x 5 table and 20 pictures.
DocModel generate(size_t textBytes, int runs) {
  DocModel m;
  TextStyle big = m.styles.textStyles[0];
  big.size = 14;
  m.styles.appendText(big);
  m.lists = {{ListKind::Disc, 1}, {ListKind::Decimal, 1}};
  for (int i = 0; i < 20; ++i) m.pictures.push_back({PictureFormat::Png, png(i)});
  // Words drawn from a vocabulary by a fixed pseudo-random sequence: text that compresses
  // like prose, not like one repeated sentence.
  static const char* vocabulary[] = {
      "project", "document", "team", "database", "requirement", "the", "a", "of", "and", "to",
      "in", "is", "for", "with", "design", "review", "Überblick", "café", "deadline", "budget",
      "customer", "release", "test", "shall", "must", "report", "outline", "category", "member",
      "manager", "schedule", "risk", "scope", "quality", "interface", "server", "client", "print"};
  std::uint32_t seed = 12345;
  auto nextWord = [&] {
    seed = seed * 1664525u + 1013904223u;
    return vocabulary[(seed >> 16) % (sizeof vocabulary / sizeof *vocabulary)];
  };
  size_t runLen = std::max<size_t>(1, textBytes / size_t(runs));
  auto runText = [&] {
    std::string t;
    while (t.size() < runLen) {
      t += nextWord();
      t += (seed >> 8) % 11 == 0 ? ". " : " ";
    }
    return t;
  };
  int paragraphs = (runs + 4) / 5;
  for (int p = 0; p < paragraphs; ++p) {
    Block b;
    b.paragraph.style = p % 7 == 0 ? 1 : 0;
    for (int r = 0; r < 5 && p * 5 + r < runs; ++r) {
      Item it;
      it.style = (p * 5 + r) % 7;
      it.text = runText();
      if (it.style == 4) it.link = "https://example.com/doc/" + std::to_string(p);
      b.paragraph.items.push_back(it);
    }
    if (p % (paragraphs / 20 + 1) == 0 && int(p / (paragraphs / 20 + 1)) < 20) {
      Item pic;
      pic.kind = Item::Kind::Picture;
      pic.index = p / (paragraphs / 20 + 1);
      b.paragraph.items.push_back(pic);
    }
    m.blocks.push_back(b);
    if (p == paragraphs / 3) {
      for (int i = 0; i < 200; ++i) {
        Block li;
        li.paragraph.list = i < 100 ? 0 : 1;
        Item it;
        it.text = "List item " + std::to_string(i);
        li.paragraph.items.push_back(it);
        m.blocks.push_back(li);
      }
      Table t;
      t.rows = 20;
      t.columns = 5;
      for (int c = 0; c < 100; ++c) {
        Paragraph cp;
        Item it;
        it.style = c < 5 ? 1 : 0;
        it.text = "Cell " + std::to_string(c);
        cp.items.push_back(it);
        t.cells.push_back({cp});
      }
      m.tables.push_back(t);
      Block tb;
      tb.kind = Block::Kind::Table;
      tb.table = 0;
      m.blocks.push_back(tb);
    }
  }
  return m;
}

struct Row {
  const char* name;
  size_t rvfBytes = 0, htmlBytes = 0;
  int major = 0;
  double docLoad = 0, docSave = 0, docHtmlLoad = 0, docHtmlSave = 0;  // plain QTextDocument
  double edLoad = 0, edSave = 0, edHtmlLoad = 0, edHtmlSave = 0;      // the editor widget
  double peakRvf = 0, peakHtml = 0;                                   // MB
};

// Peak memory of one load, measured in a fresh process so that no freed memory of earlier
// runs is reused: this program started again with --peak.
double peakOfLoad(const char* self, const char* kind, const QString& file) {
  QProcess p;
  p.start(QString::fromLocal8Bit(self), {"--peak", kind, file});
  p.waitForFinished(-1);
  return p.readAllStandardOutput().trimmed().toDouble() / 1024.0;
}

int peakMain(const char* kind, const char* file) {
  QFile f(QString::fromLocal8Bit(file));
  f.open(QIODevice::ReadOnly);
  QByteArray bytes = f.readAll();
  QString html = std::strcmp(kind, "html") == 0 ? QString::fromUtf8(bytes) : QString();
  RichEditor ed;
  long before = rssKb();
  if (html.isEmpty()) ed.loadFromBytes(bytes);
  else ed.setHtml(html);
  ed.document()->documentLayout()->documentSize();  // the whole layout, as printing needs it
  std::printf("%ld\n", peakRssKb() - before);
  return 0;
}

Row measure(const char* self, const char* name, const DocModel& model, int reps) {
  RichEditor source;
  source.setModel(model);
  QByteArray rvf = source.saveToBytes();
  QString html = source.toHtml();
  QByteArray htmlBytes = html.toUtf8();
  Row r;
  r.name = name;
  r.rvfBytes = size_t(rvf.size());
  r.htmlBytes = size_t(htmlBytes.size());
  r.major = rvf.size() > 8 ? rvf[8] : 0;

  // One untimed round trip of each format first, so that neither pays for the process's first
  // use of this much memory: without it, the phase measured first for the 15 MB body took up
  // to twice as long, whichever it was.
  {
    RichEditor a, b;
    a.loadFromBytes(rvf);
    a.saveToBytes();
    b.setHtml(html);
    b.toHtml();
  }
  // The format itself, on a QTextDocument without a view (no layout). Each load goes into a
  // new document; the previous one is deleted outside the measurement, for both formats.
  {
    std::string bytes(rvf.constData(), size_t(rvf.size()));
    std::unique_ptr<QTextDocument> doc, hdoc;
    DocStyles styles;
    r.docLoad = seconds([&] {
      DocModel m;
      if (!readRvf(bytes, m)) std::abort();
      styles = m.styles;
      buildDocument(*doc, m, {});
    }, reps, [&] { doc = std::make_unique<QTextDocument>(); });
    r.docSave = seconds([&] {
      normalizeDocument(*doc, styles);
      if (writeRvf(extractModel(*doc, styles)).size() != bytes.size()) std::abort();
    }, reps);
    r.docHtmlLoad = seconds([&] { hdoc->setHtml(html); }, reps, [&] { hdoc = std::make_unique<QTextDocument>(); });
    r.docHtmlSave = seconds([&] { if (hdoc->toHtml().isEmpty()) std::abort(); }, reps);
  }
  // In the editor, as the program uses it.
  {
    RichEditor ours, theirs;
    r.edLoad = seconds([&] { ours.loadFromBytes(rvf); }, reps);
    r.edSave = seconds([&] { if (ours.saveToBytes().size() != rvf.size()) std::abort(); }, reps);
    r.edHtmlLoad = seconds([&] { theirs.setHtml(html); }, reps);
    r.edHtmlSave = seconds([&] { if (theirs.toHtml().isEmpty()) std::abort(); }, reps);
  }
  QTemporaryDir dir;
  QFile a(dir.filePath("body.rvf")), b(dir.filePath("body.html"));
  a.open(QIODevice::WriteOnly);
  a.write(rvf);
  a.close();
  b.open(QIODevice::WriteOnly);
  b.write(htmlBytes);
  b.close();
  r.peakRvf = peakOfLoad(self, "rvf", a.fileName());
  r.peakHtml = peakOfLoad(self, "html", b.fileName());
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  int reps = 3;
  for (int i = 1; i < argc; ++i) {
    if (i + 1 < argc && std::strcmp(argv[i], "--reps") == 0) reps = std::max(1, std::atoi(argv[i + 1]));
    if (std::strcmp(argv[i], "--wall") == 0) g_wall = true;
  }

  if (argc == 4 && std::strcmp(argv[1], "--peak") == 0) return peakMain(argv[2], argv[3]);
  if (argc == 4 && std::strcmp(argv[1], "--profile") == 0) {  // editor round trips of a file, for perf
    QFile f(QString::fromLocal8Bit(argv[2]));
    if (!f.open(QIODevice::ReadOnly)) return 1;
    QByteArray bytes = f.readAll();
    RichEditor ed;
    for (int i = std::atoi(argv[3]); i > 0; --i) {
      ed.loadFromBytes(bytes);
      if (ed.saveToBytes().isEmpty()) return 1;
    }
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "--write") == 0) {  // the 2 MB body as a file, for profiling
    std::string b = writeRvf(generate(2u << 20, 5000));
    QFile f(QString::fromLocal8Bit(argv[2]));
    return f.open(QIODevice::WriteOnly) && f.write(b.data(), qint64(b.size())) == qint64(b.size()) ? 0 : 1;
  }

  // The allocator's steady state for the timings (not for the peak memory, measured in fresh
  // processes). glibc serves a block from fresh pages, and gives it back to the system when
  // freed, until it has seen a block of that size freed: what a body of a given size costs
  // then depends on what the process happened to free before. Page faults are costly on a
  // virtual machine, so that history moved the figures by up to a factor of two. These are
  // the limits glibc reaches by itself once it has freed a 32 MB block.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  std::vector<Row> rows;
  rows.push_back(measure(argv[0], "2 MB body", generate(2u << 20, 5000), reps));
  rows.push_back(measure(argv[0], "15 MB body", generate(15u << 20, 37500), reps));

  auto ms = [](double s) { return s * 1e3; };
  std::printf("\nRich-text engine: document body in the Veltrana Document Format (rvf) vs Qt's HTML\n");
  std::printf("(5 runs per paragraph in 7 styles, 200 list items, a 20 x 5 table, 20 PNG pictures;\n"
              " best of %d runs; times in ms of %s)\n\n", reps, g_wall ? "wall-clock time" : "the thread's processor time");
  std::printf("| body | rvf bytes | HTML bytes | rvf / HTML | rvf format |\n|---|---|---|---|---|\n");
  for (const Row& r : rows)
    std::printf("| %s | %zu | %zu | %.2f | %d.0%s |\n", r.name, r.rvfBytes, r.htmlBytes,
                double(r.rvfBytes) / double(r.htmlBytes), r.major, r.major == 2 ? " (compressed body)" : "");
  std::printf("\nThe format alone (QTextDocument without a view):\n\n");
  std::printf("| body | rvf load | HTML load | rvf save | HTML save | rvf round trip | HTML round trip | speed-up |\n|---|---|---|---|---|---|---|---|\n");
  for (const Row& r : rows)
    std::printf("| %s | %.0f | %.0f | %.0f | %.0f | %.0f | %.0f | %.1fx |\n", r.name, ms(r.docLoad),
                ms(r.docHtmlLoad), ms(r.docSave), ms(r.docHtmlSave), ms(r.docLoad + r.docSave),
                ms(r.docHtmlLoad + r.docHtmlSave), (r.docHtmlLoad + r.docHtmlSave) / (r.docLoad + r.docSave));
  std::printf("\nIn the editor (RichEditor::loadFromBytes / saveToBytes vs setHtml / toHtml; Qt lays out\n"
              "incrementally after both loads):\n\n");
  std::printf("| body | rvf load | HTML load | rvf save | HTML save | rvf round trip | HTML round trip | speed-up |\n|---|---|---|---|---|---|---|---|\n");
  for (const Row& r : rows)
    std::printf("| %s | %.0f | %.0f | %.0f | %.0f | %.0f | %.0f | %.1fx |\n", r.name, ms(r.edLoad),
                ms(r.edHtmlLoad), ms(r.edSave), ms(r.edHtmlSave), ms(r.edLoad + r.edSave),
                ms(r.edHtmlLoad + r.edHtmlSave), (r.edHtmlLoad + r.edHtmlSave) / (r.edLoad + r.edSave));
  std::printf("\nPeak memory of one load into the editor with its whole layout (fresh process, growth of\n"
              "peak resident memory, MB):\n\n| body | rvf | HTML |\n|---|---|---|\n");
  for (const Row& r : rows) std::printf("| %s | %.1f | %.1f |\n", r.name, r.peakRvf, r.peakHtml);
  std::printf("\nThe rvf bytes include the pictures' PNG bytes; the HTML names them only.\n");
  return 0;
}
