#pragma once
// The server field as a list: "host[:port]" entries separated by commas, tried in order.
// An IPv6 address goes in brackets ("[::1]:3307"). Also the rules that decide which failed
// statements may run again on another server.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct ServerAddress {
    std::string host;
    uint32_t port = 0;
    // "host:port", IPv6 addresses in brackets; used in messages.
    std::string Text() const;
};

struct ServerListParse {
    std::vector<ServerAddress> servers;
    std::string error;  // empty when the whole text was understood
};

// Splits text at commas; blanks around entries are ignored and empty entries skipped. An entry
// without a port gets defaultPort. A bad entry (a port that is not 1 to 65535, an empty host,
// an IPv6 address without brackets) gives no servers and a message naming it.
ServerListParse ParseServerList(std::string_view text, uint32_t defaultPort);

// A statement that changes nothing more when it runs twice: a read, a session SET, or an
// UPDATE that assigns only constants to a row picked by "column = constant" conditions.
// Anything else (an insert, "x = x + 1", a function call) may not be repeated after its
// answer was lost.
bool IsRepeatableStatement(std::string_view sql);
