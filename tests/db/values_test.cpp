// Values without a server: variants, regional text forms, dates, integer conversion, the
// version-number rule, the engine's message forms and key=value lists.

#include <gtest/gtest.h>

#include <climits>

#include "db/DateTimeUtil.h"
#include "db/DbErrors.h"
#include "db/DbSettings.h"
#include "db/TStringList.h"
#include "db/TmySQLEngine.h"
#include "db/Variant.h"

namespace {

// Restores the process-wide formats after a test changes them.
struct FormatGuard {
    TFormatSettings saved = FormatSettings();
    ~FormatGuard() { FormatSettings() = saved; }
};

TEST(FloatText, GeneralFormatWithGivenSeparator) {
    struct Case {
        double value;
        const char* dot;
        const char* comma;
    } cases[] = {
        {0, "0", "0"},
        {12.5, "12.5", "12,5"},
        {-0.5, "-0.5", "-0,5"},
        {100, "100", "100"},
        {1e15, "1E15", "1E15"},
        {999999999999999, "999999999999999", "999999999999999"},
        {0.00001, "0.00001", "0,00001"},
        {0.000001, "1E-6", "1E-6"},
        {-2.5e-9, "-2.5E-9", "-2,5E-9"},
        {0.1 + 0.2, "0.3", "0,3"},
        {1.0 / 3, "0.333333333333333", "0,333333333333333"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FloatToStrGeneral(c.value, '.'), c.dot);
        EXPECT_EQ(FloatToStrGeneral(c.value, ','), c.comma);
    }
}

TEST(DateValues, EncodeDecodeAroundTheEpoch) {
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2);
    EXPECT_EQ(EncodeDate(2004, 1, 15), 38001);
    EXPECT_EQ(EncodeDate(1, 1, 1), -693593);
    EXPECT_EQ(EncodeDate(2000, 2, 29), 36585);
    EXPECT_THROW(EncodeDate(2001, 2, 29), EConvertError);
    EXPECT_THROW(EncodeDate(2001, 13, 1), EConvertError);
    EXPECT_THROW(EncodeTime(24, 0, 0), EConvertError);
    try {
        EncodeTime(10, 60, 0);
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Invalid argument to time encode");
    }
    for (int days : {-693593, -1, 0, 1, 36585, 38001, 2958465}) {
        int y, m, d;
        DecodeDate(days, y, m, d);
        EXPECT_EQ(EncodeDate(y, m, d), days) << days;
    }
    int h, n, s, ms;
    DecodeTime(EncodeDate(2004, 1, 15) + EncodeTime(13, 5, 9), h, n, s, ms);
    EXPECT_EQ(h * 10000 + n * 100 + s, 130509);
}

TEST(DateValues, RegionalTextForms) {
    FormatGuard guard;
    const double stamp = EncodeDate(2004, 1, 15) + EncodeTime(13, 5, 9);
    TFormatSettings& fs = FormatSettings();
    fs.ShortDateFormat = "dd/mm/yyyy";
    fs.DateSeparator = '.';
    fs.LongTimeFormat = "hh:nn:ss";
    EXPECT_EQ(DateTimeToStr(stamp), "15.01.2004 13:05:09");
    EXPECT_EQ(DateTimeToStr(EncodeDate(2004, 1, 15)), "15.01.2004");  // midnight: no time
    EXPECT_EQ(DateToStr(stamp), "15.01.2004");
    EXPECT_EQ(TimeToStr(stamp), "13:05:09");
    fs.ShortDateFormat = "m/d/yy";
    fs.DateSeparator = '/';
    fs.LongTimeFormat = "h:nn:ss AMPM";
    EXPECT_EQ(DateTimeToStr(stamp), "1/15/04 1:05:09 PM");
    EXPECT_EQ(FormatDateTime("h:mm am/pm", EncodeTime(0, 7, 0)), "12:07 am");
    EXPECT_EQ(FormatDateTime("'Day' d", EncodeDate(2004, 1, 5)), "Day 5");
}

TEST(ColumnTexts, DateRuleAndTimestampRule) {
    const double date = EncodeDate(2004, 1, 15);
    const double time = EncodeTime(13, 5, 9);
    struct Case {
        const char* text;
        double value;
    } dates[] = {
        {"2004-01-15", date},
        {"2004-01-15 13:05:09", date + time},
        {"13:05:09", time},
        {"0000-00-00", 0},
        {"0000-00-00 00:00:00", 0},
        {"2004-00-15 13:05:09", time},  // a zero part leaves the date at day 0
        {"2004-01-15 13:05", date},     // a time needs 8 characters
        {"", 0},
    }, stamps[] = {
        {"20040115130509", date + time},
        {"2004-01-15 13:05:09", date + time},
        {"00000000000000", EncodeDate(1, 1, 1)},
        {"0000-00-00 00:00:00", EncodeDate(1, 1, 1)},
        {"20040230000000", 0},          // impossible: 0, nothing raised
        {"20040115250000", 0},
        {"2004", EncodeDate(2004, 1, 1)},
    };
    for (const auto& c : dates)
        EXPECT_EQ(DateTimeFromColumnText(c.text), c.value) << c.text;
    for (const auto& c : stamps)
        EXPECT_EQ(TimestampFromColumnText(c.text), c.value) << c.text;
    for (const auto& [text, message] : {std::pair{"2004-02-30", "Invalid argument to date encode"},
                                        std::pair{"2004-01-15 25:00:00", "Invalid argument to time encode"},
                                        std::pair{"838:59:59", "Invalid argument to time encode"}}) {
        try {
            DateTimeFromColumnText(text);
            ADD_FAILURE() << text;
        } catch (const EConvertError& e) {
            EXPECT_STREQ(e.what(), message) << text;
        }
    }
}

TEST(Integers, StrictConversion) {
    EXPECT_EQ(StrToInt("3306"), 3306);
    EXPECT_EQ(StrToInt("-2147483648"), INT_MIN);
    EXPECT_EQ(StrToInt64("9223372036854775807"), INT64_MAX);
    for (const char* bad : {"", "abc", "12x", "2147483648", "1.5", "0x10"}) {
        try {
            StrToInt(bad);
            FAIL() << bad;
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()), "'" + std::string(bad) + "' is not a valid integer value");
        }
    }
}

TEST(VariantValues, TextAndIntegerForms) {
    FormatGuard guard;
    FormatSettings().DecimalSeparator = ',';
    EXPECT_EQ(Variant().AsString(), "");
    EXPECT_EQ(Variant::Null().AsString(), "");
    EXPECT_EQ(Variant(42).AsString(), "42");
    EXPECT_EQ(Variant(2.5).AsString(), "2,5");
    EXPECT_EQ(Variant(true).AsString(), "True");
    EXPECT_EQ(Variant(false).AsString(), "False");
    EXPECT_EQ(Variant("12").AsInteger(), 12);
    EXPECT_EQ(Variant(2.5).AsInteger(), 2);   // rounds half to even
    EXPECT_EQ(Variant(3.5).AsInteger(), 4);
    EXPECT_EQ(Variant().AsInteger(), 0);
    EXPECT_THROW(Variant::Null().AsInteger(), EVariantError);
    EXPECT_THROW(Variant("abc").AsInteger(), EVariantError);
    EXPECT_THROW(Variant::Int64(5000000000LL).AsInteger(), EVariantError);
    EXPECT_EQ(Variant::Int64(5000000000LL).AsInt64(), 5000000000LL);
    EXPECT_TRUE(Variant::Null().IsNull());
    EXPECT_TRUE(Variant().IsEmpty());
    EXPECT_EQ(Variant(std::string("a\0b", 3)).AsString().size(), 3u);
}

TEST(VersionNumber, DigitGroupsOfOneGetALeadingZero) {
    struct Case {
        const char* text;
        int32_t number;
    } cases[] = {
        {"4.0.18-nt", 40018},
        {"5.0.22", 50022},
        {"3.23.58", 32358},
        {"3.23.6", 3236},
        {"3.23.6-log", 32306},
        {"", 0},
        {"beta", 0},
        // Today's servers: far beyond 32 bits; back-quoting stays on.
        {"5.5.5-10.11.19-MariaDB-0+deb12u1", INT32_MAX},
        {"10.11.6-MariaDB", 101106},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VersionNumberFromText(c.text), c.number) << c.text;
}

TEST(EngineMessages, ThreeForms) {
    TmySQLEngine engine;
    // A client error with the server's number and text.
    uint16_t code = engine.Guard([] { throw EmySQLException(1045, "Access denied for user 'x'@'localhost' (using password: YES)"); });
    EXPECT_EQ(code, 1001);
    EXPECT_EQ(engine.ComposeMessage(code),
              "mySQL Error Code: (1045)\r\nAccess denied for user 'x'@'localhost' (using password: YES)");
    // A bare engine code: the text is cleared, three lines.
    code = engine.Guard([] { throw EmySQLException(8706); });
    EXPECT_EQ(code, 8706);
    EXPECT_EQ(engine.ComposeMessage(code), "DBI Error Code: (8706)\r\n \r\nAt end of table.");
    EXPECT_EQ(engine.ComposeMessage(4242), "DBI Error Code: (4242)\r\n \r\nUnknown error");
    // A client error without a server number (a local file that is missing).
    code = engine.Guard([] { throw EmySQLException(0, "File 'x' not found (Errcode: 2)"); });
    EXPECT_EQ(engine.ComposeMessage(code), "DBI Error Code: (1001)\r\nFile 'x' not found (Errcode: 2) \r\nUnknown error");
    // Success and foreign exceptions.
    EXPECT_EQ(engine.Guard([] {}), 0);
    EXPECT_THROW(engine.Guard([] { throw EConvertError("x"); }), EConvertError);
    try {
        engine.Run([] { throw EmySQLException(10003); });
        FAIL();
    } catch (const EmySQLDatabaseError& e) {
        EXPECT_EQ(e.ErrorCode(), 10003);
        EXPECT_STREQ(e.what(), "DBI Error Code: (10003)\r\n \r\nInvalid record structure.");
    }
}

TEST(StringList, KeysIgnoreCaseAndEmptyValuesDeleteTheLine) {
    TStringList list{"Port=3306", "TIMEOUT=30"};
    EXPECT_EQ(list.Values("port"), "3306");
    list.SetValue("HOST", "db1");
    list.SetValue("timeout", "5");
    EXPECT_EQ(list.Lines(), (std::vector<std::string>{"Port=3306", "timeout=5", "HOST=db1"}));
    list.SetValue("host", "");
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Values("missing"), "");
    list.SetText("a\r\nb\nc\r");
    EXPECT_EQ(list.Text(), "a\r\nb\r\nc\r\n");
    int changes = 0;
    list.OnChange = [&] { ++changes; };
    list.OnChanging = [] { throw EDatabaseError("refused"); };
    EXPECT_THROW(list.Add("x"), EDatabaseError);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(changes, 0);
}

} // namespace
