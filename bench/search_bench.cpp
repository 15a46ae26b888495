// Search benchmark: 10,000 documents of about 2 KB with one discussion message each, in one
// project of a member user. Prints the one-time fill of their texts, the time to the first
// results for a rare word and for a word in every document (top 50 of each kind), the search
// box from the last keystroke to its results, and what the program's body save (the revision
// transaction) costs with its text beside the same save without it (statements and time).
//
//   search_bench [--documents N] [--reps N]
//
// Uses the server of VT_TEST_SERVER_DIR when that folder holds a running one; otherwise starts
// its own with scripts/db-server.sh and stops it afterwards. Runs offscreen.

#include "BenchServer.h"
#include "TestServer.h"

#include "data/Documents.h"
#include "data/Search.h"
#include "session/Session.h"
#include "windows/panels/SearchBox.h"

#include "db/DbSettings.h"

#include "richtext/RvfFormat.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <vector>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

int g_statements = 0;

double now()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::string bodyBytes(const std::string& text)
{
    vt::rt::DocModel model;
    vt::rt::Block block;
    vt::rt::Item item;
    item.text = text;
    block.paragraph.items.push_back(item);
    model.blocks.push_back(block);
    return vt::rt::writeRvf(model);
}

std::string hex(const std::string& bytes)
{
    static const char* digits = "0123456789ABCDEF";
    std::string out = "X'";
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out + "'";
}

}  // namespace

int main(int argc, char** argv)
{
    int documents = 10000;
    int reps = 5;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--documents") == 0) documents = std::max(100, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--reps") == 0) reps = std::max(1, std::atoi(argv[++i]));
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    vt::bench::BenchServer server("search_bench");
    if (!server.ok()) return 1;
    namespace search = vt::app::data::search;
    int rc = 0;
    try {
        const std::string db = vt::test::freshVeltranaDatabase("vt_search_bench");
        vt::test::runSql("INSERT INTO Users (Username, password, Role) VALUES ('ALICE', 'PW', 'USER');"
                         "INSERT INTO Projects (ProjectID, ProjectName) VALUES (1, 'Bench'), (2, 'Other');"
                         "INSERT INTO ProjectMembers (UserName, ProjectID) VALUES ('ALICE', 1);"
                         "INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName) VALUES (1, 1, 'Specs'),"
                         "(2, 1, 'Plans'), (3, 2, 'Elsewhere')",
                         db);
        // Bodies of about 2 KB from a vocabulary of 5,000 words; "ubiquitous" in every one,
        // "zanzibar" in 20.
        std::mt19937 random(2026);
        std::vector<std::string> vocabulary;
        for (int i = 0; i < 5000; ++i) {
            std::string w;
            for (int k = 0, n = 4 + int(random() % 6); k < n; ++k)
                w += char('a' + random() % 26);
            vocabulary.push_back(w);
        }
        std::size_t bodyBytesTotal = 0;
        for (int first = 1; first <= documents; first += 500) {
            std::string docs, bodies, messages;
            for (int id = first; id < first + 500 && id <= documents; ++id) {
                const int category = id % 3 == 0 ? 3 : 1 + id % 2;
                docs += std::string(docs.empty() ? "" : ",") + "(" + std::to_string(id) + ",2," +
                        std::to_string(category) + ",'Document " + std::to_string(id) + "',now(),'ALICE',now())";
                std::string text = "ubiquitous ";
                if (id % (documents / 20) == 0) text += "zanzibar ";
                while (text.size() < 2000)
                    text += vocabulary[random() % vocabulary.size()] + (random() % 12 == 0 ? ".\n" : " ");
                const std::string body = bodyBytes(text);
                bodyBytesTotal += body.size();
                bodies += std::string(bodies.empty() ? "" : ",") + "(" + std::to_string(id) + "," + hex(body) + ")";
                messages += std::string(messages.empty() ? "" : ",") + "('Question " + std::to_string(id) +
                            "','ALICE','What about " + vocabulary[random() % vocabulary.size()] + "?',now()," +
                            std::to_string(id) + ",0," + std::to_string(category == 3 ? 2 : 1) + ")";
            }
            vt::test::runSql("INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Created, "
                             "Owner, modified) VALUES " + docs + ";INSERT INTO Req_objects (RequirementID, Document) "
                             "VALUES " + bodies + ";INSERT INTO Req_messages (Subject, Name, msg, created, "
                             "RequirementID, ParentID, ProjectID) VALUES " + messages,
                             db);
        }
        std::printf("corpus: %d documents, %.1f MB of bodies, one message each\n", documents,
                    double(bodyBytesTotal) / 1e6);

        const auto& ts = vt::test::testServer();
        const vt::app::ConnectionValues values{QString::fromStdString(db),
                                               QString::fromStdString(ts.host) + ":" + QString::number(ts.port),
                                               QString::fromStdString(ts.user), QString::fromStdString(ts.password)};
        vt::app::Session session;
        if (session.logIn(values, "ALICE", "PW") != vt::app::Session::LoginResult::LoggedIn)
            throw std::runtime_error("cannot log in");

        double t = now();
        int lastReport = 0;
        const auto filled = search::fillMissingTexts(session, false, QString(), [&](int done, int total) {
            if (done - lastReport >= total / 4 || done == total) {
                std::printf("  fill: %d of %d\n", done, total);
                lastReport = done;
            }
        });
        std::printf("one-time fill: %d texts in %.1f s (goal: under 60 s)\n", filled.filled, now() - t);

        SetTraceHook([](TraceOp op, const std::string&) {
            if (op == TraceOp::Execute) ++g_statements;
        });
        const int tokenSize = search::minTokenSize(session);
        for (const char* word : {"zanzibar", "ubiquitous", "ubiq*", "C++"}) {
            std::vector<double> times;
            std::size_t hits = 0;
            g_statements = 0;
            for (int r = 0; r < reps; ++r) {
                t = now();
                hits = search::find(session, search::parseTerms(word), tokenSize, "ALICE", false).size();
                times.push_back((now() - t) * 1000);
            }
            std::printf("search %-12s %4zu hits  %6.1f ms (median of %d)  %d statements each\n", word, hits,
                        median(times), reps, g_statements / reps);
        }
        std::printf("goals: a rare word under 50 ms, a word in every document (top 50) under 100 ms\n");

        // The search box: from the last keystroke to its results shown.
        {
            vt::app::SearchBox box(session);
            box.resize(300, 600);
            box.show();
            auto* edit = box.findChild<QLineEdit*>("SearchEdit");
            auto* results = box.findChild<QTreeWidget*>("SearchResults");
            std::vector<double> times;
            for (int r = 0; r < reps; ++r) {
                edit->clear();
                results->clear();
                QElapsedTimer clock;
                QTest::keyClicks(edit, r % 2 ? "zanzibar" : "ubiquitous");
                clock.start();
                while (results->topLevelItemCount() == 0 && clock.elapsed() < 5000)
                    QApplication::processEvents(QEventLoop::AllEvents, 5);
                times.push_back(double(clock.nsecsElapsed()) / 1e6);
            }
            std::printf("search box, last keystroke to results: %.1f ms (median; pause %d ms; goal: under 150 ms)\n",
                        median(times), vt::app::SearchBox::kDebounceMs);
        }

        // A body save with its text beside the same save without it.
        const std::string file =
            std::filesystem::temp_directory_path() / ("vt-search-bench-" + std::to_string(getpid()) + ".rvf");
        const QString path = QString::fromStdString(file);
        const std::string someBody = bodyBytes(std::string(2000, 'x'));
        {
            FILE* f = std::fopen(file.c_str(), "wb");
            std::fwrite(someBody.data(), 1, someBody.size(), f);
            std::fclose(f);
        }
        QString text;
        for (int i = 0; i < 300; ++i)
            text += QString::fromStdString(vocabulary[std::size_t(i)]) + " ";
        // The program's save: one transaction with the replaced version kept (saveRevision),
        // without the body's plain text, with the same text again (the index keeps its entries),
        // and with a text that differs from the stored one (the index takes it anew, as after
        // an edit of the words). The kinds take turns in blocks of 25 saves, each round in
        // another order, so that all meet the tables (and the machine) in the same states; each
        // kind's figure is the median of its blocks.
        enum Kind { Plain, SameText, NewText };
        const int rounds = 4 * reps;
        const int perBlock = 25;
        std::vector<vt::app::data::documents::Details> loaded;
        // Documents 1-50 for the saves without and with the same text, 51-100 for a changed text,
        // so that the same text is the stored one.
        for (int i = 0; i < 100; ++i) loaded.push_back(*vt::app::data::documents::details(session, 1 + i));
        // The same text is stored before the timing, so that no save of that kind changes it.
        for (int i = 0; i < 50; ++i) search::storeText(session, 1 + i, text);
        int next = 0;
        int statements[3] = {0, 0, 0};
        std::vector<double> times[3];
        // The server's file syncs (InnoDB's counter, read outside the timed part), to show what
        // a save with its text costs the server beyond its statements: an update of a row under
        // a FULLTEXT index also records the replaced entry in the index's own table, which the
        // server commits with a log flush of its own.
        const auto fsyncs = [] {
            return std::stoll(vt::test::runSql("show global status like 'Innodb_data_fsyncs'").substr(
                std::string("Innodb_data_fsyncs\t").size()));
        };
        long long syncs[3] = {0, 0, 0};
        const auto timeBlock = [&](Kind kind) {
            const long long syncsBefore = fsyncs();
            vt::app::data::documents::Change change;
            change.bodyFile = path;
            if (kind == SameText) change.plainText = text;
            g_statements = 0;
            const double start = now();
            for (int i = 0; i < perBlock; ++i, ++next) {
                if (kind == NewText) change.plainText = text + QString::number(next);
                const int document = next % 50 + (kind == NewText ? 50 : 0);
                auto& row = loaded[std::size_t(document)];
                const auto result =
                    vt::app::data::documents::saveRevision(session, 1 + document, row, change, "ADMIN", 0, 0);
                if (result.outcome != vt::app::data::documents::SaveOutcome::Saved)
                    throw std::runtime_error("a benchmark save met a conflict");
                row.Revision = result.revision;
            }
            statements[kind] = g_statements / perBlock;
            times[kind].push_back((now() - start) * 1000 / perBlock);
            syncs[kind] += fsyncs() - syncsBefore;
        };
        const Kind orders[3][3] = {{Plain, SameText, NewText}, {SameText, NewText, Plain}, {NewText, Plain, SameText}};
        for (int r = 0; r < rounds; ++r)
            for (Kind kind : orders[r % 3])
                timeBlock(kind);
        const double plain = median(times[Plain]);
        const double same = median(times[SameText]);
        const double changed = median(times[NewText]);
        g_statements = statements[SameText];
        std::printf("body save: %.2f ms and %d statements; with its text %.2f ms (%+.0f %%) and %d statements; "
                    "with a changed text %.2f ms (%+.0f %%) and %d statements (median of %d blocks of %d each)\n",
                    plain, statements[Plain], same, (same / plain - 1) * 100, statements[SameText], changed,
                    (changed / plain - 1) * 100, statements[NewText], rounds, perBlock);
        const double saves = double(rounds) * perBlock;
        std::printf("server file syncs per save: %.2f without the text, %.2f with the same text, %.2f with a "
                    "changed text\n",
                    double(syncs[Plain]) / saves, double(syncs[SameText]) / saves, double(syncs[NewText]) / saves);
        std::filesystem::remove(file);
        SetTraceHook({});
    } catch (const std::exception& e) {
        std::fprintf(stderr, "search_bench: %s\n", e.what());
        rc = 1;
    }
    vt::bench::stopBenchServer();
    return rc;
}
