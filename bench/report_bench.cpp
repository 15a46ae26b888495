// Report benchmark: the HTML report of a generated project (2,000 documents in 20 categories,
// 6 levels deep, bodies of about 2 KB, 20 of them with a picture) as the program writes it --
// one statement for which documents have a body, then each body read once -- beside the same
// report with a body test per document, in the same run on the same project.
//
//   report_bench [--reps N]
//
// Uses the server of VT_TEST_SERVER_DIR when that folder holds a running one; otherwise starts
// its own with scripts/db-server.sh and stops it afterwards. Runs offscreen.

#include "BenchServer.h"
#include "OutlineGenerator.h"
#include "TestServer.h"

#include "data/Documents.h"
#include "data/Outline.h"
#include "report/ProjectReport.h"
#include "session/Session.h"

#include "db/DbSettings.h"
#include "db/TmySQLDatabase.h"

#include "richtext/RichEditor.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <stdexcept>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include <unistd.h>

namespace {

int g_statements = 0;

double now()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

struct Figures {
    double ms = 1e30;  // best of the repetitions
    uint64_t roundTrips = 0;
    int statements = 0;
    qint64 bytes = 0;
};

Figures measure(int reps, vt::app::Session& session, const std::function<qint64()>& op)
{
    Figures best;
    for (int r = 0; r < reps; ++r) {
        const uint64_t before = session.connection().RoundTrips();
        g_statements = 0;
        const double t0 = now();
        best.bytes = op();
        best.ms = std::min(best.ms, (now() - t0) * 1000);
        best.roundTrips = session.connection().RoundTrips() - before;
        best.statements = g_statements;
    }
    return best;
}

void flatten(const std::vector<vt::app::data::outline::DocumentNode>& nodes, int level,
             std::vector<vt::app::report::OutlineEntry>& out)
{
    for (const auto& n : nodes) {
        out.push_back({level, n.record.RequirementID, n.record.RequirementName});
        flatten(n.children, level + 1, out);
    }
}

// A body of about 2 KB: a few formatted paragraphs, and a picture when asked.
QByteArray makeBody(int n, bool picture)
{
    vt::rt::RichEditor editor;
    const QString line = QStringLiteral("Requirement %1: the system keeps every change and shows who made it; ").arg(n);
    for (int k = 0; k < 6; ++k)
        editor.appendParagraph(line + line + line + line, k % 3, k % 2);
    if (picture) {
        QImage image(64, 48, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, qRgb((x * 4 + n) & 255, (y * 5) & 255, (n * 7) & 255));
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        editor.moveCursor(QTextCursor::End);
        editor.insertPicture(png);
    }
    return editor.saveToBytes();
}

}  // namespace

int main(int argc, char** argv)
{
    int reps = 3;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--reps") == 0 && i + 1 < argc) reps = std::max(1, std::atoi(argv[++i]));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    vt::bench::BenchServer server("report_bench");
    if (!server.ok()) return 1;
    int rc = 0;
    try {
        const std::string db = vt::test::freshVeltranaDatabase("vt_report_bench");
        vt::test::OutlineShape shape;
        shape.categories = 20;
        shape.documents = 2000;
        shape.depth = 6;
        shape.seed = 2026;
        shape.ties = false;
        vt::test::runSql(vt::test::outlineSql(shape), db);

        const auto& server = vt::test::testServer();
        vt::app::Session session;
        session.connect({QString::fromStdString(db),
                         QString::fromStdString(server.host) + ":" + QString::number(server.port),
                         QString::fromStdString(server.user), QString::fromStdString(server.password)});
        QTemporaryDir work;
        session.WorkFolder = work.path() + "/";
        session.StoreDocumentsAsFiles = false;

        // The outline as the navigator shows it: project, categories, documents depth first.
        const auto tree = vt::app::data::outline::loadOutline(session, shape.projectId);
        std::vector<vt::app::report::OutlineEntry> outline{{0, 0, QStringLiteral("Generated project")}};
        for (const auto& category : tree) {
            outline.push_back({1, category.record.CatagoryID, category.record.CatagoryName});
            flatten(category.children, 2, outline);
        }
        std::vector<qint32> documents;
        for (const auto& e : outline)
            if (e.level >= 2) documents.push_back(e.id);

        // Every document has a body; every hundredth carries a picture.
        qint64 bodyBytes = 0;
        std::string insert;
        for (size_t i = 0; i < documents.size(); ++i) {
            const QByteArray body = makeBody(int(i), i % 100 == 0);
            bodyBytes += body.size();
            insert += (insert.empty() ? "INSERT INTO Req_objects (RequirementID, Document) VALUES " : ",");
            insert += "(" + std::to_string(documents[i]) + ",0x" + body.toHex().toStdString() + ")";
            if (insert.size() > 1'000'000 || i + 1 == documents.size()) {
                vt::test::runSql(insert, db);
                insert.clear();
            }
        }

        SetTraceHook([](TraceOp op, const std::string&) {
            if (op == TraceOp::Execute) ++g_statements;
        });
        vt::rt::RichEditor view;
        const QString path = session.WorkFolder + "vtranTemp.html";
        const Figures oneTest = measure(reps, session, [&] {
            QFile file(path);
            file.open(QIODevice::WriteOnly | QIODevice::Truncate);
            vt::app::report::writeProjectReport(session, outline, QStringLiteral("2026/12/10"), file, view);
            return file.size();
        });
        QByteArray batched;
        if (QFile file(path); file.open(QIODevice::ReadOnly)) batched = file.readAll();
        // The same report with the body test of each document as its own statement.
        const Figures perDocument = measure(reps, session, [&] {
            QFile file(path);
            file.open(QIODevice::WriteOnly | QIODevice::Truncate);
            vt::app::report::ReportWriter writer(file);
            writer.WriteReportHeader();
            for (const auto& e : outline) {
                if (e.level == 0) {
                    writer.WriteProjectSection(e.name, QStringLiteral("2026/12/10"));
                } else if (e.level == 1) {
                    writer.WriteCategorySection(e.name);
                } else {
                    writer.beginDocumentSection(e.level, e.name);
                    if (vt::app::data::documents::hasBody(session, e.id)) {
                        view.clear();
                        view.loadFromBytes(vt::app::data::documents::body(session, e.id));
                        view.format();
                        writer.writeBody(view, session.WorkFolder);
                    } else {
                        writer.writePlaceholder(QStringLiteral("Document Unavailable"));
                    }
                    writer.endDocumentSection();
                }
            }
            writer.WriteReportFooter();
            return file.size();
        });
        SetTraceHook({});
        QByteArray oneByOne;
        if (QFile file(path); file.open(QIODevice::ReadOnly)) oneByOne = file.readAll();
        if (batched != oneByOne)
            throw std::runtime_error("the report read in batches differs from the one read document by document");
        const auto pictures = QDir(work.path()).entryList({"vt_*"}, QDir::Files).size();

        std::printf("\nReport: a generated project of %zu documents in %zu categories, %d levels deep, bodies of "
                    "%.1f kB on average, %d with a picture (best of %d runs)\n\n",
                    documents.size(), tree.size(), shape.depth, double(bodyBytes) / double(documents.size()) / 1000,
                    int((documents.size() + 99) / 100), reps);
        std::printf("| %-58s | %11s | %10s | %10s | %9s |\n", "report", "round trips", "statements", "time", "file");
        std::printf("|%s|%s|%s|%s|%s|\n", std::string(60, '-').c_str(), std::string(13, '-').c_str(),
                    std::string(12, '-').c_str(), std::string(12, '-').c_str(), std::string(11, '-').c_str());
        auto row = [](const char* what, const Figures& f) {
            std::printf("| %-58s | %11llu | %10d | %7.0f ms | %6.1f MB |\n", what,
                        static_cast<unsigned long long>(f.roundTrips), f.statements, f.ms, double(f.bytes) / 1e6);
        };
        row("bodies read in batches (as the report does)", oneTest);
        row("a body test per document, then its body", perDocument);
        std::printf("\n%lld picture files written (\"vt_\" prefix, one per distinct picture). Statements are those\n"
                    "the access layer sent; a round trip is one exchange with the server (each statement and\n"
                    "each ping before it count one).\n",
                    static_cast<long long>(pictures));
        vt::test::runSql("drop database " + db);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "report_bench: stopped: %s\n", e.what());
        rc = 1;
    }
    return rc;
}
