// TLS benchmark: the protocol client over a verified TLS connection beside the same client in
// clear text, against the same private server in the same run, each with compression off and
// on: log-in time, a "select 1" round trip, a 1,000,000-row fetch and a 12 MB echo.
//
//   tls_bench [--reps N]
//
// Uses the server of VT_TEST_SERVER_DIR when that folder holds a running one; otherwise starts
// its own with scripts/db-server.sh (which offers TLS with a test CA) and stops it afterwards.
// Each figure is the best of N runs (default 3); the last line gives what TLS costs on the
// fetch, the figure the program is held to (at most 20 %).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BenchServer.h"
#include "protocol/TMysqlClient.h"

#ifndef VT_SOURCE_DIR
#define VT_SOURCE_DIR "."
#endif

namespace {

constexpr int kRows = 1000000;
constexpr size_t kEchoSize = 12u << 20;
constexpr int kConnects = 20;
constexpr int kPings = 2000;

struct Server {
    unsigned port = 0;
    std::string caFile;
} g_server;

double now()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

struct Mode {
    const char* title;
    bool tls;
    bool compress;
};

std::unique_ptr<TMysqlClient> connect(const Mode& m)
{
    auto c = std::make_unique<TMysqlClient>();
    c->SetPreferCompression(m.compress);
    c->SetConnectTimeout(30);
    c->SetTlsCaFile(g_server.caFile);
    if (!c->Connect("127.0.0.1", "vttest", "vttest", "", g_server.port, m.tls ? MysqlFlags::CLIENT_SSL : 0)) {
        std::fprintf(stderr, "%s: connect: %d %s\n", m.title, c->ErrorCode(), c->ErrorText().c_str());
        return nullptr;
    }
    if (c->Encrypted() != m.tls) {
        std::fprintf(stderr, "%s: the connection is %s\n", m.title, c->Encrypted() ? "encrypted" : "not encrypted");
        return nullptr;
    }
    c->SetPingAfterIdle(5000);
    return c;
}

struct Figures {
    double connectMs = 0, selectMs = 0, fetchMs = 0, echoMs = 0;
    uint64_t fetchRoundTrips = 0;
    std::string version;
    bool ok = false;
};

Figures measure(const Mode& m)
{
    Figures f;
    // Log-in: a new connection with its handshake (and TLS handshake) each time.
    double best = 1e9;
    for (int i = 0; i < kConnects; ++i) {
        double t0 = now();
        auto c = connect(m);
        if (!c) return f;
        best = std::min(best, now() - t0);
        if (i == 0) f.version = m.tls ? c->TlsVersion() + " " + c->TlsCipher() : "";
    }
    f.connectMs = best * 1000;

    auto c = connect(m);
    if (!c) return f;
    bool ok = false;
    double t0 = now();
    for (int i = 0; i < kPings; ++i) {
        auto r = c->Query("select 1", true, ok);
        if (!ok || !r) {
            std::fprintf(stderr, "%s: select 1: %s\n", m.title, c->ErrorText().c_str());
            return f;
        }
    }
    f.selectMs = (now() - t0) * 1000 / kPings;

    const uint64_t trips = c->RoundTrips();
    t0 = now();
    auto rows =
        c->Query("select seq, concat('row ', seq), seq * 2.5 from mysql.seq_1_to_" + std::to_string(kRows), true, ok);
    f.fetchMs = (now() - t0) * 1000;
    f.fetchRoundTrips = c->RoundTrips() - trips;
    if (!ok || !rows || rows->RowCount() != kRows) {
        std::fprintf(stderr, "%s: fetch: %s\n", m.title, c->ErrorText().c_str());
        return f;
    }
    rows.reset();

    const std::string literal(kEchoSize, 'e');
    t0 = now();
    auto echo = c->Query("select '" + literal + "'", true, ok);
    f.echoMs = (now() - t0) * 1000;
    if (!ok || !echo || !echo->FieldValue(0) || std::strlen(echo->FieldValue(0)) != kEchoSize) {
        std::fprintf(stderr, "%s: echo: %s\n", m.title, c->ErrorText().c_str());
        return f;
    }
    f.ok = true;
    return f;
}

void keepBest(Figures& best, const Figures& f, bool first)
{
    if (first) {
        best = f;
        return;
    }
    best.connectMs = std::min(best.connectMs, f.connectMs);
    best.selectMs = std::min(best.selectMs, f.selectMs);
    best.fetchMs = std::min(best.fetchMs, f.fetchMs);
    best.echoMs = std::min(best.echoMs, f.echoMs);
    best.ok = best.ok && f.ok;
}

}  // namespace

int main(int argc, char** argv)
{
    int reps = 3;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--reps") == 0) reps = std::max(1, std::atoi(argv[i + 1]));
    vt::bench::BenchServer server("tls_bench");
    if (!server.ok()) return 1;
    const std::string dir = std::getenv("VT_TEST_SERVER_DIR");
    std::ifstream(dir + "/port") >> g_server.port;
    g_server.caFile = dir + "/tls/ca.pem";
    std::fprintf(stderr, "server on 127.0.0.1:%u, CA %s\n", g_server.port, g_server.caFile.c_str());

    const std::vector<Mode> modes = {
        {"plain", false, false}, {"TLS", true, false}, {"plain+zlib", false, true}, {"TLS+zlib", true, true}};
    std::vector<Figures> best(modes.size());
    for (int rep = 0; rep < reps; ++rep)
        for (size_t i = 0; i < modes.size(); ++i) {
            std::fprintf(stderr, "run %d: %s...\n", rep + 1, modes[i].title);
            keepBest(best[i], measure(modes[i]), rep == 0);
        }
    for (size_t i = 0; i < modes.size(); ++i)
        if (!best[i].ok) {
            std::fprintf(stderr, "%s failed\n", modes[i].title);
            return 1;
        }

    struct Line {
        const char* label;
        std::function<double(const Figures&)> value;
        int decimals;
    };
    const Line lines[] = {
        {"log-in (connect + handshake), ms", [](const Figures& f) { return f.connectMs; }, 2},
        {"select 1 (with its ping), ms", [](const Figures& f) { return f.selectMs; }, 3},
        {"fetch 1,000,000 rows, ms", [](const Figures& f) { return f.fetchMs; }, 0},
        {"fetch round trips", [](const Figures& f) { return double(f.fetchRoundTrips); }, 0},
        {"echo 12 MB, ms", [](const Figures& f) { return f.echoMs; }, 0},
    };
    std::printf("\n%-36s", "Measure (best of runs)");
    for (const Mode& m : modes)
        std::printf(" %12s", m.title);
    std::printf("\n%s\n", std::string(36 + 13 * modes.size(), '-').c_str());
    for (const Line& l : lines) {
        std::printf("%-36s", l.label);
        for (const Figures& f : best)
            std::printf(" %12.*f", l.decimals, l.value(f));
        std::printf("\n");
    }
    std::printf("\nTLS: %s\n", best[1].version.c_str());
    const double plainCost = (best[1].fetchMs / best[0].fetchMs - 1) * 100;
    const double zlibCost = (best[3].fetchMs / best[2].fetchMs - 1) * 100;
    std::printf("TLS cost on the 1,000,000-row fetch: %+.1f %% uncompressed, %+.1f %% compressed (limit +20 %%)\n",
                plainCost, zlibCost);
    return 0;
}
