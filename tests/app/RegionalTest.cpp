// The database layer's regional formats taken from a locale.

#include "platform/Regional.h"
#include "AppFixture.h"
#include "platform/QtPlatform.h"
#include "session/TextCodec.h"

#include "db/DateTimeUtil.h"
#include "db/DbSettings.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

TEST(Regional, LocaleFormatsBecomeTheLayersLetters)
{
    struct Case {
        const char* locale;
        char decimal, dateSep, timeSep;
        const char* shortDate;
        const char* longTime;
        const char* date;  // 10 December 2026, as shown
    };
    const Case cases[] = {
        {"en_US", '.', '/', ':', "m/d/yy", "h:nn:ss ampm", "12/10/26"},
        {"de_DE", ',', '.', ':', "dd/mm/yy", "hh:nn:ss", "10.12.26"},
        {"en_GB", '.', '/', ':', "dd/mm/yyyy", "hh:nn:ss", "10/12/2026"},
        // No separator of its own and a month name: ISO 8601.
        {"C", '.', '-', ':', "yyyy/mm/dd", "hh:nn:ss", "2026-12-10"},
        {"sv_SE", ',', '-', ':', "yyyy/mm/dd", "hh:nn:ss", "2026-12-10"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale);
        const TFormatSettings fs = vt::app::formatSettingsFromLocale(QLocale(QString::fromLatin1(c.locale)));
        EXPECT_EQ(fs.DecimalSeparator, c.decimal);
        EXPECT_EQ(fs.DateSeparator, c.dateSep);
        EXPECT_EQ(fs.TimeSeparator, c.timeSep);
        EXPECT_EQ(fs.ShortDateFormat, c.shortDate);
        EXPECT_EQ(fs.LongTimeFormat, c.longTime);
        EXPECT_EQ(FormatDateTime(fs.ShortDateFormat, EncodeDate(2026, 12, 10), fs), c.date);
    }
}

TEST(Regional, ClientCodePageComesFromTheLocaleCodeset)
{
    const std::pair<const char*, int> cases[] = {{"CP1250", 1250},     {"windows-1258", 1258}, {"WINDOWS1252", 1252},
                                                 {"UTF-8", 0},         {"CP1249", 0},          {"ISO-8859-1", 0},
                                                 {"ANSI_X3.4-1968", 0}};
    for (const auto& [codeset, codePage] : cases)
        EXPECT_EQ(vt::app::codePageFromCodeset(QString::fromLatin1(codeset)), codePage) << codeset;
}

// One setting switches the code page for the application's text and the access layer alike.
TEST(Regional, ClientCodePageIsSetOnceForTheCodecAndTheAccessLayer)
{
    struct Case {
        int codePage;        // as the platform reports it
        int kept;            // as the program uses it
        uint8_t layerIndex;  // the access layer's character-set index
        const char* bytes;
        const char* text;  // UTF-8
    };
    const Case cases[] =
        {
            {0, 0, 0, "Caf\xc3\xa9", "Café"},     {1250, 1250, 14, "\x8a\xe8", "Šč"},
            {1251, 1251, 15, "\xc4\xe0", "Да"},   {1252, 1252, 16, "Caf\xe9", "Café"},
            {65001, 0, 0, "Caf\xc3\xa9", "Café"},  // UTF-8 is not a code page of the table
        };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codePage);
        vt::app::setClientCodePage(c.codePage);
        EXPECT_EQ(vt::app::clientCodePage(), c.kept);
        EXPECT_EQ(ClientCharsetIndex(), c.layerIndex);
        EXPECT_EQ(vt::app::textFromBytes(c.bytes), QString::fromUtf8(c.text));
        EXPECT_EQ(vt::app::bytesFromText(QString::fromUtf8(c.text)), std::string(c.bytes));
    }
    vt::app::setClientCodePage(0);
}

// The start-up takes the code page from the platform, once.
class CodePageAtStartUp : public AppFixture {};

TEST_F(CodePageAtStartUp, ComesFromThePlatform)
{
    m_platform.clientCodePage = 1250;
    startApp();
    EXPECT_EQ(vt::app::clientCodePage(), 1250);
    EXPECT_EQ(ClientCharsetIndex(), 14);
    stopApp();
    m_platform.clientCodePage = 0;
    startApp();
    EXPECT_EQ(ClientCharsetIndex(), 0);
}

// The desktop platform follows the program's locale. A windows-1251 locale is compiled into a
// temporary folder with localedef when the machine has it.
TEST(Regional, DesktopCodePageFollowsTheLocaleCodeset)
{
    vt::app::QtPlatform desktop;
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    EXPECT_EQ(desktop.codePage(), 0);
    if (std::setlocale(LC_ALL, "C.UTF-8")) {
        EXPECT_EQ(desktop.codePage(), 0);
    }

    const auto dir = std::filesystem::temp_directory_path() / ("vt-app-locale-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string cmd = "localedef -i ru_RU -f CP1251 '" + (dir / "ru_RU.CP1251").string() + "' >/dev/null 2>&1";
    const bool built = std::system(cmd.c_str()) == 0;
    const char* oldPath = std::getenv("LOCPATH");
    const std::string savedPath = oldPath ? oldPath : "";
    ::setenv("LOCPATH", dir.c_str(), 1);
    const bool set = built && std::setlocale(LC_ALL, "ru_RU.CP1251") != nullptr;
    const int codePage = set ? desktop.codePage() : -1;
    if (oldPath)
        ::setenv("LOCPATH", savedPath.c_str(), 1);
    else
        ::unsetenv("LOCPATH");
    std::setlocale(LC_ALL, saved.c_str());
    std::filesystem::remove_all(dir);
    if (!set) GTEST_SKIP() << "no windows-1251 locale could be built here";
    EXPECT_EQ(codePage, 1251);
}
