// The query component without a server: texts, the prepared text and the parameter list.

#include <gtest/gtest.h>

#include "db/DbErrors.h"
#include "db/TmySQLQuery.h"

namespace {

TEST(QueryText, ParamCheckRebuildsParametersAndKeepsValuesOfTheSameName) {
    TmySQLQuery q;
    q.SetSQL("select * from t where a = :A and b = :b");
    ASSERT_EQ(q.ParamCount(), 2);
    q.ParamNamed("a").SetValue(5);
    q.ParamNamed("B").SetAsBlob("x");
    EXPECT_EQ(q.PreparedText(), "select * from t where a = ? and b = ?\r\n");
    q.SQL().Add("and c = :c");
    ASSERT_EQ(q.ParamCount(), 3);
    EXPECT_EQ(q.Params()[0].Name(), "A");
    EXPECT_EQ(q.Params()[0].Value().AsInteger(), 5);
    EXPECT_TRUE(q.Params()[0].Bound());
    EXPECT_EQ(q.Params()[1].DataType(), ftBlob);
    EXPECT_FALSE(q.Params()[2].Bound());
    // Without ParamCheck the text stands as it is and the list stays.
    q.SetParamCheck(false);
    q.SetSQL("select a::b -- c\r\nfrom t");
    EXPECT_EQ(q.PreparedText(), "select a::b -- c\r\nfrom t\r\n");
    EXPECT_EQ(q.ParamCount(), 3);
    q.SetParamCheck(true);
    q.SetSQL("select a::b");
    EXPECT_EQ(q.PreparedText(), "select a:b\r\n");
    EXPECT_EQ(q.ParamCount(), 0);
}

TEST(QueryText, DesignTimeQueryTakesItsStoredParameterList) {
    TParams stored;
    stored.CreateParam(ftInteger, "RequirementID", ptInput);
    stored.CreateParam(ftBlob, "Document", ptInput);
    TmySQLQuery q("InsertRTFQuery");
    q.LoadFromForm("insert into Req_objects (RequirementID, Document)\r\nvalues (:RequirementID, :Document)", stored);
    EXPECT_EQ(q.PreparedText(), "insert into Req_objects (RequirementID, Document)\r\nvalues (?, ?)\r\n");
    ASSERT_EQ(q.ParamCount(), 2);
    EXPECT_EQ(q.ParamByName("document").DataType(), ftBlob);
    try {
        q.ParamByName("Missing");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "InsertRTFQuery: Parameter 'Missing' not found");
    }
}

} // namespace
