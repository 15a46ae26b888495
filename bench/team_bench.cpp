// Team-scale benchmark: what a large team costs the statements that grow with it.
//  - A discussion post to a project of many members (default 10,000): the notices written as
//    before (the member list read, then a record and a read state per member, two statements
//    each) beside the post of now, in the shared-account mode, and the post of now in the
//    per-user mode (through the views and their triggers).
//  - Recent Updates over a long activity log (default 1,000,000 rows, mostly notices, the
//    document saves spread over 20 projects, the reader a member of 3): the grid's statement,
//    as the grid opens it, with the server's plan.
//
//   team_bench [--reps N] [--members N] [--log-rows N]
//
// Uses the server of VT_TEST_SERVER_DIR when that folder holds a running one; otherwise starts
// its own with scripts/db-server.sh and stops it afterwards.

#include "BenchServer.h"
#include "PerUserDatabase.h"
#include "TestServer.h"

#include "data/ActivityLog.h"
#include "data/Discussions.h"
#include "data/SqlText.h"
#include "session/Session.h"

#include "db/DbSettings.h"
#include "db/TField.h"
#include "db/TmySQLDatabase.h"
#include "db/TmySQLQuery.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
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

Figures measure(int reps, Session& session, const std::function<void()>& op)
{
    Figures best;
    for (int r = 0; r < reps; ++r) {
        const uint64_t before = session.connection().RoundTrips();
        g_statements = 0;
        const double t0 = now();
        op();
        const double ms = (now() - t0) * 1000;
        if (ms < best.ms) {
            best.ms = ms;
            best.roundTrips = session.connection().RoundTrips() - before;
            best.statements = g_statements;
        }
    }
    return best;
}

void row(const std::string& what, const Figures& f)
{
    std::printf("| %-100s | %11llu | %10d | %10.1f ms |\n", what.c_str(), static_cast<unsigned long long>(f.roundTrips),
                f.statements, f.ms);
}

void header()
{
    std::printf("| %-100s | %11s | %10s | %13s |\n", "operation", "round trips", "statements", "time");
    std::printf("|%s|%s|%s|%s|\n", std::string(102, '-').c_str(), std::string(13, '-').c_str(),
                std::string(12, '-').c_str(), std::string(15, '-').c_str());
}

void execute(Session& session, const std::string& sql)
{
    auto query = session.newQuery();
    query->SetSQL(sql);
    query->Execute();
}

// A post as the program wrote it before the notices were set-based: the message, the
// document's flag, the member list, then LogActivity (a record and a read state) per member.
void postAsBefore(Session& session)
{
    const std::string project = std::to_string(session.CurrentProjectID);
    auto message = session.newQuery();
    message->SetSQL("insert into Req_messages (Subject, Name, msg, created, RequirementID, hash, ParentID, ProjectID) "
                    "values ('Before', " +
                    data::sqlQuoted(session.CurrentUser) + ", 'Measured.', now(), " +
                    std::to_string(session.CurrentDocumentID) + ", 1, 0, " + project + ")");
    message->Execute();
    const auto msgId = static_cast<qint32>(message->InsertId());
    execute(session,
            "Update Requirements set messages = 1 where RequirementID=" + std::to_string(session.CurrentDocumentID));
    QStringList members;
    auto query = session.newQuery();
    query->SetSQL("select * from ProjectMembers where projectID=" + project);
    query->Open();
    for (int i = 0, rows = query->RecordCount(); i < rows; ++i) {
        members << data::textOf(*query, "username");
        query->Next();
    }
    query->Close();
    for (const QString& member : members)
        data::activitylog::LogActivity(session, QStringLiteral("DISC_POST"), member, session.CurrentProjectID,
                                       session.CurrentCatagoryID, session.CurrentDocumentID, msgId);
}

vt::app::ConnectionValues sharedValues(const std::string& db)
{
    const auto& server = vt::test::testServer();
    return {QString::fromStdString(db),
            QString::fromStdString(server.host) + ":" + QString::number(server.port),
            QString::fromStdString(server.user),
            QString::fromStdString(server.password),
            false,
            QString(),
            false};
}

void benchPost(int reps, int members)
{
    const std::string db = vt::test::freshVeltranaDatabase("vt_team_post");
    vt::test::runSql("INSERT INTO Users (Username, password, Role) VALUES ('POSTER', 'PW', 'USER');"
                     "INSERT INTO Projects (ProjectID, ProjectName, ProjectManager) VALUES (1, 'Team', 'POSTER');"
                     "INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName) VALUES (1, 1, 'C');"
                     "INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Owner) VALUES "
                     "(1, 2, 1, 'D', 'POSTER');"
                     "INSERT INTO ProjectMembers (UserName, ProjectID) VALUES ('POSTER', 1);"
                     "INSERT INTO ProjectMembers (UserName, ProjectID) SELECT concat('M', seq), 1 FROM seq_1_to_" +
                         std::to_string(members - 1),
                     db);
    const auto place = [](Session& session) {
        session.CurrentUser = QStringLiteral("POSTER");
        session.CurrentProjectID = 1;
        session.CurrentCatagoryID = 1;
        session.CurrentDocumentID = 1;
    };
    const auto post = [](Session& session) {
        if (data::discussions::PostDiscussionMessage(session, QStringLiteral("Now"), QStringLiteral("Measured."), 0)
                .msgId <= 0)
            throw std::runtime_error("a benchmark post got no id");
    };
    Figures before, shared, perUser;
    {
        Session session;
        session.connect(sharedValues(db));
        place(session);
        before = measure(reps, session, [&] { postAsBefore(session); });
        shared = measure(reps, session, [&] { post(session); });
    }
    const std::string perMember = vt::test::runSql(
        "SELECT count(*) / count(DISTINCT msgID) FROM msg_state WHERE msgID IN (SELECT msgID FROM Req_messages "
        "WHERE Subject = 'Now')",
        db);
    {
        const auto layer = vt::test::movePerUser(db);
        Session session;
        auto values = sharedValues(db);
        values.user = QStringLiteral("POSTER");
        values.password = QStringLiteral("PW");
        values.requireTls = true;
        values.tlsCaFile = QString::fromStdString(vt::test::testServer().caFile);
        session.connect(values);
        place(session);
        try {
            perUser = measure(reps, session, [&] { post(session); });
        } catch (...) {
            vt::test::dropPerUserDatabase(layer);
            throw;
        }
        vt::test::dropPerUserDatabase(layer);
    }
    std::printf("\nA post to a project of %d members; best of %d runs\n\n", members, reps);
    header();
    row("post, notices as before (two statements per member), shared account", before);
    row("post, notices set-based, shared account", shared);
    row("post, notices set-based, per-user accounts (views and triggers)", perUser);
    std::printf("\nRead states written per post: %s", perMember.c_str());
}

// The Recent Updates statement before the index (Note, ProjectID, ModifyDate), measured on the table
// without that index: every record of the user's projects joined and sorted.
const char* const kRecentUpdatesBefore =
    "SELECT activity_log.LogID, activity_log.ProjectID, activity_log.modifyDate, activity_log.Modifiedby, "
    "activity_log.DocumentID, projects.ProjectName, requirements.RequirementName "
    "FROM activity_log, requirements,projects,projectmembers "
    "Where (activity_log.note='UPD_DOC') and  (requirements.RequirementID = activity_log.DocumentID) and "
    "(projects.ProjectID = activity_log.ProjectID) and (projectmembers.username = :username) and "
    "(activity_log.projectid = projectmembers.projectid) order by ModifyDate DESC limit 20";

void benchRecentUpdates(int reps, int logRows)
{
    const std::string db = vt::test::freshVeltranaDatabase("vt_team_log");
    // 20 projects of 20 documents; READER is a member of projects 1 to 3. Every tenth record is
    // a save ('UPD_DOC'), the others notices; records a second apart, the newest last, the
    // projects taking turns ten records each. LATE is a member of project 21 alone, whose one save is the oldest
    // record: the statement reads every save to find it.
    const std::string n = std::to_string(logRows);
    const double t0 = now();
    vt::test::runSql(
        "INSERT INTO Users (Username, password, Role) VALUES ('READER', 'PW', 'USER'), ('LATE', 'PW', 'USER');"
        "INSERT INTO Projects (ProjectID, ProjectName) SELECT seq, concat('P', seq) FROM seq_1_to_21;"
        "INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName) SELECT seq, seq, 'C' FROM seq_1_to_21;"
        "INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName) VALUES (2100, 2, 21, 'Old');"
        "INSERT INTO ProjectMembers (UserName, ProjectID) VALUES ('LATE', 21);"
        "INSERT INTO activity_Log (Note, ModifiedBy, ModifyDate, ProjectID, CatagoryID, DocumentID, msgID) VALUES "
        "('UPD_DOC', 'LATE', '2025-12-31 00:00:00', 21, 21, 2100, 0);"
        "INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName) "
        "SELECT p.seq * 100 + d.seq, 2, p.seq, concat('Doc ', p.seq, '.', d.seq) FROM seq_1_to_20 p, seq_0_to_19 d;"
        "INSERT INTO ProjectMembers (UserName, ProjectID) VALUES ('READER', 1), ('READER', 2), ('READER', 3);"
        "INSERT INTO ProjectMembers (UserName, ProjectID) SELECT concat('U', seq), seq % 20 + 1 FROM seq_1_to_200;"
        "INSERT INTO activity_Log (Note, ModifiedBy, ModifyDate, ProjectID, CatagoryID, DocumentID, msgID) "
        "SELECT IF(seq % 10 = 0, 'UPD_DOC', 'DISC_POST'), concat('U', seq % 200), "
        "TIMESTAMP'2026-01-01 00:00:00' + INTERVAL seq SECOND, (seq DIV 10) % 20 + 1, (seq DIV 10) % 20 + 1, "
        "((seq DIV 10) % 20 + 1) * 100 + (seq DIV 200) % 20, IF(seq % 10 = 0, 0, seq) FROM seq_1_to_" +
            n + ";ANALYZE TABLE activity_Log, ProjectMembers, Requirements, Projects;",
        db);
    const double filled = now() - t0;

    struct Case {
        std::string what;
        Figures figures;
    };
    std::vector<Case> cases;
    const auto measureAll = [&](Session& session, const char* mode, bool everyUser, bool before) {
        int rows = 0;
        std::string newest;
        const auto open = [&](const char* user) {
            return [&, user] {
                auto query = session.newQuery();
                query->SetSQL(before ? kRecentUpdatesBefore : data::activitylog::kRecentUpdatesSql);
                query->SetRequestLive(true);
                query->ParamByName("username").SetAsString(user);
                query->Open();
                rows = query->RecordCount();
                newest = rows > 0 ? query->FieldByName("modifyDate").AsString() : std::string();
                query->Close();
            };
        };
        open("READER")();  // the metadata is read once
        const struct {
            const char* user;
            const char* who;
        } users[] = {{"READER", "a member of 3 busy projects"},
                     {"LATE", "a member of a project whose one save is the oldest"},
                     {"NOBODY", "a member of no project"}};
        for (const auto& u : users) {
            // Per-user, the views show the logged-in reader's projects whatever the name asked.
            if (!everyUser && std::strcmp(u.user, "READER") != 0) continue;
            const Figures f = measure(reps, session, open(u.user));
            cases.push_back({std::string(before ? "before, " : "now, ") + mode + ", " + u.who + " (" +
                                 std::to_string(rows) + " rows" + (rows ? ", newest " + newest : "") + ")",
                             f});
        }
    };
    // Before: the table without the index; now: with it.
    const auto withIndex = [](const std::string& tables, bool on) {
        vt::test::runSql(on ? "ALTER TABLE activity_Log ADD KEY NoteProjectDate (Note, ProjectID, ModifyDate); ANALYZE "
                              "TABLE activity_Log"
                            : "ALTER TABLE activity_Log DROP KEY NoteProjectDate; ANALYZE TABLE activity_Log",
                         tables);
    };
    std::string plan;
    {
        Session session;
        session.connect(sharedValues(db));
        withIndex(db, false);
        measureAll(session, "shared", true, true);
        withIndex(db, true);
        measureAll(session, "shared", true, false);
        std::string statement = data::activitylog::kRecentUpdatesSql;
        statement.replace(statement.find(":username"), 9, "'READER'");
        plan = vt::test::runSql("EXPLAIN " + statement, db);
    }
    {
        const auto layer = vt::test::movePerUser(db);
        try {
            Session session;
            auto values = sharedValues(db);
            values.user = QStringLiteral("READER");
            values.password = QStringLiteral("PW");
            values.requireTls = true;
            values.tlsCaFile = QString::fromStdString(vt::test::testServer().caFile);
            session.connect(values);
            withIndex(layer.store, false);
            measureAll(session, "per-user", false, true);
            withIndex(layer.store, true);
            measureAll(session, "per-user", false, false);
        } catch (...) {
            vt::test::dropPerUserDatabase(layer);
            throw;
        }
        vt::test::dropPerUserDatabase(layer);
    }

    std::printf("\nRecent Updates over an activity log of %d records (%d saves), 20 busy projects; filled in %.0f s; "
                "best of %d runs\n\n",
                logRows + 1, logRows / 10 + 1, filled, reps);
    header();
    for (const Case& c : cases)
        row(c.what, c.figures);
    std::printf("\nThe server's plan (EXPLAIN):\n%s", plan.c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    int reps = 3;
    int members = 10000;
    int logRows = 1000000;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--reps") == 0 && i + 1 < argc)
            reps = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--members") == 0 && i + 1 < argc)
            members = std::max(2, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--log-rows") == 0 && i + 1 < argc)
            logRows = std::max(20, std::atoi(argv[++i]));
    }
    QCoreApplication app(argc, argv);
    vt::bench::BenchServer server("team_bench");
    if (!server.ok()) return 1;
    int rc = 0;
    try {
        SetTraceHook([](TraceOp op, const std::string&) {
            if (op == TraceOp::Execute || op == TraceOp::Begin || op == TraceOp::Commit || op == TraceOp::Rollback)
                ++g_statements;
        });
        benchPost(reps, members);
        benchRecentUpdates(reps, logRows);
        SetTraceHook({});
        std::printf("\nStatements count every statement sent, metadata probes included; a round trip is one\n"
                    "exchange with the server (the ping before each statement included).\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "team_bench: stopped: %s\n", e.what());
        rc = 1;
    }
    vt::bench::stopBenchServer();
    return rc;
}
