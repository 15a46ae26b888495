#pragma once
// Access to the private MariaDB server that the CTest fixture starts for the tests.
// Plain C++: usable from every layer's tests.

#include <string>

namespace vt::test {

struct TestServer {
    std::string host = "127.0.0.1";
    unsigned port = 0;
    std::string user = "vttest";  // all privileges, native password, reachable over TCP
    std::string password = "vttest";
    std::string socket;  // Unix socket of the server (for the mariadb CLI)
    std::string dir;     // the server's folder
    std::string caFile;  // the test CA that verifies the server's TLS certificate (localhost, 127.0.0.1)
};

// The running test server. Throws std::runtime_error when the fixture did not start one
// (VT_TEST_SERVER_DIR unset or no port file).
const TestServer& testServer();

// Runs SQL through the mariadb command-line client as the server's root over its socket,
// independent of the code under test. Returns the output (tab-separated rows, no column
// headers). Throws std::runtime_error with the client's message when the statement fails.
std::string runSql(const std::string& sql, const std::string& database = "");

// Creates a new empty database with a unique name beginning with prefix and returns the name.
std::string freshDatabase(const std::string& prefix);

// Creates a database with the application's schema (sql/schema.sql), the global_settings row
// and the ADMIN account (password "ADMIN"); returns its name.
std::string freshVeltranaDatabase(const std::string& prefix);

// The program's defaults.cfg line that connects it to `database` on the test server.
std::string defaultsLine(const std::string& database);

// Text as the body of a single-quoted SQL string literal (quotes and backslashes escaped).
std::string sqlLiteralBody(const std::string& text);

// Creates the server account '<name>'@'%' with `password` (native password, REQUIRE SSL), as a
// per-user test account would be; with expired set the password is a one-time password (every
// statement of a new session fails with 1820 until SET PASSWORD). Replaces an existing account.
void createServerAccount(const std::string& name, const std::string& password, bool expired = false);

// Drops the server account '<name>'@'%' if it exists.
void dropServerAccount(const std::string& name);

// Folder of the source tree's sql/ files.
std::string sqlDir();

}  // namespace vt::test
