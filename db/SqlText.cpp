#include "db/SqlText.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "db/DateTimeUtil.h"
#include "db/DbInternal.h"
#include "protocol/MysqlFunctions.h"
#include "db/TParam.h"
#include "db/TStringList.h"

namespace {

bool isQuote(char c) { return c == '\'' || c == '"' || c == '`'; }

// The index just after the quoted literal that starts at s[i] (a quote character), or the
// end of the text when it is not closed. Each quote kind is its own literal: a doubled
// quote stands for itself, and in single- and double-quoted strings a backslash escapes the
// next character (as the server reads them); back-quoted names know no backslash escape.
size_t skipLiteral(std::string_view s, size_t i) {
    const char q = s[i++];
    while (i < s.size()) {
        const char c = s[i];
        if (c == '\\' && q != '`') {
            i += 2;
            continue;
        }
        if (c == q) {
            if (i + 1 < s.size() && s[i + 1] == q) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return s.size();
}

bool lineCommentAt(std::string_view s, size_t i) {
    return s[i] == '#' || (s[i] == '-' && i + 1 < s.size() && s[i + 1] == '-');
}

// Scans one line that starts inside the literal opened by quote (0: outside any), leaving
// in quote the literal still open at its end. Returns where a line comment ("--" or "#"
// outside literals) starts, or npos.
size_t scanLine(std::string_view line, char& quote) {
    size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (quote) {
            if (c == '\\' && quote != '`') {
                i += 2;
            } else if (c == quote && i + 1 < line.size() && line[i + 1] == quote) {
                i += 2;
            } else {
                if (c == quote) quote = 0;
                ++i;
            }
        } else if (isQuote(c)) {
            quote = c;
            ++i;
        } else if (lineCommentAt(line, i)) {
            return i;
        } else {
            ++i;
        }
    }
    return std::string_view::npos;
}

// The first "/*" that stands outside quoted literals and line comments, or npos.
size_t findBlockComment(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        if (isQuote(s[i])) {
            i = skipLiteral(s, i);
        } else if (lineCommentAt(s, i)) {
            i = s.find_first_of("\r\n", i);
            if (i == std::string_view::npos) return i;
        } else if (s[i] == '/' && i + 1 < s.size() && s[i + 1] == '*') {
            return i;
        } else {
            ++i;
        }
    }
    return std::string_view::npos;
}

bool isScanDelimiter(char c) {
    return c == '\n' || c == '\r' || c == ' ' || c == ')' || c == ',' || c == ';';
}

bool isSubstDelimiter(char c) {
    static const char delimiters[] = " .:;,+-<>/*%^=()[]|&~@#$\\`{}!?\n\r";
    return c != 0 && std::strchr(delimiters, c) != nullptr;
}

// Reads one token of the substitution from the front of text at pos.
std::string readToken(const std::string& text, size_t& pos) {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
    if (pos >= text.size()) return {};
    size_t start = pos;
    char c = text[pos];
    if (isQuote(c)) {
        // A quoted literal or name is one token, kept exactly as written.
        pos = skipLiteral(text, pos);
    } else if (isSubstDelimiter(c)) {
        ++pos;
    } else {
        while (pos < text.size() && !isSubstDelimiter(text[pos]) && text[pos] != '\'' && text[pos] != '"')
            ++pos;
    }
    return text.substr(start, pos - start);
}

std::string zeroPad(int v, int width) {
    std::string s = std::to_string(v);
    if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<size_t>(width) - s.size(), '0');
    return s;
}

std::string dateText(double value) {
    if (std::trunc(value) == 0) return "0000-00-00";
    int y, m, d;
    DecodeDate(value, y, m, d);
    return zeroPad(y, 4) + "-" + zeroPad(m, 2) + "-" + zeroPad(d, 2);
}

std::string timeText(double value) {
    int h, n, s, ms;
    DecodeTime(value, h, n, s, ms);
    return zeroPad(h, 2) + ":" + zeroPad(n, 2) + ":" + zeroPad(s, 2);
}

} // namespace

std::string CleanComments(const std::string& text) {
    std::string s = text;
    // The first block comment, unless it is an optimizer hint "/*!". Quoted literals are
    // opaque: a "/*" or "*/" inside a value never removes anything.
    size_t open = findBlockComment(s);
    if (open != std::string::npos && (open + 2 >= s.size() || s[open + 2] != '!')) {
        size_t close = s.find("*/", open + 2);
        if (close != std::string::npos) {
            s.erase(open, close + 2 - open);
        } else if (open == 0) {
            // An unclosed comment at the very start loses its first character only.
            s.erase(0, 1);
        }
    }
    // Line comments ("--" or "#" to the end of the line) outside literals, on every line but
    // the last. A literal may run over line breaks, so its state carries from line to line.
    std::vector<std::string> lines = TStringList::SplitLines(s);
    char literal = 0;
    for (size_t n = 0; n < lines.size(); ++n) {
        size_t comment = scanLine(lines[n], literal);
        if (comment != std::string::npos && n + 1 < lines.size()) lines[n].erase(comment);
    }
    std::string out;
    for (const auto& l : lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

std::string ScanParams(const std::string& text, TParams* created) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (isQuote(c)) {
            // Inside a literal nothing is a marker.
            size_t end = skipLiteral(text, i);
            out.append(text, i, end - i);
            i = end;
            continue;
        }
        if (c == ':') {
            if (i + 1 < text.size() && text[i + 1] == ':') {
                out += ':';
                i += 2;
                continue;
            }
            // The name runs to a delimiter; a delimiter inside quotes belongs to it.
            size_t end = i + 1;
            while (end < text.size() && !isScanDelimiter(text[end]))
                end = isQuote(text[end]) ? skipLiteral(text, end) : end + 1;
            std::string name = text.substr(i + 1, end - i - 1);
            if (!name.empty() && isQuote(name[0])) {
                name.erase(0, 1);
                if (!name.empty() && isQuote(name.back())) name.pop_back();
            }
            if (created) created->Add(name);
            out += '?';
            i = end;
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

std::string SubstituteParams(const std::string& text, const TParams& params) {
    std::string out;
    out.reserve(text.size() + 64);
    size_t pos = 0;
    while (pos < text.size()) {
        if (!out.empty() && (text[pos] == ' ' || text[pos] == '\t')) out += ' ';
        std::string token = readToken(text, pos);
        if (token != ":") {
            out += token;
            continue;
        }
        std::string name = readToken(text, pos);
        if (!name.empty() && name[0] == '[') {
            name.erase(0, 1);
            if (!name.empty() && name.back() == ']') name.pop_back();
        } else if (!name.empty() && (name[0] == '\'' || name[0] == '"')) {
            char q = name[0];
            name.erase(0, 1);
            if (!name.empty() && name.back() == q) name.pop_back();
        }
        out += RenderParam(params.ParamByName(name));
    }
    size_t first = 0, last = out.size();
    while (first < last && static_cast<unsigned char>(out[first]) <= ' ')
        ++first;
    while (last > first && static_cast<unsigned char>(out[last - 1]) <= ' ')
        --last;
    return out.substr(first, last - first);
}

std::string RenderParam(const TParam& param) {
    const Variant& v = param.Value();
    switch (v.Kind()) {
    case VarKind::Empty:
    case VarKind::Null:
        return "NULL";
    case VarKind::Smallint:
    case VarKind::Integer:
    case VarKind::Byte:
        return std::to_string(v.RawInt());
    case VarKind::Single:
    case VarKind::Double:
    case VarKind::Currency:
        return FloatToStrGeneral(v.RawDouble(), '.');
    case VarKind::DateTime: {
        double d = v.RawDouble();
        if (param.DataType() == ftDate) return "'" + dateText(d) + "'";
        if (param.DataType() == ftTime)
            return d - std::trunc(d) == 0 ? "'00:00:00'" : "'" + timeText(d) + "'";
        // ftDateTime, and any other type set beforehand: the full form.
        if (std::trunc(d) == 0) return "'0000-00-00 00:00:00'";
        return "'" + dateText(d) + " " + timeText(d) + "'";
    }
    case VarKind::Boolean:
        return v.RawInt() ? "'Y'" : "'N'";
    case VarKind::String:
    case VarKind::WideString:
        return "'" + EscapeText(v.RawText()) + "'";
    default:  // 64-bit integer, shortint, word, longword
        return "'" + EscapeText(v.AsString()) + "'";
    }
}

std::string QuoteIdentifier(const std::string& name) {
    if (ServerVersionNumber < 32307) return name;
    // A back quote inside the name is doubled, so any name the server knows can be probed.
    std::string out = "`";
    for (char c : name) {
        if (c == '`') out += '`';
        out += c;
    }
    return out + "`";
}

namespace {

struct SqlToken {
    enum Kind { End, Word, Quoted, Dot, Other } kind = End;
    std::string text;
};

class TableNameLexer {
public:
    explicit TableNameLexer(const std::string& s) : m_text(&s) {}
    SqlToken next() {
        const std::string& m_s = *m_text;
        for (;;) {
            while (m_pos < m_s.size() && isSeparator(m_s[m_pos]))
                ++m_pos;
            if (m_pos >= m_s.size()) return {};
            if (m_s.compare(m_pos, 2, "/*") == 0) {
                size_t e = m_s.find("*/", m_pos + 2);
                m_pos = e == std::string::npos ? m_s.size() : e + 2;
                continue;
            }
            if (m_s.compare(m_pos, 2, "//") == 0) {
                size_t e = m_s.find_first_of("\r\n", m_pos);
                m_pos = e == std::string::npos ? m_s.size() : e;
                continue;
            }
            break;
        }
        char c = m_s[m_pos];
        SqlToken t;
        if (isQuote(c)) {
            t.kind = SqlToken::Quoted;
            ++m_pos;
            while (m_pos < m_s.size()) {
                if (m_s[m_pos] == c) {
                    if (m_pos + 1 < m_s.size() && m_s[m_pos + 1] == c) {
                        t.text += c;
                        m_pos += 2;
                        continue;
                    }
                    ++m_pos;
                    break;
                }
                t.text += m_s[m_pos++];
            }
            return t;
        }
        if (c == '.') {
            ++m_pos;
            t.kind = SqlToken::Dot;
            t.text = ".";
            return t;
        }
        if (std::strchr("<>=!;+-*/%", c)) {
            size_t start = m_pos++;
            while (m_pos < m_s.size() && std::strchr("<>=", m_s[m_pos]))
                ++m_pos;
            t.kind = SqlToken::Other;
            t.text = m_s.substr(start, m_pos - start);
            return t;
        }
        size_t start = m_pos;
        while (m_pos < m_s.size() && !isSeparator(m_s[m_pos]) && !isQuote(m_s[m_pos]) &&
               !std::strchr(".<>=!;+-*/%", m_s[m_pos]))
            ++m_pos;
        t.text = m_s.substr(start, m_pos - start);
        t.kind = (t.text[0] >= '0' && t.text[0] <= '9') ? SqlToken::Other : SqlToken::Word;
        return t;
    }

private:
    static bool isSeparator(char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '(' || c == ')' || c == ',';
    }
    const std::string* m_text;
    size_t m_pos = 0;
};

} // namespace

std::string TableNameOfStatement(const std::string& sql) {
    TableNameLexer lex(sql);
    // Up to the first FROM; SHOW before it means no table.
    for (;;) {
        SqlToken t = lex.next();
        if (t.kind == SqlToken::End) return {};
        if (t.kind != SqlToken::Word) continue;
        std::string up = upperCase(t.text);
        if (up == "SHOW") return {};
        if (up == "FROM") break;
    }
    static const char* const stops[] = {"SELECT", "WHERE", "GROUP", "HAVING", "UNION",
                                        "PLAN", "ORDER", "FOR", "SHOW"};
    for (;;) {
        SqlToken t = lex.next();
        if (t.kind == SqlToken::End) return {};
        if (t.kind == SqlToken::Word) {
            std::string up = upperCase(t.text);
            bool stop = false;
            for (const char* s : stops)
                if (up == s) stop = true;
            if (stop) return {};
        }
        if (t.kind != SqlToken::Word && t.kind != SqlToken::Quoted) continue;
        std::string name = QuoteIdentifier(t.text);
        // Parts joined by "." follow directly: a.b, `a`.`b`.
        for (;;) {
            TableNameLexer probe = lex;
            SqlToken dot = probe.next();
            if (dot.kind != SqlToken::Dot) break;
            SqlToken part = probe.next();
            if (part.kind != SqlToken::Word && part.kind != SqlToken::Quoted) break;
            name += "." + QuoteIdentifier(part.text);
            lex = probe;
        }
        return name;
    }
}

std::string EscapeText(std::string_view text)
{
    return EscapeString(text);
}
