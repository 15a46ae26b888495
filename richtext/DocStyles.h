#pragma once
// The numbered style sheet of a rich-text document: text styles (character formatting) and
// paragraph styles. Every run of text in a document carries exactly one text-style number and
// every paragraph exactly one paragraph-style number; numbers index these tables.
// Styles are never edited in place by formatting commands: a command copies a style, changes
// the copy and asks the sheet for an equal style (findOrAppend), so the sheet only grows with
// combinations never used before. Plain C++, no Qt: the document format reads and writes it.

#include <cstdint>
#include <string>
#include <vector>

namespace vt::rt {

// Colours are 0xRRGGBB.
struct TextStyle {
    std::string name;  // display name, UTF-8; not compared by equalTo()
    std::string fontName = "Arial";
    int size = 10;  // points, 1..1638
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    std::uint32_t color = 0x000000;
    bool transparentBack = true;  // no background colour
    std::uint32_t backColor = 0xFFFFFF;
    int charset = 0;         // font character set (0 = ANSI, 1 = default, 238 = east European, ...)
    bool hypertext = false;  // a "Jump" style: runs in it are links
    bool standard = true;    // false for styles appended after the starting sheet

    // Equal in every formatting property (name and the standard flag are not properties).
    bool equalTo(const TextStyle& o) const;
};

enum class Alignment : int { Left = 0, Right = 1, Center = 2, Justify = 3 };

// Indents and spacing are in engine units: 1/96 inch.
struct ParaStyle {
    std::string name;
    Alignment alignment = Alignment::Left;
    int leftIndent = 0;
    int rightIndent = 0;
    int firstIndent = 0;  // first-line indent relative to leftIndent, may be negative
    int spaceBefore = 0;
    int spaceAfter = 0;
    bool standard = true;

    bool equalTo(const ParaStyle& o) const;
};

bool operator==(const TextStyle& a, const TextStyle& b);  // all members, names included
bool operator==(const ParaStyle& a, const ParaStyle& b);

class DocStyles {
public:
    // The starting sheet: text 0 "Normal text", 1 "Heading", 2 "Subheading", 3 "Keywords",
    // 4 "Jump 1", 5 "Jump 2"; paragraph 0 "Paragraph Style", 1 "Centered".
    static DocStyles standardSheet();

    std::vector<TextStyle> textStyles;
    std::vector<ParaStyle> paraStyles;

    int textCount() const { return int(textStyles.size()); }
    int paraCount() const { return int(paraStyles.size()); }
    // Style n, or style 0 when n does not exist (the sheet always has a style 0).
    const TextStyle& text(int n) const;
    const ParaStyle& para(int n) const;

    // Number of the first style equal to s in all properties, or -1.
    int findText(const TextStyle& s) const;
    int findPara(const ParaStyle& s) const;
    // Appends s marked as not standard; returns its number.
    int appendText(TextStyle s);
    int appendPara(ParaStyle s);
    // The conversion answer: an equal style's number, or the number of a newly appended copy.
    int findOrAppendText(const TextStyle& s);
    int findOrAppendPara(const ParaStyle& s);

    bool operator==(const DocStyles&) const = default;
};

}  // namespace vt::rt
