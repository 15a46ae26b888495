// Revisions benchmark: what keeping history costs. A body save with its revision beside the
// same save without history (statements, round trips, time); the history list of a document
// with 1,000 revisions of 100 KB; and the outline load and the report of a 2,000-document
// project before and after every document got 20 revisions.
//
//   revisions_bench [--reps N]
//
// Uses the server of VT_TEST_SERVER_DIR when that folder holds a running one; otherwise starts
// its own with scripts/db-server.sh and stops it afterwards. Runs offscreen.

#include "BenchServer.h"
#include "OutlineGenerator.h"
#include "TestServer.h"

#include "data/ActivityLog.h"
#include "data/Documents.h"
#include "data/Outline.h"
#include "data/Revisions.h"
#include "report/ProjectReport.h"
#include "session/Session.h"

#include "db/DbSettings.h"
#include "db/TmySQLDatabase.h"

#include "richtext/RichEditor.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

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
};

Figures measure(int reps, vt::app::Session& session, const std::function<void()>& op)
{
    Figures best;
    for (int r = 0; r < reps; ++r) {
        const uint64_t before = session.connection().RoundTrips();
        g_statements = 0;
        const double t0 = now();
        op();
        best.ms = std::min(best.ms, (now() - t0) * 1000);
        best.roundTrips = session.connection().RoundTrips() - before;
        best.statements = g_statements;
    }
    return best;
}

void row(const char* what, const Figures& f)
{
    std::printf("| %-64s | %11llu | %10d | %9.1f ms |\n", what, static_cast<unsigned long long>(f.roundTrips),
                f.statements, f.ms);
}

void flatten(const std::vector<vt::app::data::outline::DocumentNode>& nodes, int level,
             std::vector<vt::app::report::OutlineEntry>& out)
{
    for (const auto& n : nodes) {
        out.push_back({level, n.record.RequirementID, n.record.RequirementName});
        flatten(n.children, level + 1, out);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    int reps = 3;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--reps") == 0 && i + 1 < argc) reps = std::max(1, std::atoi(argv[++i]));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    vt::bench::BenchServer server("revisions_bench");
    if (!server.ok()) return 1;
    int rc = 0;
    try {
        namespace documents = vt::app::data::documents;
        const std::string db = vt::test::freshVeltranaDatabase("vt_rev_bench");
        vt::test::OutlineShape shape;
        shape.categories = 20;
        shape.documents = 2000;
        shape.depth = 6;
        shape.seed = 2026;
        shape.ties = false;
        vt::test::runSql(vt::test::outlineSql(shape), db);
        // Every document has a body of a few KB.
        vt::rt::RichEditor sample;
        for (int i = 0; i < 30; ++i)
            sample.appendParagraph(QStringLiteral("Paragraph %1 of a document body, as people write them.").arg(i));
        vt::test::runSql("INSERT INTO Req_objects (RequirementID, Document) SELECT RequirementID, X'" +
                             sample.saveToBytes().toHex().toStdString() + "' FROM Requirements",
                         db);

        const auto& testServer = vt::test::testServer();
        vt::app::Session session;
        session.connect({QString::fromStdString(db),
                         QString::fromStdString(testServer.host) + ":" + QString::number(testServer.port),
                         QString::fromStdString(testServer.user), QString::fromStdString(testServer.password)});
        QTemporaryDir work;
        session.WorkFolder = work.path() + "/";
        SetTraceHook([](TraceOp op, const std::string&) {
            if (op == TraceOp::Execute || op == TraceOp::Begin || op == TraceOp::Commit || op == TraceOp::Rollback)
                ++g_statements;
        });

        // The outline and the report before any revision exists.
        const auto tree = vt::app::data::outline::loadOutline(session, shape.projectId);
        std::vector<vt::app::report::OutlineEntry> outline{{0, 0, QStringLiteral("Generated project")}};
        for (const auto& category : tree) {
            outline.push_back({1, category.record.CatagoryID, category.record.CatagoryName});
            flatten(category.children, 2, outline);
        }
        vt::rt::RichEditor view;
        const QString reportPath = session.WorkFolder + "vtranTemp.html";
        const auto report = [&] {
            QFile file(reportPath);
            file.open(QIODevice::WriteOnly | QIODevice::Truncate);
            vt::app::report::writeProjectReport(session, outline, QStringLiteral("2026/12/10"), file, view);
        };
        const auto loadOutline = [&] { vt::app::data::outline::loadOutline(session, shape.projectId); };
        const Figures outlineBefore = measure(reps, session, loadOutline);
        const Figures reportBefore = measure(reps, session, report);

        // A body save: without history (the row update, the record, the body update) beside
        // the save with its revision, on two documents of the same body.
        vt::rt::RichEditor writer;
        writer.appendParagraph(QString(2000, QLatin1Char('x')));
        const QString bodyFile = session.WorkFolder + "prmOut.rvf";
        writer.saveToFile(bodyFile);
        const qint32 plainDoc = shape.firstDocumentId + 3;
        const qint32 keptDoc = shape.firstDocumentId + 4;
        const Figures plainSave = measure(reps, session, [&] {
            documents::updateTopic(session, plainDoc, QStringLiteral("Topic"), QStringLiteral("BENCH"));
            vt::app::data::activitylog::LogActivity(session, QStringLiteral("UPD_DOC"), QStringLiteral("BENCH"),
                                                    shape.projectId, 0, plainDoc, 0);
            documents::updateBodyFromFile(session, plainDoc, bodyFile);
        });
        const Figures revisionSave = measure(reps, session, [&] {
            const auto loaded = documents::details(session, keptDoc);
            g_statements = 0;  // the row is read when the document is shown, not at the save
            documents::Change change;
            change.bodyFile = bodyFile;
            documents::saveRevision(session, keptDoc, *loaded, change, QStringLiteral("BENCH"), shape.projectId, 0);
        });

        // 20 revisions for every document, then the outline and the report again.
        vt::test::runSql("INSERT INTO Req_revisions (RequirementID, Revision, Saved, SavedBy, RequirementName, "
                         "Document, DocSize) WITH RECURSIVE s(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM s WHERE "
                         "n < 20) SELECT r.RequirementID, 1000 + s.n, now(), 'BENCH', r.RequirementName, "
                         "repeat('old ', 750), 3000 FROM Requirements r, s",
                         db);
        const Figures outlineAfter = measure(reps, session, loadOutline);
        const Figures reportAfter = measure(reps, session, report);

        // 1,000 revisions of 100 KB for one document, and its history list.
        const qint32 longDoc = shape.firstDocumentId + 7;
        vt::test::runSql("INSERT INTO Req_revisions (RequirementID, Revision, Saved, SavedBy, RequirementName, "
                         "Document, DocSize) WITH RECURSIVE s(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM s WHERE "
                         "n < 1000) SELECT " +
                             std::to_string(longDoc) +
                             ", 2000 + n, now(), 'BENCH', 'Topic', repeat('0123456789', 10000), 100000 FROM s",
                         db);
        size_t listed = 0;
        const Figures history =
            measure(reps, session, [&] { listed = vt::app::data::revisions::history(session, longDoc).size(); });
        SetTraceHook({});

        std::printf("\nRevisions: a generated project of %d documents in %d categories; best of %d runs\n\n",
                    shape.documents, shape.categories, reps);
        std::printf("| %-64s | %11s | %10s | %12s |\n", "operation", "round trips", "statements", "time");
        std::printf("|%s|%s|%s|%s|\n", std::string(66, '-').c_str(), std::string(13, '-').c_str(),
                    std::string(12, '-').c_str(), std::string(14, '-').c_str());
        row("body save without history (row, record, body)", plainSave);
        row("body save with its revision (one transaction)", revisionSave);
        row("history list: 1,000 revisions of 100 KB", history);
        row("outline load, no revisions", outlineBefore);
        row("outline load, 20 revisions per document", outlineAfter);
        row("project report, no revisions", reportBefore);
        row("project report, 20 revisions per document", reportAfter);
        std::printf("\nHistory entries listed: %zu. Statements count transaction statements too; a round trip\n"
                    "is one exchange with the server (the ping before each statement included).\n",
                    listed);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "revisions_bench: stopped: %s\n", e.what());
        rc = 1;
    }
    vt::bench::stopBenchServer();
    return rc;
}
