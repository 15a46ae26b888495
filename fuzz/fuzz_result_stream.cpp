// A result set as the client reads it: framing, the header's column count, the column
// definitions and the rows, from arbitrary bytes on the connection.
#include <vector>

#include "FuzzStream.h"
#include "protocol/MysqlPackets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TMysqlNet net;
    if (!playAsServer(net, data, size)) return 0;
    long n = net.ReadReply();
    if (n <= 0) return 0;
    mysqlpkt::PacketReader header(net.ReadPos(), size_t(n));
    uint64_t count = header.lengthCoded();
    if (header.failed() || count == 0 || count > 4096) return 0;
    const uint32_t fields = uint32_t(count);
    std::vector<uint32_t> maxLengths(fields);
    std::vector<uint8_t> block;
    bool inRows = false;
    while ((n = net.ReadReply()) > 0) {
        const uint8_t* p = net.ReadPos();
        if (mysqlpkt::isEofPacket(p, size_t(n))) {
            if (inRows) break;
            inRows = true;
            continue;
        }
        if (!inRows) {
            TMysqlFieldInfo f;
            mysqlpkt::parseColumnDefinition(p, size_t(n), true, f);
            mysqlpkt::parseColumnDefinition(p, size_t(n), false, f);
            continue;
        }
        block.resize(mysqlpkt::rowBlockBound(size_t(n), fields));
        size_t used = mysqlpkt::parseRow(p, size_t(n), fields, block.data(), maxLengths.data());
        if (used > block.size()) __builtin_trap();
        for (uint32_t i = 0; used && i < fields; ++i) {
            const char* v = mysqlpkt::rowValue(block.data(), i);
            uint32_t len = mysqlpkt::rowLength(block.data(), i);
            if (v && (v + len >= reinterpret_cast<const char*>(block.data()) + used || v[len] != 0))
                __builtin_trap();
        }
    }
    return 0;
}
