// Free functions of the protocol client: error texts, escaping, field-flag tests, SHA-1 and
// the two password scrambles.

#include "protocol/MysqlFunctions.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "protocol/TMysqlResult.h"

namespace {

// Client error texts for codes 2000..2020, in code order.
constexpr const char* kClientErrors[] = {
    "Unknown MySQL error",
    "Can't create UNIX socket (%d)",
    "Can't connect to local MySQL server through socket '%-.64s' (%d)",
    "Can't connect to MySQL server on '%-.64s' (%d)",
    "Can't create TCP/IP socket (%d)",
    "Unknown MySQL Server Host '%-.64s' (%d)",
    "MySQL server has gone away",
    "Protocol mismatch. Server Version = %d Client Version = %d",
    "MySQL client run out of memory",
    "Wrong host info",
    "Localhost via UNIX socket",
    "%-.64s via TCP/IP",
    "Error in server handshake",
    "Lost connection to MySQL server during query",
    "Commands out of sync;  You can't run this command now",
    "%-.64s via named pipe",
    "Can't wait for named pipe to host: %-.64s  pipe: %-.32s (%lu)",
    "Can't open named pipe to host: %-.64s  pipe: %-.32s (%u)",
    "Can't set state of named pipe to host: %-.64s  pipe: %-.32s (%lu)",
    "Can't initialize character set %-.64s (path: %-.64s)",
    "Got packet bigger than 'max_allowed_packet'",
};
constexpr int kFirstClientError = 2000;
constexpr int kClientErrorCount = sizeof(kClientErrors) / sizeof(kClientErrors[0]);
static_assert(kClientErrorCount == 21);

bool hasFlag(const TMysqlFieldInfo* f, uint32_t flag) { return f && (f->Flags & flag) != 0; }

uint32_t rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

} // namespace

const char* MysqlClientErrorText(int code)
{
    if (code < kFirstClientError || code >= kFirstClientError + kClientErrorCount)
        return "";
    return kClientErrors[code - kFirstClientError];
}

std::string EscapeString(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8 + 1);
    for (char c : text) {
        switch (c) {
        case '\0': out += "\\0"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '"':  out += "\\\""; break;
        case '\'': out += "\\'"; break;
        case '\\': out += "\\\\"; break;
        default:   out += c; break;
        }
    }
    return out;
}

bool IsNotNull(const TMysqlFieldInfo* f) { return hasFlag(f, MysqlFieldFlag::NOT_NULL); }
bool IsPrimaryKey(const TMysqlFieldInfo* f) { return hasFlag(f, MysqlFieldFlag::PRI_KEY); }
bool IsUniqueKey(const TMysqlFieldInfo* f) { return hasFlag(f, MysqlFieldFlag::UNIQUE_KEY); }
bool IsBlob(const TMysqlFieldInfo* f) { return hasFlag(f, MysqlFieldFlag::BLOB); }
bool IsUnsigned(const TMysqlFieldInfo* f) { return hasFlag(f, MysqlFieldFlag::UNSIGNED); }
bool IsZerofill(const TMysqlFieldInfo* f) { return hasFlag(f, MysqlFieldFlag::ZEROFILL); }
bool IsBinary(const TMysqlFieldInfo* f) { return hasFlag(f, MysqlFieldFlag::BINARY); }
bool IsEnum(const TMysqlFieldInfo* f) { return hasFlag(f, MysqlFieldFlag::ENUM); }
bool IsAutoIncrement(const TMysqlFieldInfo* f) { return hasFlag(f, MysqlFieldFlag::AUTO_INCREMENT); }
bool IsSet(const TMysqlFieldInfo* f) { return hasFlag(f, MysqlFieldFlag::SET); }

// ---- SHA-1 ----

void Sha1::Reset()
{
    m_h[0] = 0x67452301u;
    m_h[1] = 0xEFCDAB89u;
    m_h[2] = 0x98BADCFEu;
    m_h[3] = 0x10325476u;
    m_h[4] = 0xC3D2E1F0u;
    m_length = 0;
    m_used = 0;
    m_done = false;
    m_digest = {};
}

void Sha1::Input(const void* data, size_t length)
{
    if (m_done)
        return;  // input after the result is ignored until Reset
    auto p = static_cast<const uint8_t*>(data);
    m_length += static_cast<uint64_t>(length) * 8;
    while (length > 0) {
        size_t take = std::min(length, sizeof(m_block) - m_used);
        std::memcpy(m_block + m_used, p, take);
        m_used += take;
        p += take;
        length -= take;
        if (m_used == sizeof(m_block)) {
            processBlock();
            m_used = 0;
        }
    }
}

std::array<uint8_t, 20> Sha1::Result()
{
    if (!m_done) {
        // Padding: a 1 bit, zeros up to 56 bytes of the last block, the 64-bit bit length.
        const uint64_t bits = m_length;
        m_block[m_used++] = 0x80;
        if (m_used > 56) {
            std::memset(m_block + m_used, 0, sizeof(m_block) - m_used);
            processBlock();
            m_used = 0;
        }
        std::memset(m_block + m_used, 0, 56 - m_used);
        for (int i = 0; i < 8; ++i)
            m_block[56 + i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
        processBlock();
        m_used = 0;
        for (int i = 0; i < 5; ++i)
            for (int j = 0; j < 4; ++j)
                m_digest[4 * i + j] = static_cast<uint8_t>(m_h[i] >> (24 - 8 * j));
        m_done = true;
    }
    return m_digest;
}

std::array<uint8_t, 20> Sha1::Of(std::string_view data)
{
    Sha1 sha;
    sha.Input(data.data(), data.size());
    return sha.Result();
}

void Sha1::processBlock()
{
    uint32_t w[80];
    for (int t = 0; t < 16; ++t)
        w[t] = uint32_t(m_block[4 * t]) << 24 | uint32_t(m_block[4 * t + 1]) << 16
             | uint32_t(m_block[4 * t + 2]) << 8 | uint32_t(m_block[4 * t + 3]);
    for (int t = 16; t < 80; ++t)
        w[t] = rotl(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);

    uint32_t a = m_h[0], b = m_h[1], c = m_h[2], d = m_h[3], e = m_h[4];
    for (int t = 0; t < 80; ++t) {
        uint32_t f, k;
        if (t < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999u;
        } else if (t < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1u;
        } else if (t < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDCu;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6u;
        }
        uint32_t temp = rotl(a, 5) + f + e + w[t] + k;
        e = d;
        d = c;
        c = rotl(b, 30);
        b = a;
        a = temp;
    }
    m_h[0] += a;
    m_h[1] += b;
    m_h[2] += c;
    m_h[3] += d;
    m_h[4] += e;
}

// ---- Password scrambles ----

std::pair<uint32_t, uint32_t> HashPasswordOld(std::string_view text)
{
    uint32_t nr = 1345345333u, add = 7, nr2 = 0x12345671u;
    for (char ch : text) {
        if (ch == ' ' || ch == '\t')
            continue;
        const uint32_t c = static_cast<uint8_t>(ch);
        nr ^= (((nr & 63) + add) * c) + (nr << 8);
        nr2 += (nr2 << 8) ^ nr;
        add += c;
    }
    return {nr & 0x7FFFFFFFu, nr2 & 0x7FFFFFFFu};
}

std::string ScrambleOld(std::string_view password, std::string_view message)
{
    const auto [a1, a2] = HashPasswordOld(password);
    const auto [b1, b2] = HashPasswordOld(message);
    const uint32_t max = 0x3FFFFFFFu;
    uint32_t seed1 = (a1 ^ b1) % max;
    uint32_t seed2 = (a2 ^ b2) % max;
    // Both seeds stay below 2^30, so seed1 * 3 + seed2 fits in 32 bits.
    auto nextRandom = [&]() {
        seed1 = (seed1 * 3 + seed2) % max;
        seed2 = (seed1 + seed2 + 33) % max;
        return static_cast<double>(seed1) / static_cast<double>(max);
    };
    std::string out(message.size(), '\0');
    for (char& c : out)
        c = static_cast<char>(static_cast<int>(std::floor(nextRandom() * 31)) + 64);
    const char extra = static_cast<char>(static_cast<int>(std::floor(nextRandom() * 31)));
    for (char& c : out)
        c = static_cast<char>(c ^ extra);
    return out;
}

std::array<uint8_t, 20> ScrambleSha1(std::string_view scramble20, std::string_view password)
{
    const auto stage1 = Sha1::Of(password);
    const auto stage2 = Sha1::Of(std::string_view(reinterpret_cast<const char*>(stage1.data()),
                                                  stage1.size()));
    Sha1 sha;
    sha.Input(scramble20.data(), scramble20.size());
    sha.Input(stage2.data(), stage2.size());
    auto r = sha.Result();
    for (size_t i = 0; i < r.size(); ++i)
        r[i] ^= stage1[i];
    return r;
}
