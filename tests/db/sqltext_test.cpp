// Statement texts: comment cleaning, the parameter scan, substitution and rendering of values,
// and the table name found in a statement.

#include <gtest/gtest.h>

#include "db/DateTimeUtil.h"
#include "db/DbErrors.h"
#include "db/DbSettings.h"
#include "db/SqlText.h"
#include "db/TParam.h"

namespace {

struct CleanCase {
    const char* input;
    const char* expected;
};

TEST(CommentCleaning, RemovesFirstBlockCommentAndLineCommentsExceptOnLastLine) {
    const CleanCase cases[] = {
        {"select 1\r\n", "select 1\r\n"},
        {"select /* c */1\r\n", "select 1\r\n"},
        // Only the first block comment goes.
        {"a/*x*/b/*y*/c\r\n", "ab/*y*/c\r\n"},
        // An optimizer hint stays.
        {"select /*! 1 */ 2\r\n", "select /*! 1 */ 2\r\n"},
        // A missing "*/" counts as position 0: nothing deleted unless "/*" starts the text.
        {"select /* open\r\n", "select /* open\r\n"},
        {"/* open\r\n", "* open\r\n"},
        // "--" and "#" on every line but the last, outside quoted literals.
        {"select a -- one\r\nfrom t -- two\r\n", "select a \r\nfrom t -- two\r\n"},
        {"select '#' # c\r\nfrom t\r\n", "select '#' \r\nfrom t\r\n"},
        // Comment markers inside literals of every kind are text, not comments.
        {"select * from users where (Username = 'ADMIN/*') and (password = '*/')\r\n",
         "select * from users where (Username = 'ADMIN/*') and (password = '*/')\r\n"},
        {"update c set a='x/*', b='*/y'\r\n", "update c set a='x/*', b='*/y'\r\n"},
        {"select \"/*\", `*/` /* c */ from t\r\n", "select \"/*\", `*/`  from t\r\n"},
        {"select 'it\\'s -- not # a comment'\r\nfrom t\r\n", "select 'it\\'s -- not # a comment'\r\nfrom t\r\n"},
        {"select 'it''s -- text' -- gone\r\nx\r\n", "select 'it''s -- text' \r\nx\r\n"},
        // An escaped backslash ends right before the closing quote.
        {"select 'a\\\\' # c\r\nx\r\n", "select 'a\\\\' \r\nx\r\n"},
        // A literal spanning lines keeps its inside, and the comment after it goes.
        {"insert into m values ('line 1 -- a\r\nline # 2') # c\r\nx\r\n",
         "insert into m values ('line 1 -- a\r\nline # 2') \r\nx\r\n"},
        // Back quotes know no backslash escape.
        {"select `a\\` # c\r\nx\r\n", "select `a\\` \r\nx\r\n"},
        // A comment marker inside a line comment does not start a block comment.
        {"select 1 -- a /* b\r\nfrom t\r\n", "select 1 \r\nfrom t\r\n"},
        {"select 1 # keep\r\n", "select 1 # keep\r\n"},
        {"a--b#c\r\nd\r\n", "a\r\nd\r\n"},
        {"a#b--c\r\nd\r\n", "a\r\nd\r\n"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CleanComments(c.input), c.expected) << c.input;
}

struct ScanCase {
    const char* input;
    const char* prepared;
    std::vector<std::string> names;
};

TEST(ParameterScan, MarkersBecomeQuestionMarksAndCreateParameters) {
    const ScanCase cases[] = {
        {"insert into Req_objects (RequirementID, Document) values (:RequirementID,:Document)",
         "insert into Req_objects (RequirementID, Document) values (?,?)", {"RequirementID", "Document"}},
        {"select a::b", "select a:b", {}},
        {"select ':x' from t where a = :a", "select ':x' from t where a = ?", {"a"}},
        {"select \":x\", `:y` from t", "select \":x\", `:y` from t", {}},
        // Names end at space, CR, LF, ")", "," and ";" and at the end of the text.
        {":a b", "? b", {"a"}},
        {":a\rb", "?\rb", {"a"}},
        {":a\nb", "?\nb", {"a"}},
        {"(:a)", "(?)", {"a"}},
        {":a,:b;", "?,?;", {"a", "b"}},
        {"x=:a", "x=?", {"a"}},
        // Other characters belong to the name.
        {":a+1 ", "? ", {"a+1"}},
        // A quoted name loses its quotes; a delimiter inside the quotes belongs to it.
        {":'my name' x", "? x", {"my name"}},
        {":\"p\"", "?", {"p"}},
        // Duplicates give one parameter per marker.
        {":a :a", "? ?", {"a", "a"}},
        {"where a=:p1 and b = ':p2' and c=:p3", "where a=? and b = ':p2' and c=?", {"p1", "p3"}},
        // Each quote kind is its own literal: a double quote inside single quotes does not
        // open one, and neither do escaped or doubled quotes.
        {"select 'he said \"hi: there' as x, :p as y", "select 'he said \"hi: there' as x, ? as y", {"p"}},
        {"select \"it's: x\", :p", "select \"it's: x\", ?", {"p"}},
        {"select `a'b:c`, :p", "select `a'b:c`, ?", {"p"}},
        {"where n = 'O\\'Brien: x' and m = :p", "where n = 'O\\'Brien: x' and m = ?", {"p"}},
        {"where n = 'O''Brien: x' and m = :p", "where n = 'O''Brien: x' and m = ?", {"p"}},
        {"where n = 'a\\\\' and m = :p", "where n = 'a\\\\' and m = ?", {"p"}},
        // An unclosed literal swallows the rest.
        {"select 'open :p", "select 'open :p", {}},
    };
    for (const auto& c : cases) {
        TParams params;
        EXPECT_EQ(ScanParams(c.input, &params), c.prepared) << c.input;
        std::vector<std::string> names;
        for (int i = 0; i < params.Count(); ++i)
            names.push_back(params[i].Name());
        EXPECT_EQ(names, c.names) << c.input;
    }
}

TParams paramsOf(std::initializer_list<std::pair<const char*, Variant>> values) {
    TParams params;
    for (const auto& [name, value] : values)
        params.Add(name).SetValue(value);
    return params;
}

TEST(Substitution, RendersValuesInPlaceOfMarkers) {
    TParams params = paramsOf({{"RequirementID", 5}, {"Name", "O'Brien"}, {"n", Variant::Null()}});
    TParam& doc = params.Add("Document");
    doc.SetAsBlob(std::string("a\0'", 3));

    struct Case {
        const char* input;
        const char* expected;
    } cases[] = {
        {"insert into Req_objects (RequirementID, Document) values (:RequirementID,:Document)\r\n",
         "insert into Req_objects (RequirementID, Document) values (5,'a\\0\\'')"},
        // Runs of spaces and tabs shrink to one space; line breaks stay.
        {"select *   from t\twhere id =   :RequirementID\r\n  and x = 1\r\n",
         "select * from t\twhere id = 5\r\n and x = 1"},
        // Quoted literals keep their inside exactly, colons included.
        {"select 'a  :Name  b', \"x  y\" from t where n = :Name\r\n",
         "select 'a  :Name  b', \"x  y\" from t where n = 'O\\'Brien'"},
        {"update t set a = :n\r\n", "update t set a = NULL"},
        // A name in brackets or quotes loses them.
        {"select :\"Name\"\r\n", "select 'O\\'Brien'"},
        // Names end at any delimiter.
        {"select :RequirementID+1\r\n", "select 5+1"},
        {"  leading and trailing  \r\n", "leading and trailing"},
        // Colons in literals of every kind, escaped quotes and escaped backslashes included,
        // are never markers.
        {"select 'he said \"hi: there' as x, :RequirementID as y\r\n",
         "select 'he said \"hi: there' as x, 5 as y"},
        {"select `a:b`, 'a\\\\', :RequirementID\r\n", "select `a:b`, 'a\\\\', 5"},
        {"select 'O\\'Brien: x', :RequirementID\r\n", "select 'O\\'Brien: x', 5"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SubstituteParams(c.input, params), c.expected) << c.input;
}

TEST(Substitution, UnknownParameterRaisesWithOwnerlessMessage) {
    TParams params = paramsOf({{"a", 1}});
    try {
        SubstituteParams("select :b\r\n", params);
        FAIL() << "no exception";
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Parameter 'b' not found");
    }
}

TEST(Rendering, EveryKindOfValue) {
    const double stamp = EncodeDate(2004, 1, 15) + EncodeTime(13, 5, 9);
    struct Case {
        TFieldType type;
        Variant value;
        bool assign;
        const char* expected;
    } cases[] = {
        {ftUnknown, Variant(), false, "NULL"},
        {ftUnknown, Variant::Null(), true, "NULL"},
        {ftUnknown, Variant(7), true, "7"},
        {ftUnknown, Variant(-42), true, "-42"},
        {ftUnknown, Variant::Smallint(-3), true, "-3"},
        {ftUnknown, Variant::Byte(200), true, "200"},
        {ftUnknown, Variant::Int64(7), true, "'7'"},
        {ftUnknown, Variant::ShortInt(-7), true, "'-7'"},
        {ftUnknown, Variant::Word(65535), true, "'65535'"},
        {ftUnknown, Variant::LongWord(4000000000u), true, "'4000000000'"},
        {ftUnknown, Variant(true), true, "'Y'"},
        {ftUnknown, Variant(false), true, "'N'"},
        {ftUnknown, Variant(0.5), true, "0.5"},
        {ftUnknown, Variant(-1234.25), true, "-1234.25"},
        {ftUnknown, Variant(1e20), true, "1E20"},
        {ftUnknown, Variant(1.5e-7), true, "1.5E-7"},
        {ftUnknown, Variant(0.00001), true, "0.00001"},
        {ftUnknown, Variant(123456789012345.0), true, "123456789012345"},
        {ftUnknown, Variant(1234567890123456.0), true, "1.23456789012346E15"},
        {ftUnknown, Variant(1.0 / 3), true, "0.333333333333333"},
        {ftUnknown, Variant::Single(0.25f), true, "0.25"},
        {ftUnknown, Variant::Currency(12.5), true, "12.5"},
        {ftDateTime, Variant::DateTime(stamp), true, "'2004-01-15 13:05:09'"},
        {ftDate, Variant::DateTime(stamp), true, "'2004-01-15'"},
        {ftTime, Variant::DateTime(stamp), true, "'13:05:09'"},
        // Day 0 (1899-12-30) is the zero date, whatever the time.
        {ftDateTime, Variant::DateTime(0.5), true, "'0000-00-00 00:00:00'"},
        {ftDate, Variant::DateTime(0), true, "'0000-00-00'"},
        {ftTime, Variant::DateTime(3.0), true, "'00:00:00'"},
        {ftTime, Variant::DateTime(0.5), true, "'12:00:00'"},
        {ftUnknown, Variant("tab\there\nq\"\\\r\x1a\xe9"), true,
         "'tab\\there\\nq\\\"\\\\\\r\x1a\xe9'"},
        {ftUnknown, Variant::WideString("it's"), true, "'it\\'s'"},
    };
    for (const auto& c : cases) {
        TParam p("p", c.type);
        if (c.assign) p.SetValue(c.value);
        EXPECT_EQ(RenderParam(p), c.expected) << static_cast<int>(c.value.Kind());
    }
}

TEST(Rendering, FloatsIgnoreTheRegionalDecimalSeparator) {
    TFormatSettings saved = FormatSettings();
    FormatSettings().DecimalSeparator = ',';
    TParam p("p");
    p.SetValue(0.5);
    EXPECT_EQ(RenderParam(p), "0.5");
    EXPECT_EQ(p.Value().AsString(), "0,5");
    FormatSettings() = saved;
}

TEST(Params, DataTypeFollowsTheFirstValueOnly) {
    struct Case {
        Variant value;
        TFieldType type;
    } cases[] = {
        {Variant::Smallint(1), ftSmallint}, {Variant::ShortInt(1), ftSmallint}, {Variant::Byte(1), ftSmallint},
        {Variant(1), ftInteger}, {Variant::Word(1), ftInteger}, {Variant(1.5), ftFloat},
        {Variant::Single(1), ftFloat}, {Variant::LongWord(1), ftFloat}, {Variant::Currency(1), ftBCD},
        {Variant::DateTime(1), ftDateTime}, {Variant("x"), ftString}, {Variant::WideString("x"), ftString},
        {Variant(true), ftBoolean}, {Variant::Int64(1), ftLargeint}, {Variant::Null(), ftUnknown},
    };
    for (const auto& c : cases) {
        TParam p("p");
        p.SetValue(c.value);
        EXPECT_EQ(p.DataType(), c.type) << FieldTypeName(c.type);
        EXPECT_TRUE(p.Bound());
        p.SetValue(Variant("later text"));
        EXPECT_EQ(p.DataType(), c.type == ftUnknown ? ftString : c.type);
    }
}

TEST(Params, LookupIgnoresCaseAndMissingFileLeavesParameterAlone) {
    TParams params;
    params.Add("RequirementID").SetValue(3);
    EXPECT_EQ(params.ParamByName("requirementid").Value().AsInteger(), 3);
    TParam& p = params.ParamByName("REQUIREMENTID");
    try {
        p.LoadValueFromFile("/nonexistent/file.rvf", ftBlob);
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_STREQ(e.what(), "Cannot open file /nonexistent/file.rvf");
    }
    EXPECT_EQ(p.DataType(), ftInteger);
    EXPECT_EQ(p.Value().AsInteger(), 3);
}

TEST(TableName, FirstNameAfterFrom) {
    ServerVersionNumber = 100000;
    struct Case {
        const char* sql;
        const char* table;
    } cases[] = {
        {"select Role, Username from users", "`users`"},
        {"SELECT * FROM Requirements where RequirementID = 5", "`Requirements`"},
        {"select * from db.t", "`db`.`t`"},
        {"select * from `my table` x", "`my table`"},
        {"select * from /* c */ t", "`t`"},
        {"select * from\r\n  t\r\n", "`t`"},
        {"select * from (select 1) x", ""},
        {"select 1", ""},
        {"show tables from x", ""},
        {"select * from where", ""},
        {"delete from a, b", "`a`"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TableNameOfStatement(c.sql), c.table) << c.sql;
    ServerVersionNumber = 32306;
    EXPECT_EQ(TableNameOfStatement("select * from db.t"), "db.t");
    ServerVersionNumber = 0;
}

} // namespace
