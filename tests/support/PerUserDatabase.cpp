#include "PerUserDatabase.h"

#include "TestServer.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace vt::test {

namespace {

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void replaceAll(std::string& text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

}  // namespace

void applyPerUserLayer(const std::string& name)
{
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(sqlDir() + "/per-user"))
        if (entry.path().extension() == ".sql") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        std::string sql = readFile(file);
        std::string grantName;  // the name as a grant pattern: its wildcards escaped
        for (char c : name) {
            if (c == '_' || c == '%') grantName += '\\';
            grantName += c;
        }
        replaceAll(sql, "@DB_GRANT@", grantName);
        replaceAll(sql, "@STORE@", name + "_store");
        replaceAll(sql, "@DB@", name);
        replaceAll(sql, "@ROLE@", "veltrana_user_" + name);
        runSql(sql);
    }
}

PerUserDatabase perUserVeltranaDatabase(const std::string& prefix)
{
    PerUserDatabase db;
    db.name = freshDatabase(prefix);
    db.store = db.name + "_store";
    db.role = "veltrana_user_" + db.name;
    runSql("CREATE DATABASE `" + db.store + "` CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci");
    runSql(readFile(sqlDir() + "/schema.sql"), db.store);
    runSql(readFile(sqlDir() + "/initial-data.sql"), db.store);
    applyPerUserLayer(db.name);
    runSql("UPDATE Users SET password = ''", db.store);
    return db;
}

void createUserAccount(const PerUserDatabase& db, const std::string& userName, const std::string& password,
                       bool oneTime)
{
    runSql("CALL vt_account_write('" + sqlLiteralBody(userName) + "', '" + sqlLiteralBody(password) + "', " +
               (oneTime ? "TRUE" : "FALSE") + ")",
           db.store);
}

PerUserDatabase movePerUser(const std::string& name)
{
    PerUserDatabase db{name, name + "_store", "veltrana_user_" + name};
    runSql("CREATE DATABASE `" + db.store + "` CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci");
    runSql("SET @moves = (SELECT concat('RENAME TABLE ', group_concat('`" + name + "`.`', table_name, '` TO `" +
           db.store + "`.`', table_name, '`' SEPARATOR ', ')) FROM information_schema.tables WHERE table_schema = '" +
           name + "' AND table_type = 'BASE TABLE');\nEXECUTE IMMEDIATE @moves;");
    applyPerUserLayer(name);
    runSql("DELIMITER //\n"
           "FOR u IN (SELECT Username, password FROM Users) DO\n"
           "  DELETE FROM mysql.global_priv WHERE User = UPPER(u.Username) COLLATE utf8mb4_bin;\n"
           "  DELETE FROM mysql.roles_mapping WHERE User = UPPER(u.Username) COLLATE utf8mb4_bin;\n"
           "  FLUSH PRIVILEGES;\n"
           "  CALL vt_account_write(u.Username, UPPER(IF(u.password = '' OR u.password LIKE '$argon2%', u.Username, "
           "u.password)), FALSE);\n"
           "END FOR//\n"
           "DELIMITER ;\n"
           "UPDATE Users SET password = '';",
           db.store);
    return db;
}

std::string perUserDefaultsLine(const std::string& database)
{
    const TestServer& server = testServer();
    return "UN:#SQ:" + server.host + ":" + std::to_string(server.port) + "#DB:" + database + "#DU:#DP:#PU:1#CA:" +
           server.caFile + "##\r\n";
}

bool perUserTests()
{
    const char* value = std::getenv("VT_TEST_PER_USER");
    return value && std::string(value) == "1";
}

void dropPerUserDatabase(const PerUserDatabase& db)
{
    const std::string role = sqlLiteralBody(db.role);
    runSql("DELETE g FROM mysql.global_priv g JOIN mysql.roles_mapping r ON r.User = g.User AND r.Host = g.Host "
           "WHERE r.Role = '" + role + "' AND r.Host = '%';\n"
           "DELETE FROM mysql.roles_mapping WHERE Role = '" + role + "' AND Host = '%';\n"
           "FLUSH PRIVILEGES;\n"
           "DROP ROLE IF EXISTS '" + role + "';\n"
           "DROP DATABASE IF EXISTS `" + db.name + "`;\nDROP DATABASE IF EXISTS `" + db.store + "`;",
           "mysql");
}

}  // namespace vt::test
