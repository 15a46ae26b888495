// OK and error packet parsers fed arbitrary bytes.
#include "protocol/MysqlPackets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    mysqlpkt::OkPacket ok;
    mysqlpkt::parseOkPacket(data, size, true, ok);
    mysqlpkt::parseOkPacket(data, size, false, ok);
    for (int protocol : {9, 10}) {
        auto e = mysqlpkt::parseErrorPacket(data, size, protocol);
        if (e.message.size() > 199) __builtin_trap();
    }
    return 0;
}
