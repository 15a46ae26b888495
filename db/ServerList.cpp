#include "db/ServerList.h"

#include <cctype>

#include "protocol/TMysqlClient.h"

std::string ServerAddress::Text() const
{
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

namespace {

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

// "1" .. "65535" in decimal digits only.
bool parsePort(std::string_view text, uint32_t& port)
{
    if (text.empty() || text.size() > 5) return false;
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + uint32_t(c - '0');
    }
    if (value < 1 || value > 65535) return false;
    port = value;
    return true;
}

// One entry; returns the reason when it is not a server address.
std::string parseEntry(std::string_view entry, uint32_t defaultPort, ServerAddress& out)
{
    std::string_view host = entry, port;
    bool hasPort = false;
    if (!entry.empty() && entry.front() == '[') {
        const size_t close = entry.find(']');
        if (close == std::string_view::npos) return "a '[' without its ']'";
        host = entry.substr(1, close - 1);
        std::string_view rest = entry.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') return "text after ']' that is not a port";
            port = rest.substr(1);
            hasPort = true;
        }
    } else if (const size_t colon = entry.find(':'); colon != std::string_view::npos) {
        if (entry.find(':', colon + 1) != std::string_view::npos)
            return "an IPv6 address must be written in brackets, as [::1]:3306";
        host = entry.substr(0, colon);
        port = entry.substr(colon + 1);
        hasPort = true;
    }
    host = trimmed(host);
    if (host.empty()) return "no host name";
    for (char c : host)
        if (std::isspace(static_cast<unsigned char>(c)) || c == '[' || c == ']' || c == '/')
            return "a host name with a space or bracket";
    out.host = std::string(host);
    out.port = defaultPort == 0 ? 3306 : defaultPort;
    if (hasPort && !parsePort(trimmed(port), out.port)) return "a port that is not 1 to 65535";
    return {};
}

}  // namespace

ServerListParse ParseServerList(std::string_view text, uint32_t defaultPort)
{
    ServerListParse result;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string_view::npos) comma = text.size();
        const std::string_view entry = trimmed(text.substr(start, comma - start));
        start = comma + 1;
        if (entry.empty()) continue;
        ServerAddress address;
        const std::string reason = parseEntry(entry, defaultPort, address);
        if (!reason.empty()) {
            result.servers.clear();
            result.error = "The server entry \"" + std::string(entry.substr(0, 100)) + "\" is not valid: " + reason +
                           ". Give the servers as host or host:port, separated by commas.";
            return result;
        }
        result.servers.push_back(std::move(address));
    }
    if (result.servers.empty()) result.error = "No server is given.";
    return result;
}

// ---------------------------------------------------------------------------------------
// Repeatable statements

namespace {

// A small tokenizer over a statement: words, numbers, quoted strings, punctuation.
struct Tokens {
    std::string_view s;
    size_t i = 0;

    void skipBlank()
    {
        while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
            ++i;
    }
    bool atEnd()
    {
        skipBlank();
        if (i < s.size() && s[i] == ';') {
            size_t j = i + 1;
            while (j < s.size() && std::isspace(static_cast<unsigned char>(s[j])))
                ++j;
            return j == s.size();
        }
        return i == s.size();
    }
    // A case-insensitive keyword followed by no name character.
    bool word(std::string_view w)
    {
        skipBlank();
        if (s.size() - i < w.size()) return false;
        for (size_t k = 0; k < w.size(); ++k)
            if (std::tolower(static_cast<unsigned char>(s[i + k])) != w[k]) return false;
        const size_t end = i + w.size();
        if (end < s.size() && (std::isalnum(static_cast<unsigned char>(s[end])) || s[end] == '_')) return false;
        i = end;
        return true;
    }
    bool punct(char c)
    {
        skipBlank();
        if (i < s.size() && s[i] == c) {
            ++i;
            return true;
        }
        return false;
    }
    // A plain or back-quoted name, optionally qualified ("db.table").
    bool name()
    {
        skipBlank();
        bool any = false;
        for (;;) {
            if (i < s.size() && s[i] == '`') {
                const size_t close = s.find('`', i + 1);
                if (close == std::string_view::npos) return false;
                i = close + 1;
            } else {
                const size_t from = i;
                while (i < s.size() && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '_'))
                    ++i;
                if (i == from) return false;
            }
            any = true;
            if (i < s.size() && s[i] == '.') {
                ++i;
                continue;
            }
            return any;
        }
    }
    // A number, a quoted string (with backslash and doubled-quote escapes) or NULL.
    bool constant()
    {
        skipBlank();
        if (i >= s.size()) return false;
        const char c = s[i];
        if (c == '\'' || c == '"') {
            for (size_t j = i + 1; j < s.size(); ++j) {
                if (s[j] == '\\') {
                    ++j;
                } else if (s[j] == c) {
                    if (j + 1 < s.size() && s[j + 1] == c) {
                        ++j;
                        continue;
                    }
                    i = j + 1;
                    return true;
                }
            }
            return false;
        }
        if (c == '-' || c == '+' || std::isdigit(static_cast<unsigned char>(c))) {
            size_t j = i + ((c == '-' || c == '+') ? 1 : 0);
            const size_t digits = j;
            while (j < s.size() && (std::isdigit(static_cast<unsigned char>(s[j])) || s[j] == '.'))
                ++j;
            if (j == digits) return false;
            if (j < s.size() && (std::isalpha(static_cast<unsigned char>(s[j])) || s[j] == '_')) return false;
            i = j;
            return true;
        }
        return word("null");
    }
};

bool repeatableUpdate(std::string_view sql)
{
    Tokens t{sql};
    if (!t.word("update") || !t.name() || !t.word("set")) return false;
    do {
        if (!t.name() || !t.punct('=') || !t.constant()) return false;
    } while (t.punct(','));
    if (!t.word("where")) return false;
    do {
        if (!t.name() || !t.punct('=') || !t.constant()) return false;
    } while (t.word("and"));
    return t.atEnd();
}

}  // namespace

bool IsRepeatableStatement(std::string_view sql)
{
    if (IsReadOnlyStatement(sql)) return true;
    Tokens t{sql};
    if (t.word("set")) {
        // A session setting; a global one or a user variable computed from itself is not
        // certain to be the same after a second run, so only plain assignments of constants.
        if (t.word("global") || t.word("password")) return false;
        if (t.word("names")) return true;
        t.word("session");
        do {
            t.skipBlank();
            if (t.i < t.s.size() && t.s[t.i] == '@') {
                t.i += (t.s.substr(t.i, 2) == "@@") ? 2 : 1;
                if (t.word("global")) return false;
                t.word("session");
                t.punct('.');
            }
            if (!t.name() || !t.punct('=') || !t.constant()) return false;
        } while (t.punct(','));
        return t.atEnd();
    }
    return repeatableUpdate(sql);
}
