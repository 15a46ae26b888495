// Latency benchmark: the workspace and report operations over a slow link beside the direct
// connection, in the same run on the same data. The slow link is a proxy in this program that
// holds every byte back by a fixed delay in each direction (default 12.5 ms each way, a 25 ms
// round trip: another office over a VPN). Printed per operation: round trips, statements and
// time on both links, and the goal for the slow link (printed, not asserted).
//
//   latency_bench [--reps N] [--one-way-ms D]
//
// Uses the server of VT_TEST_SERVER_DIR when that folder holds a running one; otherwise starts
// its own with scripts/db-server.sh and stops it on every way out. Runs offscreen.

#include "BenchServer.h"
#include "DelayProxy.h"
#include "OutlineGenerator.h"
#include "TestServer.h"

#include "data/Discussions.h"
#include "data/Documents.h"
#include "data/Outline.h"
#include "data/Projects.h"
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
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using vt::app::Session;
namespace data = vt::app::data;

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

// Runs op reps times on the session's connection and keeps the best time.
Figures measure(int reps, const std::function<Session&()>& session, const std::function<void()>& op)
{
    Figures best;
    for (int r = 0; r < reps; ++r) {
        const uint64_t before = session().connection().RoundTrips();
        g_statements = 0;
        const double t0 = now();
        op();
        const double ms = (now() - t0) * 1000;
        if (ms < best.ms) {
            best.ms = ms;
            best.roundTrips = session().connection().RoundTrips() - before;
            best.statements = g_statements;
        }
    }
    return best;
}

void flatten(const std::vector<data::outline::DocumentNode>& nodes, int level,
             std::vector<vt::app::report::OutlineEntry>& out)
{
    for (const auto& n : nodes) {
        out.push_back({level, n.record.RequirementID, n.record.RequirementName});
        flatten(n.children, level + 1, out);
    }
}

struct Setup {
    std::string db;
    vt::test::OutlineShape shape;
    QString projectName;
    qint32 bodyDocument = 0;
    QByteArray body;  // about 100 KB
};

enum Op { Login, ChooseProject, SelectDocument, ShowDiscussion, SaveDocument, PostMessage, Report, OpCount };
const char* const kOpNames[OpCount] = {
    "log in (connect, user, settings, packet limit)",
    "choose the 2,000-document project (outline, details, unread)",
    "select a document with a 100 KB body (row, body)",
    "show its Discussion page (threads, replies)",
    "save it (one transaction: row, old version, body, text, log)",
    "post a discussion message (insert, find, members' states)",
    "the report of 2,000 documents",
};
const double kGoalMs[OpCount] = {0, 500, 150, 0, 150, 0, 5000};

// Every operation on one link (a port of the server or of the proxy).
std::vector<Figures> runOn(const Setup& s, uint16_t port, int reps, const QString& work)
{
    const auto& server = vt::test::testServer();
    const vt::app::ConnectionValues values{QString::fromStdString(s.db), "127.0.0.1:" + QString::number(port),
                                           QString::fromStdString(server.user),
                                           QString::fromStdString(server.password)};
    std::vector<Figures> f(OpCount);
    std::unique_ptr<Session> session;
    auto current = [&]() -> Session& { return *session; };

    // Log in: a new session and connection each time, counted from nothing.
    {
        Figures best;
        for (int r = 0; r < reps; ++r) {
            session = std::make_unique<Session>();
            g_statements = 0;
            const double t0 = now();
            if (session->logIn(values, QStringLiteral("ADMIN"), QStringLiteral("ADMIN")) !=
                Session::LoginResult::LoggedIn)
                throw std::runtime_error("log in as ADMIN failed");
            const double ms = (now() - t0) * 1000;
            if (ms < best.ms) best = {ms, session->connection().RoundTrips(), g_statements};
        }
        f[Login] = best;
    }
    Session& ses = *session;
    ses.WorkFolder = work + "/";
    ses.StoreDocumentsAsFiles = false;

    // Choose the project as the main window does: its id, the outline, its details (and the
    // members for its manager), the user's unread messages, then the root's details again.
    std::vector<data::outline::CategoryNode> tree;
    f[ChooseProject] = measure(reps, current, [&] {
        ses.CurrentProjectID = data::projects::projectId(ses, s.projectName);
        tree = data::outline::loadOutline(ses, ses.CurrentProjectID);
        for (int i = 0; i < 2; ++i) {
            if (data::projects::projectInfo(ses, ses.CurrentProjectID))
                (void)data::projects::memberNames(ses, ses.CurrentProjectID);
            if (i == 0) (void)data::discussions::unreadMessages(ses, ses.CurrentProjectID, ses.CurrentUser);
        }
    });

    // Select the document as the document panel does with its Details page shown: its row and
    // its body into the editor. The discussion is read when its page is shown.
    vt::rt::RichEditor editor;
    editor.resize(800, 600);
    ses.CurrentDocumentID = s.bodyDocument;
    auto select = [&] {
        (void)data::documents::details(ses, s.bodyDocument);
        const auto stored = data::documents::storedBody(ses, s.bodyDocument);
        editor.clear();
        if (stored) editor.loadFromBytes(*stored);
        editor.format();
    };
    // The Discussion page's read: the whole discussion in one statement, arranged as a tree.
    auto showDiscussion = [&] {
        (void)data::discussions::threadOrder(
            data::discussions::documentMessages(ses, s.bodyDocument, ses.CurrentUser));
    };
    select();  // the tables' metadata is asked once per connection
    showDiscussion();
    f[SelectDocument] = measure(reps, current, select);
    f[ShowDiscussion] = measure(reps, current, showDiscussion);

    // Save as the document panel does: the body written to its file, then one revision
    // transaction (conditional row update, the replaced version kept, the body, its plain text
    // for the search, the activity record), each save at the revision the previous one stored.
    const QString bodyFile = work + "/prmOut.rvf";
    auto loaded = data::documents::details(ses, s.bodyDocument);
    if (!loaded) throw std::runtime_error("the document with the body is missing");
    f[SaveDocument] = measure(reps, current, [&] {
        QFile::remove(bodyFile);
        editor.saveToFile(bodyFile);
        data::documents::Change change;
        change.bodyFile = bodyFile;
        change.plainText = QString::fromStdString(editor.toModel().plainText());
        const auto saved = data::documents::saveRevision(ses, s.bodyDocument, *loaded, change, ses.CurrentUser,
                                                         ses.CurrentProjectID, 0);
        if (saved.outcome != data::documents::SaveOutcome::Saved)
            throw std::runtime_error("a benchmark save met a conflict");
        loaded->Revision = saved.revision;
    });

    f[PostMessage] = measure(reps, current, [&] {
        data::discussions::PostDiscussionMessage(ses, QStringLiteral("Latency"), QStringLiteral("Measured."), 0);
    });

    std::vector<vt::app::report::OutlineEntry> outline{{0, 0, s.projectName}};
    for (const auto& category : tree) {
        outline.push_back({1, category.record.CatagoryID, category.record.CatagoryName});
        flatten(category.children, 2, outline);
    }
    vt::rt::RichEditor view;
    f[Report] = measure(std::min(reps, 2), current, [&] {
        QFile file(work + "/vtranTemp.html");
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw std::runtime_error("cannot write the report file");
        vt::app::report::writeProjectReport(ses, outline, QStringLiteral("2026/12/10"), file, view);
    });
    return f;
}

}  // namespace

int main(int argc, char** argv)
{
    int reps = 3;
    double oneWayMs = 12.5;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--reps") == 0 && i + 1 < argc)
            reps = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--one-way-ms") == 0 && i + 1 < argc)
            oneWayMs = std::max(0.0, std::atof(argv[++i]));
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    vt::bench::BenchServer server("latency_bench");
    if (!server.ok()) return 1;
    int rc = 0;
    try {
        Setup s;
        s.db = vt::test::freshVeltranaDatabase("vt_latency_bench");
        s.shape.categories = 20;
        s.shape.documents = 2000;
        s.shape.depth = 6;
        s.shape.seed = 2026;
        s.shape.ties = false;
        vt::test::runSql(vt::test::outlineSql(s.shape), s.db);
        s.projectName = QString::fromStdString(vt::test::runSql("select ProjectName from Projects where ProjectID = " +
                                                                    std::to_string(s.shape.projectId),
                                                                s.db))
                            .trimmed();
        if (s.projectName.isEmpty()) throw std::runtime_error("the generated project has no name");

        // Every document gets a small body (a few paragraphs); one gets about 100 KB.
        vt::rt::RichEditor writer;
        for (int k = 0; k < 6; ++k)
            writer.appendParagraph(QStringLiteral("Requirement text: the system keeps every change and shows who "
                                                  "made it, paragraph %1.")
                                       .arg(k),
                                   k % 3, 0);
        const QByteArray small = writer.saveToBytes();
        for (int i = 0; s.body.size() < 100'000; ++i) {
            for (int k = 0; k < 50; ++k)
                writer.appendParagraph(QString::number(i * 50 + k) +
                                           QStringLiteral(". The quick brown fox jumps over the lazy dog again."),
                                       k % 3, 0);
            s.body = writer.saveToBytes();
        }
        s.bodyDocument = s.shape.firstDocumentId + 5;
        const std::string hexSmall = small.toHex().toStdString();
        std::string insert;
        for (int i = 0; i < s.shape.documents; ++i) {
            const qint32 id = s.shape.firstDocumentId + i;
            insert += insert.empty() ? "INSERT INTO Req_objects (RequirementID, Document) VALUES " : ",";
            insert += "(" + std::to_string(id) + ",0x" +
                      (id == s.bodyDocument ? s.body.toHex().toStdString() : hexSmall) + ")";
            if (insert.size() > 1'000'000 || i + 1 == s.shape.documents) {
                vt::test::runSql(insert, s.db);
                insert.clear();
            }
        }

        SetTraceHook([](TraceOp op, const std::string&) {
            if (op == TraceOp::Execute || op == TraceOp::Begin || op == TraceOp::Commit || op == TraceOp::Rollback)
                ++g_statements;
        });
        QTemporaryDir work;
        Session::programFolderOverride = work.path();
        const uint16_t direct = vt::test::testServer().port;
        const std::vector<Figures> near = runOn(s, direct, reps, work.path());
        vt::bench::DelayProxy proxy(direct, std::chrono::microseconds(int64_t(oneWayMs * 1000)));
        if (proxy.listenPort() == 0) throw std::runtime_error("the delaying proxy could not listen on 127.0.0.1");
        const std::vector<Figures> far = runOn(s, proxy.listenPort(), reps, work.path());
        proxy.stop();
        SetTraceHook({});

        std::printf("\nLatency: a generated project of %d documents, a %.0f kB body; the slow link delays each "
                    "direction by %.1f ms (a %.0f ms round trip); best of %d runs (report: of %d)\n\n",
                    s.shape.documents, double(s.body.size()) / 1000, oneWayMs, 2 * oneWayMs, reps, std::min(reps, 2));
        std::printf("| %-62s | %11s | %10s | %10s | %10s | %9s |\n", "operation", "round trips", "statements", "direct",
                    "slow link", "goal");
        std::printf("|%s|%s|%s|%s|%s|%s|\n", std::string(64, '-').c_str(), std::string(13, '-').c_str(),
                    std::string(12, '-').c_str(), std::string(12, '-').c_str(), std::string(12, '-').c_str(),
                    std::string(11, '-').c_str());
        for (int op = 0; op < OpCount; ++op) {
            char goal[32] = "-";
            if (kGoalMs[op] > 0)
                std::snprintf(goal, sizeof goal, "%s %.0f", far[op].ms < kGoalMs[op] ? "met <" : "MISSED <",
                              kGoalMs[op]);
            std::printf("| %-62s | %11llu | %10d | %7.1f ms | %7.1f ms | %9s |\n", kOpNames[op],
                        static_cast<unsigned long long>(far[op].roundTrips), far[op].statements, near[op].ms,
                        far[op].ms, goal);
        }
        std::printf("\nRound trips and statements are those of the slow link's run (the direct run sends the same\n"
                    "statements); a round trip is one exchange with the server, a ping counting one.\n");
        vt::test::runSql("drop database " + s.db);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "latency_bench: stopped: %s\n", e.what());
        rc = 1;
    }
    return rc;
}
