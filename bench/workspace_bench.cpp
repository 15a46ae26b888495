// Workspace benchmark: what loading a project's outline costs, the program's load beside one
// statement per node, in the same run on the same generated project (2,000 documents in 20
// categories, 6 levels deep); the outline of a project whose one category holds a chain of
// documents 100,000 deep; the round trips of showing a document the first and the second time;
// and the time from selecting a document to its 2 MB body shown in the editor.
//
//   workspace_bench [--reps N] [--per-user]
//
// --per-user moves the database to per-user accounts first and reads through its views as ADMIN.
//
// Uses the server of VT_TEST_SERVER_DIR when that folder holds a running one; otherwise starts
// its own with scripts/db-server.sh and stops it afterwards. Runs offscreen.

#include "BenchServer.h"
#include "OutlineGenerator.h"
#include "PerUserDatabase.h"
#include "TestServer.h"

#include "data/Documents.h"
#include "data/Outline.h"
#include "session/Session.h"

#include "db/DbSettings.h"
#include "db/TmySQLDatabase.h"

#include "richtext/RichEditor.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
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
    double ms = 1e30;   // best of the repetitions
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
        const double ms = (now() - t0) * 1000;
        best.ms = std::min(best.ms, ms);
        best.roundTrips = session.connection().RoundTrips() - before;
        best.statements = g_statements;
    }
    return best;
}

// Opens the document as the document panel does: its row, then its body (none when it has
// no body row).
void showDocument(vt::app::Session& session, qint32 id, vt::rt::RichEditor* editor)
{
    volatile bool found = vt::app::data::documents::details(session, id).has_value();
    (void)found;
    const std::optional<QByteArray> body = vt::app::data::documents::storedBody(session, id);
    if (!body)
        return;
    if (editor) {
        editor->clear();
        editor->loadFromBytes(*body);
        editor->format();
    }
}

} // namespace

int main(int argc, char** argv)
{
    int reps = 3;
    bool perUser = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--reps") == 0 && i + 1 < argc)
            reps = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--per-user") == 0)
            perUser = true;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    vt::bench::BenchServer server("workspace_bench");
    if (!server.ok()) return 1;
    int rc = 0;
    try {
        const std::string db = vt::test::freshVeltranaDatabase("vt_ws_bench");
        vt::test::OutlineShape shape;
        shape.categories = 20;
        shape.documents = 2000;
        shape.depth = 6;
        shape.seed = 2026;
        shape.ties = false;
        vt::test::runSql(vt::test::outlineSql(shape), db);

        // A body of about 2 MB: formatted paragraphs as people write them.
        vt::rt::RichEditor writer;
        const QString line = QStringLiteral("The quick brown fox jumps over the lazy dog, again and again; ");
        QString paragraph;
        for (int i = 0; i < 8; ++i)
            paragraph += line;
        QByteArray body;
        for (int i = 0; body.size() < 2'000'000; ++i) {
            for (int k = 0; k < 200; ++k)
                writer.appendParagraph(QString::number(i * 200 + k) + ". " + paragraph, k % 3, 0);
            body = writer.saveToBytes();
        }
        const qint32 bodyDocument = shape.firstDocumentId + 5;
        const std::string file = std::filesystem::temp_directory_path() / ("vt-ws-bench-" + std::to_string(getpid()) + ".rvf");
        writer.saveToFile(QString::fromStdString(file));
        vt::test::runSql("INSERT INTO Req_objects (RequirementID, Document) VALUES (" + std::to_string(bodyDocument) + ", '')", db);

        const auto& server = vt::test::testServer();
        vt::app::Session session;
        session.connect({QString::fromStdString(db), QString::fromStdString(server.host) + ":" + QString::number(server.port),
                         QString::fromStdString(server.user), QString::fromStdString(server.password)});
        vt::app::data::documents::updateBodyFromFile(session, bodyDocument, QString::fromStdString(file));
        std::filesystem::remove(file);
        // The outline is read on a connection of its own: as the administrator's account through
        // the views in per-user mode.
        vt::test::PerUserDatabase perUserDb;
        vt::app::ConnectionValues values;
        values.database = QString::fromStdString(db);
        values.host = QString::fromStdString(server.host) + ":" + QString::number(server.port);
        values.user = QString::fromStdString(server.user);
        values.password = QString::fromStdString(server.password);
        if (perUser) {
            perUserDb = vt::test::movePerUser(db);
            values.user = values.password = QStringLiteral("ADMIN");
            values.requireTls = true;
            values.tlsCaFile = QString::fromStdString(server.caFile);
        }
        // A second project: one category holding a chain of documents, each below the one before.
        // Added after the move to per-user accounts, so that their triggers place each row as it
        // comes, as they do for documents made in the program.
        constexpr int kChain = 100000;
        constexpr qint32 kChainProject = 2;
        vt::test::runSql("INSERT INTO Projects (ProjectID, ProjectName, Description, ProjectManager) VALUES (2, "
                         "'Chain', '', 'ADMIN');\n"
                         "INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName) VALUES (9000, 2, 'Chain');\n"
                         "INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Owner) SELECT "
                         "5000000 + seq, seq + 1, IF(seq = 1, 9000, 5000000 + seq - 1), concat('Link ', seq), "
                         "'ADMIN' FROM seq_1_to_" + std::to_string(kChain),
                         db);
        vt::app::Session reader;
        reader.connect(values);

        SetTraceHook([](TraceOp op, const std::string&) {
            if (op == TraceOp::Execute)
                ++g_statements;
        });
        size_t nodes = 0;
        const Figures byLevel = measure(reps, reader, [&] {
            const auto tree = vt::app::data::outline::loadOutline(reader, shape.projectId);
            nodes = tree.size();
        });
        const Figures byNode = measure(reps, reader, [&] { vt::app::data::outline::loadOutlineByNode(reader, shape.projectId); });
        size_t chainDepth = 0;
        const Figures chain = measure(1, reader, [&] {
            const auto tree = vt::app::data::outline::loadOutline(reader, kChainProject);
            chainDepth = 0;
            for (const auto* level = tree.empty() ? nullptr : &tree.front().children; level && !level->empty();
                 level = &level->front().children)
                ++chainDepth;
        });
        const qint32 plain = shape.firstDocumentId + 17;
        const Figures firstOpen = measure(1, reader, [&] { showDocument(reader, plain, nullptr); });
        const Figures secondOpen = measure(1, reader, [&] { showDocument(reader, plain, nullptr); });
        vt::rt::RichEditor editor;
        editor.resize(800, 600);
        const Figures bigBody = measure(reps, reader, [&] { showDocument(reader, bodyDocument, &editor); });
        SetTraceHook({});

        std::printf("\nWorkspace (%s): a generated project of %d documents in %d categories, %d levels deep "
                    "(%zu categories loaded; best of %d runs)\n\n",
                    perUser ? "per-user accounts, through the views as ADMIN" : "shared account", shape.documents,
                    shape.categories, shape.depth, nodes, reps);
        std::printf("| %-62s | %11s | %10s | %10s |\n", "operation", "round trips", "statements", "time");
        std::printf("|%s|%s|%s|%s|\n", std::string(64, '-').c_str(), std::string(13, '-').c_str(),
                    std::string(12, '-').c_str(), std::string(12, '-').c_str());
        auto row = [](const char* what, const Figures& f) {
            std::printf("| %-62s | %11llu | %10d | %7.1f ms |\n", what, static_cast<unsigned long long>(f.roundTrips),
                        f.statements, f.ms);
        };
        row("whole outline, the program's load", byLevel);
        row("whole outline, one statement per node (as first specified)", byNode);
        row(("chain " + std::to_string(kChain) + " deep, the program's load (once, " + std::to_string(chainDepth) +
             " read)").c_str(),
            chain);
        row("show a document without body, first time (row, body)", firstOpen);
        row("the same document again (metadata answers kept)", secondOpen);
        std::printf("| %-62s | %11llu | %10d | %7.1f ms |\n",
                    ("select a document to its body shown, " + std::to_string(body.size() / 1000) + " kB body").c_str(),
                    static_cast<unsigned long long>(bigBody.roundTrips), bigBody.statements, bigBody.ms);
        std::printf("\nStatements are those the access layer sent, metadata probes included; a round trip is one\n"
                    "exchange with the server (each statement and each ping before it count one).\n");
        if (perUser)
            vt::test::dropPerUserDatabase(perUserDb);
        else
            vt::test::runSql("drop database " + db);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "workspace_bench: stopped: %s\n", e.what());
        rc = 1;
    }
    return rc;
}
