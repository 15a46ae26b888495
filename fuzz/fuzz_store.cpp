// The stored and streamed result paths of the client, driven by a few fuzzed parameters
// (column count, row count, value sizes from 0 bytes to the largest row, NULLs, plain or
// compressed framing) so that every size class of the row store is reached. The server
// side is generated and played from a thread; every value read back must match.
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include "protocol/MysqlClientImpl.h"

namespace {

constexpr size_t LargestPayload = 16777214;

std::string le(uint64_t v, int n)
{
    std::string s;
    for (int i = 0; i < n; ++i) s += char((v >> (8 * i)) & 0xff);
    return s;
}
std::string lengthCoded(uint64_t v)
{
    if (v < 251) return std::string(1, char(v));
    if (v < 65536) return "\xfc" + le(v, 2);
    if (v < 16777216) return "\xfd" + le(v, 3);
    return "\xfe" + le(v, 8);
}
size_t prefixSize(size_t v) { return v < 251 ? 1 : v < 65536 ? 3 : v < 16777216 ? 4 : 9; }
std::string packet(uint8_t seq, const std::string& payload)
{
    return le(payload.size(), 3) + char(seq) + payload;
}
char fillOf(size_t row, size_t col) { return char('a' + (row * 7 + col) % 26); }

struct Shape {
    uint32_t columns = 1;
    std::vector<std::vector<long>> sizes;  // per row and column; -1 for NULL
};

Shape shapeFrom(const uint8_t* data, size_t size, size_t& pos)
{
    Shape s;
    auto next = [&]() -> uint8_t { return pos < size ? data[pos++] : 0; };
    s.columns = 1 + next() % 8;
    size_t rows = 1 + next() % 6;
    size_t total = 0;
    for (size_t r = 0; r < rows; ++r) {
        std::vector<long> row;
        size_t payload = 0;
        for (uint32_t c = 0; c < s.columns; ++c) {
            uint8_t a = next(), b = next();
            if (b == 255) {
                row.push_back(-1);
                payload += 1;
                continue;
            }
            long n = long(1) << (a % 25);
            n += long(b % 5) - 2;
            if (n < 0) n = 0;
            size_t room = LargestPayload - payload - 9 * (s.columns - c);
            if (size_t(n) > room) n = long(room);
            if (total + size_t(n) > (size_t(48) << 20)) n = 0;  // bounded work per input
            row.push_back(n);
            payload += prefixSize(size_t(n)) + size_t(n);
            total += size_t(n);
        }
        s.sizes.push_back(std::move(row));
    }
    return s;
}

std::string plainStream(const Shape& s)
{
    std::vector<std::string> payloads;
    payloads.push_back(lengthCoded(s.columns));
    for (uint32_t c = 0; c < s.columns; ++c) {
        std::string def = lengthCoded(1) + "t" + lengthCoded(1) + char('a' + c);
        def += lengthCoded(3) + le(0xFFFFFF, 3);  // declared length
        def += lengthCoded(1) + char(MysqlType::LONG_BLOB);
        def += lengthCoded(3) + le(MysqlFieldFlag::BLOB, 2) + char(0);
        payloads.push_back(def);
    }
    payloads.push_back("\xfe");
    for (size_t r = 0; r < s.sizes.size(); ++r) {
        std::string row;
        for (size_t c = 0; c < s.sizes[r].size(); ++c) {
            long n = s.sizes[r][c];
            if (n < 0) {
                row += char(0xfb);
                continue;
            }
            row += lengthCoded(uint64_t(n));
            row.append(size_t(n), fillOf(r, c));
        }
        payloads.push_back(std::move(row));
    }
    payloads.push_back("\xfe");
    std::string out;
    uint8_t seq = 1;
    for (const auto& p : payloads) out += packet(seq++, p);
    return out;
}

std::string compressedStream(const std::string& plain, uint8_t chunkChoice, bool zlib)
{
    static const size_t chunks[] = {1000, 16384, 65535, size_t(1) << 20, 0xFFFFFF};
    const size_t chunk = chunks[chunkChoice % 5];
    std::string out;
    uint8_t seq = 1;
    for (size_t at = 0; at < plain.size(); at += chunk) {
        std::string body = plain.substr(at, chunk);
        std::string packed;
        if (zlib && body.size() >= 50) {
            uLongf n = compressBound(uLong(body.size()));
            packed.resize(n);
            if (::compress(reinterpret_cast<Bytef*>(packed.data()), &n,
                           reinterpret_cast<const Bytef*>(body.data()), uLong(body.size())) == Z_OK &&
                n < body.size()) {
                packed.resize(n);
                out += le(packed.size(), 3) + char(seq++) + le(body.size(), 3) + packed;
                continue;
            }
        }
        out += le(body.size(), 3) + char(seq++) + le(0, 3) + body;
    }
    return out;
}

bool valueMatches(const char* v, uint32_t length, long expected, char fill)
{
    if (expected < 0) return v == nullptr;
    if (!v || length != uint32_t(expected) || v[length] != 0) return false;
    for (uint32_t i = 0; i < length; ++i)
        if (v[i] != fill) return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) return 0;
    const uint8_t flags = data[0];
    const bool compress = flags & 1, store = flags & 2, zlib = flags & 4;
    size_t pos = 2;
    const Shape shape = shapeFrom(data, size, pos);
    std::string bytes = plainStream(shape);
    // Only small streams are deflated: zlib on tens of megabytes would slow every run.
    if (compress) bytes = compressedStream(bytes, data[1], zlib && bytes.size() < (size_t(1) << 20));

    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return 0;
    std::thread server([&] {
        for (size_t sent = 0; sent < bytes.size();) {
            ssize_t n = ::send(fds[1], bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) break;  // the client closed early
            sent += size_t(n);
        }
    });
    {
        TMysqlClient client;
        client.SetAutoReconnect(false);
        auto& impl = TMysqlClientAccess::impl(client);
        impl.net.Adopt(fds[0], 5);
        impl.net.SetCompress(compress);
        impl.net.SetSequence(1);
        impl.serverCapabilities = MysqlFlags::CLIENT_LONG_FLAG;
        if (impl.readQueryResult() != 0) { fprintf(stderr, "E %d %s\n", client.ErrorCode(), client.ErrorText().c_str()); __builtin_trap(); }
        auto r = store ? impl.storeResult() : impl.useResult();
        if (!r || r->FieldCount() != shape.columns) __builtin_trap();
        for (size_t row = 0; row < shape.sizes.size(); ++row) {
            if (store) r->Seek(int64_t(row));
            r->FetchLengths();
            for (uint32_t c = 0; c < shape.columns; ++c)
                if (!valueMatches(r->FieldValue(int(c)), r->FieldLength(int(c)), shape.sizes[row][c], fillOf(row, c)))
                    __builtin_trap();
            if (!store) r->Next();
        }
        if (store && r->RowCount() != int64_t(shape.sizes.size())) __builtin_trap();
    }
    server.join();
    ::close(fds[1]);
    return 0;
}
