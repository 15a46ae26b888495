#pragma once
// Bounds-checked reading and the parse routines of the server's packets. Every routine
// works on one payload given as a byte span and never reads past its end: a short or
// hostile packet sets the reader's failed flag instead. The client and the fuzz targets
// share these routines.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/TMysqlResult.h"

namespace mysqlpkt {

// Limits of the packet layer.
constexpr uint32_t MaxBufferSize = 16777216;  // the buffer never grows to this size
constexpr uint32_t MaxPayload = 16777214;     // largest payload written or received
constexpr uint32_t InitialBufferSize = 8192;
constexpr int PacketTooLarge = 1153;  // internal marker, reported as 2020

// Client error codes.
enum ClientError : int {
    CR_UNKNOWN_ERROR = 2000,
    CR_CONNECTION_ERROR = 2003,
    CR_IPSOCK_ERROR = 2004,
    CR_UNKNOWN_HOST = 2005,
    CR_SERVER_GONE_ERROR = 2006,
    CR_VERSION_ERROR = 2007,
    CR_OUT_OF_MEMORY = 2008,
    CR_SERVER_HANDSHAKE_ERR = 2012,
    CR_SERVER_LOST = 2013,
    CR_COMMANDS_OUT_OF_SYNC = 2014,
    CR_NET_PACKET_TOO_LARGE = 2020,
    CR_SSL_CONNECTION_ERROR = 2026,  // TLS required but not offered, refused or failed
    CR_SECURE_AUTH = 2049,           // the old (pre-4.1) scramble asked for and refused
};

// Commands.
enum Command : uint8_t { COM_QUIT = 1, COM_INIT_DB = 2, COM_QUERY = 3, COM_PING = 14 };

constexpr uint64_t NullLength = ~uint64_t(0);  // a length-coded NULL (251)

// A cursor over one payload. Every getter checks the remaining length; reading past the
// end sets failed() and yields 0 / an empty view from then on.
class PacketReader {
public:
    PacketReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    PacketReader(std::string_view s) : m_data(reinterpret_cast<const uint8_t*>(s.data())), m_size(s.size()) {}

    bool failed() const { return m_failed; }
    size_t remaining() const { return m_size - m_pos; }
    size_t position() const { return m_pos; }
    bool atEnd() const { return m_pos >= m_size; }
    const uint8_t* current() const { return m_data + m_pos; }

    uint8_t u8() { return uint8_t(fixed(1)); }
    uint16_t u16() { return uint16_t(fixed(2)); }
    uint32_t u24() { return uint32_t(fixed(3)); }
    uint32_t u32() { return uint32_t(fixed(4)); }
    uint64_t u64() { return fixed(8); }

    // Little-endian number of n bytes (n <= 8).
    uint64_t fixed(size_t n)
    {
        if (!take(n)) return 0;
        uint64_t v = 0;
        for (size_t i = 0; i < n; ++i)
            v |= uint64_t(m_data[m_pos - n + i]) << (8 * i);
        return v;
    }

    // Length-coded number; NullLength for the NULL marker 251.
    uint64_t lengthCoded()
    {
        if (!take(1)) return 0;
        uint8_t b = m_data[m_pos - 1];
        if (b < 251) return b;
        if (b == 251) return NullLength;
        if (b == 252) return fixed(2);
        if (b == 253) return fixed(3);
        return fixed(8);
    }

    // n bytes as a view; empty and failed when fewer remain.
    std::string_view bytes(uint64_t n)
    {
        if (n > remaining()) {
            fail();
            return {};
        }
        std::string_view v(reinterpret_cast<const char*>(m_data + m_pos), size_t(n));
        m_pos += size_t(n);
        return v;
    }

    // Length-coded string. isNull tells a NULL marker apart from an empty string.
    std::string_view lengthCodedString(bool* isNull = nullptr)
    {
        uint64_t n = lengthCoded();
        if (isNull) *isNull = (n == NullLength && !m_failed);
        if (n == NullLength || m_failed) return {};
        return bytes(n);
    }

    // Text up to the next 0 byte (consumed) or up to the end of the payload.
    std::string_view zeroTerminated()
    {
        const uint8_t* start = m_data + m_pos;
        const void* z = std::memchr(start, 0, remaining());
        size_t n = z ? size_t(static_cast<const uint8_t*>(z) - start) : remaining();
        m_pos += n + (z ? 1 : 0);
        return {reinterpret_cast<const char*>(start), n};
    }

    std::string_view rest() { return bytes(remaining()); }
    void skip(size_t n) { (void)bytes(n); }
    void fail()
    {
        m_failed = true;
        m_pos = m_size;
    }

private:
    bool take(size_t n)
    {
        if (m_failed || n > remaining()) {
            fail();
            return false;
        }
        m_pos += n;
        return true;
    }
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
    bool m_failed = false;
};

// Appends a length-coded number.
void appendLengthCoded(std::string& out, uint64_t v);

// End-of-data packet: first byte 254 and shorter than 8 bytes.
inline bool isEofPacket(const uint8_t* p, size_t n) { return n > 0 && n < 8 && p[0] == 254; }

// The server greeting (packet 0).
struct Greeting {
    uint8_t protocolVersion = 0;
    std::string serverVersion;
    uint32_t connectionId = 0;
    std::string scramble;  // first part followed by the second, at most 20 bytes
    uint32_t serverCapabilities = 0;
    uint32_t serverStatus = 2;
    bool hasStatus = false;
};
// Reads a greeting. False when the payload is too short to hold the fields that are always
// taken (version byte, version text, connection id, first scramble part).
bool parseGreeting(const uint8_t* p, size_t n, Greeting& g);

// Error packet (first byte 255): the code and message as the protocol version gives them.
struct ServerError {
    int code = 0;
    std::string message;
};
ServerError parseErrorPacket(const uint8_t* p, size_t n, int protocolVersion);

// OK packet: 0, affected rows, insert id, and with transactions the server status.
struct OkPacket {
    uint64_t affectedRows = 0;
    uint64_t insertId = 0;
    uint32_t serverStatus = 0;
    bool hasStatus = false;
};
bool parseOkPacket(const uint8_t* p, size_t n, bool withTransactions, OkPacket& ok);

// One column definition in the pre-4.1 format (five length-coded strings).
bool parseColumnDefinition(const uint8_t* p, size_t n, bool longFlag, TMysqlFieldInfo& f);

// A row packet of fieldCount length-coded values, stored as one block:
//   uint32 pos[fieldCount + 1]  followed by the value bytes, each followed by a 0 byte.
// pos[i] is the offset of value i from the block start, with RowNullBit set for SQL NULL
// (which occupies no bytes); pos[fieldCount] is the end of the data.
constexpr uint32_t RowNullBit = 0x80000000u;
constexpr uint32_t RowOffsetMask = 0x7fffffffu;

// Upper bound of the block size of a row packet of n bytes.
inline size_t rowBlockBound(size_t n, uint32_t fieldCount) { return 4 * (size_t(fieldCount) + 1) + n; }
// Stores a row packet into block (rowBlockBound bytes) and returns the size used, or 0 when
// the packet does not hold exactly fieldCount values. maxLengths (fieldCount entries) is
// raised to the value lengths when given.
size_t parseRow(const uint8_t* p, size_t n, uint32_t fieldCount, uint8_t* block, uint32_t* maxLengths);

inline const char* rowValue(const uint8_t* block, uint32_t i)
{
    auto pos = reinterpret_cast<const uint32_t*>(block);
    return (pos[i] & RowNullBit) ? nullptr : reinterpret_cast<const char*>(block + (pos[i] & RowOffsetMask));
}
inline uint32_t rowLength(const uint8_t* block, uint32_t i)
{
    auto pos = reinterpret_cast<const uint32_t*>(block);
    if (pos[i] & RowNullBit) return 0;
    return (pos[i + 1] & RowOffsetMask) - pos[i] - 1;
}

}  // namespace mysqlpkt
