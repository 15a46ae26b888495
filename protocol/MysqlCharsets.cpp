// Character-set indexes and the byte-by-byte conversion between code pages.

#include "protocol/MysqlCharsets.h"

#include <cctype>
#include <cstring>
#include <string>

extern const uint16_t MysqlCharsetTables[43][256];  // MysqlCharsetTables.cpp (generated)

namespace {

struct NameKey {
    const char* prefix;
    uint8_t index;
};

// Tested in this order; the first key the upper-cased name begins with wins.
constexpr NameKey kNameKeys[] = {
    {"LATIN1", 1},  {"CZECH", 1},    {"GERMAN1", 1},
    {"LATIN2", 6},  {"HUNGARIAN", 6}, {"CROAT", 6},
    {"ESTONIA", 8},
    {"LATIN5", 9},
    {"GREEK", 11},
    {"HEBREW", 12},
    {"DANISH", 2},  {"SWE7", 2},
    {"WIN1250", 14},
    {"CP1251", 15}, {"WIN1251", 15}, {"WIN1251UKR", 15},
    {"CP1257", 21},
    {"KOI8-RU", 43}, {"KOI8-UKR", 43}, {"KOI8_RU", 43},
};

std::string upper(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool startsWith(const std::string& s, std::string_view prefix)
{
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

uint8_t CharsetIndexFromCodePage(int codePage)
{
    if (codePage >= 1250 && codePage <= 1258)
        return static_cast<uint8_t>(14 + (codePage - 1250));
    return 0;
}

uint8_t CharsetIndexFromCodeset(std::string_view codeset)
{
    std::string name = upper(codeset);
    for (std::string_view prefix : {"WINDOWS-", "WINDOWS", "CP"}) {
        if (startsWith(name, prefix)) {
            name.erase(0, prefix.size());
            break;
        }
    }
    if (name.size() != 4 || name.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    return CharsetIndexFromCodePage(std::stoi(name));
}

uint8_t CharsetIndexFromName(std::string_view name)
{
    const std::string n = upper(name);
    for (const auto& key : kNameKeys)
        if (startsWith(n, key.prefix))
            return key.index;
    return 0;
}

const uint16_t* CharsetTable(int index)
{
    const int i = index & 127;  // modulo 128, also for negative values
    if (i < 1 || i > 43)
        return nullptr;
    return MysqlCharsetTables[i - 1];
}

void ConvertCharset(const char* source, char* destination, size_t count, uint8_t fromIndex,
                    uint8_t toIndex)
{
    if (count == 0)
        return;
    std::memmove(destination, source, count);
    const uint16_t* from = CharsetTable(fromIndex);
    const uint16_t* to = CharsetTable(toIndex);
    if (!from || !to)
        return;

    // Result per high byte, worked out on first use: the from-table's code point when it is
    // ASCII, else the lowest high byte of the to-table with that code point, else the byte.
    int16_t map[128];
    std::memset(map, -1, sizeof map);
    auto* p = reinterpret_cast<unsigned char*>(destination);
    for (size_t i = 0; i < count && p[i] != 0; ++i) {
        const unsigned char b = p[i];
        if (b < 128)
            continue;
        int16_t& m = map[b - 128];
        if (m < 0) {
            const uint16_t u = from[b];
            m = b;
            if (u < 128) {
                m = static_cast<int16_t>(u);
            } else {
                for (int c = 128; c < 256; ++c) {
                    if (to[c] == u) {
                        m = static_cast<int16_t>(c);
                        break;
                    }
                }
            }
        }
        p[i] = static_cast<unsigned char>(m);
    }
}
