// The document format on its own: round trips, golden files, damaged and hostile input.
#include "richtext/RvfFormat.h"
#include "AllocCounter.h"
#include "TestDocs.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

using namespace vt::rt;
using namespace vt::rt::test;

namespace {

// Offset of the first chunk with the given tag, or npos.
size_t chunkOffset(const std::string& bytes, std::string_view tag)
{
    size_t at = 12;
    while (at + 8 <= bytes.size()) {
        std::uint32_t len;
        std::memcpy(&len, bytes.data() + at + 4, 4);
        if (std::string_view(bytes.data() + at, 4) == tag) return at;
        at += 8 + len;
    }
    return std::string::npos;
}

std::string chunk(std::string_view tag, std::string_view payload)
{
    std::string c(tag);
    std::uint32_t n = std::uint32_t(payload.size());
    c.append(reinterpret_cast<const char*>(&n), 4);
    c.append(payload);
    return c;
}

// The bytes with a chunk inserted in front of the chunk `before`.
std::string insertChunk(std::string bytes, std::string_view before, const std::string& c)
{
    bytes.insert(chunkOffset(bytes, before), c);
    return bytes;
}

std::string varBytes(std::uint32_t n)
{
    std::string v;
    for (; n >= 0x80; n >>= 7)
        v += char((n & 0x7f) | 0x80);
    return v + char(n);
}

// An LZ4 block holding `data` as one run of literals: the simplest valid compressed stream.
std::string lz4Literals(std::string_view data)
{
    std::string b(1, char(std::min<size_t>(data.size(), 15) << 4));
    if (data.size() >= 15) {
        size_t more = data.size() - 15;
        for (; more >= 255; more -= 255)
            b += '\xff';
        b += char(more);
    }
    return b.append(data);
}

// One segment of a compressed body: inflated size, stream length, stream.
std::string segment(std::uint32_t declared, std::string_view stream)
{
    return varBytes(declared) + varBytes(std::uint32_t(stream.size())) + std::string(stream);
}

std::string packedChunk(std::uint32_t declared, std::string_view stream)
{
    return chunk("ZBDY", segment(declared, stream));
}

struct Segment {
    std::uint32_t declared;
    std::string stream;
};

std::vector<Segment> segmentsOf(const std::string& payload)
{
    std::vector<Segment> segments;
    size_t at = 0;
    auto var = [&] {
        std::uint32_t v = 0;
        for (int shift = 0;; shift += 7) {
            v |= std::uint32_t(payload[at] & 0x7f) << shift;
            if (!(payload[at++] & 0x80)) return v;
        }
    };
    while (at < payload.size()) {
        std::uint32_t declared = var();
        std::uint32_t length = var();
        segments.push_back({declared, payload.substr(at, length)});
        at += length;
    }
    return segments;
}

// The payload of the first chunk with the given tag.
std::string payloadOf(const std::string& bytes, std::string_view tag)
{
    size_t at = chunkOffset(bytes, tag);
    std::uint32_t len;
    std::memcpy(&len, bytes.data() + at + 4, 4);
    return bytes.substr(at + 8, len);
}

// The bytes with the first chunk of the given tag replaced by another chunk.
std::string replaceChunk(std::string bytes, std::string_view tag, const std::string& with)
{
    bytes.replace(chunkOffset(bytes, tag), 8 + payloadOf(bytes, tag).size(), with);
    return bytes;
}

DocModel textOnly(std::vector<std::string> paragraphs);

// Paragraphs of about 250 bytes of words drawn by a fixed pseudo-random sequence.
DocModel prose(int paragraphs)
{
    static const char* words[] = {"alpha",    "the",   "of",     "document", "review", "Überblick", "team", "and",
                                  "schedule", "print", "server", "a",        "risk",   "quality",   "to"};
    std::uint32_t seed = 3;
    std::vector<std::string> texts;
    for (int p = 0; p < paragraphs; ++p) {
        std::string t;
        while (t.size() < 250) {
            seed = seed * 1664525u + 1013904223u;
            t += words[(seed >> 16) % (sizeof words / sizeof *words)];
            t += ' ';
        }
        texts.push_back(t);
    }
    return textOnly(texts);
}

DocModel textOnly(std::vector<std::string> paragraphs)
{
    DocModel m;
    for (auto& t : paragraphs) {
        Block b;
        Item it;
        it.text = t;
        if (!t.empty()) b.paragraph.items.push_back(it);
        m.blocks.push_back(b);
    }
    return m;
}

}  // namespace

TEST(RvfFormat, DocumentsSurviveWriteReadWriteUnchanged)
{
    DocModel withStylesOnly;
    withStylesOnly.styles.appendText(
        TextStyle{"x", "Courier New", 72, true, false, true, false, 0xABCDEF, false, 0x010203, 161, true, false});
    withStylesOnly.styles.appendPara(ParaStyle{"y", Alignment::Justify, 200, 10, -30, 1, 2, false});
    DocModel tableFirst = fullDocument();
    std::rotate(tableFirst.blocks.begin(), tableFirst.blocks.end() - 2, tableFirst.blocks.end() - 1);
    DocModel big = textOnly(std::vector<std::string>(2000, std::string(500, 'x')));

    struct Case {
        const char* name;
        DocModel doc;
    };
    std::vector<Case> cases = {{"empty", DocModel{}},
                               {"full", fullDocument()},
                               {"styles only", withStylesOnly},
                               {"table first", tableFirst},
                               {"one megabyte of text", big},
                               {"no background, no properties", textOnly({"a", "", "b"})},
                               {"large, compressed", largeDocument()}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = writeRvf(c.doc);
        DocModel back;
        RvfReadResult r = readRvf(bytes, back);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(r.unknownChunks, 0);
        EXPECT_TRUE(back == c.doc);
        EXPECT_EQ(writeRvf(back), bytes);
    }
}

TEST(RvfFormat, StartingSheetIsTheStandardOne)
{
    DocStyles s = DocStyles::standardSheet();
    ASSERT_EQ(s.textCount(), 6);
    ASSERT_EQ(s.paraCount(), 2);
    struct Expect {
        const char* name;
        bool bold, italic, underline, hyper;
        std::uint32_t color;
    };
    Expect e[] = {
        {"Normal text", false, false, false, false, 0x000000}, {"Heading", true, false, false, false, 0x0000FF},
        {"Subheading", true, false, false, false, 0x000080},   {"Keywords", false, true, false, false, 0x800000},
        {"Jump 1", false, false, true, true, 0x008000},        {"Jump 2", false, false, true, true, 0x008000}};
    for (int i = 0; i < 6; ++i) {
        const TextStyle& t = s.textStyles[size_t(i)];
        SCOPED_TRACE(t.name);
        EXPECT_EQ(t.name, e[i].name);
        EXPECT_EQ(t.fontName, "Arial");
        EXPECT_EQ(t.bold, e[i].bold);
        EXPECT_EQ(t.italic, e[i].italic);
        EXPECT_EQ(t.underline, e[i].underline);
        EXPECT_EQ(t.hypertext, e[i].hyper);
        EXPECT_EQ(t.color, e[i].color);
        EXPECT_TRUE(t.standard);
    }
    EXPECT_EQ(s.paraStyles[0].name, "Paragraph Style");
    EXPECT_EQ(s.paraStyles[0].alignment, Alignment::Left);
    EXPECT_EQ(s.paraStyles[1].name, "Centered");
    EXPECT_EQ(s.paraStyles[1].alignment, Alignment::Center);
}

TEST(RvfFormat, FindOrAppendReusesEqualStylesAndAppendsNewOnes)
{
    DocStyles s = DocStyles::standardSheet();
    TextStyle boldBlue = s.textStyles[0];
    boldBlue.bold = true;
    boldBlue.color = 0x0000FF;
    boldBlue.name = "another name";  // names are not properties
    EXPECT_EQ(s.findOrAppendText(boldBlue), 1);
    TextStyle jump = s.textStyles[5];
    EXPECT_EQ(s.findOrAppendText(jump), 4);  // the first equal style
    TextStyle fresh = s.textStyles[0];
    fresh.size = 11;
    EXPECT_EQ(s.findOrAppendText(fresh), 6);
    EXPECT_FALSE(s.textStyles[6].standard);
    EXPECT_EQ(s.findOrAppendText(fresh), 6);
    // A background colour only counts when there is a background.
    TextStyle transparent = s.textStyles[0];
    transparent.backColor = 0x123456;
    EXPECT_EQ(s.findText(transparent), 0);
    transparent.transparentBack = false;
    EXPECT_EQ(s.findText(transparent), -1);
    ParaStyle centred = s.paraStyles[0];
    centred.alignment = Alignment::Center;
    EXPECT_EQ(s.findOrAppendPara(centred), 1);
    centred.leftIndent = 20;
    EXPECT_EQ(s.findOrAppendPara(centred), 2);
    EXPECT_EQ(s.paraCount(), 3);
}

// Files written by this version are committed; every later version must read them to the
// same content.
TEST(RvfFormat, GoldenFilesKeepTheirContent)
{
    struct Case {
        const char* file;
        DocModel expected;
    };
    Case cases[] = {{"golden_full_v1.rvf", fullDocument()},
                    {"golden_empty_v1.rvf", DocModel{}},
                    {"golden_text_v1.rvf", textOnly({"First paragraph", "Ünïcödé Café", "", "last"})},
                    {"golden_large_v2.rvf", largeDocument()}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        QString path = QString(VT_RICHTEXT_TEST_DATA) + "/" + c.file;
        if (qEnvironmentVariableIsSet("VT_WRITE_GOLDEN")) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            std::string b = writeRvf(c.expected);
            f.write(b.data(), qint64(b.size()));
        }
        QByteArray bytes = readFile(path);
        ASSERT_FALSE(bytes.isEmpty()) << "missing " << path.toStdString();
        // The file's major version is the digit before ".rvf"; version 2 files hold a compressed body.
        EXPECT_EQ(int(bytes[8]), c.file[std::strlen(c.file) - 5] - '0');
        EXPECT_EQ(bytes.contains("ZBDY"), bytes[8] == 2);
        DocModel back;
        RvfReadResult r = readRvf(std::string_view(bytes.constData(), size_t(bytes.size())), back);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_TRUE(back == c.expected);
    }
}

TEST(RvfFormat, EveryTruncationIsReportedWithItsPlace)
{
    for (const std::string& bytes : {writeRvf(fullDocument()), writeRvf(largeDocument())})
        for (size_t len = 0; len < bytes.size(); ++len) {
            DocModel back;
            RvfReadResult r = readRvf(std::string_view(bytes.data(), len), back);
            ASSERT_FALSE(r.ok) << "accepted a file cut to " << len << " bytes";
            if (len < 8) {
                EXPECT_EQ(r.error, "not a Veltrana document");
            } else {
                EXPECT_EQ(r.error, "damaged at byte " + std::to_string(r.offset));
                EXPECT_LE(r.offset, len);
            }
        }
}

TEST(RvfFormat, DamagedAndHostileInput)
{
    const std::string good = writeRvf(fullDocument());
    const size_t body = chunkOffset(good, "BODY");
    const size_t tsty = chunkOffset(good, "TSTY");
    auto patched = [&](size_t at, std::string_view with) {
        std::string b = good;
        b.replace(at, with.size(), with);
        return b;
    };
    auto withoutEnd = good.substr(0, good.size() - 8);
    std::string version3 = patched(8, std::string("\x03\x00", 2));
    struct Case {
        const char* name;
        std::string bytes;
        std::string error;
    };
    std::vector<Case> cases = {
        {"empty", "", "not a Veltrana document"},
        {"an RTF file", "{\\rtf1\\ansi hello}", "not a Veltrana document"},
        {"text-mode mangled magic", std::string("\x89VDF\n\x1a\n", 7) + good.substr(8), "not a Veltrana document"},
        {"NUL bytes", std::string(64, '\0'), "not a Veltrana document"},
        {"magic only", good.substr(0, 8), "damaged at byte 8"},
        {"header only", good.substr(0, 12), "damaged at byte 12"},
        {"newer major version", version3, "written by a newer version of the program (format 3)"},
        {"chunk longer than the file", patched(body + 4, "\xff\xff\xff\x7f"),
         "damaged at byte " + std::to_string(body + 4)},
        {"chunk one byte longer than the file",
         [&] {
             std::uint32_t n = 4;
             return patched(body + 4, std::string(reinterpret_cast<char*>(&n), 4)).substr(0, body + 8 + 3);
         }(),
         "damaged at byte " + std::to_string(body + 4)},
        {"style count larger than its bytes", patched(tsty + 8, "\xff\xff\xff\xff\x0f"),
         "damaged at byte " + std::to_string(tsty + 8)},
        {"overlong number", patched(tsty + 8, "\xff\xff\xff\xff\xff\x01"),
         "damaged at byte " + std::to_string(tsty + 8)},
        {"number above 32 bits in its fifth byte", patched(tsty + 8, "\xff\xff\xff\xff\x10"),
         "damaged at byte " + std::to_string(tsty + 8)},
        {"missing end chunk", withoutEnd, "damaged at byte " + std::to_string(withoutEnd.size())},
        {"second body chunk", insertChunk(good, "END ", chunk("BODY", "")),
         "damaged at byte " + std::to_string(good.size() - 8)},
    };

    // The compressed body: segments of `var` inflated size, `var` stream length, LZ4 stream.
    const std::string packed = writeRvf(largeDocument());
    const size_t zb = chunkOffset(packed, "ZBDY");
    const std::vector<Segment> segments = segmentsOf(payloadOf(packed, "ZBDY"));
    ASSERT_EQ(segments.size(), 1u);
    const std::uint32_t declared = segments[0].declared;
    const std::string stream = segments[0].stream;
    const std::string atSize = "damaged at byte " + std::to_string(zb + 8);
    auto withPacked = [&](std::uint32_t size, std::string_view s) {
        return replaceChunk(packed, "ZBDY", packedChunk(size, s));
    };
    auto atLength = [&](std::uint32_t size) {
        return "damaged at byte " + std::to_string(zb + 8 + varBytes(size).size());
    };
    auto atStream = [&](std::uint32_t size, size_t length) {
        return "damaged at byte " +
               std::to_string(zb + 8 + varBytes(size).size() + varBytes(std::uint32_t(length)).size());
    };
    const std::uint32_t cap = std::uint32_t(16 * stream.size());
    // A paragraph record claiming 127 bytes where there are none, compressed correctly.
    const std::string brokenBody("\x01\x7f\x00", 3);
    // A plain body cut into two segments inside its first block.
    const size_t bodyAt = chunkOffset(good, "BODY");
    const std::string plainBody = payloadOf(good, "BODY");
    const std::string splitBlock =
        replaceChunk(good, "BODY",
                     chunk("ZBDY", segment(2, lz4Literals(plainBody.substr(0, 2))) +
                                       segment(std::uint32_t(plainBody.size() - 2), lz4Literals(plainBody.substr(2)))));
    std::vector<Case> packedCases = {
        {"packed body: no segment", replaceChunk(packed, "ZBDY", chunk("ZBDY", "")), atSize},
        {"packed body: declared size zero", withPacked(0, stream), atSize},
        {"packed body: declared size overlong",
         replaceChunk(packed, "ZBDY",
                      chunk("ZBDY", std::string("\xff\xff\xff\xff\xff\x01", 6) +
                                        varBytes(std::uint32_t(stream.size())) + stream)),
         atSize},
        {"packed body: declared size one over the cap", withPacked(cap + 1, stream), atSize},
        {"packed body: declared size at the cap, stream inflates to less", withPacked(cap, stream),
         atStream(cap, stream.size())},
        {"packed body: declared size 4 GiB", withPacked(0xFFFFFFFF, stream), atSize},
        {"packed body: empty stream", withPacked(declared, ""), atSize},
        {"packed body: stream length beyond the chunk",
         replaceChunk(packed, "ZBDY",
                      chunk("ZBDY", varBytes(declared) + varBytes(std::uint32_t(stream.size() + 1)) + stream)),
         atLength(declared)},
        {"packed body: truncated stream", withPacked(declared, stream.substr(0, stream.size() - 7)),
         atStream(declared, stream.size() - 7)},
        {"packed body: stream inflates to more than declared", withPacked(declared - 1, stream),
         atStream(declared - 1, stream.size())},
        {"packed body: stream inflates to less than declared", withPacked(declared + 1, stream),
         atStream(declared + 1, stream.size())},
        {"packed body: stream with bytes after its end", withPacked(declared, stream + "\x10x"),
         atStream(declared, stream.size() + 2)},
        {"packed body: damage inside the inflated body", withPacked(3, lz4Literals(brokenBody)), atStream(3, 4)},
        {"packed body: segment ending inside a block", splitBlock, "damaged at byte " + std::to_string(bodyAt + 10)},
        {"packed body beside a plain body",
         insertChunk(good, "END ", packedChunk(3, lz4Literals(std::string("\x01\x00\x00", 3)))),
         "damaged at byte " + std::to_string(good.size() - 8)},
    };
    cases.insert(cases.end(), packedCases.begin(), packedCases.end());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DocModel back;
        RvfReadResult r = readRvf(c.bytes, back);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.error, c.error);
    }
}

TEST(RvfFormat, LargeBodiesAreStoredCompressed)
{
    struct Case {
        const char* name;
        DocModel doc;
        bool packed;
    };
    std::vector<Case> cases = {
        {"small body", fullDocument(), false},
        {"large body", largeDocument(), true},
        {"body of several segments", prose(3000), true},
        // Compresses far better than a reader accepts, so it is stored as it is.
        {"one megabyte of one letter", textOnly(std::vector<std::string>(2000, std::string(500, 'x'))), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = writeRvf(c.doc);
        EXPECT_EQ(bytes[8], c.packed ? 2 : 1);  // version-1 readers refuse what they cannot read whole
        EXPECT_EQ(chunkOffset(bytes, "ZBDY") != std::string::npos, c.packed);
        EXPECT_EQ(chunkOffset(bytes, "BODY") != std::string::npos, !c.packed);
        if (c.packed) {
            // Smaller than the text alone, which the uncompressed body holds whole.
            std::string payload = payloadOf(bytes, "ZBDY");
            EXPECT_LT(payload.size() * 3 / 2, c.doc.plainText().size());
            // Segments of whole blocks of about 256 kB: the reader's buffer is one segment.
            std::vector<Segment> segments = segmentsOf(payload);
            size_t body = 0;
            for (const Segment& sg : segments) {
                EXPECT_LT(sg.declared, (256u << 10) + 1024);
                body += sg.declared;
            }
            EXPECT_EQ(segments.size(), body / (256 << 10) + 1);
        }
        DocModel back;
        ASSERT_TRUE(readRvf(bytes, back).ok);
        EXPECT_TRUE(back == c.doc);
    }
    // Readers take a compressed body of any size, not only those this writer compresses.
    DocModel small = textOnly({"ab", "Ünï"});
    std::string plain = writeRvf(small);
    std::string body = payloadOf(plain, "BODY");
    std::string packed = replaceChunk(plain, "BODY", packedChunk(std::uint32_t(body.size()), lz4Literals(body)));
    packed[8] = 2;
    DocModel back;
    RvfReadResult r = readRvf(packed, back);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(back == small);
}

TEST(RvfFormat, HugeCountsAreRefusedBeforeAnythingIsReserved)
{
    // A table claiming 10^9 x 10^9 cells and a list table claiming 2^32-1 entries, in a few bytes.
    std::string base = writeRvf(DocModel{});
    std::string tableBlock = std::string("\x02", 1) + "\x0b" + "\x80\x94\xeb\xdc\x03" + "\x80\x94\xeb\xdc\x03" + "\x01";
    std::string lists = std::string("\xff\xff\xff\xff\x0f", 5);
    // A compressed body declaring 4 GiB and one declaring 16 times its stream plus one byte.
    std::string stream = lz4Literals(std::string(1000, '\x07'));
    for (const std::string& bytes :
         {insertChunk(base, "END ", chunk("BODY", tableBlock)).replace(chunkOffset(base, "BODY"), 8 + 0, ""),
          insertChunk(base, "END ", chunk("LIST", lists)), replaceChunk(base, "BODY", packedChunk(0xFFFFFFFF, stream)),
          replaceChunk(base, "BODY", packedChunk(std::uint32_t(16 * stream.size() + 1), stream))}) {
        PeakHeap heap;
        DocModel back;
        RvfReadResult r = readRvf(bytes, back);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.error.rfind("damaged at byte ", 0), 0u) << r.error;
        EXPECT_LT(heap.peak(), 64u * 1024);
    }
}

TEST(RvfFormat, ReadingNeverTakesMoreThanASmallMultipleOfTheInput)
{
    // Input built to cost the most memory per byte: many tiny records.
    auto emptyParagraphs = [] {
        std::string body;
        for (int i = 0; i < 100000; ++i)
            body += std::string("\x01\x02\x00\x00", 4);
        return body;
    };
    auto tinyRuns = [] {
        std::string para = std::string("\x00\x00", 2);
        for (int i = 0; i < 50000; ++i)
            para += std::string("\x01\x03\x00\x01x", 5);
        std::string len;
        for (std::uint32_t n = std::uint32_t(para.size());; n >>= 7) {
            if (n < 0x80) {
                len += char(n);
                break;
            }
            len += char((n & 0x7f) | 0x80);
        }
        return std::string("\x01", 1) + len + para;
    };
    auto wideTable = [] {
        std::string cells(200000, '\0');  // 1 x 200000 cells of no paragraph
        std::string t = std::string("\x01", 1) + "\xc0\x9a\x0c" + "\x01" + cells;
        std::string len;
        for (std::uint32_t n = std::uint32_t(t.size());; n >>= 7) {
            if (n < 0x80) {
                len += char(n);
                break;
            }
            len += char((n & 0x7f) | 0x80);
        }
        return std::string("\x02", 1) + len + t;
    };
    std::string base = writeRvf(DocModel{});
    for (const auto& [name, body] : std::vector<std::pair<const char*, std::string>>{
             {"empty paragraphs", emptyParagraphs()}, {"one-letter runs", tinyRuns()}, {"wide table", wideTable()}}) {
        SCOPED_TRACE(name);
        std::string bytes = base;
        size_t at = chunkOffset(bytes, "BODY");
        bytes.replace(at, 8, chunk("BODY", body));
        PeakHeap heap;
        DocModel back;
        RvfReadResult r = readRvf(bytes, back);
        ASSERT_TRUE(r.ok) << r.error;
        double ratio = double(heap.peak()) / double(bytes.size());
        std::printf("[ memory ] %s: %zu input bytes, peak %zu bytes (%.1fx)\n", name, bytes.size(), heap.peak(), ratio);
        EXPECT_LT(ratio, 40.0);
    }
}

TEST(RvfFormat, DocumentedFallbacks)
{
    DocModel m = fullDocument();
    m.blocks[1].paragraph.items[0].style = 99;  // text style that does not exist
    m.blocks[1].paragraph.style = 42;           // paragraph style that does not exist
    m.blocks[3].paragraph.list = 7;             // list that does not exist
    m.blocks[2].paragraph.items[0].index = 5;   // picture that does not exist
    std::string bytes = writeRvf(m);
    DocModel back;
    RvfReadResult r = readRvf(bytes, back);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(back.blocks[1].paragraph.items[0].style, 0);
    EXPECT_EQ(back.blocks[1].paragraph.style, 0);
    EXPECT_EQ(back.blocks[3].paragraph.list, -1);
    EXPECT_EQ(back.blocks[2].paragraph.items.size(), m.blocks[2].paragraph.items.size() - 1);
    EXPECT_EQ(back.blocks[2].paragraph.items[0].text, " between ");

    // Paragraph breaks and NUL inside a run become spaces.
    DocModel withBreaks = textOnly({std::string("a\nb\rc\0d", 7)});
    ASSERT_TRUE(readRvf(writeRvf(withBreaks), back).ok);
    EXPECT_EQ(back.plainText(), "a b c d\n");

    // Without style tables the starting sheet applies.
    std::string noStyles = bytes;
    size_t t = chunkOffset(noStyles, "TSTY");
    noStyles.replace(t, 4, "XXXX");
    size_t p = chunkOffset(noStyles, "PSTY");
    noStyles.replace(p, 4, "YYYY");
    r = readRvf(noStyles, back);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.unknownChunks, 2);
    EXPECT_TRUE(back.styles == DocStyles::standardSheet());
    EXPECT_EQ(back.blocks[1].paragraph.items[1].style, 0);  // style 6 is gone with the table

    // A picture format this version does not know keeps its number but has no bytes.
    std::string pict = writeRvf(fullDocument());
    size_t pc = chunkOffset(pict, "PICT");
    pict[pc + 8] = 9;
    r = readRvf(pict, back);
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(back.pictures[0].bytes.empty());
    EXPECT_EQ(back.pictures[1], fullDocument().pictures[1]);
}

TEST(RvfFormat, LaterVersionsAdditionsAreSkipped)
{
    const DocModel full = fullDocument();
    std::string good = writeRvf(full);
    DocModel back;
    // A chunk of an unknown kind, anywhere before the end.
    for (const char* before : {"TSTY", "BODY", "END "}) {
        SCOPED_TRACE(before);
        RvfReadResult r = readRvf(insertChunk(good, before, chunk("NEWK", std::string("\x00\x01\xff", 3))), back);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(r.unknownChunks, 1);
        EXPECT_TRUE(back == full);
    }
    // Unknown items, unknown blocks and extra fields at the end of a record.
    DocModel m = textOnly({"ab"});
    std::string b = writeRvf(m);
    // A paragraph with an item of unknown kind 9, a text item with two extra trailing fields,
    // then a block of unknown kind 7.
    std::string body = std::string("\x01", 1) + char(4 + 4 + 6) + std::string("\x00\x00", 2) +
                       std::string("\x09\x02zz", 4) +
                       std::string("\x01\x06\x00\x02"
                                   "ab"
                                   "\x07\x07",
                                   8) +
                       std::string("\x07\x03xyz", 5);
    size_t at = chunkOffset(b, "BODY");
    std::uint32_t oldLen;
    std::memcpy(&oldLen, b.data() + at + 4, 4);
    b.replace(at, 8 + oldLen, chunk("BODY", body));
    RvfReadResult r = readRvf(b, back);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(back.plainText(), "ab\n");
}

TEST(RvfFormat, OutOfRangeValuesAreClamped)
{
    DocModel m;
    m.styles.textStyles[0].size = 0;  // written as 0, read as the smallest size
    m.styles.paraStyles[0].leftIndent = -5;
    m.styles.paraStyles[0].firstIndent = -20000;
    m.layout.maxTextWidth = 1;  // less than the minimum
    DocModel back;
    ASSERT_TRUE(readRvf(writeRvf(m), back).ok);
    EXPECT_EQ(back.styles.textStyles[0].size, 1);
    EXPECT_EQ(back.styles.paraStyles[0].leftIndent, 0);
    EXPECT_EQ(back.styles.paraStyles[0].firstIndent, -10000);
    EXPECT_EQ(back.layout.maxTextWidth, back.layout.minTextWidth);
}

// Found by the fuzz target: a background chunk saying "no background" but carrying a colour
// read back differently after a second write.
TEST(RvfFormat, ReadWriteReadIsStableForABackgroundChunkWithoutBackground)
{
    std::string bytes = insertChunk(writeRvf(DocModel{}), "END ", chunk("BACK", std::string("\x00\x7b", 2)));
    DocModel once, twice;
    ASSERT_TRUE(readRvf(bytes, once).ok);
    EXPECT_FALSE(once.hasBackground);
    ASSERT_TRUE(readRvf(writeRvf(once), twice).ok);
    EXPECT_TRUE(once == twice);
}
