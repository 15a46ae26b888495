#pragma once
// The document as plain values: what the Veltrana Document Format stores and what the
// writers (RTF, HTML) read. The editor converts between this and its QTextDocument.
// Plain C++, no Qt, so that the format's reader can be fuzzed on its own.
// There is no kind for controls embedded in text: Qt's text engine has none and the program
// never creates one.

#include "richtext/DocStyles.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vt::rt {

// One item of a paragraph.
struct Item {
    enum class Kind : std::uint8_t {
        Text = 1,         // a run of text in text style `style`, with `link` when it is a hyperlink
        Picture = 2,      // picture `index` of DocModel::pictures, shown width x height
        ListPicture = 3,  // entry `index` of the picture list the application supplies
    };
    Kind kind = Kind::Text;
    int style = 0;     // text style of the run (for pictures: of the position)
    std::string text;  // UTF-8, no paragraph breaks
    std::string link;  // hyperlink target, UTF-8, may be empty
    int index = 0;     // picture or picture-list entry
    int width = 0;     // display size in engine units (1/96 inch); 0 = natural size
    int height = 0;

    bool operator==(const Item&) const = default;
};

struct Paragraph {
    int style = 0;  // paragraph style
    int list = -1;  // index into DocModel::lists, -1 when not a list item
    std::vector<Item> items;

    bool operator==(const Paragraph&) const = default;
};

enum class ListKind : int {
    Disc = 1,
    Circle = 2,
    Square = 3,
    Decimal = 4,
    LowerAlpha = 5,
    UpperAlpha = 6,
    LowerRoman = 7,
    UpperRoman = 8
};

struct ListDef {
    ListKind kind = ListKind::Disc;
    int level = 1;  // nesting level, 1..8
    bool operator==(const ListDef&) const = default;
};

struct Table;

// The body is a sequence of blocks: paragraphs and tables.
struct Block {
    enum class Kind : std::uint8_t { Paragraph = 1, Table = 2 };
    Kind kind = Kind::Paragraph;
    Paragraph paragraph;  // when Kind::Paragraph
    int table = -1;       // index into DocModel::tables when Kind::Table
    bool operator==(const Block&) const = default;
};

// A simple table: rows x columns of cells, each cell a list of paragraphs (row-major).
struct Table {
    int rows = 0;
    int columns = 0;
    int border = 1;  // border width, engine units
    std::vector<std::vector<Paragraph>> cells;
    bool operator==(const Table&) const = default;
};

enum class PictureFormat : int { Png = 1, Jpeg = 2 };

struct Picture {
    PictureFormat format = PictureFormat::Png;
    std::string bytes;  // the encoded file as stored
    bool operator==(const Picture&) const = default;
};

// Layout of the page in the editor, engine units.
struct Layout {
    int leftMargin = 72;
    int rightMargin = 72;
    int topMargin = 4;
    int bottomMargin = 4;
    int minTextWidth = 672;  // 0 = follow the window
    int maxTextWidth = 672;
    bool operator==(const Layout&) const = default;
};

struct Property {
    std::string name;
    std::string value;
    bool operator==(const Property&) const = default;
};

struct DocModel {
    DocStyles styles = DocStyles::standardSheet();
    std::vector<ListDef> lists;
    std::vector<Table> tables;
    std::vector<Picture> pictures;
    std::vector<Block> blocks;
    bool hasBackground = false;
    std::uint32_t background = 0xFFFFFF;
    Layout layout;
    std::vector<Property> properties;  // title, author, ... in the order given

    bool operator==(const DocModel&) const = default;

    // Text items, pictures and picture-list entries in the body (0 for an empty document).
    int itemCount() const;
    // The plain text, paragraphs separated by '\n' (table cells too), for tests and search.
    std::string plainText() const;
};

}  // namespace vt::rt
