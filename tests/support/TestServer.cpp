#include "TestServer.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace vt::test {
namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string shellQuote(const std::string& s)
{
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

}  // namespace

const TestServer& testServer()
{
    static const TestServer server = [] {
        const char* dir = std::getenv("VT_TEST_SERVER_DIR");
        if (!dir || !*dir) throw std::runtime_error("VT_TEST_SERVER_DIR is not set: run the tests through ctest");
        TestServer s;
        s.dir = dir;
        s.port = static_cast<unsigned>(std::stoul(readFile(s.dir + "/port")));
        s.socket = s.dir + "/mysqld.sock";
        s.caFile = s.dir + "/tls/ca.pem";
        return s;
    }();
    return server;
}

std::string runSql(const std::string& sql, const std::string& database)
{
    const TestServer& s = testServer();
    char path[] = "/tmp/vt-sql-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) throw std::runtime_error("cannot create a temporary file");
    {
        std::ofstream out(path, std::ios::binary);
        out << sql;
    }
    close(fd);
    std::string cmd = "mariadb --socket=" + shellQuote(s.socket) + " -uroot -N -B --default-character-set=utf8mb4 ";
    if (!database.empty()) cmd += shellQuote(database) + " ";
    cmd += "< " + std::string(path) + " 2>&1";
    std::string output;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) {
        unlink(path);
        throw std::runtime_error("cannot run the mariadb client");
    }
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        output.append(buf, n);
    int rc = pclose(p);
    unlink(path);
    if (rc != 0) throw std::runtime_error("SQL failed: " + output + "\nstatement: " + sql.substr(0, 500));
    return output;
}

std::string freshDatabase(const std::string& prefix)
{
    static std::atomic<int> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::string name = prefix + "_" + std::to_string(getpid()) + "_" + std::to_string(stamp % 1000000) + "_" +
                       std::to_string(counter++);
    runSql("CREATE DATABASE `" + name + "` CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci");
    return name;
}

std::string sqlDir() { return VT_SQL_DIR; }

std::string sqlLiteralBody(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '\'') out += '\\';
        out += c;
    }
    return out;
}

void createServerAccount(const std::string& name, const std::string& password, bool expired)
{
    const std::string account = "'" + sqlLiteralBody(name) + "'@'%'";
    runSql("DROP USER IF EXISTS " + account + ";\nCREATE USER " + account +
           " IDENTIFIED VIA mysql_native_password USING PASSWORD('" + sqlLiteralBody(password) + "') REQUIRE SSL" +
           (expired ? " PASSWORD EXPIRE" : "") + ";");
}

void dropServerAccount(const std::string& name) { runSql("DROP USER IF EXISTS '" + sqlLiteralBody(name) + "'@'%';"); }

std::string defaultsLine(const std::string& database)
{
    const TestServer& server = testServer();
    return "UN:#SQ:" + server.host + ":" + std::to_string(server.port) + "#DB:" + database + "#DU:" + server.user +
           "#DP:" + server.password + "##\r\n";
}

std::string freshVeltranaDatabase(const std::string& prefix)
{
    std::string name = freshDatabase(prefix);
    runSql(readFile(sqlDir() + "/schema.sql"), name);
    runSql(readFile(sqlDir() + "/initial-data.sql"), name);
    return name;
}

}  // namespace vt::test
