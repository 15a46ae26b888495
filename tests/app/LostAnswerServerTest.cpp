// Changes whose connection dies after they were sent, against the private test server through a
// proxy that cuts the connection at a chosen statement: before it reaches the server (nothing
// stored) or after the server ran it and before its answer arrives (stored). The data modules
// find their row again by its tag and values, and run the change once more only when it is
// missing: each ends with its row stored exactly once. Changes that cannot be checked report
// that their outcome is unknown; inside a transaction the transaction is reported lost.

#include "AppFixture.h"
#include "CutProxy.h"
#include "TestServer.h"

#include "data/ActivityLog.h"
#include "data/Discussions.h"
#include "data/Outline.h"
#include "session/Session.h"

#include "db/DbErrors.h"
#include "db/TmySQLQuery.h"

#include <functional>

using namespace vt::app;
using vt::test::CutProxy;

namespace {

class LostAnswer : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_db = vt::test::freshVeltranaDatabase("vt_lost");
        sql("INSERT INTO Projects (ProjectID, ProjectName) VALUES (7, 'P');"
            "INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName) VALUES (3, 7, 'C');"
            "INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName) VALUES (10, 2, 3, 'D');"
            "INSERT INTO ProjectMembers (UserName, ProjectID) VALUES ('ALICE', 7), ('BOB', 7)");
        const auto& server = vt::test::testServer();
        m_proxy = std::make_unique<CutProxy>(static_cast<uint16_t>(server.port));
        ASSERT_NE(m_proxy->port(), 0);
        m_session.connect({QString::fromStdString(m_db), "127.0.0.1:" + QString::number(m_proxy->port()),
                           QString::fromStdString(server.user), QString::fromStdString(server.password)});
        m_session.CurrentUser = "ALICE";
        m_session.CurrentProjectID = 7;
        m_session.CurrentCatagoryID = 3;
        m_session.CurrentDocumentID = 10;
    }

    std::string sql(const std::string& statement) { return vt::test::runSql(statement, m_db); }
    void execute(const std::string& statement)
    {
        auto query = m_session.newQuery();
        query->SetSQL(statement);
        query->Execute();
    }
    // The kind and message of what op raised; Other and "" when it raised nothing.
    std::pair<FailureKind, std::string> failureOf(const std::function<void()>& op)
    {
        try {
            op();
        } catch (const EmySQLDatabaseError& error) {
            return {error.Kind(), error.Message()};
        }
        return {FailureKind::Other, ""};
    }

    std::string m_db;
    std::unique_ptr<CutProxy> m_proxy;
    Session m_session;
};

const CutProxy::Cut kCuts[] = {CutProxy::Cut::BeforeServer, CutProxy::Cut::AfterAnswer};
const char* cutName(CutProxy::Cut cut) { return cut == CutProxy::Cut::BeforeServer ? "before" : "after"; }

}  // namespace

// Quotes, a backslash, comment markers and multibyte text in what the check compares.
const QString kSubject = QString::fromUtf8("O'Brien \\ -- /* Grüße 😀");
const QString kText = QString::fromUtf8("line 1\r\nit's; # 中文 \\'");

TEST_F(LostAnswer, PostedMessageIsStoredOnceAndEveryMemberNotifiedOnce)
{
    for (CutProxy::Cut cut : kCuts) {
        SCOPED_TRACE(cutName(cut));
        sql("DELETE FROM Req_messages; DELETE FROM msg_state; DELETE FROM activity_Log");
        // An older message with the same subject and text by the same author under another tag
        // (one no post draws): the check must not take it for the new one.
        sql("INSERT INTO Req_messages (Subject, Name, msg, RequirementID, hash, ParentID, ProjectID) VALUES ('" +
            vt::test::sqlLiteralBody(kSubject.toStdString()) + "', 'ALICE', '" +
            vt::test::sqlLiteralBody(kText.toStdString()) + "', 10, -1, 0, 7)");
        const int cutsBefore = m_proxy->Cuts();
        m_proxy->Arm("insert into Req_messages", cut);
        const auto posted = data::discussions::PostDiscussionMessage(m_session, kSubject, kText, 0);
        EXPECT_EQ(m_proxy->Cuts(), cutsBefore + 1);

        EXPECT_EQ(sql("select count(*) from Req_messages where hash = " + std::to_string(posted.tag)), "1\n");
        EXPECT_EQ(sql("select msgID from Req_messages where msgID = " + std::to_string(posted.msgId) +
                      " and Subject = '" + vt::test::sqlLiteralBody(kSubject.toStdString()) +
                      "' and hash = " + std::to_string(posted.tag)),
                  std::to_string(posted.msgId) + "\n");
        EXPECT_EQ(sql("select count(*) from Req_messages"), "2\n");
        EXPECT_EQ(sql("select username, count(*) from msg_state where msgID = " + std::to_string(posted.msgId) +
                      " group by username order by username"),
                  "ALICE\t1\nBOB\t1\n");
        EXPECT_EQ(sql("select count(*) from activity_Log where Note = 'DISC_POST'"), "2\n");
        EXPECT_EQ(sql("select Messages from Requirements where RequirementID = 10"), "1\n");
    }
}

TEST_F(LostAnswer, CreatedDocumentIsStoredOnceAndItsIdIsTheStoredRow)
{
    for (CutProxy::Cut cut : kCuts) {
        SCOPED_TRACE(cutName(cut));
        sql("DELETE FROM Requirements WHERE RequirementID <> 10");
        const int cutsBefore = m_proxy->Cuts();
        m_proxy->Arm("insert into Requirements", cut);
        const qint32 id = data::outline::insertDocument(m_session, 4242, 2, 3, kSubject, "ALICE");
        EXPECT_EQ(m_proxy->Cuts(), cutsBefore + 1);
        EXPECT_EQ(sql("select RequirementID, Owner from Requirements where ParentID = 3 and RequirementID <> 10"),
                  std::to_string(id) + "\tALICE\n");
    }
}

// A post's notices to every member, each set one statement: cut before the server or after its
// answer, each member ends with one read state and one record.
TEST_F(LostAnswer, LostNoticesOfAPostAreWrittenOnceForEveryMember)
{
    const char* const markers[] = {"msgID) select 'DISC_POST'", "username, state) select"};
    for (const char* marker : markers)
        for (CutProxy::Cut cut : kCuts) {
            SCOPED_TRACE(std::string(marker) + " " + cutName(cut));
            sql("DELETE FROM Req_messages; DELETE FROM msg_state; DELETE FROM activity_Log");
            const int cutsBefore = m_proxy->Cuts();
            m_proxy->Arm(marker, cut);
            const auto posted = data::discussions::PostDiscussionMessage(m_session, kSubject, kText, 0);
            EXPECT_EQ(m_proxy->Cuts(), cutsBefore + 1);
            EXPECT_TRUE(posted.authorIsMember);
            const std::string id = std::to_string(posted.msgId);
            EXPECT_EQ(sql("select username, count(*) from msg_state where msgID = " + id +
                          " group by username order by username"),
                      "ALICE\t1\nBOB\t1\n");
            EXPECT_EQ(sql("select ModifiedBy, count(*) from activity_Log where Note = 'DISC_POST' and msgID = " + id +
                          " group by ModifiedBy order by ModifiedBy"),
                      "ALICE\t1\nBOB\t1\n");
        }
}

// The notifications of one post: a lost msg_state or activity record is written once.
TEST_F(LostAnswer, LostNotificationIsWrittenOnceAndALostSaveRecordIsNotRepeated)
{
    struct Case {
        const char* marker;
        CutProxy::Cut cut;
    } cases[] = {{"Insert into msg_state", CutProxy::Cut::BeforeServer},
                 {"Insert into msg_state", CutProxy::Cut::AfterAnswer},
                 {"Insert into activity_Log", CutProxy::Cut::BeforeServer},
                 {"Insert into activity_Log", CutProxy::Cut::AfterAnswer}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.marker) + " " + cutName(c.cut));
        sql("DELETE FROM msg_state; DELETE FROM activity_Log");
        const int cutsBefore = m_proxy->Cuts();
        m_proxy->Arm(c.marker, c.cut);
        data::activitylog::LogActivity(m_session, "DISC_POST", "bob", 7, 3, 10, 55);
        EXPECT_EQ(m_proxy->Cuts(), cutsBefore + 1);
        EXPECT_EQ(sql("select count(*) from msg_state where msgID = 55 and username = 'BOB'"), "1\n");
        EXPECT_EQ(sql("select count(*) from activity_Log where msgID = 55 and ModifiedBy = 'BOB'"), "1\n");
    }
    // A save's record whose answer was lost: the save is done, and the record is not doubled
    // (lost, or there once).
    for (CutProxy::Cut cut : kCuts) {
        SCOPED_TRACE(cutName(cut));
        sql("DELETE FROM activity_Log");
        const int cutsBefore = m_proxy->Cuts();
        m_proxy->Arm("Insert into activity_Log", cut);
        data::activitylog::LogActivity(m_session, "UPD_DOC", "ALICE", 7, 3, 10, 0);
        EXPECT_EQ(m_proxy->Cuts(), cutsBefore + 1);
        EXPECT_EQ(sql("select count(*) from activity_Log"), cut == CutProxy::Cut::AfterAnswer ? "1\n" : "0\n");
    }
}

// What the access layer tells a caller that has no check: an autocommit change, a change inside
// a transaction and a COMMIT, each cut before the server and after its answer.
TEST_F(LostAnswer, UncheckedChangeReportsItsOutcomeUnknownAndATransactionIsLost)
{
    sql("INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName) VALUES (4, 7, 'n')");
    for (CutProxy::Cut cut : kCuts) {
        SCOPED_TRACE(cutName(cut));
        sql("UPDATE Catagories SET CatagoryName = 'n' WHERE CatagoryID = 4");

        m_proxy->Arm("concat(CatagoryName", cut);
        auto [kind, message] = failureOf(
            [&] { execute("update Catagories set CatagoryName = concat(CatagoryName, 'x') where CatagoryID = 4"); });
        EXPECT_EQ(kind, FailureKind::OutcomeUnknown) << message;
        EXPECT_NE(message.find("whether it was stored is unknown"), std::string::npos) << message;
        EXPECT_EQ(sql("select CatagoryName from Catagories where CatagoryID = 4"),
                  cut == CutProxy::Cut::AfterAnswer ? "nx\n" : "n\n");

        execute("START TRANSACTION");
        m_proxy->Arm("'in transaction'", cut);
        std::tie(kind, message) =
            failureOf([&] { execute("update Catagories set CatagoryName = 'in transaction' where CatagoryID = 4"); });
        EXPECT_EQ(kind, FailureKind::TransactionLost) << message;
        execute("ROLLBACK");

        // The COMMIT itself, sent and unanswered: stored or not, the client cannot tell.
        execute("START TRANSACTION");
        execute("update Catagories set CatagoryName = 'committed' where CatagoryID = 4");
        m_proxy->Arm("COMMIT", cut);
        std::tie(kind, message) = failureOf([&] { execute("COMMIT"); });
        EXPECT_EQ(kind, FailureKind::OutcomeUnknown) << message;
        execute("ROLLBACK");
        EXPECT_EQ(sql("select CatagoryName from Catagories where CatagoryID = 4"),
                  cut == CutProxy::Cut::AfterAnswer ? "committed\n" : "n\n");
    }
}
