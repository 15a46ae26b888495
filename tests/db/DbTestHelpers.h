#pragma once
// Helpers of the access layer's server tests: a connection component on the test server and
// a recorder of the trace hook.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "db/DbSettings.h"
#include "TestServer.h"
#include "db/TmySQLDatabase.h"

namespace dbtest {

inline std::unique_ptr<TmySQLDatabase> connectTo(const std::string& database, bool connect = true) {
    const auto& s = vt::test::testServer();
    auto db = std::make_unique<TmySQLDatabase>("mySQLDatabase1");
    db->SetDatabaseName(database);
    db->SetHost(s.host);
    db->SetPort(s.port);
    db->SetUserName(s.user);
    db->SetUserPassword(s.password);
    if (connect) db->SetConnected(true);
    return db;
}

// Records every traced operation while it lives.
class TraceRecorder {
public:
    TraceRecorder() {
        SetTraceHook([this](TraceOp op, const std::string& text) { events.emplace_back(op, text); });
    }
    ~TraceRecorder() { SetTraceHook({}); }
    // The statements sent, in order (Execute, Begin, Commit, Rollback).
    std::vector<std::string> statements() const {
        std::vector<std::string> out;
        for (const auto& [op, text] : events)
            if (op == TraceOp::Execute || op == TraceOp::Begin || op == TraceOp::Commit || op == TraceOp::Rollback)
                out.push_back(text);
        return out;
    }
    void clear() { events.clear(); }
    std::vector<std::pair<TraceOp, std::string>> events;
};

// Restores the process-wide formats after a test changes them.
struct FormatGuard {
    TFormatSettings saved = FormatSettings();
    ~FormatGuard() { FormatSettings() = saved; }
};

} // namespace dbtest
