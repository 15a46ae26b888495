// Moving a shared-account database to per-user accounts with scripts/setup-db.sh
// --upgrade --per-user-accounts: every row stays, no password hash stays, every user gets an
// account with a one-time password (in the passwords file only), the shared account loses the
// database, a second run changes nothing, and a later schema step reaches the views.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "DbTestHelpers.h"
#include "PerUserDatabase.h"
#include "db/DbErrors.h"
#include "db/TNativeConnect.h"
#include "db/TmySQLQuery.h"

using namespace dbtest;
using vt::test::runSql;

namespace {

struct ScriptRun {
    int status = -1;
    std::string output;
};

ScriptRun setupDb(const std::string& options)
{
    const std::string cmd = "bash " + vt::test::sqlDir() + "/../scripts/setup-db.sh --socket " +
                            vt::test::testServer().socket + " " + options + " 2>&1";
    ScriptRun run;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return run;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;)
        run.output.append(buf, n);
    run.status = pclose(p);
    return run;
}

// Every row of every table, the password column left out, lines sorted per table.
std::string contents(const std::string& db)
{
    std::string all;
    const std::string tables = runSql("select table_name from information_schema.tables where table_schema = '" + db +
                                      "' and table_type = 'BASE TABLE' and table_name not like 'vt\\_%' order by 1");
    std::istringstream names(tables);
    for (std::string table; std::getline(names, table);) {
        const std::string columns =
            runSql("select group_concat(concat('hex(`', column_name, '`)') order by ordinal_position) from "
                   "information_schema.columns where table_schema = '" +
                   db + "' and table_name = '" + table + "' and column_name <> 'password'");
        std::istringstream rows(runSql("select " + columns.substr(0, columns.size() - 1) + " from `" + table + "`", db));
        std::vector<std::string> lines;
        for (std::string line; std::getline(rows, line);)
            lines.push_back(line);
        std::sort(lines.begin(), lines.end());
        all += "== " + table + " " + std::to_string(lines.size()) + "\n";
        for (const std::string& line : lines)
            all += line + "\n";
    }
    return all;
}

int firstStatementError(const std::string& db, const std::string& name, const std::string& password)
{
    try {
        auto session = connectTo(db, false);
        session->SetUserName(name);
        session->SetUserPassword(password);
        session->SetConnectOptions(connectOption(coSSL));
        session->Params().SetValue("TLSCA", vt::test::testServer().caFile);
        session->SetConnected(true);
        TmySQLQuery q;
        q.SetDatabase(session.get());
        q.SQL().SetText("select 1");
        q.Open();
    } catch (const EmySQLDatabaseError& e) {
        return e.ServerError() ? e.ServerError() : e.ErrorCode();
    }
    return 0;
}

}  // namespace

TEST(PerUserUpgrade, SharedDatabaseMovesKeepingEveryRowAndEveryUserGetsAOneTimeAccount)
{
    const std::string db = vt::test::freshVeltranaDatabase("vt_puupg");
    const std::string tag = std::to_string(getpid());
    const std::string admin = "UPG" + tag + "_ADMIN", hostile = "UPG" + tag + "_O'B\\X -- #";
    const std::string shared = "vt_shared_" + tag;
    const std::string hostileSql = vt::test::sqlLiteralBody(hostile);
    // Rows in every table; names with quotes, backslashes, comment markers, multibyte text.
    runSql("UPDATE Users SET Username = '" + admin + "' WHERE Username = 'ADMIN';"
           "INSERT INTO Users (Username, password, FirstName, Role, Created) VALUES ('" + hostileSql +
               "', 'plain', 'Zoë 中', 'USER', now());"
               "INSERT INTO Projects (ProjectID, ProjectName, ProjectManager) VALUES (7, 'Proj \\'1\\' -- /*', '" +
               hostileSql +
               "');"
               "INSERT INTO ProjectMembers (UserName, ProjectID) VALUES ('" +
               hostileSql +
               "', 7), ('" + hostileSql +
               "', 7);"
               "INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName) VALUES (3, 7, '日本語');"
               "INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Owner) VALUES (10, 2, 3, "
               "'T', '" +
               hostileSql +
               "'), (11, 3, 10, 'Sub', '" + admin +
               "');"
               "INSERT INTO Req_objects (RequirementID, Document) VALUES (10, X'00275C0AFF00');"
               "INSERT INTO Req_revisions (RequirementID, Revision, Document) VALUES (10, 1, X'00');"
               "INSERT INTO search_body_text (RequirementID, BodyText) VALUES (10, 'words');"
               "INSERT INTO Req_messages (msgID, Subject, Name, RequirementID, ProjectID) VALUES (5, 'Re', '" +
               hostileSql +
               "', 10, 7);"
               "INSERT INTO msg_state (RequirementID, msgID, username, state) VALUES (10, 5, '" +
               hostileSql +
               "', 1);"
               "INSERT INTO Attachments (RequirementID, Link, Owner) VALUES (10, 'http://x/?a=\\'1\\'', '" + admin +
               "');"
               "INSERT INTO activity_Log (Note, ModifiedBy, ProjectID, DocumentID) VALUES ('UPD_DOC', '" + admin +
               "', 7, 10);",
           db);
    runSql("CREATE USER '" + shared + "'@'%' IDENTIFIED BY 'x'; GRANT SELECT, INSERT, UPDATE, DELETE ON `" + db +
           "`.* TO '" + shared + "'@'%';");
    const std::string before = contents(db);
    ASSERT_EQ(runSql("SELECT count(*) FROM Users WHERE password <> ''", db), "2\n");

    const std::string file = std::filesystem::temp_directory_path() / ("vt-onetime-" + tag + ".txt");
    std::filesystem::remove(file);
    const std::string options = "--upgrade --per-user-accounts --database " + db + " --db-user " + shared +
                                " --passwords-file " + file;
    const ScriptRun run = setupDb(options);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("2 server accounts made"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find(hostile), std::string::npos) << "no password or name on the screen";

    // Every row kept, in the store; no hash left; the program's database holds only views.
    const vt::test::PerUserDatabase moved{db, db + "_store", "veltrana_user_" + db};
    EXPECT_EQ(contents(moved.store), before);
    EXPECT_EQ(runSql("SELECT count(*) FROM Users WHERE password <> ''", moved.store), "0\n");
    EXPECT_EQ(runSql("SELECT group_concat(DISTINCT table_type) FROM information_schema.tables WHERE table_schema = '" +
                     db + "'"),
              "VIEW\n");

    // Each user: an account of its own with a one-time password, listed in a file only its owner reads.
    struct stat info {};
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600);
    std::ifstream in(file);
    std::map<std::string, std::string> passwords;
    for (std::string line; std::getline(in, line);)
        passwords[line.substr(0, line.find('\t'))] = line.substr(line.find('\t') + 1);
    ASSERT_EQ(passwords.size(), 2u);
    for (const std::string& name : {admin, hostile}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(passwords.count(name), 1u);
        EXPECT_EQ(runSql("SELECT password_expired FROM mysql.user WHERE User = '" + vt::test::sqlLiteralBody(name) +
                         "' AND Host = '%'"),
                  "Y\n");
        EXPECT_EQ(firstStatementError(db, name, passwords[name]), 1820);
        EXPECT_EQ(firstStatementError(db, name, passwords[name] + "X"), 1045);
    }
    EXPECT_EQ(runSql("SELECT count(*) FROM mysql.db WHERE User = '" + shared + "'"), "0\n");

    // Again: nothing to do, nothing changed, the accounts' passwords stay.
    const ScriptRun again = setupDb(options);
    ASSERT_EQ(again.status, 0) << again.output;
    EXPECT_NE(again.output.find("Every user has a server account already."), std::string::npos) << again.output;
    EXPECT_EQ(contents(moved.store), before);
    EXPECT_EQ(firstStatementError(db, admin, passwords[admin]), 1820);

    // A later schema step adds a column to a store table: the next upgrade shows it in the view.
    runSql("ALTER TABLE Users ADD COLUMN Token VARCHAR(64) NULL INVISIBLE", moved.store);
    const ScriptRun later = setupDb("--upgrade --database " + db);
    ASSERT_EQ(later.status, 0) << later.output;
    EXPECT_EQ(runSql("SELECT count(*) FROM information_schema.columns WHERE table_schema = '" + db +
                     "' AND table_name = 'users' AND column_name = 'Token'"),
              "1\n");

    vt::test::dropPerUserDatabase(moved);
    runSql("DROP USER '" + shared + "'@'%'");
    std::filesystem::remove(file);
}

// An account name the server has already for someone else stops the move before anything changes.
TEST(PerUserUpgrade, TakenAccountNameStopsTheMoveBeforeAnyChange)
{
    const std::string db = vt::test::freshVeltranaDatabase("vt_puupg");
    const std::string taken = "UPG" + std::to_string(getpid()) + "_TAKEN";
    runSql("UPDATE Users SET Username = '" + taken + "' WHERE Username = 'ADMIN'", db);
    vt::test::createServerAccount(taken, "other");
    const ScriptRun run = setupDb("--upgrade --per-user-accounts --database " + db + " --passwords-file /dev/null");
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.output.find(taken), std::string::npos) << run.output;
    EXPECT_EQ(runSql("SELECT count(*) FROM information_schema.schemata WHERE schema_name = '" + db + "_store'"), "0\n");
    EXPECT_EQ(runSql("SELECT count(*) FROM Users WHERE password <> ''", db), "1\n");
    vt::test::dropServerAccount(taken);
    runSql("DROP DATABASE `" + db + "`");
}
