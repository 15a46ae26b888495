#include "richtext/DocStyles.h"

#include <tuple>

namespace vt::rt {

namespace {
auto textProps(const TextStyle& s)
{
    // The background colour only matters when there is one.
    return std::tie(s.fontName, s.size, s.bold, s.italic, s.underline, s.strikeOut, s.color, s.transparentBack,
                    s.charset, s.hypertext);
}
auto paraProps(const ParaStyle& s)
{
    return std::tie(s.alignment, s.leftIndent, s.rightIndent, s.firstIndent, s.spaceBefore, s.spaceAfter);
}
}  // namespace

bool TextStyle::equalTo(const TextStyle& o) const
{
    return textProps(*this) == textProps(o) && (transparentBack || backColor == o.backColor);
}

bool ParaStyle::equalTo(const ParaStyle& o) const { return paraProps(*this) == paraProps(o); }

bool operator==(const TextStyle& a, const TextStyle& b)
{
    return a.equalTo(b) && a.name == b.name && a.standard == b.standard && a.backColor == b.backColor;
}
bool operator==(const ParaStyle& a, const ParaStyle& b)
{
    return a.equalTo(b) && a.name == b.name && a.standard == b.standard;
}

DocStyles DocStyles::standardSheet()
{
    DocStyles d;
    auto text = [&](const char* name, bool bold, bool italic, bool underline, std::uint32_t color, bool hyper) {
        TextStyle s;
        s.name = name;
        s.bold = bold;
        s.italic = italic;
        s.underline = underline;
        s.color = color;
        s.hypertext = hyper;
        d.textStyles.push_back(s);
    };
    text("Normal text", false, false, false, 0x000000, false);
    text("Heading", true, false, false, 0x0000FF, false);
    text("Subheading", true, false, false, 0x000080, false);
    text("Keywords", false, true, false, 0x800000, false);
    text("Jump 1", false, false, true, 0x008000, true);
    text("Jump 2", false, false, true, 0x008000, true);
    ParaStyle p;
    p.name = "Paragraph Style";
    d.paraStyles.push_back(p);
    p.name = "Centered";
    p.alignment = Alignment::Center;
    d.paraStyles.push_back(p);
    return d;
}

const TextStyle& DocStyles::text(int n) const
{
    return (n >= 0 && n < textCount()) ? textStyles[size_t(n)] : textStyles.at(0);
}
const ParaStyle& DocStyles::para(int n) const
{
    return (n >= 0 && n < paraCount()) ? paraStyles[size_t(n)] : paraStyles.at(0);
}

int DocStyles::findText(const TextStyle& s) const
{
    for (int i = 0; i < textCount(); ++i)
        if (textStyles[size_t(i)].equalTo(s)) return i;
    return -1;
}
int DocStyles::findPara(const ParaStyle& s) const
{
    for (int i = 0; i < paraCount(); ++i)
        if (paraStyles[size_t(i)].equalTo(s)) return i;
    return -1;
}
int DocStyles::appendText(TextStyle s)
{
    s.standard = false;
    textStyles.push_back(std::move(s));
    return textCount() - 1;
}
int DocStyles::appendPara(ParaStyle s)
{
    s.standard = false;
    paraStyles.push_back(std::move(s));
    return paraCount() - 1;
}
int DocStyles::findOrAppendText(const TextStyle& s)
{
    int n = findText(s);
    return n >= 0 ? n : appendText(s);
}
int DocStyles::findOrAppendPara(const ParaStyle& s)
{
    int n = findPara(s);
    return n >= 0 ? n : appendPara(s);
}

}  // namespace vt::rt
