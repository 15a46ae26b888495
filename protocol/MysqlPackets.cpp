#include "protocol/MysqlPackets.h"

#include <algorithm>

namespace mysqlpkt {

void appendLengthCoded(std::string& out, uint64_t v)
{
    auto put = [&out](uint64_t x, int n) {
        for (int i = 0; i < n; ++i) out.push_back(char(uint8_t(x >> (8 * i))));
    };
    if (v < 251) {
        out.push_back(char(v));
    } else if (v < 0x10000) {
        out.push_back(char(252));
        put(v, 2);
    } else if (v < 0x1000000) {
        out.push_back(char(253));
        put(v, 3);
    } else {
        out.push_back(char(254));
        put(v, 8);
    }
}

// Text of at most max bytes, ending at the first 0 byte.
static std::string_view cutAtZero(std::string_view s, size_t max)
{
    size_t z = s.find('\0');
    if (z != std::string_view::npos) s = s.substr(0, z);
    return s.substr(0, std::min(max, s.size()));
}

bool parseGreeting(const uint8_t* p, size_t n, Greeting& g)
{
    PacketReader r(p, n);
    g = Greeting{};
    g.protocolVersion = r.u8();
    // The version text must be 0-terminated within the packet.
    const void* z = r.failed() ? nullptr : std::memchr(r.current(), 0, r.remaining());
    if (!z) return false;
    g.serverVersion = std::string(r.zeroTerminated());
    size_t v = g.serverVersion.size();
    g.connectionId = r.u32();
    std::string_view part1 = r.bytes(8);
    if (r.failed()) return false;
    g.scramble = std::string(cutAtZero(part1, 8));
    // Offsets below are those of the greeting layout; v is the length of the version text.
    auto at = [&](size_t off) { return p + off; };
    if (n >= v + 17) {
        g.serverCapabilities = uint32_t(at(v + 15)[0]) | (uint32_t(at(v + 15)[1]) << 8);
    }
    if (n >= v + 33) {
        g.serverStatus = uint32_t(at(v + 18)[0]) | (uint32_t(at(v + 18)[1]) << 8);
        g.hasStatus = true;
    }
    if (n >= v + 45) {
        std::string_view part2(reinterpret_cast<const char*>(at(v + 33)), n - (v + 33));
        g.scramble += cutAtZero(part2, 12);
    } else if (n >= v + 33) {
        g.serverCapabilities &= ~uint32_t(32768);  // no room for the second scramble part
    }
    if (g.scramble.size() > 20) g.scramble.resize(20);
    return true;
}

ServerError parseErrorPacket(const uint8_t* p, size_t n, int protocolVersion)
{
    ServerError e;
    if (n <= 3) {
        e.code = CR_UNKNOWN_ERROR;
        e.message = "Unknown MySQL error";
        return e;
    }
    size_t start = 1;
    if (protocolVersion > 9) {
        e.code = int(p[1]) | (int(p[2]) << 8);
        start = 3;
    } else {
        e.code = CR_UNKNOWN_ERROR;
    }
    std::string_view msg(reinterpret_cast<const char*>(p + start), n - start);
    e.message = std::string(cutAtZero(msg, 199));
    return e;
}

bool parseOkPacket(const uint8_t* p, size_t n, bool withTransactions, OkPacket& ok)
{
    PacketReader r(p, n);
    ok = OkPacket{};
    if (r.lengthCoded() != 0 || r.failed()) return false;
    // A truncated packet keeps what it holds; the NULL marker counts as 0.
    uint64_t affected = r.lengthCoded();
    uint64_t insertId = r.lengthCoded();
    ok.affectedRows = affected == NullLength ? 0 : affected;
    ok.insertId = insertId == NullLength ? 0 : insertId;
    if (r.failed()) return false;
    if (withTransactions && r.remaining() >= 2) {
        ok.serverStatus = r.u16();
        ok.hasStatus = true;
    }
    return true;
}

bool parseColumnDefinition(const uint8_t* p, size_t n, bool longFlag, TMysqlFieldInfo& f)
{
    PacketReader r(p, n);
    f = TMysqlFieldInfo{};
    std::string_view v[5];
    bool isNull[5] {};
    for (int i = 0; i < 5; ++i) v[i] = r.lengthCodedString(&isNull[i]);
    if (r.failed() || !r.atEnd()) return false;
    auto le = [](std::string_view s, size_t count) {
        uint32_t x = 0;
        for (size_t i = 0; i < count && i < s.size(); ++i) x |= uint32_t(uint8_t(s[i])) << (8 * i);
        return x;
    };
    f.Table = std::string(v[0]);
    f.Name = std::string(v[1]);
    f.Length = le(v[2], 3);
    f.FieldType = v[3].empty() ? 0 : uint8_t(v[3][0]);
    if (longFlag) {
        f.Flags = le(v[4], 2);
        f.Decimals = v[4].size() > 2 ? uint8_t(v[4][2]) : 0;
    } else {
        f.Flags = v[4].empty() ? 0 : uint8_t(v[4][0]);
        f.Decimals = v[4].size() > 1 ? uint8_t(v[4][1]) : 0;
    }
    return true;
}

size_t parseRow(const uint8_t* p, size_t n, uint32_t fieldCount, uint8_t* block,
                uint32_t* maxLengths)
{
    auto pos = reinterpret_cast<uint32_t*>(block);
    size_t off = 4 * (size_t(fieldCount) + 1);
    PacketReader r(p, n);
    for (uint32_t i = 0; i < fieldCount; ++i) {
        uint64_t len = r.lengthCoded();
        if (r.failed()) return 0;
        if (len == NullLength) {
            pos[i] = uint32_t(off) | RowNullBit;
            continue;
        }
        if (len > r.remaining()) return 0;
        pos[i] = uint32_t(off);
        std::memcpy(block + off, r.current(), size_t(len));
        r.skip(size_t(len));
        off += size_t(len);
        block[off++] = 0;
        if (maxLengths && len > maxLengths[i]) maxLengths[i] = uint32_t(len);
    }
    if (!r.atEnd()) return 0;
    pos[fieldCount] = uint32_t(off);
    return off;
}

} // namespace mysqlpkt
