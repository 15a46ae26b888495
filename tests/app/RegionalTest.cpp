// The database layer's regional formats taken from a locale.

#include "Regional.h"

#include "DbSettings.h"
#include "QtPlatform.h"
#include "ScriptedPlatform.h"
#include "TextCodec.h"

#include <gtest/gtest.h>

TEST(Regional, LocaleFormatsBecomeTheLayersLetters)
{
    struct Case {
        const char* locale;
        char decimal, dateSep, timeSep;
        const char* shortDate;
        const char* longTime;
    };
    const Case cases[] = {
        {"en_US", '.', '/', ':', "m/d/yy", "h:nn:ss ampm"},
        {"de_DE", ',', '.', ':', "dd/mm/yy", "hh:nn:ss"},
        {"en_GB", '.', '/', ':', "dd/mm/yyyy", "hh:nn:ss"},
        {"C", '.', '-', ':', "d mmm yyyy", "hh:nn:ss"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale);
        const TFormatSettings fs = vt::app::formatSettingsFromLocale(QLocale(QString::fromLatin1(c.locale)));
        EXPECT_EQ(fs.DecimalSeparator, c.decimal);
        EXPECT_EQ(fs.DateSeparator, c.dateSep);
        EXPECT_EQ(fs.TimeSeparator, c.timeSep);
        EXPECT_EQ(fs.ShortDateFormat, c.shortDate);
        EXPECT_EQ(fs.LongTimeFormat, c.longTime);
    }
}

TEST(Regional, ClientCodePageComesFromTheLocaleCodeset)
{
    const std::pair<const char*, int> cases[] = {{"CP1250", 1250},      {"windows-1258", 1258},
                                                 {"WINDOWS1252", 1252},  {"UTF-8", 0},
                                                 {"CP1249", 0},          {"ISO-8859-1", 0},
                                                 {"ANSI_X3.4-1968", 0}};
    for (const auto& [codeset, codePage] : cases)
        EXPECT_EQ(vt::app::codePageFromCodeset(QString::fromLatin1(codeset)), codePage) << codeset;
}

TEST(Regional, BytesBecomeTextInTheClientsCodePage)
{
    vt::app::ScriptedPlatform platform;
    vt::app::PlatformScope scope(platform);
    platform.clientCodePage = 0;
    EXPECT_EQ(vt::app::textFromBytes("Caf\xc3\xa9"), QString::fromUtf8("Café"));
    EXPECT_EQ(vt::app::bytesFromText(QString::fromUtf8("Café")), "Caf\xc3\xa9");
    platform.clientCodePage = 1250;
    EXPECT_EQ(vt::app::textFromBytes("\x8a\xe8"), QString::fromUtf8("Šč"));
    EXPECT_EQ(vt::app::bytesFromText(QString::fromUtf8("Šč")), "\x8a\xe8");
}
