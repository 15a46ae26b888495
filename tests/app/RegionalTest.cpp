// The database layer's regional formats taken from a locale.

#include "Regional.h"

#include "DbSettings.h"

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
