#pragma once
// The Veltrana Document Format (.rvf): a byte-oriented, versioned container of
// length-prefixed chunks (see docs/rvf-format.md). writeRvf() and readRvf() convert between
// its bytes and a DocModel. The reader is bounds-checked: any byte sequence either gives a
// document or an error, never a crash, and it never reserves more elements than the bytes
// left could describe.

#include "richtext/DocModel.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vt::rt {

// The newest major version this program reads and writes. Files are marked 2 only when their
// body is compressed; all others are marked 1, which every version reads.
inline constexpr int kRvfMajorVersion = 2;
inline constexpr int kRvfMinorVersion = 0;

struct RvfReadResult {
    bool ok = false;
    std::string error;       // "not a Veltrana document", "damaged at byte N", ...
    std::size_t offset = 0;  // where the damage starts, when damaged
    int unknownChunks = 0;   // chunks skipped because this version does not know them
    bool tooLarge = false;   // the body holds more than the limits allow (error says what)
    explicit operator bool() const { return ok; }
};

// How much of a body a reader keeps. Past a limit it keeps nothing more but reads on, to check
// the rest and to count it, and then refuses the document as too large.
struct RvfLimits {
    std::size_t paragraphs = SIZE_MAX;  // paragraphs, every table cell counting as one at least
    std::size_t items = SIZE_MAX;       // text runs, links, pictures and picture-list entries
    std::size_t itemsPerParagraph = SIZE_MAX;
};

std::string writeRvf(const DocModel& doc);

// Reads bytes into doc (replaced only on success). References to text or paragraph styles
// that do not exist become 0, to lists that do not exist "no list", to pictures that do not
// exist drop the item; a document without a text or paragraph style table gets the starting
// sheet's. Property values out of their range are clamped. A body beyond the limits fails with
// tooLarge set and "This document is too large to show: " followed by what exceeded which limit.
RvfReadResult readRvf(std::string_view bytes, DocModel& doc, const RvfLimits& limits = {});

}  // namespace vt::rt
