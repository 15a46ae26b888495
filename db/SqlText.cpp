#include "SqlText.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "DateTimeUtil.h"
#include "DbInternal.h"
#include "MysqlFunctions.h"
#include "TParam.h"
#include "TStringList.h"

namespace {

bool isQuote(char c) { return c == '\'' || c == '"' || c == '`'; }

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
    if (isSubstDelimiter(c)) {
        ++pos;
    } else if (c == '\'' || c == '"') {
        size_t i = pos + 1;
        while (i < text.size() && !(text[i] == c && text[i - 1] != '\\'))
            ++i;
        pos = i < text.size() ? i + 1 : text.size();
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
    size_t open = s.find("/*");
    if (open != std::string::npos && (open + 2 >= s.size() || s[open + 2] != '!')) {
        // Positions counted from 1; a missing "*/" counts as position 0.
        size_t close = s.find("*/");
        long closePos = close == std::string::npos ? 0 : static_cast<long>(close) + 1;
        long count = closePos + 2 - (static_cast<long>(open) + 1);
        if (count > 0) s.erase(open, static_cast<size_t>(count));
    }
    std::vector<std::string> lines = TStringList::SplitLines(s);
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        size_t p = lines[i].find("--");
        if (p != std::string::npos) lines[i].erase(p);
    }
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        size_t p = lines[i].find('#');
        if (p != std::string::npos) lines[i].erase(p);
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
    bool literal = false;
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == ':' && !literal) {
            if (i + 1 < text.size() && text[i + 1] == ':') {
                out += ':';
                i += 2;
                continue;
            }
            size_t end = i + 1;
            while (end < text.size() && (literal || !isScanDelimiter(text[end]))) {
                if (isQuote(text[end])) literal = !literal;
                ++end;
            }
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
        if (isQuote(c)) literal = !literal;
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
    if (ServerVersionNumber >= 32307 && name.find('`') == std::string::npos) return "`" + name + "`";
    return name;
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
