#pragma once
// A Veltrana database with per-user server accounts, made on the test server with the same SQL
// as scripts/setup-db.sh --per-user-accounts: the tables in <name>_store, in <name> the views the
// program uses, the rules, the role of the user accounts and the account procedures.

#include <string>

namespace vt::test {

struct PerUserDatabase {
    std::string name;   // the database the program uses (views)
    std::string store;  // the tables
    std::string role;   // held by every user account of the database
};

// Applies the per-user layer (sql/per-user/, in order) for the database `name`, whose tables
// are in `name`_store already.
void applyPerUserLayer(const std::string& name);

// A new database in per-user mode with the schema and the initial rows (global_settings and
// the row of ADMIN). No server account is made: accounts are server-wide, and every test makes
// its own with names of its own.
PerUserDatabase perUserVeltranaDatabase(const std::string& prefix);

// The server account of the Users row `userName` (as the set-up makes it: upper-case name,
// native password, TLS required, the database's role); a one-time password expires at once.
void createUserAccount(const PerUserDatabase& db, const std::string& userName, const std::string& password,
                       bool oneTime = false);

// Moves the shared-account database `name`, with its rows, to per-user mode as the upgrade does
// (its tables into `name`_store, the layer, no passwords in Users) and gives every user an
// account: the password is the Users row's password when that is plain text, otherwise the user
// name, upper-cased as the login field types it. Accounts of those names are replaced. For
// running the program's own tests in per-user mode (one test at a time: accounts are server-wide).
PerUserDatabase movePerUser(const std::string& name);

// The program's defaults.cfg line of a per-user workstation for `database` on the test server.
std::string perUserDefaultsLine(const std::string& database);

// Whether the program's server tests run in per-user mode (VT_TEST_PER_USER=1).
bool perUserTests();

// Drops every account holding the database's role, the role and both databases.
void dropPerUserDatabase(const PerUserDatabase& db);

}  // namespace vt::test
