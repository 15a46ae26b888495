// The server field read as a list of servers, and which statements may run a second time
// after their answer was lost.

#include <gtest/gtest.h>

#include "db/ServerList.h"

namespace {

TEST(ServerList, EntriesHostsAndPorts)
{
    struct Case {
        const char* text;
        std::vector<std::string> expected;  // "host:port" of each server
    } cases[] = {
        {"db1", {"db1:3306"}},
        {"db1:3307", {"db1:3307"}},
        {"  db1 , db2:3400 ,db3  ", {"db1:3306", "db2:3400", "db3:3306"}},
        {"db1,,db2,", {"db1:3306", "db2:3306"}},
        {",db1", {"db1:3306"}},
        {"10.0.0.5:1, 10.0.0.6:65535", {"10.0.0.5:1", "10.0.0.6:65535"}},
        {"[::1]:3307,[fe80::2]", {"[::1]:3307", "[fe80::2]:3306"}},
        {"db1 : 3310", {"db1:3310"}},
    };
    for (const auto& c : cases) {
        const ServerListParse list = ParseServerList(c.text, 3306);
        EXPECT_EQ(list.error, "") << c.text;
        std::vector<std::string> got;
        for (const auto& s : list.servers)
            got.push_back(s.Text());
        EXPECT_EQ(got, c.expected) << c.text;
    }
}

TEST(ServerList, BadEntriesAreNamed)
{
    struct Case {
        const char* text;
        const char* entry;   // the entry the message names
        const char* reason;  // part of the message
    } cases[] = {
        {"db1:0", "db1:0", "not 1 to 65535"},
        {"db1:65536", "db1:65536", "not 1 to 65535"},
        {"db1, db2:99999", "db2:99999", "not 1 to 65535"},
        {"db1:abc", "db1:abc", "not 1 to 65535"},
        {"db1:-1", "db1:-1", "not 1 to 65535"},
        {"db1:", "db1:", "not 1 to 65535"},
        {":3306", ":3306", "no host name"},
        {"::1", "::1", "in brackets"},
        {"[::1", "[::1", "without its ']'"},
        {"[::1]x", "[::1]x", "not a port"},
        {"db 1", "db 1", "space"},
    };
    for (const auto& c : cases) {
        const ServerListParse list = ParseServerList(c.text, 3306);
        EXPECT_TRUE(list.servers.empty()) << c.text;
        EXPECT_NE(list.error.find(std::string("\"") + c.entry + "\""), std::string::npos) << list.error;
        EXPECT_NE(list.error.find(c.reason), std::string::npos) << list.error;
    }
    for (const char* empty : {"", " ", ",", " , ,"})
        EXPECT_EQ(ParseServerList(empty, 3306).error, "No server is given.") << empty;
}

TEST(ServerList, RepeatableStatements)
{
    struct Case {
        const char* sql;
        bool repeatable;
    } cases[] = {
        {"select * from Requirements where RequirementID = 5", true},
        {"SET NAMES utf8mb4", true},
        {"set session sql_mode = 'ANSI_QUOTES'", true},
        {"SET @@session.wsrep_sync_wait = 1", true},
        {"SET GLOBAL max_connections = 10", false},
        {"set @@global.x = 1", false},
        {"set @n = @n + 1", false},
        {"Update Req_Objects set Document = 'a''b\\'c' where RequirementID = 7", true},
        {"update Requirements set Topic='x', Owner='Y' where RequirementID=7;", true},
        {"update `Requirements` set `Topic` = NULL where `RequirementID` = 7 and ProjectID = 2", true},
        {"update users set Messages = Messages + 1 where UserName = 'A'", false},
        {"update users set Messages = 1 + Messages where UserName = 'A'", false},
        {"update t set x = now() where id = 1", false},
        {"update t set x = 1", false},               // every row
        {"update t set x = 1 where id > 5", false},  // not picked by a key
        {"update t set x = 1 where id = 1 or id = 2", false},
        {"update t set x = 1 where id = 1; delete from t", false},
        {"update t set x = 'unterminated where id = 1", false},
        {"insert into Requirements (Topic) values ('x')", false},
        {"delete from t where id = 1", false},
        {"update t set x = 1e5 where id = 1", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsRepeatableStatement(c.sql), c.repeatable) << c.sql;
}

}  // namespace
