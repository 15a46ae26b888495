// The connection component without a server: properties mirrored into Params, the keys read
// at connect and their conversion errors, login prompt, and refusals.

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "db/DbErrors.h"
#include "db/TmySQLDatabase.h"

namespace {

// A loopback port with nothing listening on it.
uint32_t closedPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

TEST(ConnectionParams, PropertiesAreMirroredUnderTheirKeys) {
    TmySQLDatabase db;
    EXPECT_EQ(db.Params().Lines(), (std::vector<std::string>{"Port=3306", "TIMEOUT=30"}));
    db.SetDatabaseName("veltrana");
    db.SetHost("dbhost");
    db.SetUserName("ADMIN");
    db.SetUserPassword("secret");
    db.SetPort(3307);
    db.SetConnectionTimeout(5);
    EXPECT_EQ(db.Params().Lines(), (std::vector<std::string>{"Port=3307", "TIMEOUT=5", "DatabaseName=veltrana",
                                                            "Host=dbhost", "UID=ADMIN", "PWD=secret"}));
    // Keys compare without regard to case: a line written by hand is replaced in place.
    db.Params().Assign({"host=a", "Port=3306"});
    db.SetHost("b");
    EXPECT_EQ(db.Params().Lines(), (std::vector<std::string>{"Host=b", "Port=3306"}));
    EXPECT_EQ(db.Host(), "b");
}

TEST(ConnectionParams, PortAndTimeoutMustBeIntegers) {
    struct Case {
        std::vector<std::string> params;
        const char* message;
    } cases[] = {
        {{"Port=3306", "TIMEOUT=abc"}, "'abc' is not a valid integer value"},
        {{"TIMEOUT=30"}, "'' is not a valid integer value"},
        {{"Port=", "TIMEOUT=30"}, "'' is not a valid integer value"},
        {{"Port=33o6"}, "'33o6' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        TmySQLDatabase db;
        db.Params().Assign(c.params);
        try {
            db.SetConnected(true);
            FAIL() << c.message;
        } catch (const EConvertError& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
        EXPECT_FALSE(db.Connected());
        EXPECT_EQ(db.Params().Lines(), c.params);
    }
}

TEST(ConnectionParams, MissingHostMeansLocalhostAndRefusalIsAClientError) {
    TmySQLDatabase db;
    db.Params().Assign({"Port=" + std::to_string(closedPort()), "TIMEOUT=2", "max_allowed_packet=16M"});
    try {
        db.SetConnected(true);
        FAIL();
    } catch (const EmySQLDatabaseError& e) {
        EXPECT_EQ(e.ErrorCode(), 1001);
        std::string m = e.what();
        EXPECT_EQ(m.rfind("mySQL Error Code: (2003)\r\n", 0), 0u) << m;
        EXPECT_NE(m.find("localhost"), std::string::npos) << m;
    }
    EXPECT_FALSE(db.Connected());
}

TEST(ConnectionLogin, OnLoginSuppliesAccountAndCancelledDialogRefuses) {
    TmySQLDatabase db;
    db.SetDatabaseName("veltrana");
    db.SetLoginPrompt(true);
    TmySQLDatabase::SetLoginDialog({});
    try {
        db.SetConnected(true);
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Cannot connect to database 'veltrana'");
    }
    int logins = 0;
    db.OnLogin = [&](TmySQLDatabase&, TStringList& values) {
        ++logins;
        EXPECT_EQ(values.Count(), 0);
        values.SetValue("UID", "BOB");
        values.SetValue("PWD", "PW");
    };
    db.Params().SetValue("Port", std::to_string(closedPort()));
    EXPECT_THROW(db.SetConnected(true), EmySQLDatabaseError);
    EXPECT_EQ(logins, 1);
    EXPECT_EQ(db.Params().Values("UID"), "BOB");
    EXPECT_EQ(db.Params().Values("PWD"), "PW");
}

TEST(ConnectionState, ClosedDatabaseRefusesTransactions) {
    TmySQLDatabase db("mySQLDatabase1");
    try {
        db.BeginTransaction();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "mySQLDatabase1: Cannot perform this operation on a closed database");
    }
    EXPECT_FALSE(db.IsInTransaction());
    db.SetConnected(false);  // nothing to do
    EXPECT_FALSE(db.Connected());
}

} // namespace
