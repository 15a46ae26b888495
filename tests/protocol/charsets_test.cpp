// Character-set indexes, the code-page tables and the conversion between them.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/MysqlCharsets.h"

namespace {

std::string convert(const std::string& in, uint8_t from, uint8_t to)
{
    std::string out(in.size(), '\x55');
    ConvertCharset(in.data(), out.data(), in.size(), from, to);
    return out;
}

} // namespace

TEST(CharsetIndexFromName, MatchesTheFirstKeyTheUpperCasedNameBeginsWith)
{
    const std::vector<std::pair<std::string, int>> cases = {
        {"latin1", 1}, {"latin1_swedish", 1}, {"LATIN1_GERMAN2_CI", 1}, {"czech", 1},
        {"german1", 1},
        {"latin2", 6}, {"Hungarian", 6}, {"croat", 6},
        {"estonia", 8}, {"latin5", 9}, {"greek", 11}, {"hebrew", 12},
        {"danish", 2}, {"swe7", 2},
        {"win1250", 14}, {"cp1250", 0},  // only WIN1250 names that code page
        {"cp1251", 15}, {"win1251", 15}, {"win1251ukr", 15},
        {"cp1257", 21},
        {"koi8-ru", 43}, {"koi8_ru", 43}, {"KOI8-UKR", 43}, {"koi8r", 0},
        {"utf8mb4", 0}, {"latin7", 0}, {"", 0}, {"lat", 0},
    };
    for (const auto& [name, index] : cases)
        EXPECT_EQ(CharsetIndexFromName(name), index) << name;
}

TEST(CharsetIndexFromCodePage, WindowsCodePages1250To1258GiveTheirIndex)
{
    const std::vector<std::pair<int, int>> cases = {
        {1250, 14}, {1251, 15}, {1252, 16}, {1255, 19}, {1258, 22},
        {1249, 0}, {1259, 0}, {874, 0}, {65001, 0}, {0, 0}, {-1250, 0},
    };
    for (auto [cp, index] : cases)
        EXPECT_EQ(CharsetIndexFromCodePage(cp), index) << cp;
}

TEST(CharsetIndexFromCodeset, ReadsWindowsCodesetNames)
{
    const std::vector<std::pair<std::string, int>> cases = {
        {"CP1250", 14}, {"cp1251", 15}, {"WINDOWS-1252", 16}, {"windows-1258", 22},
        {"WINDOWS1253", 17},
        {"UTF-8", 0}, {"ANSI_X3.4-1968", 0}, {"ISO-8859-1", 0}, {"CP437", 0}, {"CP12500", 0},
        {"CP125x", 0}, {"KOI8-R", 0}, {"", 0},
    };
    for (const auto& [codeset, index] : cases)
        EXPECT_EQ(CharsetIndexFromCodeset(codeset), index) << codeset;
}

TEST(CharsetTable, SpotChecksAgainstKnownCodePoints)
{
    struct Case { int index; int byte; uint16_t codePoint; };
    const std::vector<Case> cases = {
        {1, 0xE9, 0x00E9},   // ISO 8859-1 é
        {1, 0x41, 0x0041},
        {5, 0xA4, 0x20AC},   // ISO 8859-15 €
        {6, 0xB1, 0x0105},   // ISO 8859-2 ą
        {9, 0xD0, 0x0430},   // ISO 8859-5 а
        {11, 0xC1, 0x0391},  // ISO 8859-7 Α
        {11, 0xA4, 0xFFFD},  // the 2003 additions are absent
        {11, 0xA5, 0xFFFD},
        {11, 0xAA, 0xFFFD},
        {11, 0xA1, 0x2018},
        {12, 0xE0, 0x05D0},  // ISO 8859-8 alef
        {14, 0x8A, 0x0160},  // windows-1250 Š
        {14, 0x81, 0xFFFD},
        {15, 0xE0, 0x0430},  // windows-1251 а
        {15, 0x98, 0xFFFD},
        {16, 0x80, 0x20AC},  // windows-1252 €
        {16, 0x81, 0xFFFD},
        {17, 0xC1, 0x0391},  // windows-1253 Α
        {20, 0xC7, 0x0627},  // windows-1256 alef
        {22, 0xDE, 0x0303},  // windows-1258 combining tilde
        {24, 0x80, 0x00C7},  // IBM437 Ç
        {24, 0xDB, 0x2588},  // IBM437 full block
        {25, 0xC1, 0x0041},  // IBM500 (EBCDIC) A
        {39, 0xA0, 0x0430},  // IBM866 а
        {41, 0xA1, 0x0E01},  // windows-874 ko kai
        {43, 0xC1, 0x0430},  // KOI8-R а
        {43, 0xFF, 0x042A},  // KOI8-R Ъ
    };
    for (const auto& c : cases) {
        const uint16_t* t = CharsetTable(c.index);
        ASSERT_NE(t, nullptr) << c.index;
        EXPECT_EQ(t[c.byte], c.codePoint) << "index " << c.index << " byte " << c.byte;
    }
}

TEST(CharsetTable, IndexIsTakenModulo128AndOnly1To43HaveTables)
{
    for (int i = 1; i <= 43; ++i) {
        ASSERT_NE(CharsetTable(i), nullptr) << i;
        EXPECT_EQ(CharsetTable(i + 128), CharsetTable(i)) << i;
    }
    for (int i : {0, 44, 127, 128, 255, -1})
        EXPECT_EQ(CharsetTable(i), nullptr) << i;
}

TEST(ConvertCharset, ConvertsHighBytesThroughTheirCodePoint)
{
    struct Case { std::string in; int from, to; std::string out; const char* what; };
    const std::vector<Case> cases = {
        {"\xE0", 15, 43, "\xC1", "windows-1251 a to KOI8-R"},
        {"abc \xE0\xE1\xFF", 15, 43, "abc \xC1\xC2\xD1", "ASCII stays, Cyrillic maps"},
        {"\xE0", 15, 16, "\xE0", "no windows-1252 counterpart: stays"},
        {"\xA4", 5, 16, "\x80", "euro from ISO 8859-15 to windows-1252"},
        {"\x80", 16, 1, "\x80", "euro has no ISO 8859-1 counterpart"},
        {"\xE9", 1, 16, "\xE9", "same code point, same byte"},
        {"\x81", 16, 15, "\x98", "undefined becomes the first undefined byte of the target"},
        {"\x81", 16, 1, "\x81", "target without undefined bytes: stays"},
        {"\xC1\xF1", 25, 1, "A1", "code points below 128 become that byte"},
        {"\xE0\xE0", 15 + 128, 43, "\xC1\xC1", "index modulo 128"},
        {"\xE0", 0, 43, "\xE0", "index 0 copies"},
        {"\xE0", 15, 0, "\xE0", "index 0 copies"},
        {"\xE0", 15, 44, "\xE0", "no table copies"},
        {std::string("\xE0\0\xE0", 3), 15, 43, std::string("\xC1\0\xE0", 3),
         "a 0 byte ends the conversion"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(convert(c.in, static_cast<uint8_t>(c.from), static_cast<uint8_t>(c.to)), c.out)
            << c.what;
}

TEST(ConvertCharset, WorksInPlaceAndTouchesOnlyCountBytes)
{
    char text[] = "\xE0\xE1\xE2\xE3";
    ConvertCharset(text, text, 2, 15, 43);
    EXPECT_EQ(std::string(text), "\xC1\xC2\xE2\xE3");

    char dest[4] = {'x', 'x', 'x', 'x'};
    ConvertCharset("\xE0\xE0\xE0", dest, 2, 15, 43);
    EXPECT_EQ(std::string(dest, 4), "\xC1\xC1xx");
    ConvertCharset("zz", dest, 0, 15, 43);
    EXPECT_EQ(std::string(dest, 4), "\xC1\xC1xx");
}

TEST(ConvertCharset, RoundTripsTheCyrillicLettersBetweenWindows1251AndKoi8R)
{
    // The 64 letters at C0..FF of windows-1251 all exist in KOI8-R: each goes there and back.
    const uint16_t* cp1251 = CharsetTable(15);
    for (int b = 0xC0; b <= 0xFF; ++b) {
        const std::string in(1, static_cast<char>(b));
        const std::string koi = convert(in, 15, 43);
        EXPECT_EQ(CharsetTable(43)[static_cast<unsigned char>(koi[0])], cp1251[b]) << b;
        EXPECT_EQ(convert(koi, 43, 15), in) << b;
    }
}
