#pragma once
// Character sets: 43 built-in code-page tables and the conversion between them.
// Index 0 means "no table": a conversion with index 0 on either side copies unchanged.

#include <cstddef>
#include <cstdint>
#include <string_view>

// Index of a Windows code page number: 1250..1258 give 14..22, anything else 0. The code page
// itself is the application's to decide (it passes it down through the access layer).
uint8_t CharsetIndexFromCodePage(int codePage);
// The same mapping for a locale codeset name: "CP1250", "WINDOWS-1250" (any letter case) and
// the like give 14..22, any other name 0.
uint8_t CharsetIndexFromCodeset(std::string_view codeset);
// Index of a server character-set name (prefix match on the upper-cased name).
uint8_t CharsetIndexFromName(std::string_view name);
// The 256-entry table of index (taken modulo 128); nullptr for indexes without a table.
const uint16_t* CharsetTable(int index);
// Copies count bytes and converts them up to the first 0 byte; source may equal destination.
void ConvertCharset(const char* source, char* destination, size_t count, uint8_t fromIndex, uint8_t toIndex);
