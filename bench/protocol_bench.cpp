// Protocol benchmark: our TMysqlClient beside MariaDB Connector/C against the same private
// server in the same run, each with compression off and on.
//
//   protocol_bench [--reps N]
//
// Uses the server of VT_TEST_SERVER_DIR when that folder holds a running one; otherwise
// starts its own with scripts/db-server.sh and stops it afterwards.
//
// Every measurement runs in a forked child so that each case starts from the same memory
// state; peak memory is the growth of the child's peak RSS over its RSS right before the
// measured call (VmHWM reset through /proc/self/clear_refs), the same method for both clients.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchServer.h"
#include "protocol/MysqlFunctions.h"
#include "protocol/TMysqlClient.h"

// Taken before Connector/C's header, whose macros reuse the capability flag names.
constexpr uint32_t kCompressFlag = MysqlFlags::CLIENT_COMPRESS;

#include <mysql.h>

#ifndef VT_SOURCE_DIR
#define VT_SOURCE_DIR "."
#endif

namespace {

constexpr const char* kDatabase = "vt_protocol_bench";
constexpr int kRowCount = 1000000;
constexpr int kBlobCount = 20;
constexpr size_t kBlobSize = 8u << 20;     // 8 MB per value
constexpr size_t kInsertSize = 15u << 20;  // 15 MB escaped literal

struct Server {
    std::string host = "127.0.0.1";
    unsigned port = 0;
    std::string user = "vttest";
    std::string password = "vttest";
    std::string ownDir;  // set when this program started the server
};

Server g_server;

double now()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

long statusKb(const char* key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const size_t n = std::strlen(key);
    while (std::getline(in, line))
        if (line.compare(0, n, key) == 0 && line.size() > n && line[n] == ':')
            return std::strtol(line.c_str() + n + 1, nullptr, 10);
    return -1;
}

// Resets the peak RSS to the current RSS and returns the current RSS in kB.
long resetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
    return statusKb("VmRSS");
}

// ---- Server ----

bool startServer()
{
    // The shared helper stops a private server on every way out, signals included.
    if (!vt::bench::startBenchServer("protocol_bench")) return false;
    std::ifstream in(std::string(std::getenv("VT_TEST_SERVER_DIR")) + "/port");
    return static_cast<bool>(in >> g_server.port);
}

void stopServer() { vt::bench::stopBenchServer(); }

// ---- Test data ----

// Document-like text: random words from a small vocabulary with punctuation, line breaks
// and the occasional quote, so it compresses as prose does and needs some escaping.
std::string makeText(size_t size, uint32_t seed)
{
    static const char* words[] = {
        "the",     "project", "document", "requirement", "shall",   "be",     "stored",  "in",         "database",
        "user",    "report",  "category", "outline",     "section", "with",   "and",     "of",         "to",
        "a",       "server",  "client",   "value",       "O'Brien", "table",  "field",   "\"quoted\"", "C:\\path",
        "Ünïcödé", "Café",    "review",   "owner",       "manager", "member", "message", "discussion"};
    std::mt19937 rng(seed);
    std::string s;
    s.reserve(size + 32);
    while (s.size() < size) {
        s += words[rng() % (sizeof words / sizeof words[0])];
        const uint32_t r = rng() % 16;
        s += r == 0 ? ".\r\n" : r == 1 ? ", " : r == 2 ? "\t" : " ";
    }
    s.resize(size);
    return s;
}

// Escaped text of exactly `escapedSize` bytes (the escaped form of slightly more prose is
// cut, never inside an escape pair).
std::string makeEscapedLiteral(size_t escapedSize, uint32_t seed)
{
    std::string esc = EscapeString(makeText(escapedSize, seed));
    esc.erase(escapedSize);
    size_t backslashes = 0;
    for (auto it = esc.rbegin(); it != esc.rend() && *it == '\\'; ++it)
        ++backslashes;
    if (backslashes % 2 == 1) esc.back() = 'x';
    return esc;
}

MYSQL* capiConnect(bool compress, unsigned port)
{
    MYSQL* m = mysql_init(nullptr);
    if (compress) mysql_options(m, MYSQL_OPT_COMPRESS, nullptr);
    if (!mysql_real_connect(m, g_server.host.c_str(), g_server.user.c_str(), g_server.password.c_str(), kDatabase, port,
                            nullptr, 0)) {
        std::fprintf(stderr, "Connector/C connect: %s\n", mysql_error(m));
        mysql_close(m);
        return nullptr;
    }
    return m;
}

bool capiExec(MYSQL* m, const std::string& sql)
{
    if (mysql_real_query(m, sql.data(), sql.size()) != 0) {
        std::fprintf(stderr, "setup: %s\n", mysql_error(m));
        return false;
    }
    if (MYSQL_RES* r = mysql_store_result(m)) mysql_free_result(r);
    return true;
}

bool prepareData()
{
    MYSQL* m = mysql_init(nullptr);
    if (!mysql_real_connect(m, g_server.host.c_str(), g_server.user.c_str(), g_server.password.c_str(), nullptr,
                            g_server.port, nullptr, 0)) {
        std::fprintf(stderr, "setup connect: %s\n", mysql_error(m));
        return false;
    }
    bool ok = capiExec(m, std::string("DROP DATABASE IF EXISTS ") + kDatabase) &&
              capiExec(m, std::string("CREATE DATABASE ") + kDatabase) && mysql_select_db(m, kDatabase) == 0 &&
              capiExec(m, "CREATE TABLE rows4 (id INT PRIMARY KEY, name VARCHAR(20), "
                          "code CHAR(8), amount INT) ENGINE=InnoDB") &&
              capiExec(m, "INSERT INTO rows4 SELECT seq, CONCAT('name ', seq), "
                          "LPAD(seq, 8, '0'), seq % 1000 FROM seq_1_to_" +
                              std::to_string(kRowCount)) &&
              capiExec(m, "CREATE TABLE blobs (id INT PRIMARY KEY, v LONGBLOB)") &&
              capiExec(m, "CREATE TABLE big (id INT PRIMARY KEY, v LONGBLOB)");
    for (int i = 1; ok && i <= kBlobCount; ++i) {
        const std::string value = makeText(kBlobSize, static_cast<uint32_t>(i));
        ok = capiExec(m, "INSERT INTO blobs VALUES (" + std::to_string(i) + ", '" + EscapeString(value) + "')");
    }
    mysql_close(m);
    return ok;
}

// ---- Measurements ----

struct Figures {
    double seconds = -1;
    double bytes = 0;              // payload measured (rows or bytes of values / statement)
    long peakKb = -1;              // peak RSS growth during the measured call
    int roundTrips = -1;           // seen on the wire
    long long ownRoundTrips = -1;  // as the client counts them
    long long checksum = 0;
    double cpuSeconds = -1;  // the client's own processor time (user and system) in the measured part
    char error[200] = {};
};

enum class Client { Ours, ConnectorC };

// Runs fn in a forked child and returns what it reported.
Figures inChild(const std::function<Figures()>& fn)
{
    int fds[2];
    if (pipe(fds) != 0) return {};
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        Figures f = fn();
        (void)!write(fds[1], &f, sizeof f);
        _exit(0);
    }
    close(fds[1]);
    Figures f;
    std::snprintf(f.error, sizeof f.error, "child failed");
    Figures got;
    if (read(fds[0], &got, sizeof got) == static_cast<ssize_t>(sizeof got)) f = got;
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return f;
}

std::unique_ptr<TMysqlClient> oursConnect(bool compress, unsigned port, Figures& f)
{
    auto c = std::make_unique<TMysqlClient>();
    c->SetPreferCompression(compress);
    const uint32_t flags = compress ? kCompressFlag : 0;
    if (!c->Connect(g_server.host, g_server.user, g_server.password, kDatabase, port, flags)) {
        std::snprintf(f.error, sizeof f.error, "connect: %d %s", c->ErrorCode(), c->ErrorText().c_str());
        return nullptr;
    }
    return c;
}

// Buffered fetch of sql; touches every value (length and first byte) of every row.
Figures fetchAll(Client client, bool compress, const std::string& sql, bool countBytes)
{
    Figures f;
    if (client == Client::Ours) {
        auto c = oursConnect(compress, g_server.port, f);
        if (!c) return f;
        const long rss0 = resetPeak();
        const double t0 = now();
        bool ok = false;
        auto r = c->Query(sql, true, ok);
        if (!ok || !r) {
            std::snprintf(f.error, sizeof f.error, "query: %d %s", c->ErrorCode(), c->ErrorText().c_str());
            return f;
        }
        long long rows = 0, sum = 0;
        const int n = static_cast<int>(r->FieldCount());
        for (; !r->Eof(); r->Next()) {
            r->FetchLengths();
            for (int i = 0; i < n; ++i) {
                const char* v = r->FieldValue(i);
                sum += r->FieldLength(i) + (v ? static_cast<unsigned char>(v[0]) : 0);
                if (countBytes) f.bytes += r->FieldLength(i);
            }
            ++rows;
        }
        f.seconds = now() - t0;
        f.peakKb = statusKb("VmHWM") - rss0;
        f.checksum = sum;
        if (!countBytes) f.bytes = static_cast<double>(rows);
    } else {
        MYSQL* m = capiConnect(compress, g_server.port);
        if (!m) return f;
        const long rss0 = resetPeak();
        const double t0 = now();
        if (mysql_real_query(m, sql.data(), sql.size()) != 0) {
            std::snprintf(f.error, sizeof f.error, "query: %s", mysql_error(m));
            return f;
        }
        MYSQL_RES* r = mysql_store_result(m);
        if (!r) {
            std::snprintf(f.error, sizeof f.error, "store: %s", mysql_error(m));
            return f;
        }
        long long rows = 0, sum = 0;
        const unsigned n = mysql_num_fields(r);
        while (MYSQL_ROW row = mysql_fetch_row(r)) {
            unsigned long* len = mysql_fetch_lengths(r);
            for (unsigned i = 0; i < n; ++i) {
                sum += len[i] + (row[i] ? static_cast<unsigned char>(row[i][0]) : 0);
                if (countBytes) f.bytes += len[i];
            }
            ++rows;
        }
        f.seconds = now() - t0;
        f.peakKb = statusKb("VmHWM") - rss0;
        f.checksum = sum;
        if (!countBytes) f.bytes = static_cast<double>(rows);
        mysql_free_result(r);
        mysql_close(m);
    }
    return f;
}

Figures insertLiteral(Client client, bool compress)
{
    Figures f;
    std::string sql = "INSERT INTO big VALUES (1, '";
    sql += makeEscapedLiteral(kInsertSize, 99);
    sql += "')";
    f.bytes = static_cast<double>(sql.size());
    if (client == Client::Ours) {
        auto c = oursConnect(compress, g_server.port, f);
        if (!c) return f;
        bool ok = false;
        c->Query("DELETE FROM big", true, ok);
        const double t0 = now();
        c->Query(sql, true, ok);
        f.seconds = now() - t0;
        if (!ok || c->ErrorCode() != 0) {
            std::snprintf(f.error, sizeof f.error, "insert: %d %s", c->ErrorCode(), c->ErrorText().c_str());
            f.seconds = -1;
        }
    } else {
        MYSQL* m = capiConnect(compress, g_server.port);
        if (!m) return f;
        mysql_query(m, "DELETE FROM big");
        const double t0 = now();
        const int rc = mysql_real_query(m, sql.data(), sql.size());
        f.seconds = now() - t0;
        if (rc != 0) {
            std::snprintf(f.error, sizeof f.error, "insert: %s", mysql_error(m));
            f.seconds = -1;
        }
        mysql_close(m);
    }
    return f;
}

double cpuNow()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Many short statements of about 2 KB each (a document's text, as a save sends it): what the
// client spends per statement, where compression's set-up per packet shows.
constexpr int kShortStatements = 5000;
Figures shortStatements(Client client, bool compress)
{
    Figures f;
    const std::string sql = "DO LENGTH('" + makeEscapedLiteral(2048, 7) + "')";
    f.bytes = kShortStatements;
    double wall = 0, cpu = 0;
    if (client == Client::Ours) {
        auto c = oursConnect(compress, g_server.port, f);
        if (!c) return f;
        bool ok = true;
        wall = now();
        cpu = cpuNow();
        for (int i = 0; i < kShortStatements && ok; ++i)
            c->Query(sql, true, ok);
        if (!ok || c->ErrorCode() != 0) {
            std::snprintf(f.error, sizeof f.error, "short: %d %s", c->ErrorCode(), c->ErrorText().c_str());
            return f;
        }
    } else {
        MYSQL* m = capiConnect(compress, g_server.port);
        if (!m) return f;
        wall = now();
        cpu = cpuNow();
        for (int i = 0; i < kShortStatements; ++i)
            if (mysql_real_query(m, sql.data(), sql.size()) != 0) {
                std::snprintf(f.error, sizeof f.error, "short: %s", mysql_error(m));
                mysql_close(m);
                return f;
            }
        mysql_close(m);
    }
    f.cpuSeconds = cpuNow() - cpu;
    f.seconds = now() - wall;
    return f;
}

// A loopback relay between one client and the server that counts round trips: each time
// the client sends after the server has spoken (or first of all) starts a new one.
class RoundTripCounter {
public:
    RoundTripCounter()
    {
        m_listen = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(m_listen, 1);
        socklen_t len = sizeof a;
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] { run(); });
    }
    ~RoundTripCounter()
    {
        m_stop = true;
        m_thread.join();
        close(m_listen);
    }
    unsigned port() const { return m_port; }
    int count() const { return m_turns.load(); }

private:
    void run()
    {
        pollfd lp{m_listen, POLLIN, 0};
        while (!m_stop && poll(&lp, 1, 100) == 0) {
        }
        if (m_stop) return;
        const int client = accept(m_listen, nullptr, nullptr);
        const int server = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(g_server.port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(server, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            close(client);
            close(server);
            return;
        }
        bool serverSpokeLast = true;
        std::vector<char> buf(1 << 16);
        pollfd p[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
        while (!m_stop) {
            if (poll(p, 2, 100) <= 0) continue;
            bool closed = false;
            for (int i = 0; i < 2; ++i) {
                if (!(p[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
                const ssize_t n = recv(p[i].fd, buf.data(), buf.size(), 0);
                if (n <= 0) {
                    closed = true;
                    break;
                }
                if (i == 0 && serverSpokeLast) ++m_turns;
                serverSpokeLast = (i == 1);
                for (ssize_t off = 0; off < n;) {
                    const ssize_t w = send(p[1 - i].fd, buf.data() + off, n - off, MSG_NOSIGNAL);
                    if (w <= 0) {
                        closed = true;
                        break;
                    }
                    off += w;
                }
            }
            if (closed) break;
        }
        close(client);
        close(server);
    }

    int m_listen = -1;
    unsigned m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_turns{0};
    std::thread m_thread;
};

// Round trips of one statement, seen on the wire; ours also reports its own count.
Figures roundTrips(Client client, bool compress)
{
    Figures f;
    RoundTripCounter relay;
    const std::string sql = "SELECT id, name FROM rows4 WHERE id = 42";
    if (client == Client::Ours) {
        auto c = oursConnect(compress, relay.port(), f);
        if (!c) return f;
        const int before = relay.count();
        const uint64_t own = c->RoundTrips();
        bool ok = false;
        auto r = c->Query(sql, true, ok);
        f.roundTrips = relay.count() - before;
        f.ownRoundTrips = static_cast<long long>(c->RoundTrips() - own);
        if (!ok || !r) std::snprintf(f.error, sizeof f.error, "query: %s", c->ErrorText().c_str());
    } else {
        MYSQL* m = capiConnect(compress, relay.port());
        if (!m) return f;
        const int before = relay.count();
        if (mysql_real_query(m, sql.data(), sql.size()) == 0)
            if (MYSQL_RES* r = mysql_store_result(m)) mysql_free_result(r);
        f.roundTrips = relay.count() - before;
        mysql_close(m);
    }
    return f;
}

// Keeps the fastest of the runs in best; peak memory is the largest seen; an error sticks.
void keepBest(Figures& best, const Figures& f, bool first)
{
    if (first || f.error[0]) {
        best = f;
        return;
    }
    if (best.error[0]) return;
    const long peak = std::max(best.peakKb, f.peakKb);
    if (f.seconds < best.seconds) best = f;
    best.peakKb = peak;
}

std::string cell(const Figures& f, const std::function<std::string(const Figures&)>& fmt)
{
    if (f.error[0]) return "error";
    return fmt(f);
}

std::string fmtNum(double v, int decimals)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

}  // namespace

int main(int argc, char** argv)
{
    int reps = 1;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--reps") == 0 && i + 1 < argc) reps = std::max(1, std::atoi(argv[++i]));

    if (!startServer()) {
        std::fprintf(stderr, "could not start or find a MariaDB server\n");
        stopServer();
        return 1;
    }
    std::fprintf(stderr, "server on 127.0.0.1:%u; preparing data...\n", g_server.port);
    if (!prepareData()) {
        stopServer();
        return 1;
    }

    struct Column {
        const char* title;
        Client client;
        bool compress;
    };
    const Column columns[] = {
        {"ours", Client::Ours, false},
        {"ours+zlib", Client::Ours, true},
        {"Conn/C", Client::ConnectorC, false},
        {"Conn/C+zlib", Client::ConnectorC, true},
    };
    const std::string rowsSql = "SELECT id, name, code, amount FROM rows4";
    const std::string blobSql = "SELECT v FROM blobs";

    // Repetitions go round the four columns, so that load from elsewhere on the machine
    // falls on all of them alike.
    Figures rows[4], blobs[4], inserts[4], trips[4], shorts[4];
    for (int rep = 0; rep < reps; ++rep) {
        for (int c = 0; c < 4; ++c) {
            const Column col = columns[c];
            std::fprintf(stderr, "run %d: %s...\n", rep + 1, col.title);
            keepBest(rows[c], inChild([&] { return fetchAll(col.client, col.compress, rowsSql, false); }), rep == 0);
            keepBest(blobs[c], inChild([&] { return fetchAll(col.client, col.compress, blobSql, true); }), rep == 0);
            keepBest(inserts[c], inChild([&] { return insertLiteral(col.client, col.compress); }), rep == 0);
            keepBest(shorts[c], inChild([&] { return shortStatements(col.client, col.compress); }), rep == 0);
            if (rep == 0) trips[c] = inChild([&] { return roundTrips(col.client, col.compress); });
        }
    }
    for (int c = 0; c < 4; ++c)
        for (const Figures* f : {&rows[c], &blobs[c], &inserts[c], &trips[c], &shorts[c]})
            if (f->error[0]) std::fprintf(stderr, "  %s: %s\n", columns[c].title, f->error);

    // Both clients read the same values: their checksums must agree.
    for (int c = 1; c < 4; ++c) {
        if (!rows[c].error[0] && !rows[0].error[0] && rows[c].checksum != rows[0].checksum)
            std::fprintf(stderr, "warning: row checksums differ (%s)\n", columns[c].title);
        if (!blobs[c].error[0] && !blobs[0].error[0] && blobs[c].checksum != blobs[0].checksum)
            std::fprintf(stderr, "warning: value checksums differ (%s)\n", columns[c].title);
    }

    const double mb = 1024.0 * 1024.0;
    struct Line {
        std::string label;
        std::function<std::string(int)> value;
    };
    const std::vector<Line> lines = {
        {"1,000,000 rows x 4 columns: rows/s",
         [&](int c) { return cell(rows[c], [](const Figures& f) { return fmtNum(f.bytes / f.seconds, 0); }); }},
        {"  time (s)", [&](int c) { return cell(rows[c], [](const Figures& f) { return fmtNum(f.seconds, 3); }); }},
        {"  peak RSS growth (MB)",
         [&](int c) { return cell(rows[c], [&](const Figures& f) { return fmtNum(f.peakKb / 1024.0, 1); }); }},
        {"20 values of 8 MB: MB/s",
         [&](int c) { return cell(blobs[c], [&](const Figures& f) { return fmtNum(f.bytes / mb / f.seconds, 1); }); }},
        {"  peak RSS growth (MB)",
         [&](int c) { return cell(blobs[c], [&](const Figures& f) { return fmtNum(f.peakKb / 1024.0, 1); }); }},
        {"INSERT of a 15 MB escaped literal: MB/s",
         [&](int c) {
             return cell(inserts[c], [&](const Figures& f) { return fmtNum(f.bytes / mb / f.seconds, 1); });
         }},
        {"5,000 statements of 2 KB: statements/s",
         [&](int c) { return cell(shorts[c], [](const Figures& f) { return fmtNum(f.bytes / f.seconds, 0); }); }},
        {"  client CPU per statement (us)",
         [&](int c) {
             return cell(shorts[c], [](const Figures& f) { return fmtNum(f.cpuSeconds * 1e6 / f.bytes, 1); });
         }},
        {"Round trips of one query (on the wire)",
         [&](int c) { return cell(trips[c], [](const Figures& f) { return std::to_string(f.roundTrips); }); }},
        {"  as counted by the client",
         [&](int c) {
             if (columns[c].client == Client::ConnectorC) return std::string("-");
             return cell(trips[c], [](const Figures& f) { return std::to_string(f.ownRoundTrips); });
         }},
    };

    std::printf("\n%-42s", "Measure");
    for (const auto& col : columns)
        std::printf(" %12s", col.title);
    std::printf("\n%s\n", std::string(42 + 4 * 13, '-').c_str());
    for (const auto& line : lines) {
        std::printf("%-42s", line.label.c_str());
        for (int c = 0; c < 4; ++c)
            std::printf(" %12s", line.value(c).c_str());
        std::printf("\n");
    }
    std::printf("\nours = TMysqlClient (a ping precedes every query); Conn/C = MariaDB Connector/C "
                "%s (sends no ping unless asked).\n+zlib = compressed protocol. Best of %d run(s); "
                "each case in a fresh child process.\n",
                mysql_get_client_info(), reps);

    stopServer();
    return 0;
}
