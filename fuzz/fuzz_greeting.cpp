// The server greeting parser fed arbitrary bytes.
#include "protocol/MysqlPackets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    mysqlpkt::Greeting g;
    if (mysqlpkt::parseGreeting(data, size, g) && g.scramble.size() > 20) __builtin_trap();
    return 0;
}
